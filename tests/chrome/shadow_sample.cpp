// The look tool: a frameless 620 x 416 sample window with its drop shadow, built from the chrome's
// controls and the program's pictures (banner that drags the window, minimise and close picture buttons,
// a clickable picture with a hover picture), on a light desktop-coloured backdrop, for a screenshot under
// Xvfb with a compositing manager (scripts/shadow-look.sh).
// Usage: shadow_sample [seconds before quitting, default 8] [--follow]
//   --follow: after one second the form moves to (60, 60) and shrinks to 500 x 300, so that the
//   picture shows whether the shadow followed.
#include "chrome/CjkFont.h"
#include "chrome/ClickImage.h"
#include "chrome/PNGImageButton.h"
#include "chrome/WindowDrag.h"
#include "chrome/f_ShadowFrame.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

namespace {
QImage Picture(const char* name) {
    return QImage(QStringLiteral(":/pictures/") + QLatin1String(name));
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallCjkFontSubstitution();
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;

    QWidget backdrop(nullptr, Qt::FramelessWindowHint);
    backdrop.setStyleSheet("background: rgb(236, 239, 244);");
    backdrop.setGeometry(0, 0, 900, 640);
    backdrop.show();

    QWidget form(nullptr, Qt::FramelessWindowHint);
    form.setObjectName("form");
    form.setStyleSheet("QWidget#form { background: white; }");
    form.setFont(YaheiFont(12));

    auto* banner = new TClickImage(&form);
    banner->SetPictures(Picture("banner.png"));
    banner->setGeometry(0, 0, 620, 241);
    banner->setCursor(Qt::ArrowCursor);
    QObject::connect(banner, &TClickImage::OnMouseDown, banner,
                     [&form](QMouseEvent* event) { DragWindow(&form, event); });

    auto* minimise = new TPNGImageButtonEx(&form);
    minimise->SetPngImg(Picture("min_normal.png"));
    minimise->SetPngOver(Picture("min_hover.png"));
    minimise->move(560, 0);
    minimise->setCursor(Qt::PointingHandCursor);
    QObject::connect(minimise, &TPNGImageButton::OnClick, &form, &QWidget::showMinimized);
    auto* close = new TPNGImageButtonEx(&form);
    close->SetPngImg(Picture("close_normal.png"));
    close->SetPngOver(Picture("close_hover.png"));
    close->move(590, 0);
    close->setCursor(Qt::PointingHandCursor);
    QObject::connect(close, &TPNGImageButton::OnClick, &app, &QApplication::quit);

    auto* text = new QLabel(QStringLiteral("无边框窗口 620 × 416，带柔和的阴影"), &form);
    text->setFont(YaheiFont(15));
    text->setAlignment(Qt::AlignCenter);
    text->setGeometry(0, 256, 620, 30);
    auto* action = new TClickImage(&form);
    action->SetPictures(Picture("download_now.png"), Picture("download_now_hover.png"));
    action->setGeometry((620 - 215) / 2, 310, 215, 57);

    form.setGeometry(140, 110, 620, 416);
    auto* shadow = new TFormShadow(&form);
    shadow->SetForm(&form);
    form.show();
    shadow->SetShadowVisible(true);

    if (argc > 2 && QString::fromLocal8Bit(argv[2]) == QLatin1String("--follow"))
        QTimer::singleShot(1000, &form, [&form] { form.setGeometry(60, 60, 500, 300); });
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
