// The shadow following its form offscreen: moves, size changes, hiding, minimising, restoring,
// switching off, and forms that go away.
#include "chrome/f_ShadowFrame.h"

#include <QPointer>
#include <QtTest>

#include <memory>

namespace {

class THideSwallower : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Hide; }
};

struct TFixture {
    std::unique_ptr<QWidget> Form;
    TFormShadow* Shadow = nullptr;

    explicit TFixture(QRect geometry = QRect(100, 100, 620, 416)) {
        Form = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        Form->setGeometry(geometry);
        Shadow = new TFormShadow(Form.get());
        Shadow->SetForm(Form.get());
        Form->show();
        Shadow->SetShadowVisible(true);
    }
    bool WaitShown() const {
        return QTest::qWaitFor([&] { return Shadow->ShadowWindowVisible() && Shadow->BuildCount() > 0; },
                               2000);
    }
    QRect Expected() const {
        const QRect f = Form->frameGeometry();
        return QRect(f.x() - 16 + Shadow->Offset(), f.y() - 16 + Shadow->Offset(), f.width() + 32,
                     f.height() + 32);
    }
};

} // namespace

class TestShadowFollow : public QObject {
    Q_OBJECT
private slots:
    void activatesAfterTheRequestAndNotBefore() {
        TFixture f;
        QVERIFY(!f.Shadow->Active());
        QVERIFY(!f.Shadow->ShadowWindowVisible());
        QCOMPARE(f.Shadow->Timer().interval(), 20);
        QVERIFY(f.WaitShown());
        QCOMPARE(f.Shadow->BuildCount(), 1);
        QCOMPARE(f.Shadow->PendingFlags(), 0u);
        QTRY_COMPARE(f.Shadow->ShadowWindow()->geometry(), f.Expected());
        // The capture follows 200 ms later, then the watchdog every 5 s.
        QTRY_COMPARE_WITH_TIMEOUT(f.Shadow->Timer().interval(), 5000, 2000);
        QVERIFY(f.Shadow->Timer().isActive());
        QCOMPARE(f.Shadow->FormImage().size(), QSize(620, 416));
    }

    void moveplacesWithoutRebuilding() {
        TFixture f;
        QVERIFY(f.WaitShown());
        const int builds = f.Shadow->BuildCount();
        f.Form->move(300, 250);
        QTRY_COMPARE(f.Shadow->ShadowWindow()->geometry(), QRect(284, 234, 652, 448));
        f.Form->move(40, 60);
        QTRY_COMPARE(f.Shadow->ShadowWindow()->geometry(), QRect(24, 44, 652, 448));
        QCOMPARE(f.Shadow->BuildCount(), builds);
        QVERIFY(f.Shadow->ShadowWindowVisible());
    }

    void resizeRebuilds_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("shrink") << QSize(400, 300);
        QTest::newRow("grow") << QSize(700, 500);
        QTest::newRow("narrower only") << QSize(300, 416);
    }
    void resizeRebuilds() {
        QFETCH(QSize, size);
        TFixture f;
        QVERIFY(f.WaitShown());
        QTRY_COMPARE_WITH_TIMEOUT(f.Shadow->Timer().interval(), 5000, 2000); // first capture done
        const int builds = f.Shadow->BuildCount();
        f.Form->resize(size);
        QTRY_COMPARE(f.Shadow->ShadowBitmap().size(), size + QSize(32, 32));
        QCOMPARE(f.Shadow->BuildCount(), builds + 1);
        QTRY_COMPARE(f.Shadow->ShadowWindow()->geometry(), f.Expected());
        QVERIFY(f.Shadow->ShadowWindowVisible());
        // The form is captured again at its new size.
        QTRY_COMPARE_WITH_TIMEOUT(f.Shadow->FormImage().size(), size, 2000);
        QCOMPARE(qAlpha(f.Shadow->ShadowBitmap().pixel(16 + size.width() - 1, 16 + size.height() - 1)), 255);
    }

    void offsetShiftsTheNextPlacement() {
        TFixture f;
        QVERIFY(f.WaitShown());
        f.Shadow->SetOffset(4);
        f.Form->move(200, 200);
        QTRY_COMPARE(f.Shadow->ShadowWindow()->geometry(), QRect(188, 188, 652, 448));
    }

    void hideAndShow() {
        TFixture f;
        QVERIFY(f.WaitShown());
        f.Form->hide();
        QTRY_VERIFY(!f.Shadow->ShadowWindowVisible());
        f.Form->show();
        QTRY_VERIFY(f.Shadow->ShadowWindowVisible());
        QTRY_COMPARE(f.Shadow->ShadowWindow()->geometry(), f.Expected());
    }

    void minimiseHidesAndRestoreShows() {
        TFixture f;
        QVERIFY(f.WaitShown());
        f.Form->showMinimized();
        QTRY_VERIFY(f.Form->isMinimized());
        QTest::qWait(50);
        QVERIFY(!f.Shadow->ShadowWindowVisible());
        f.Form->showNormal();
        QTRY_VERIFY(!f.Form->isMinimized());
        QTRY_VERIFY(f.Shadow->ShadowWindowVisible());
        f.Form->showMaximized();
        QTRY_VERIFY(!f.Shadow->ShadowWindowVisible());
        f.Form->showNormal();
        QTRY_VERIFY(f.Shadow->ShadowWindowVisible());
    }

    void requestingTwiceActsOnce() {
        TFixture f;
        QVERIFY(f.WaitShown());
        QTRY_COMPARE_WITH_TIMEOUT(f.Shadow->Timer().interval(), 5000, 2000);
        const int builds = f.Shadow->BuildCount();
        const int layers = f.Shadow->LayerUpdateCount();
        f.Shadow->SetShadowVisible(true);
        QCOMPARE(f.Shadow->Timer().interval(), 5000); // not restarted at 20 ms
        QTest::qWait(300);
        QCOMPARE(f.Shadow->BuildCount(), builds);
        QCOMPARE(f.Shadow->LayerUpdateCount(), layers);
        QVERIFY(f.Shadow->ShadowWindowVisible());
    }

    void switchedOffStopsFollowing() {
        TFixture f;
        QVERIFY(f.WaitShown());
        f.Shadow->SetShadowVisible(false);
        QVERIFY(!f.Shadow->ShadowWindowVisible());
        QVERIFY(!f.Shadow->Active());
        QVERIFY(!f.Shadow->Timer().isActive());
        const QRect placed = f.Shadow->ShadowWindow()->geometry();
        f.Form->move(333, 222);
        f.Form->resize(300, 200);
        QTest::qWait(100);
        QVERIFY(!f.Shadow->ShadowWindowVisible());
        QCOMPARE(f.Shadow->ShadowWindow()->geometry(), placed);
        // On again: the shadow comes back at the form's new place and size.
        f.Shadow->SetShadowVisible(true);
        QTRY_VERIFY(f.Shadow->ShadowWindowVisible());
        QTRY_COMPARE(f.Shadow->ShadowWindow()->geometry(), f.Expected());
    }

    // Hidden without the shadow seeing it: the watchdog notices within 5 s.
    void formHiddenBehindItsBackLosesTheShadow() {
        TFixture f;
        QVERIFY(f.WaitShown());
        THideSwallower swallower;
        f.Form->installEventFilter(&swallower); // filters installed later run first
        f.Form->hide();
        QTest::qWait(50);
        QVERIFY(f.Shadow->ShadowWindowVisible()); // the shadow was not told
        QTRY_VERIFY_WITH_TIMEOUT(!f.Shadow->ShadowWindowVisible(), 5600);
        QVERIFY(!f.Shadow->Shown());
    }

    void formFreedBeforeItsShadow() {
        auto form = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        form->setGeometry(100, 100, 300, 200);
        QObject owner; // the shadow belongs to someone else here
        auto* shadow = new TFormShadow(form.get());
        shadow->setParent(&owner);
        shadow->SetForm(form.get());
        form->show();
        shadow->SetShadowVisible(true);
        QTRY_VERIFY(shadow->ShadowWindowVisible());
        form.reset();
        QVERIFY(!shadow->ShadowWindowVisible());
        QCOMPARE(shadow->Form(), nullptr);
        QTest::qWait(50); // no timer touches the freed form
    }

    void formOwnsAndFreesItsShadow() {
        auto form = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        form->setGeometry(100, 100, 300, 200);
        QPointer<TFormShadow> shadow = new TFormShadow(form.get());
        shadow->SetForm(form.get());
        form->show();
        shadow->SetShadowVisible(true);
        QTRY_VERIFY(shadow->ShadowWindowVisible());
        QPointer<QWidget> window = shadow->ShadowWindow();
        form.reset();
        QVERIFY(shadow.isNull());
        QVERIFY(window.isNull());
    }

    void detachingRestoresTheForm() {
        TFixture f;
        QVERIFY(f.WaitShown());
        f.Shadow->SetForm(nullptr);
        QCOMPARE(f.Shadow->Form(), nullptr);
        QVERIFY(!f.Shadow->ShadowWindowVisible());
        const int builds = f.Shadow->BuildCount();
        f.Form->resize(200, 100);
        QTest::qWait(50);
        QCOMPARE(f.Shadow->BuildCount(), builds);
    }
};

QTEST_MAIN(TestShadowFollow)
#include "tst_ShadowFollow.moc"
