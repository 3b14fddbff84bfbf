// The in-window shadow on a real X display: with a compositing manager the band around the form shows the
// shadow and a click on it reaches the window beneath; without one the window is cut to the form, so no
// black band shows, and a compositing manager started later brings the shadow at the next change. The test
// starts its own Xvfb and xcompmgr and stops both.
#include "ShadowedForm.h"
#include "chrome/f_ShadowFrame.h"
#include "tests/support/XServer.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A window that counts the mouse presses the X server gives it.
class TPressCounter : public QWidget {
public:
    explicit TPressCounter(QColor colour, QWidget* parent = nullptr, Qt::WindowFlags flags = {})
        : QWidget(parent, flags) {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, colour);
        setPalette(palette);
        setAutoFillBackground(true);
    }
    int Presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++Presses; }
};

// What the screen shows now (the composited picture where a compositing manager runs).
QImage Screen() {
    QTemporaryDir dir;
    const QString file = dir.filePath("root.png");
    if (testsupport::RunTool({"import", "-window", "root", file.toStdString()}) != 0)
        return {};
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

void Click(int x, int y) {
    testsupport::RunTool({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"});
}

const QColor Backdrop(128, 128, 128);

} // namespace

class TestShadowX11 : public QObject {
    Q_OBJECT
    testsupport::TXServer& FX;
    std::unique_ptr<TPressCounter> FBelow;

public:
    explicit TestShadowX11(testsupport::TXServer& x) : FX(x) {}

private:
    bool StartCompositor() {
        FX.StartCompositor();
        return QTest::qWaitFor([] { return TFormShadow::CompositorRunning(); }, 5000);
    }

private slots:
    void initTestCase() {
        QVERIFY(StartCompositor());
        FBelow = std::make_unique<TPressCounter>(Backdrop, nullptr, Qt::FramelessWindowHint);
        FBelow->setGeometry(0, 0, 700, 500);
        FBelow->show();
        QVERIFY(QTest::qWaitForWindowExposed(FBelow.get()));
    }
    void cleanupTestCase() { FBelow.reset(); }
    void init() { FBelow->Presses = 0; }

    void bandShowsTheShadowAndClicksReachTheWindowBelow() {
        TShadowedForm f(QRect(100, 100, 300, 200), Qt::white);
        QVERIFY(QTest::qWaitForWindowExposed(f.Form.get()));
        QVERIFY(f.WaitShown());
        QTest::qWait(300);
        const QImage screen = Screen();
        QVERIFY(!screen.isNull());
        QCOMPARE(QColor(screen.pixel(250, 200)), QColor(Qt::white)); // the form
        const QColor band = screen.pixel(250, 301);                  // 2 pixels below the form
        QVERIFY2(band.red() < Backdrop.red() - 10 && band.red() > 40, qPrintable(band.name()));
        QCOMPARE(QColor(screen.pixel(250, 330)), Backdrop); // past the band

        auto* area = new TPressCounter(Qt::white);
        f.Area->setLayout(new QVBoxLayout);
        f.Area->layout()->setContentsMargins(0, 0, 0, 0);
        f.Area->layout()->addWidget(area);
        QTest::qWait(100);
        Click(250, 301);
        QTRY_COMPARE(FBelow->Presses, 1);
        QCOMPARE(area->Presses, 0);
        Click(250, 250);
        QTRY_COMPARE(area->Presses, 1);
        QCOMPARE(FBelow->Presses, 1);
    }

    // Without a compositing manager the band would be solid black: the window is cut to the form.
    void noCompositorNoBlackBand() {
        FX.StopCompositor();
        QTRY_VERIFY_WITH_TIMEOUT(!TFormShadow::CompositorRunning(), 5000);
        TShadowedForm f(QRect(100, 100, 300, 200), Qt::white);
        QVERIFY(QTest::qWaitForWindowExposed(f.Form.get()));
        QVERIFY(f.WaitActive());
        QTest::qWait(300);
        QVERIFY(!f.Shadow->ShadowVisible());
        const QImage screen = Screen();
        QCOMPARE(QColor(screen.pixel(250, 200)), QColor(Qt::white));
        for (const QPoint p : {QPoint(250, 301), QPoint(94, 200), QPoint(405, 200), QPoint(250, 94)})
            QCOMPARE(QColor(screen.pixel(p)), Backdrop);
        Click(250, 306);
        QTRY_COMPARE(FBelow->Presses, 1);

        // A compositing manager that starts later brings the shadow at the next change.
        QVERIFY(StartCompositor());
        f.Shadow->MoveForm(QPoint(120, 110));
        QTRY_VERIFY(f.Shadow->ShadowVisible());
        QTest::qWait(300);
        const QColor band = Screen().pixel(270, 311);
        QVERIFY2(band.red() < Backdrop.red() - 10, qPrintable(band.name()));
    }
};

int main(int argc, char** argv) {
    std::unique_ptr<testsupport::TXServer> x;
    try {
        x = std::make_unique<testsupport::TXServer>();
    } catch (const std::exception& error) {
        qCritical("%s", error.what());
        return 2;
    }
    QApplication app(argc, argv);
    TestShadowX11 test(*x);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ShadowX11.moc"
