#include "PictureStyle.h"

#include <cmath>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRawFont>

namespace style {

QImage NewPicture(int Width, int Height, qreal Scale) {
    QImage picture(qRound(Width * Scale), qRound(Height * Scale), QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(Scale);
    picture.fill(Qt::transparent);
    return picture;
}

QSizeF LogicalSize(const QImage& Picture) {
    return Picture.deviceIndependentSize();
}

void PrepareForDrawing(QPainter& Painter) {
    Painter.setRenderHint(QPainter::Antialiasing, true);
    Painter.setRenderHint(QPainter::TextAntialiasing, true);
    Painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QFont CjkFont(int PixelSize, bool Bold) {
    QFont font(QString::fromLatin1(kCjkFamily));
    font.setPixelSize(PixelSize);
    font.setBold(Bold);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoFontMerging));
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

bool CjkFontAvailable(QString& Problem) {
    const QFont font = CjkFont(16);
    const QFontInfo info(font);
    if (info.family() != QString::fromLatin1(kCjkFamily)) {
        Problem = QStringLiteral("the font \"%1\" is not installed (got \"%2\")")
                      .arg(QString::fromLatin1(kCjkFamily), info.family());
        return false;
    }
    const QRawFont raw = QRawFont::fromFont(font);
    const QString probe = QStringLiteral("立即下载开始安装浏览重新使用浏览器");
    for (const QChar c : probe) {
        if (!raw.supportsCharacter(c)) {
            Problem = QStringLiteral("\"%1\" has no glyph for %2").arg(info.family(), QString(c));
            return false;
        }
    }
    return true;
}

QColor Mix(const QColor& A, const QColor& B, double T) {
    auto channel = [T](int a, int b) { return static_cast<int>(a + (b - a) * T + 0.5); };
    return QColor(channel(A.red(), B.red()), channel(A.green(), B.green()), channel(A.blue(), B.blue()),
                  channel(A.alpha(), B.alpha()));
}

namespace {

void DrawGlyph(QPainter& Painter, TGlyph Glyph, const QRectF& Box) {
    QPen pen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    Painter.setPen(pen);
    Painter.setBrush(Qt::NoBrush);
    const double l = Box.left();
    const double t = Box.top();
    const double s = Box.width();
    if (Glyph == TGlyph::Download) {
        // An arrow falling into a tray.
        Painter.drawLine(QPointF(l + s / 2, t + s * 0.08), QPointF(l + s / 2, t + s * 0.62));
        QPainterPath head;
        head.moveTo(l + s * 0.26, t + s * 0.40);
        head.lineTo(l + s / 2, t + s * 0.64);
        head.lineTo(l + s * 0.74, t + s * 0.40);
        Painter.drawPath(head);
        QPainterPath tray;
        tray.moveTo(l + s * 0.08, t + s * 0.62);
        tray.lineTo(l + s * 0.08, t + s * 0.90);
        tray.lineTo(l + s * 0.92, t + s * 0.90);
        tray.lineTo(l + s * 0.92, t + s * 0.62);
        Painter.drawPath(tray);
    } else if (Glyph == TGlyph::Install) {
        // A package box with a tick.
        QPainterPath box;
        box.addRoundedRect(QRectF(l + s * 0.08, t + s * 0.14, s * 0.84, s * 0.76), s * 0.12, s * 0.12);
        Painter.drawPath(box);
        QPainterPath tick;
        tick.moveTo(l + s * 0.30, t + s * 0.52);
        tick.lineTo(l + s * 0.45, t + s * 0.67);
        tick.lineTo(l + s * 0.72, t + s * 0.38);
        Painter.drawPath(tick);
    }
}

} // namespace

void DrawCaption(QPainter& Painter, const QRectF& Box, const QString& Caption, const QFont& Font,
                 const QColor& Colour) {
    Painter.setFont(Font);
    Painter.setPen(QColor(0, 30, 70, 60));
    Painter.drawText(Box.translated(0, 1), Qt::AlignCenter, Caption);
    Painter.setPen(Colour);
    Painter.drawText(Box, Qt::AlignCenter, Caption);
}

void DrawButton(QImage& Picture, const QColor& Face, const QString& Caption, int PixelSize, TGlyph Glyph) {
    QPainter painter(&Picture);
    PrepareForDrawing(painter);
    const QSizeF size = LogicalSize(Picture);
    const bool big = size.height() > 40;
    const double shadow = big ? 3.0 : 0.0;
    const double radius = big ? 6.0 : 3.0;
    const QRectF face(0.5, 0.5, size.width() - 1.0, size.height() - 1.0 - shadow);

    if (big) {
        // A soft shadow: a few widening, fading rounded rectangles below the face.
        painter.setPen(Qt::NoPen);
        for (int i = 3; i >= 1; --i) {
            painter.setBrush(QColor(20, 60, 110, 18 * (4 - i)));
            painter.drawRoundedRect(face.adjusted(1.0 + i * 0.3, i * 0.9, -1.0 - i * 0.3, i * 0.9), radius,
                                    radius);
        }
    }

    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0.0, Mix(Face, Qt::white, 0.16));
    fill.setColorAt(0.5, Face);
    fill.setColorAt(1.0, Mix(Face, Qt::black, 0.08));
    painter.setBrush(fill);
    painter.setPen(QPen(Mix(Face, Qt::black, 0.18), 1.0));
    painter.drawRoundedRect(face, radius, radius);

    // A thin light line just inside the top edge.
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1.0));
    painter.drawLine(QPointF(face.left() + radius, face.top() + 1.0),
                     QPointF(face.right() - radius, face.top() + 1.0));

    const QFont font = CjkFont(PixelSize, big);
    QRectF text = face;
    if (Glyph != TGlyph::None) {
        const QFontMetricsF metrics(font);
        const double glyph = PixelSize * 1.05;
        const double gap = PixelSize * 0.45;
        const double width = glyph + gap + metrics.horizontalAdvance(Caption);
        const double left = face.center().x() - width / 2.0;
        const QRectF glyphBox(std::round(left), std::round(face.center().y() - glyph / 2.0), glyph, glyph);
        DrawGlyph(painter, Glyph, glyphBox);
        text =
            QRectF(left + glyph + gap, face.top(), metrics.horizontalAdvance(Caption) + 2.0, face.height());
    }
    DrawCaption(painter, text, Caption, font, Qt::white);
}

void DrawTitleBar(QImage& Picture) {
    QPainter painter(&Picture);
    PrepareForDrawing(painter);
    const int w = qRound(LogicalSize(Picture).width());
    const int h = qRound(LogicalSize(Picture).height());
    QLinearGradient fill(0, 0, 0, h);
    fill.setColorAt(0.0, Mix(kButton, Qt::white, 0.10));
    fill.setColorAt(1.0, Mix(kButton, kButtonHover, 0.35));
    painter.fillRect(QRect(0, 0, w, h), fill);
    painter.fillRect(QRect(0, 0, w, 1), QColor(255, 255, 255, 50));
    painter.fillRect(QRect(0, h - 1, w, 1), Mix(kButtonHover, Qt::black, 0.1));
}

void DrawCross(QPainter& Painter, QPointF Centre, double HalfSize, double Width, const QColor& Colour) {
    Painter.setPen(QPen(Colour, Width, Qt::SolidLine, Qt::RoundCap));
    Painter.drawLine(Centre + QPointF(-HalfSize, -HalfSize), Centre + QPointF(HalfSize, HalfSize));
    Painter.drawLine(Centre + QPointF(-HalfSize, HalfSize), Centre + QPointF(HalfSize, -HalfSize));
}

} // namespace style
