// The small controls: the clickable picture, the modal push button and its keyboard, the window drag
// and the CJK font.
#include "chrome/CjkFont.h"
#include "chrome/ClickImage.h"
#include "chrome/ModalSpeedButton.h"
#include "chrome/WindowDrag.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QMouseEvent>
#include <QtTest>

#include <memory>

namespace {

QImage ColumnCoded(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x % 256, 40, 200));
    return image;
}

// A banner that drags its window, as the windows' title bars do.
class TBanner : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void mousePressEvent(QMouseEvent* event) override { DragWindow(this, event); }
};

} // namespace

class TestSmallControls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<QMouseEvent*>(); }

    void clickImageClicks_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("releaseAt");
        QTest::addColumn<int>("clicks");
        QTest::newRow("left inside") << int(Qt::LeftButton) << QPoint(10, 5) << 1;
        QTest::newRow("left released outside") << int(Qt::LeftButton) << QPoint(80, 5) << 0;
        QTest::newRow("right inside") << int(Qt::RightButton) << QPoint(10, 5) << 0;
    }
    void clickImageClicks() {
        QFETCH(int, button);
        QFETCH(QPoint, releaseAt);
        QFETCH(int, clicks);
        QWidget window;
        auto* image = new TClickImage(&window);
        image->SetPictures(ColumnCoded(40, 20));
        image->setGeometry(0, 0, 40, 20);
        window.resize(100, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicked(image, &TClickImage::OnClick);
        QSignalSpy pressed(image, &TClickImage::OnMouseDown);
        QTest::mousePress(image, Qt::MouseButton(button), Qt::NoModifier, QPoint(10, 5));
        QTest::mouseRelease(image, Qt::MouseButton(button), Qt::NoModifier, releaseAt);
        QCOMPARE(pressed.count(), 1); // any button
        QCOMPARE(clicked.count(), clicks);
        QCOMPARE(image->cursor().shape(), Qt::PointingHandCursor);
    }

    void clickImageHoverPicture() {
        QWidget window;
        auto* image = new TClickImage(&window);
        QImage normal(20, 10, QImage::Format_ARGB32), hover(20, 10, QImage::Format_ARGB32);
        normal.fill(Qt::red);
        hover.fill(Qt::blue);
        image->SetPictures(normal, hover);
        image->setGeometry(10, 10, 20, 10);
        window.resize(100, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(image->grab().toImage().pixel(5, 5), QColor(Qt::red).rgb());
        QTest::mouseMove(image, QPoint(5, 5));
        QTRY_VERIFY(image->Hovered());
        QCOMPARE(image->grab().toImage().pixel(5, 5), QColor(Qt::blue).rgb());
        QTest::mouseMove(&window, QPoint(90, 35));
        QTRY_VERIFY(!image->Hovered());
        QCOMPARE(image->grab().toImage().pixel(5, 5), QColor(Qt::red).rgb());
    }

    // Not stretched: the fill of a progress bar shows its left part at 1:1 as the control widens.
    void clickImageOneToOneAndStretched() {
        TClickImage image;
        image.SetPictures(ColumnCoded(200, 10));
        image.SetStretch(false);
        image.resize(60, 10);
        QImage shown = image.grab().toImage();
        QCOMPARE(shown.width(), 60);
        QCOMPARE(qRed(shown.pixel(59, 5)), 59);
        QCOMPARE(qRed(shown.pixel(0, 5)), 0);
        image.SetStretch(true);
        shown = image.grab().toImage();
        QVERIFY(qRed(shown.pixel(59, 5)) > 190); // the whole picture squeezed into 60
    }

    void modalButtonLookAndMouse() {
        QWidget window;
        auto* button = new TModalSpeedButton(QStringLiteral("确定(&O)"), &window);
        button->setGeometry(10, 10, 67, 30);
        window.resize(200, 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(button->font().pixelSize(), 12);
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(button->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(button->CurrentFaceColor(), QColor(66, 139, 202));
        QCOMPARE(button->grab().toImage().pixel(2, 2), QColor(66, 139, 202).rgb());
        QTest::mouseMove(button, QPoint(30, 15));
        QTRY_COMPARE(button->CurrentFaceColor(), QColor(14, 97, 185));
        QTRY_COMPARE(button->grab().toImage().pixel(2, 2), QColor(14, 97, 185).rgb());
        // The caption is white.
        const QImage face = button->grab().toImage();
        bool white = false;
        for (int y = 0; y < face.height() && !white; ++y)
            for (int x = 0; x < face.width() && !white; ++x)
                white = face.pixel(x, y) == qRgb(255, 255, 255);
        QVERIFY(white);
        QSignalSpy clicked(button, &QPushButton::clicked);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QTest::mouseMove(&window, QPoint(190, 55));
        QTRY_COMPARE(button->CurrentFaceColor(), QColor(66, 139, 202));
    }

    void modalButtonKeyboard_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("pressed"); // object name of the button clicked, empty for none
        QTest::newRow("Enter presses the focused") << int(Qt::Key_Return) << 0 << "yes";
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "yes";
        QTest::newRow("Space presses the focused") << int(Qt::Key_Space) << 0 << "yes";
        QTest::newRow("Y") << int(Qt::Key_Y) << 0 << "yes";
        QTest::newRow("N") << int(Qt::Key_N) << 0 << "no";
        QTest::newRow("O of a hidden button") << int(Qt::Key_O) << 0 << "";
        QTest::newRow("Ctrl+N") << int(Qt::Key_N) << int(Qt::ControlModifier) << "";
        QTest::newRow("unmarked letter") << int(Qt::Key_X) << 0 << "";
    }
    void modalButtonKeyboard() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, pressed);
        QWidget window;
        auto* yes = new TModalSpeedButton(QStringLiteral("是(&Y)"), &window);
        auto* no = new TModalSpeedButton(&window);
        no->setText(QStringLiteral("否(&N)"));
        auto* ok = new TModalSpeedButton(QStringLiteral("确定(&O)"), &window);
        auto* cancel = new TModalSpeedButton(QStringLiteral("取消"), &window);
        yes->setObjectName("yes");
        no->setObjectName("no");
        ok->setObjectName("ok");
        cancel->setObjectName("cancel");
        yes->setGeometry(10, 10, 67, 30);
        no->setGeometry(85, 10, 67, 30);
        cancel->setGeometry(160, 10, 67, 30);
        ok->hide();
        window.resize(240, 50);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        yes->setFocus();
        QTRY_VERIFY(yes->hasFocus());
        QStringList clicks;
        for (TModalSpeedButton* button : {yes, no, ok, cancel})
            connect(button, &QPushButton::clicked, &window,
                    [&clicks, button] { clicks << button->objectName(); });
        // Keys go where the keyboard sends them: to the focused widget.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTest::qWait(20);
        QCOMPARE(clicks, pressed.isEmpty() ? QStringList() : QStringList{pressed});
    }

    void acceleratorOfACaption_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("letter");
        QTest::newRow("确定(&O)") << QStringLiteral("确定(&O)") << "O";
        QTest::newRow("lower case") << QStringLiteral("&yes") << "Y";
        QTest::newRow("literal ampersand") << QStringLiteral("A&&B") << "";
        QTest::newRow("literal then marked") << QStringLiteral("A&&B&c") << "C";
        QTest::newRow("none") << QStringLiteral("取消") << "";
        QTest::newRow("trailing ampersand") << QStringLiteral("abc&") << "";
    }
    void acceleratorOfACaption() {
        QFETCH(QString, caption);
        QFETCH(QString, letter);
        const QChar found = TModalSpeedButton::Accelerator(caption);
        QCOMPARE(found.isNull() ? QString() : QString(found), letter);
    }

    void findByAcceleratorSkipsHiddenButtons() {
        QWidget window;
        auto* hidden = new TModalSpeedButton(QStringLiteral("否(&N)"), &window);
        auto* shown = new TModalSpeedButton(QStringLiteral("否(&N)"), &window);
        hidden->hide();
        window.show();
        QCOMPARE(TModalSpeedButton::FindByAccelerator(&window, QLatin1Char('n')), shown);
        QCOMPARE(TModalSpeedButton::FindByAccelerator(&window, QLatin1Char('Y')), nullptr);
        // Two visible buttons with one letter: typing it presses the first, and only one.
        QSignalSpy shownClicks(shown, &QPushButton::clicked);
        hidden->show();
        QSignalSpy hiddenClicks(hidden, &QPushButton::clicked);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_N);
        QCOMPARE(shownClicks.count() + hiddenClicks.count(), 1);
    }

    // Without a window manager the system move is refused and the window follows the mouse itself,
    // whichever button was pressed on the title bar.
    void dragMovesTheWindow_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }
    void dragMovesTheWindow() {
        QFETCH(Qt::MouseButton, button);
        QWidget window(nullptr, Qt::FramelessWindowHint);
        auto* banner = new TBanner(&window);
        banner->setGeometry(0, 0, 200, 40);
        window.setGeometry(100, 100, 300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint start = window.pos();
        QTest::mousePress(banner, button, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseMove(banner, QPoint(50, 30));
        QTRY_COMPARE(window.pos(), start + QPoint(30, 10));
        QTest::mouseMove(banner, QPoint(20, 60)); // banner coordinates: the banner moved along
        QTRY_COMPARE(window.pos(), start + QPoint(30, 50));
        QTest::mouseRelease(banner, button, Qt::NoModifier, QPoint(20, 60));
        const QPoint released = window.pos();
        QTest::mouseMove(banner, QPoint(100, 10));
        QTest::qWait(30);
        QCOMPARE(window.pos(), released); // the drag ended with the release
    }

    void cjkFont() {
        InstallCjkFontSubstitution();
        InstallCjkFontSubstitution(); // twice is the same
        QCOMPARE(QFont::substitutes(QStringLiteral("微软雅黑")),
                 QStringList({QStringLiteral("keltrima text"), QStringLiteral("noto sans cjk sc"),
                              QStringLiteral("wenquanyi micro hei")}));
        // The font the program brings is registered once, however often the substitution is installed.
        QCOMPARE(QFontDatabase::families().count(QStringLiteral("Keltrima Text")), 1);
        const QFont font = YaheiFont(15, true);
        QCOMPARE(font.pixelSize(), 15);
        QVERIFY(font.bold());
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("Keltrima Text"));
        QCOMPARE(QFontInfo(QFont(QStringLiteral("微软雅黑"))).family(), QStringLiteral("Keltrima Text"));
    }
};

QTEST_MAIN(TestSmallControls)
#include "tst_SmallControls.moc"
