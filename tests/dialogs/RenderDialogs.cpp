// Renders the failure prompt and the message box in several kinds to PNG files, to look at them:
//   render_dialogs <folder>                    every window, one file each
//   render_dialogs <folder> --hold <name> <s>  also keeps that window shown for s seconds (for a
//                                              screenshot of the whole screen, shadow included)
#include "forms/f_Info.h"
#include "forms/f_MsgDlgBox.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct TScene {
    const char* Name;
    std::function<std::unique_ptr<QDialog>()> Make;
};

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::unique_ptr<QDialog> MessageBox(std::uint8_t kind, const QString& message, const QString& detail,
                                    bool checked, const QString& caption) {
    auto form = std::make_unique<Tfrm_MsgDlg>();
    form->Prepare(kind, message, detail, checked, caption);
    return form;
}

void OpenDetail(QDialog* form) {
    if (auto* toggle = form->findChild<QPushButton*>(QStringLiteral("sBtnDetail")))
        toggle->click();
}

std::vector<TScene> Scenes() {
    const QString detail = QStringLiteral("地址: http://dx.keltrima-mirror.example/uploads/"
                                          "Keltrima（山东）（完整安装包）.exe\n"
                                          "[THttpClient._HttpRequest] 无法连接到服务器: 连接被拒绝\n"
                                          "重试次数: 3");
    return {
        {"info", [] { return std::make_unique<Tfrm_Info>(); }},
        {"msg0",
         [] { return MessageBox(mbkInformation, QStringLiteral("安装包已下载完成。"), {}, false, {}); }},
        {"msg1",
         [=] {
             auto form = MessageBox(mbkError,
                                    QStringLiteral("下载安装包时发生错误，请检查网络连接后重新下载，"
                                                   "或者使用浏览器直接下载完整安装包进行安装。"),
                                    detail, false, {});
             OpenDetail(form.get());
             return form;
         }},
        {"msg3",
         [] {
             return MessageBox(mbkOkCancel,
                               QStringLiteral("文件“Keltrima（山东）（完整安装包）.exe”已存在，是否替换？"),
                               {}, true, QStringLiteral("以后不再提示"));
         }},
        {"msg4",
         [=] {
             auto form = MessageBox(mbkYesNoCancel, QStringLiteral("下载尚未完成，是否保留已下载的部分？"),
                                    detail, false, QStringLiteral("记住我的选择"));
             OpenDetail(form.get());
             return form;
         }},
        {"msg7", [] { return MessageBox(200, QStringLiteral("没有按钮的消息框"), {}, false, {}); }},
    };
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: render_dialogs <folder> [--hold <name> <seconds>]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString hold = argc == 5 ? QString::fromLocal8Bit(argv[3]) : QString();
    const int holdSeconds = argc == 5 ? std::atoi(argv[4]) : 0;
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    int failures = 0;
    for (const TScene& scene : Scenes()) {
        const std::unique_ptr<QDialog> form = scene.Make();
        form->show();
        Wait(300);
        const QString file = QDir(folder).filePath(QString::fromLatin1(scene.Name) + QStringLiteral(".png"));
        if (!form->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        } else {
            std::printf("%s %dx%d\n", qPrintable(file), form->width(), form->height());
        }
        if (hold == QLatin1String(scene.Name))
            Wait(std::max(0, holdSeconds) * 1000);
        form->hide();
    }
    return failures == 0 ? 0 : 1;
}
