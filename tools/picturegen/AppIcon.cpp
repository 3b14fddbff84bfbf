#include "AppIcon.h"

#include <cmath>
#include <cstdio>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "PictureStyle.h"

using namespace style;

namespace {

// The tile: a rounded square in the buttons' blue, lighter at the top, with a soft shadow below it when
// there is room for one.
void DrawTile(QPainter& P, const QRectF& Tile, bool Detailed) {
    const double radius = Tile.width() * 0.22;
    P.setPen(Qt::NoPen);
    if (Detailed) {
        for (int i = 4; i >= 1; --i) {
            P.setBrush(QColor(0, 20, 60, 12 * (5 - i)));
            const double grow = Tile.width() * 0.006 * i;
            P.drawRoundedRect(Tile.adjusted(-grow, grow * 2.0, grow, grow * 2.0), radius, radius);
        }
    }
    QLinearGradient face(Tile.topLeft(), Tile.bottomLeft());
    face.setColorAt(0.0, Mix(kButton, Qt::white, 0.22));
    face.setColorAt(1.0, kButtonHover);
    P.setBrush(face);
    P.drawRoundedRect(Tile, radius, radius);
    if (Detailed) {
        // A faint sheen over the upper half.
        QRadialGradient sheen(QPointF(Tile.center().x(), Tile.top()), Tile.width() * 0.75);
        sheen.setColorAt(0.0, QColor(255, 255, 255, 70));
        sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
        P.setBrush(sheen);
        P.drawRoundedRect(Tile, radius, radius);
    }
}

// The mark: a bold arrow falling into an open tray, in white.
void DrawMark(QPainter& P, const QRectF& Tile, bool Detailed) {
    const double s = Tile.width();
    const double l = Tile.left();
    const double t = Tile.top();
    // Small icons get whole-pixel strokes on the pixel grid, so that they stay sharp.
    const double stroke = Detailed ? s * 0.085 : std::round(s * 0.13);
    const double grid = static_cast<int>(stroke) % 2 == 1 ? 0.5 : 0.0;
    auto at = [&](double X, double Y) {
        if (Detailed) {
            return QPointF(l + s * X, t + s * Y);
        }
        return QPointF(std::round(l + s * X - grid) + grid, std::round(t + s * Y - grid) + grid);
    };
    auto draw = [&](const QColor& Ink, QPointF Offset) {
        P.setPen(QPen(Ink, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        P.setBrush(Qt::NoBrush);
        P.drawLine(at(0.5, 0.2) + Offset, at(0.5, 0.6) + Offset);
        QPainterPath head;
        head.moveTo(at(0.31, 0.43) + Offset);
        head.lineTo(at(0.5, 0.62) + Offset);
        head.lineTo(at(0.69, 0.43) + Offset);
        P.drawPath(head);
        QPainterPath tray;
        tray.moveTo(at(0.22, 0.6) + Offset);
        tray.lineTo(at(0.22, 0.78) + Offset);
        tray.lineTo(at(0.78, 0.78) + Offset);
        tray.lineTo(at(0.78, 0.6) + Offset);
        P.drawPath(tray);
    };
    if (Detailed) {
        draw(QColor(0, 30, 80, 60), QPointF(0, s * 0.015));
    }
    draw(Qt::white, QPointF(0, 0));
}

} // namespace

QImage DrawAppIcon(int Size) {
    QImage icon = NewPicture(Size, Size);
    QPainter p(&icon);
    PrepareForDrawing(p);
    // Small icons fill their square; larger ones keep the margin of the theme's other icons.
    const bool detailed = Size >= 32;
    const double margin = detailed ? Size / 16.0 : 0.0;
    const QRectF tile(margin, margin * 0.7, Size - 2 * margin, Size - 2 * margin);
    DrawTile(p, tile, detailed);
    DrawMark(p, tile, detailed);
    p.end();
    return icon;
}

int WriteAppIcon(int Size, const QString& File) {
    if (Size < 16 || Size > 512) {
        std::fprintf(stderr, "picturegen: icon size %d is not between 16 and 512\n", Size);
        return 2;
    }
    if (!DrawAppIcon(Size).save(File, "PNG")) {
        std::fprintf(stderr, "picturegen: cannot write %s\n", qPrintable(File));
        return 1;
    }
    return 0;
}
