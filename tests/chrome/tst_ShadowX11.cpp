// The shadow on a real X display: stacking directly beneath the form, placement by the X server, and
// no shadow at all while no compositing manager runs. The test starts its own Xvfb (on a display it
// chooses with -displayfd, no TCP) and its own xcompmgr, and stops both.
#include "chrome/f_ShadowFrame.h"

#include <QApplication>
#include <QtTest>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// A child process, stopped and reaped when this goes.
class TChild {
public:
    TChild() = default;
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;
    ~TChild() { Stop(); }

    // Starts argv[0] with the given arguments; keepFd stays open in the child.
    bool Start(const std::vector<std::string>& args, int keepFd = -1) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        FPid = fork();
        if (FPid == 0) {
            for (int fd = 3; fd < 256; ++fd)
                if (fd != keepFd)
                    close(fd);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        return FPid > 0;
    }
    void Stop() {
        if (FPid <= 0)
            return;
        kill(FPid, SIGTERM);
        int status = 0;
        waitpid(FPid, &status, 0);
        FPid = -1;
    }

private:
    pid_t FPid = -1;
};

xcb_connection_t* Connection() {
    return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// Children of the root window, bottom to top.
std::vector<xcb_window_t> StackingOrder() {
    xcb_connection_t* c = Connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    std::vector<xcb_window_t> order;
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        order.assign(children, children + xcb_query_tree_children_length(tree));
        std::free(tree);
    }
    return order;
}

int StackIndex(QWidget* w) {
    const auto order = StackingOrder();
    for (int i = 0; i < int(order.size()); ++i)
        if (order[i] == static_cast<xcb_window_t>(w->winId()))
            return i;
    return -1;
}

QRect ServerGeometry(QWidget* w) {
    xcb_connection_t* c = Connection();
    xcb_get_geometry_reply_t* g =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, static_cast<xcb_window_t>(w->winId())), nullptr);
    if (!g)
        return {};
    const QRect r(g->x, g->y, g->width, g->height);
    std::free(g);
    return r;
}

// A window that counts the mouse presses the X server gives it.
class TPressCounter : public QWidget {
public:
    using QWidget::QWidget;
    int Presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++Presses; }
};

struct TForm {
    std::unique_ptr<QWidget> Form = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    TFormShadow* Shadow = new TFormShadow(Form.get());
    explicit TForm(QRect geometry) {
        Form->setStyleSheet("background: white;");
        Form->setGeometry(geometry);
        Shadow->SetForm(Form.get());
        Form->show();
        Shadow->SetShadowVisible(true);
    }
};

} // namespace

class TestShadowX11 : public QObject {
    Q_OBJECT
    TChild FCompositor;

    bool StartCompositor() {
        if (!FCompositor.Start({"xcompmgr", "-n"}))
            return false;
        return QTest::qWaitFor([] { return TFormShadow::CompositorRunning(); }, 5000);
    }

private slots:
    void cleanupTestCase() { FCompositor.Stop(); }
    void initTestCase() { QVERIFY(StartCompositor()); }

    void liesDirectlyBeneathItsForm() {
        QWidget other(nullptr, Qt::FramelessWindowHint);
        other.setGeometry(0, 0, 300, 300);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        TForm f(QRect(100, 100, 620, 416));
        QVERIFY(QTest::qWaitForWindowExposed(f.Form.get()));
        QTRY_VERIFY(f.Shadow->ShadowWindowVisible());
        QTRY_COMPARE(StackIndex(f.Shadow->ShadowWindow()), StackIndex(f.Form.get()) - 1);
        QVERIFY(StackIndex(&other) < StackIndex(f.Shadow->ShadowWindow()));
        QTRY_COMPARE(ServerGeometry(f.Shadow->ShadowWindow()), QRect(84, 84, 652, 448));

        // A window mapped later covers both; when the form comes to the front again, its shadow comes
        // with it, directly beneath.
        QWidget later(nullptr, Qt::FramelessWindowHint);
        later.setGeometry(500, 400, 300, 200);
        later.show();
        QVERIFY(QTest::qWaitForWindowExposed(&later));
        QTRY_VERIFY(StackIndex(&later) > StackIndex(f.Form.get()));
        later.activateWindow();
        QTRY_VERIFY(later.isActiveWindow());
        f.Form->raise();
        f.Form->activateWindow();
        QTRY_VERIFY(f.Form->isActiveWindow());
        QTRY_VERIFY(StackIndex(f.Form.get()) > StackIndex(&later));
        QTRY_COMPARE(StackIndex(f.Shadow->ShadowWindow()), StackIndex(f.Form.get()) - 1);
    }

    // A click on the shadow band reaches the window below it.
    void clicksFallThroughTheShadow() {
        TPressCounter below(nullptr, Qt::FramelessWindowHint);
        below.setGeometry(0, 0, 300, 300);
        below.show();
        QVERIFY(QTest::qWaitForWindowExposed(&below));
        TForm f(QRect(100, 100, 300, 200));
        QTRY_VERIFY(f.Shadow->ShadowWindowVisible());
        QTRY_COMPARE(ServerGeometry(f.Shadow->ShadowWindow()), QRect(84, 84, 332, 232));
        QTRY_VERIFY(StackIndex(f.Shadow->ShadowWindow()) > StackIndex(&below));
        TChild click;
        QVERIFY(click.Start({"xdotool", "mousemove", "92", "150", "click", "1"}));
        QTRY_COMPARE(below.Presses, 1);
    }

    void followsAMoveOnTheServer() {
        TForm f(QRect(100, 100, 300, 200));
        QTRY_VERIFY(f.Shadow->ShadowWindowVisible());
        const int builds = f.Shadow->BuildCount();
        f.Form->move(250, 180);
        QTRY_COMPARE(ServerGeometry(f.Shadow->ShadowWindow()), QRect(234, 164, 332, 232));
        QCOMPARE(f.Shadow->BuildCount(), builds);
        QTRY_COMPARE(StackIndex(f.Shadow->ShadowWindow()), StackIndex(f.Form.get()) - 1);
    }

    // Without a compositing manager the band would be solid black: the form goes without a shadow.
    void noCompositorNoShadow() {
        FCompositor.Stop();
        QTRY_VERIFY_WITH_TIMEOUT(!TFormShadow::CompositorRunning(), 5000);
        TForm f(QRect(100, 100, 300, 200));
        QVERIFY(QTest::qWaitForWindowExposed(f.Form.get()));
        QTRY_VERIFY(f.Shadow->Active());
        QTRY_VERIFY(f.Shadow->BuildCount() > 0);
        QTest::qWait(100);
        QVERIFY(!f.Shadow->ShadowWindowVisible());
        f.Form->move(150, 150);
        QTest::qWait(100);
        QVERIFY(!f.Shadow->ShadowWindowVisible());
        // A compositing manager that starts later brings the shadow at the next change.
        QVERIFY(StartCompositor());
        f.Form->move(160, 160);
        QTRY_VERIFY(f.Shadow->ShadowWindowVisible());
        QTRY_COMPARE(StackIndex(f.Shadow->ShadowWindow()), StackIndex(f.Form.get()) - 1);
    }
};

int main(int argc, char** argv) {
    TChild xvfb;
    int fds[2];
    if (pipe(fds) != 0)
        return 2;
    if (!xvfb.Start(
            {"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
            fds[1])) {
        qCritical("Xvfb did not start");
        return 2;
    }
    close(fds[1]);
    std::string display;
    char ch = 0;
    while (read(fds[0], &ch, 1) == 1 && ch != '\n')
        display += ch;
    close(fds[0]);
    if (display.empty()) {
        qCritical("Xvfb gave no display");
        return 2;
    }
    qputenv("DISPLAY", QByteArray(":") + QByteArray::fromStdString(display));
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);
        TestShadowX11 test;
        result = QTest::qExec(&test, argc, argv);
    }
    xvfb.Stop();
    return result;
}

#include "tst_ShadowX11.moc"
