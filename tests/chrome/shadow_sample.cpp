// The look tool: a frameless 620 x 416 sample window with its drop shadow, built from the chrome's
// controls and the program's pictures (banner that drags the window, minimise and close picture buttons,
// a clickable picture with a hover picture), on a light desktop-coloured backdrop, for a screenshot under
// Xvfb with a compositing manager (scripts/shadow-look.sh).
// Usage: shadow_sample [seconds before quitting, default 8] [--follow]
//   --follow: after one second the form moves to (60, 60) and shrinks to 500 x 300, so that the
//   picture shows the shadow rebuilt for the new size.
#include "chrome/CjkFont.h"
#include "chrome/ClickImage.h"
#include "chrome/PNGImageButton.h"
#include "chrome/WindowDrag.h"
#include "chrome/f_ShadowFrame.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
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

    // The window holds the form's area in a layout; the shadow puts its band around it.
    QWidget form(nullptr, Qt::FramelessWindowHint);
    auto* layout = new QVBoxLayout(&form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* area = new QWidget;
    area->setObjectName("area");
    area->setStyleSheet("QWidget#area { background: white; }");
    area->setFont(YaheiFont(12));
    area->setFixedSize(620, 416);
    layout->addWidget(area);

    auto* banner = new TClickImage(area);
    banner->SetPictures(Picture("banner.png"));
    banner->setGeometry(0, 0, 620, 241);
    banner->setCursor(Qt::ArrowCursor);
    QObject::connect(banner, &TClickImage::OnMouseDown, banner,
                     [&form](QMouseEvent* event) { DragWindow(&form, event); });

    auto* minimise = new TPNGImageButtonEx(area);
    minimise->SetPngImg(Picture("min_normal.png"));
    minimise->SetPngOver(Picture("min_hover.png"));
    minimise->move(560, 0);
    minimise->setCursor(Qt::PointingHandCursor);
    QObject::connect(minimise, &TPNGImageButton::OnClick, &form, &QWidget::showMinimized);
    auto* close = new TPNGImageButtonEx(area);
    close->SetPngImg(Picture("close_normal.png"));
    close->SetPngOver(Picture("close_hover.png"));
    close->move(590, 0);
    close->setCursor(Qt::PointingHandCursor);
    QObject::connect(close, &TPNGImageButton::OnClick, &app, &QApplication::quit);

    auto* text = new QLabel(QStringLiteral("无边框窗口 620 × 416，带柔和的阴影"), area);
    text->setFont(YaheiFont(15));
    text->setAlignment(Qt::AlignCenter);
    text->setGeometry(0, 256, 620, 30);
    auto* action = new TClickImage(area);
    action->SetPictures(Picture("download_now.png"), Picture("download_now_hover.png"));
    action->setGeometry((620 - 215) / 2, 310, 215, 57);

    auto* shadow = new TFormShadow(&form);
    shadow->SetForm(&form);
    shadow->MoveForm(QPoint(140, 110));
    form.show();
    shadow->SetShadowVisible(true);

    if (argc > 2 && QString::fromLocal8Bit(argv[2]) == QLatin1String("--follow"))
        QTimer::singleShot(1000, &form, [shadow, area] {
            shadow->MoveForm(QPoint(60, 60));
            area->setFixedSize(500, 300);
        });
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
