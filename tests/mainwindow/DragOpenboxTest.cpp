// Dragging the three windows under a real X11 window manager (openbox, on an Xvfb of the test's own): a
// press of the right, middle or left button on a window's drag area, a move and the release leave the
// window where the pointer took it; the pointer moving on afterwards leaves it there, and the next left
// click reaches its target.
#include "QuietSeams.h"
#include "chrome/CjkFont.h"
#include "chrome/f_ShadowFrame.h"
#include "forms/f_Info.h"
#include "forms/f_Main.h"
#include "forms/f_MsgDlgBox.h"
#include "tests/support/XServer.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>

namespace {

using testsupport::RunTool;

std::string Str(int value) {
    return std::to_string(value);
}

void Pointer(QPoint at) {
    RunTool({"xdotool", "mousemove", Str(at.x()), Str(at.y())});
}

// Press, two moves and the release of one button, as a person drags: the window follows while it is held.
// The program serves its events meanwhile, as it would for a person's hand.
bool Drag(QPoint from, QPoint by, int button) {
    const QPoint half = from + by / 2;
    const QPoint to = from + by;
    testsupport::TChildProcess hand;
    hand.Start({"xdotool",     "mousemove", Str(from.x()), Str(from.y()), "sleep",     "0.3",
                "mousedown",   Str(button), "sleep",       "0.3",         "mousemove", Str(half.x()),
                Str(half.y()), "sleep",     "0.3",         "mousemove",   Str(to.x()), Str(to.y()),
                "sleep",       "0.3",       "mouseup",     Str(button)},
               "/dev/null");
    return QTest::qWaitFor([&hand] { return !hand.Running(); }, 10000);
}

void LeftClick(QPoint at) {
    RunTool({"xdotool", "mousemove", Str(at.x()), Str(at.y()), "sleep", "0.2", "click", "1"});
}

QPoint Centre(QWidget* widget) {
    return widget->mapToGlobal(widget->rect().center());
}

template <class T = QWidget>
T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QLatin1String(name));
    if (child == nullptr)
        qFatal("no control %s", name);
    return child;
}

} // namespace

class TestDragOpenbox : public QObject {
    Q_OBJECT

    // Drags the window by its area, checks where it went and that it stays there, then clicks the target.
    void DragThenClick(QWidget* window, QWidget* grip, int button, QWidget* target,
                       const std::function<bool()>& targetReached) {
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::qWait(300);
        const QPoint start = window->pos();
        const QPoint by(60, 40);
        QVERIFY(Drag(Centre(grip), by, button));
        QTRY_COMPARE_WITH_TIMEOUT(window->pos(), start + by, 3000);
        // The drag ended with the release: the pointer moving on leaves the window where it is.
        Pointer(Centre(grip) + QPoint(90, 70));
        QTest::qWait(400);
        QCOMPARE(window->pos(), start + by);
        // And the next left click reaches its target, not a move still waiting for its end.
        LeftClick(Centre(target));
        QTRY_VERIFY_WITH_TIMEOUT(targetReached(), 3000);
        QCOMPARE(window->pos(), start + by);
    }

private slots:
    void mainWindowBanner_data() {
        QTest::addColumn<int>("button");
        QTest::newRow("right") << 3;
        QTest::newRow("middle") << 2;
        QTest::newRow("left") << 1;
    }
    void mainWindowBanner() {
        QFETCH(int, button);
        Tfrm_Main window(QuietSeams());
        window.show();
        auto* line = Child<QRadioButton>(&window, "RdbLT");
        DragThenClick(&window, Child(&window, "imgTop"), button, line, [line] { return line->isChecked(); });
    }

    void failPromptTitleBar_data() { mainWindowBanner_data(); }
    void failPromptTitleBar() {
        QFETCH(int, button);
        Tfrm_Info prompt;
        prompt.setModal(false);
        prompt.show();
        DragThenClick(&prompt, Child(&prompt, "pnl_Titile"), button, Child(&prompt, "btnReLoad"), [&prompt] {
            return prompt.Result() == Tfrm_Info::frDownloadAgain && !prompt.isVisible();
        });
    }

    void messageBoxTitleBar_data() { mainWindowBanner_data(); }
    void messageBoxTitleBar() {
        QFETCH(int, button);
        Tfrm_MsgDlg box;
        box.Prepare(mbkOkCancel, QStringLiteral("文件已存在，需要重新下载吗？"), QString(), false, QString());
        box.setModal(false);
        box.show();
        DragThenClick(&box, Child(&box, "Image1"), button, Child(&box, "sBtnRight"),
                      [&box] { return !box.isVisible() && box.ResultFor(box.result()) == 3; });
    }
};

int main(int argc, char** argv) {
    std::unique_ptr<testsupport::TXServer> x;
    try {
        x = std::make_unique<testsupport::TXServer>();
        x->StartWindowManager();
    } catch (const std::exception& error) {
        qCritical("%s", error.what());
        return 2;
    }
    QApplication app(argc, argv);
    InstallCjkFontSubstitution();
    TestDragOpenbox test;
    return QTest::qExec(&test, argc, argv);
}

#include "DragOpenboxTest.moc"
