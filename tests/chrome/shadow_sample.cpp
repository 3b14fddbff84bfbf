// The look tool: a frameless 620 x 416 sample window with its drop shadow, on a light desktop-coloured
// backdrop, for a screenshot under Xvfb with a compositing manager (scripts/shadow-look.sh).
// Usage: shadow_sample [seconds before quitting, default 8] [--follow]
//   --follow: after one second the form moves to (60, 60) and shrinks to 500 x 300, so that the
//   picture shows whether the shadow followed.
#include "chrome/CjkFont.h"
#include "chrome/f_ShadowFrame.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallCjkFontSubstitution();
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;

    QWidget backdrop(nullptr, Qt::FramelessWindowHint);
    backdrop.setStyleSheet("background: rgb(236, 239, 244);");
    backdrop.setGeometry(0, 0, 900, 640);
    backdrop.show();

    QWidget form(nullptr, Qt::FramelessWindowHint);
    form.setStyleSheet("QWidget#form { background: white; }"
                       "QLabel#title { background: rgb(66, 139, 202); color: white; padding-left: 12px; }");
    form.setObjectName("form");
    auto* layout = new QVBoxLayout(&form);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(QStringLiteral("阴影示例窗口"), &form);
    title->setObjectName("title");
    title->setFont(YaheiFont(15));
    title->setFixedHeight(35);
    layout->addWidget(title);
    auto* body = new QLabel(QStringLiteral("无边框窗口 620 × 416，带柔和的阴影"), &form);
    body->setFont(YaheiFont(15));
    body->setAlignment(Qt::AlignCenter);
    layout->addWidget(body, 1);
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
