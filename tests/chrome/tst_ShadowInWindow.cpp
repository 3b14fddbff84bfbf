// The shadow drawn by the form's own window, offscreen: one window per form, switched on after the
// request, the band around the form's area, input limited to the area, size changes, switching off,
// detaching and forms that go away.
#include "ShadowedForm.h"
#include "chrome/f_ShadowFrame.h"

#include <QApplication>
#include <QPointer>
#include <QWindow>
#include <QtTest>

#include <memory>

class TestShadowInWindow : public QObject {
    Q_OBJECT
private slots:
    void activatesAfterTheRequestAndNotBefore() {
        TShadowedForm f(QRect(100, 100, 620, 416));
        QVERIFY(!f.Shadow->Active());
        QVERIFY(!f.Shadow->ShadowVisible());
        QCOMPARE(f.Shadow->Timer().interval(), 20);
        QVERIFY(f.WaitShown());
        QCOMPARE(f.Shadow->BuildCount(), 1);
        QVERIFY(!f.Shadow->Timer().isActive());
    }

    // The form and its shadow are one top-level window; nothing else appears.
    void oneWindowPerForm() {
        const int before = QApplication::topLevelWidgets().size();
        TShadowedForm f(QRect(100, 100, 300, 200));
        QVERIFY(f.WaitShown());
        QCOMPARE(QApplication::topLevelWidgets().size(), before + 1);
        QVERIFY(QApplication::topLevelWidgets().contains(f.Form.get()));
        QCOMPARE(f.Shadow->ShadowLayer()->window(), f.Form.get());
    }

    // Only the form's area takes input; the band lets the mouse through to what lies beneath.
    void inputOnlyOnTheFormArea() {
        TShadowedForm f(QRect(100, 100, 300, 200));
        QVERIFY(f.WaitShown());
        QCOMPARE(f.Form->windowHandle()->mask(), QRegion(16, 16, 300, 200));
    }

    void movingTheFormAreaPlacesTheWindow() {
        TShadowedForm f(QRect(100, 100, 300, 200));
        f.Shadow->MoveForm(QPoint(428, 161));
        QCOMPARE(f.Form->pos(), QPoint(412, 145));
        QCOMPARE(f.Shadow->WindowPosFor(QPoint(0, 0)), QPoint(-16, -16));
    }

    void resizeRebuilds_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("shrink") << QSize(400, 300);
        QTest::newRow("grow") << QSize(700, 500);
        QTest::newRow("narrower only") << QSize(300, 416);
    }
    void resizeRebuilds() {
        QFETCH(QSize, size);
        TShadowedForm f(QRect(100, 100, 620, 416));
        QVERIFY(f.WaitShown());
        const int builds = f.Shadow->BuildCount();
        f.Area->setFixedSize(size);
        QTRY_COMPARE(f.Form->size(), size + QSize(32, 32));
        QTRY_COMPARE(f.Shadow->ShadowBitmap().size(), size + QSize(32, 32));
        QCOMPARE(f.Shadow->BuildCount(), builds + 1);
        QCOMPARE(f.Shadow->ShadowLayer()->geometry(), f.Form->rect());
        QCOMPARE(f.Form->windowHandle()->mask(), QRegion(QRect(QPoint(16, 16), size)));
        QVERIFY(f.Shadow->ShadowVisible());
    }

    void offsetShiftsThePicture() {
        TShadowedForm f(QRect(100, 100, 300, 200));
        QVERIFY(f.WaitShown());
        const QImage plain = f.Form->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        f.Shadow->SetOffset(4);
        const QImage shifted = f.Form->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shifted.pixel(100, 228), plain.pixel(96, 224));
        QVERIFY(shifted.pixel(100, 228) != plain.pixel(100, 228));
    }

    void requestingTwiceActsOnce() {
        TShadowedForm f(QRect(100, 100, 300, 200));
        QVERIFY(f.WaitShown());
        const int builds = f.Shadow->BuildCount();
        f.Shadow->SetShadowVisible(true);
        QVERIFY(!f.Shadow->Timer().isActive()); // not started again
        QTest::qWait(100);
        QCOMPARE(f.Shadow->BuildCount(), builds);
        QVERIFY(f.Shadow->ShadowVisible());
    }

    void switchedOffAndOnAgain() {
        TShadowedForm f(QRect(100, 100, 300, 200));
        QVERIFY(f.WaitShown());
        f.Shadow->SetShadowVisible(false);
        QVERIFY(!f.Shadow->ShadowVisible());
        QVERIFY(!f.Shadow->Active());
        f.Area->setFixedSize(200, 100);
        QTRY_COMPARE(f.Form->size(), QSize(232, 132));
        f.Shadow->SetShadowVisible(true);
        QTRY_VERIFY(f.Shadow->ShadowVisible());
        QCOMPARE(f.Shadow->ShadowBitmap().size(), QSize(232, 132));
    }

    // Minimising and hiding take the shadow with the form: it is part of the form's window.
    void hiddenAndMinimisedWithTheForm() {
        TShadowedForm f(QRect(100, 100, 300, 200));
        QVERIFY(f.WaitShown());
        f.Form->showMinimized();
        QTRY_VERIFY(f.Form->isMinimized());
        f.Form->showNormal();
        QTRY_VERIFY(!f.Form->isMinimized());
        QTRY_VERIFY(f.Shadow->ShadowVisible());
        f.Form->hide();
        QVERIFY(!f.Shadow->ShadowLayer()->isVisibleTo(nullptr) || !f.Form->isVisible());
        f.Form->show();
        QTRY_VERIFY(f.Shadow->ShadowVisible());
    }

    void formFreedBeforeItsShadow() {
        auto f = std::make_unique<TShadowedForm>(QRect(100, 100, 300, 200));
        QObject owner; // the shadow belongs to someone else here
        QPointer<TFormShadow> shadow = f->Shadow;
        shadow->setParent(&owner);
        QVERIFY(f->WaitShown());
        f.reset();
        QVERIFY(!shadow.isNull());
        QCOMPARE(shadow->Form(), nullptr);
        QCOMPARE(shadow->ShadowLayer(), nullptr);
        QTest::qWait(50); // no timer touches the freed form
    }

    void formOwnsAndFreesItsShadow() {
        auto f = std::make_unique<TShadowedForm>(QRect(100, 100, 300, 200));
        QPointer<TFormShadow> shadow = f->Shadow;
        QVERIFY(f->WaitShown());
        f.reset();
        QVERIFY(shadow.isNull());
    }

    void detachingRestoresTheForm() {
        TShadowedForm f(QRect(100, 100, 300, 200));
        QVERIFY(f.WaitShown());
        f.Shadow->SetForm(nullptr);
        QCOMPARE(f.Shadow->Form(), nullptr);
        QCOMPARE(f.Shadow->ShadowLayer(), nullptr);
        QTRY_COMPARE(f.Form->size(), QSize(300, 200));
        QCOMPARE(f.Form->windowHandle()->mask(), QRegion());
        const int builds = f.Shadow->BuildCount();
        f.Area->setFixedSize(200, 100);
        QTest::qWait(50);
        QCOMPARE(f.Shadow->BuildCount(), builds);
    }
};

QTEST_MAIN(TestShadowInWindow)
#include "tst_ShadowInWindow.moc"
