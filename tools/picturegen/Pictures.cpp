#include "Pictures.h"

#include <cmath>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "PictureStyle.h"

using namespace style;

namespace {

// ---------------------------------------------------------------------------------------------------------
// Main window
// ---------------------------------------------------------------------------------------------------------

// A wave across the banner: a smooth curve through a few points, as a path of cubic segments.
QPainterPath Wave(double Width, double BaseY, double Amplitude, double Phase, double Periods) {
    QPainterPath path;
    const int steps = 48;
    for (int i = 0; i <= steps; ++i) {
        const double x = Width * i / steps;
        const double y = BaseY + Amplitude * std::sin(Phase + Periods * 2.0 * M_PI * i / steps);
        if (i == 0) {
            path.moveTo(x, y);
        } else {
            path.lineTo(x, y);
        }
    }
    return path;
}

void DrawLogoMark(QPainter& P, const QRectF& Box) {
    P.setPen(Qt::NoPen);
    for (int i = 4; i >= 1; --i) {
        P.setBrush(QColor(0, 20, 60, 14 * (5 - i)));
        P.drawRoundedRect(Box.adjusted(-i * 0.5, i * 1.2, i * 0.5, i * 1.2), 16, 16);
    }
    QLinearGradient face(Box.topLeft(), Box.bottomRight());
    face.setColorAt(0.0, QColor(255, 255, 255));
    face.setColorAt(1.0, QColor(214, 230, 248));
    P.setBrush(face);
    P.drawRoundedRect(Box, 16, 16);

    // The mark: a bold arrow falling into an open tray.
    const double s = Box.width();
    const double l = Box.left();
    const double t = Box.top();
    QLinearGradient ink(Box.topLeft(), Box.bottomLeft());
    ink.setColorAt(0.0, kButton);
    ink.setColorAt(1.0, kButtonHover);
    QPen pen(QBrush(ink), s * 0.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    P.setPen(pen);
    P.setBrush(Qt::NoBrush);
    P.drawLine(QPointF(l + s / 2, t + s * 0.2), QPointF(l + s / 2, t + s * 0.58));
    QPainterPath head;
    head.moveTo(l + s * 0.32, t + s * 0.42);
    head.lineTo(l + s / 2, t + s * 0.60);
    head.lineTo(l + s * 0.68, t + s * 0.42);
    P.drawPath(head);
    QPainterPath tray;
    tray.moveTo(l + s * 0.22, t + s * 0.58);
    tray.lineTo(l + s * 0.22, t + s * 0.78);
    tray.lineTo(l + s * 0.78, t + s * 0.78);
    tray.lineTo(l + s * 0.78, t + s * 0.58);
    P.drawPath(tray);
}

QImage Banner(qreal S) {
    const int w = 620;
    const int h = 241;
    QImage picture = NewPicture(w, h, S);
    QPainter p(&picture);
    PrepareForDrawing(p);

    QLinearGradient sky(0, 0, w, h);
    sky.setColorAt(0.0, QColor(28, 96, 172));
    sky.setColorAt(0.55, QColor(20, 74, 148));
    sky.setColorAt(1.0, QColor(12, 46, 104));
    p.fillRect(QRect(0, 0, w, h), sky);

    // A glow behind the logo.
    QRadialGradient glow(QPointF(150, 110), 260);
    glow.setColorAt(0.0, QColor(120, 190, 255, 90));
    glow.setColorAt(1.0, QColor(120, 190, 255, 0));
    p.fillRect(QRect(0, 0, w, h), glow);

    // Large soft discs on the right, kept below the title buttons' corner.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 12));
    p.drawEllipse(QPointF(540, 200), 150, 150);
    p.setBrush(QColor(255, 255, 255, 10));
    p.drawEllipse(QPointF(470, 250), 110, 110);
    p.setBrush(QColor(140, 200, 255, 16));
    p.drawEllipse(QPointF(610, 130), 70, 70);

    // Floating blocks: the pieces of a package.
    struct TBlock {
        double X, Y, Size, Angle;
        int Alpha;
    };
    const TBlock blocks[] = {{452, 64, 34, 18, 46}, {506, 104, 22, 32, 60}, {420, 128, 16, 8, 54},
                             {566, 76, 14, 40, 50}, {486, 160, 12, 22, 44}, {388, 86, 10, 30, 40}};
    for (const TBlock& b : blocks) {
        p.save();
        p.translate(b.X, b.Y);
        p.rotate(b.Angle);
        p.setPen(QPen(QColor(255, 255, 255, b.Alpha + 40), 1.0));
        p.setBrush(QColor(255, 255, 255, b.Alpha / 2));
        p.drawRoundedRect(QRectF(-b.Size / 2, -b.Size / 2, b.Size, b.Size), b.Size * 0.2, b.Size * 0.2);
        p.restore();
    }

    // A field of small dots fading to the left.
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 6; ++row) {
        for (int col = 0; col < 12; ++col) {
            const double x = 360 + col * 14;
            const double y = 40 + row * 14;
            if (x > 525 && y < 40) {
                continue;
            }
            const int alpha = 8 + col * 3;
            p.setBrush(QColor(255, 255, 255, alpha));
            p.drawEllipse(QPointF(x, y), 1.3, 1.3);
        }
    }

    // Ribbons of light across the lower half.
    struct TRibbon {
        double BaseY, Amplitude, Phase, Periods, Width;
        int Alpha;
    };
    const TRibbon ribbons[] = {{176, 16, 0.4, 1.1, 1.4, 90},
                               {184, 20, 1.1, 0.9, 1.0, 64},
                               {170, 12, 2.0, 1.3, 1.0, 50},
                               {192, 24, 2.8, 0.8, 2.0, 36}};
    p.setBrush(Qt::NoBrush);
    for (const TRibbon& r : ribbons) {
        QLinearGradient fade(0, 0, w, 0);
        fade.setColorAt(0.0, QColor(255, 255, 255, 0));
        fade.setColorAt(0.45, QColor(170, 220, 255, r.Alpha));
        fade.setColorAt(1.0, QColor(255, 255, 255, r.Alpha / 2));
        p.setPen(QPen(QBrush(fade), r.Width));
        p.drawPath(Wave(w, r.BaseY, r.Amplitude, r.Phase, r.Periods));
    }

    // The banner flows into the white page below it.
    QPainterPath shore = Wave(w, 224, 7, 0.6, 1.0);
    shore.lineTo(w, h);
    shore.lineTo(0, h);
    shore.closeSubpath();
    QPainterPath mist = Wave(w, 216, 9, 1.9, 0.9);
    mist.lineTo(w, h);
    mist.lineTo(0, h);
    mist.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawPath(mist);
    p.setBrush(Qt::white);
    p.drawPath(shore);

    DrawLogoMark(p, QRectF(58, 60, 72, 72));

    QFont word = CjkFont(46, true);
    word.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    p.setFont(word);
    p.setPen(QColor(0, 20, 60, 70));
    p.drawText(QPointF(151, 106), QStringLiteral("Keltrima"));
    p.setPen(Qt::white);
    p.drawText(QPointF(150, 104), QStringLiteral("Keltrima"));

    p.setFont(CjkFont(21));
    p.setPen(QColor(255, 255, 255, 235));
    p.drawText(QPointF(152, 138), QStringLiteral("山东版 · 完整安装包"));

    p.setPen(QPen(QColor(255, 255, 255, 90), 1.0));
    p.drawLine(QPointF(152, 152.5), QPointF(352, 152.5));

    p.setFont(CjkFont(13));
    p.setPen(QColor(220, 236, 255, 200));
    p.drawText(QPointF(152, 172), QStringLiteral("高速下载  ·  断点续传  ·  一键安装"));
    return picture;
}

// Minimise and close, drawn white so that they sit on the banner and on the blue title bars.
QImage TitleButton(bool Close, bool Hover, qreal S) {
    QImage picture = NewPicture(30, 27, S);
    QPainter p(&picture);
    PrepareForDrawing(p);
    if (Hover) {
        p.fillRect(QRect(0, 0, 30, 27), Close ? kCloseHover : QColor(255, 255, 255, 56));
    }
    const QColor ink(255, 255, 255, Hover ? 255 : 230);
    if (Close) {
        DrawCross(p, QPointF(15, 13.5), 4.5, 1.5, ink);
    } else {
        // Whole pixels, so that the line stays sharp.
        p.fillRect(QRect(10, 13, 10, 2), ink);
    }
    return picture;
}

QImage Button(int Width, int Height, const QString& Caption, int PixelSize, bool Hover, qreal S,
              TGlyph Glyph = TGlyph::None) {
    QImage picture = NewPicture(Width, Height, S);
    DrawButton(picture, Hover ? kButtonHover : kButton, Caption, PixelSize, Glyph);
    return picture;
}

QImage ProgressTrack(qreal S) {
    QImage picture = NewPicture(551, 19, S);
    QPainter p(&picture);
    PrepareForDrawing(p);
    const QRectF track(0.5, 0.5, 550, 18);
    QLinearGradient fill(track.topLeft(), track.bottomLeft());
    fill.setColorAt(0.0, QColor(226, 231, 238));
    fill.setColorAt(1.0, QColor(238, 241, 246));
    p.setBrush(fill);
    p.setPen(QPen(QColor(207, 215, 226), 1.0));
    p.drawRoundedRect(track, 9, 9);
    return picture;
}

// Drawn at full length: the window shows it unstretched, clipped to the reached width.
QImage ProgressFill(qreal S) {
    QImage picture = NewPicture(551, 19, S);
    QPainter p(&picture);
    PrepareForDrawing(p);
    const QRectF bar(1.5, 1.5, 548, 16);
    QPainterPath shape;
    shape.addRoundedRect(bar, 8, 8);
    QLinearGradient fill(bar.topLeft(), bar.bottomLeft());
    fill.setColorAt(0.0, Mix(kButton, Qt::white, 0.22));
    fill.setColorAt(0.55, kButton);
    fill.setColorAt(1.0, Mix(kButton, kButtonHover, 0.6));
    p.fillPath(shape, fill);

    // Slanted stripes, faint, clipped to the bar.
    p.save();
    p.setClipPath(shape);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 26));
    for (int x = -20; x < 560; x += 16) {
        QPolygonF stripe;
        stripe << QPointF(x, 19) << QPointF(x + 8, 19) << QPointF(x + 16, 0) << QPointF(x + 8, 0);
        p.drawPolygon(stripe);
    }
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawRect(QRectF(bar.left(), bar.top(), bar.width(), 4));
    p.restore();
    p.setPen(QPen(Mix(kButtonHover, Qt::black, 0.05), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
    return picture;
}

QImage GrayArrow(qreal S) {
    QImage picture = NewPicture(14, 15, S);
    QPainter p(&picture);
    PrepareForDrawing(p);
    p.setPen(QPen(kGrey, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (double x : {3.0, 7.5}) {
        QPainterPath chevron;
        chevron.moveTo(x, 4);
        chevron.lineTo(x + 3.5, 7.5);
        chevron.lineTo(x, 11);
        p.drawPath(chevron);
    }
    return picture;
}

// ---------------------------------------------------------------------------------------------------------
// Round icons: the failure prompt's and the message box's
// ---------------------------------------------------------------------------------------------------------

void DrawDisc(QPainter& P, QPointF Centre, double Radius, const QColor& Colour) {
    P.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        P.setBrush(QColor(10, 40, 80, 16 * (4 - i)));
        P.drawEllipse(Centre + QPointF(0, i * 0.6), Radius + i * 0.4, Radius + i * 0.4);
    }
    QLinearGradient fill(Centre - QPointF(0, Radius), Centre + QPointF(0, Radius));
    fill.setColorAt(0.0, Mix(Colour, Qt::white, 0.22));
    fill.setColorAt(1.0, Mix(Colour, Qt::black, 0.10));
    P.setBrush(fill);
    P.setPen(QPen(Mix(Colour, Qt::black, 0.2), 1.0));
    P.drawEllipse(Centre, Radius, Radius);
    // A gloss on the upper half.
    QRadialGradient gloss(Centre - QPointF(Radius * 0.3, Radius * 0.6), Radius * 1.1);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 70));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    P.setPen(Qt::NoPen);
    P.setBrush(gloss);
    P.drawEllipse(Centre, Radius - 1, Radius - 1);
}

// "!" or "i" as geometry, scaled to the disc.
void DrawMark(QPainter& P, QPointF Centre, double Radius, bool Exclamation) {
    P.setPen(Qt::NoPen);
    P.setBrush(Qt::white);
    const double bar = Radius * 0.2;
    const double dot = Radius * 0.13;
    if (Exclamation) {
        QPainterPath stem;
        stem.addRoundedRect(QRectF(Centre.x() - bar / 2, Centre.y() - Radius * 0.56, bar, Radius * 0.72),
                            bar / 2, bar / 2);
        P.drawPath(stem);
        P.drawEllipse(QPointF(Centre.x(), Centre.y() + Radius * 0.42), dot, dot);
    } else {
        P.drawEllipse(QPointF(Centre.x(), Centre.y() - Radius * 0.44), dot, dot);
        QPainterPath stem;
        stem.addRoundedRect(QRectF(Centre.x() - bar / 2, Centre.y() - Radius * 0.18, bar, Radius * 0.74),
                            bar / 2, bar / 2);
        P.drawPath(stem);
    }
}

QImage InfoIcon(qreal S) {
    QImage picture = NewPicture(60, 54, S);
    QPainter p(&picture);
    PrepareForDrawing(p);
    const QPointF centre(30, 26);
    DrawDisc(p, centre, 22, kWarning);
    DrawMark(p, centre, 22, true);
    return picture;
}

enum class TMsgIcon { Information, Error, Warning, Question };

QImage MessageIcon(TMsgIcon Kind, qreal S) {
    QImage picture = NewPicture(48, 48, S);
    QPainter p(&picture);
    PrepareForDrawing(p);
    const QPointF centre(24, 23);
    const double r = 19;
    switch (Kind) {
    case TMsgIcon::Information:
        DrawDisc(p, centre, r, kButton);
        DrawMark(p, centre, r, false);
        break;
    case TMsgIcon::Error:
        DrawDisc(p, centre, r, kError);
        DrawCross(p, centre, r * 0.36, r * 0.2, Qt::white);
        break;
    case TMsgIcon::Question: {
        DrawDisc(p, centre, r, kButtonHover);
        QFont font = CjkFont(26, true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), Qt::AlignCenter,
                   QStringLiteral("?"));
        break;
    }
    case TMsgIcon::Warning: {
        // A rounded triangle.
        QPainterPath triangle;
        const QPointF top(24, 5), left(4, 41), right(44, 41);
        triangle.moveTo(top);
        triangle.lineTo(right);
        triangle.lineTo(left);
        triangle.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(10, 40, 80, 30));
        p.drawPath(triangle.translated(0, 1.2));
        QLinearGradient fill(top, QPointF(24, 41));
        fill.setColorAt(0.0, Mix(kWarning, Qt::white, 0.2));
        fill.setColorAt(1.0, Mix(kWarning, Qt::black, 0.08));
        p.setBrush(fill);
        p.setPen(QPen(Mix(kWarning, Qt::black, 0.22), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(triangle);
        DrawMark(p, QPointF(24, 27.5), 18, true);
        break;
    }
    }
    return picture;
}

// ---------------------------------------------------------------------------------------------------------
// Failure prompt
// ---------------------------------------------------------------------------------------------------------

QImage BrowserLink(qreal S) {
    QImage picture = NewPicture(105, 17, S);
    QPainter p(&picture);
    PrepareForDrawing(p);
    const QFont font = CjkFont(13);
    p.setFont(font);
    p.setPen(kLink);
    const QString caption = QStringLiteral("使用浏览器下载");
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(caption);
    const double left = std::round((105 - width) / 2);
    p.drawText(QRectF(left, 0, width + 1, 15), Qt::AlignCenter, caption);
    p.fillRect(QRectF(left, 15, std::round(width), 1), QColor(kLink.red(), kLink.green(), kLink.blue(), 150));
    return picture;
}

QImage TitleBar(int Width, int Height, qreal S) {
    QImage picture = NewPicture(Width, Height, S);
    DrawTitleBar(picture);
    return picture;
}

// ---------------------------------------------------------------------------------------------------------
// Message box
// ---------------------------------------------------------------------------------------------------------

QImage MessageClose(bool Hover, qreal S) {
    QImage picture = NewPicture(26, 26, S);
    QPainter p(&picture);
    PrepareForDrawing(p);
    if (Hover) {
        p.setPen(Qt::NoPen);
        p.setBrush(kCloseHover);
        p.drawRoundedRect(QRectF(1, 1, 24, 24), 4, 4);
    }
    DrawCross(p, QPointF(13, 13), 4.5, 1.5, Qt::white);
    return picture;
}

// The one-pixel frame around the body: plain frame grey, stretched over the whole box.
QImage MessageFrame(qreal S) {
    QImage picture = NewPicture(8, 8, S);
    picture.fill(kFrame);
    return picture;
}

// The button bar: the bar colour with a divider line at its top; stretched sideways only.
QImage MessageButtonBar(qreal S) {
    QImage picture = NewPicture(16, 46, S);
    picture.fill(kBar);
    QPainter p(&picture);
    p.fillRect(QRect(0, 0, 16, 1), QColor(222, 228, 236));
    p.fillRect(QRect(0, 1, 16, 1), QColor(250, 251, 253));
    return picture;
}

} // namespace

std::vector<TPicture> AllPictures() {
    auto add = [](std::vector<TPicture>& list, const char* name, int w, int h,
                  std::function<QImage(qreal)> draw) {
        list.push_back(TPicture{QString::fromLatin1(name), w, h, std::move(draw)});
    };
    const QString downloadNow = QStringLiteral("立即下载");
    const QString browse = QStringLiteral("浏览");
    const QString download = QStringLiteral("开始下载");
    const QString install = QStringLiteral("立即安装");
    const QString redownload = QStringLiteral("重新下载");

    std::vector<TPicture> list;
    // Main window
    add(list, "banner.png", 620, 241, Banner);
    add(list, "min_normal.png", 30, 27, [](qreal S) { return TitleButton(false, false, S); });
    add(list, "min_hover.png", 30, 27, [](qreal S) { return TitleButton(false, true, S); });
    add(list, "close_normal.png", 30, 27, [](qreal S) { return TitleButton(true, false, S); });
    add(list, "close_hover.png", 30, 27, [](qreal S) { return TitleButton(true, true, S); });
    add(list, "download_now.png", 215, 57,
        [=](qreal S) { return Button(215, 57, downloadNow, 22, false, S, TGlyph::Download); });
    add(list, "download_now_hover.png", 215, 57,
        [=](qreal S) { return Button(215, 57, downloadNow, 22, true, S, TGlyph::Download); });
    add(list, "folder.png", 70, 26, [=](qreal S) { return Button(70, 26, browse, 13, false, S); });
    add(list, "folder_hover.png", 70, 26, [=](qreal S) { return Button(70, 26, browse, 13, true, S); });
    add(list, "download.png", 196, 50,
        [=](qreal S) { return Button(196, 50, download, 20, false, S, TGlyph::Download); });
    add(list, "download_hover.png", 196, 50,
        [=](qreal S) { return Button(196, 50, download, 20, true, S, TGlyph::Download); });
    add(list, "install.png", 194, 48,
        [=](qreal S) { return Button(194, 48, install, 20, false, S, TGlyph::Install); });
    add(list, "install_hover.png", 194, 48,
        [=](qreal S) { return Button(194, 48, install, 20, true, S, TGlyph::Install); });
    add(list, "progress_track.png", 551, 19, ProgressTrack);
    add(list, "progress_fill.png", 551, 19, ProgressFill);
    add(list, "gray_arrow.png", 14, 15, GrayArrow);
    // Failure prompt
    add(list, "info_icon.png", 60, 54, InfoIcon);
    add(list, "redownload.png", 66, 27, [=](qreal S) { return Button(66, 27, redownload, 12, false, S); });
    add(list, "redownload_hover.png", 66, 27,
        [=](qreal S) { return Button(66, 27, redownload, 12, true, S); });
    add(list, "browser_link.png", 105, 17, BrowserLink);
    add(list, "info_titlebar.png", 413, 35, [](qreal S) { return TitleBar(413, 35, S); });
    // Message box
    add(list, "msg_information.png", 48, 48, [](qreal S) { return MessageIcon(TMsgIcon::Information, S); });
    add(list, "msg_error.png", 48, 48, [](qreal S) { return MessageIcon(TMsgIcon::Error, S); });
    add(list, "msg_warning.png", 48, 48, [](qreal S) { return MessageIcon(TMsgIcon::Warning, S); });
    add(list, "msg_question.png", 48, 48, [](qreal S) { return MessageIcon(TMsgIcon::Question, S); });
    add(list, "msg_close.png", 26, 26, [](qreal S) { return MessageClose(false, S); });
    add(list, "msg_close_hover.png", 26, 26, [](qreal S) { return MessageClose(true, S); });
    add(list, "msg_titlebar.png", 16, 35, [](qreal S) { return TitleBar(16, 35, S); });
    add(list, "msg_frame.png", 8, 8, MessageFrame);
    add(list, "msg_buttonbar.png", 16, 46, MessageButtonBar);
    return list;
}
