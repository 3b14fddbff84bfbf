// The download failure prompt: its three ways out, a fresh window on every call, and its stored look.
#include "ModalDriver.h"

#include "chrome/f_ShadowFrame.h"
#include "forms/f_Info.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QtTest>

namespace {

QWidget* Child(QWidget* form, const char* name) {
    auto* child = form->findChild<QWidget*>(QLatin1String(name));
    if (child == nullptr)
        qFatal("the prompt has no control %s", name);
    return child;
}

} // namespace

class TFailPromptTest : public QObject {
    Q_OBJECT
private slots:
    void WaysOut_data();
    void WaysOut();
    void EveryCallIsANewWindow();
    void StoredLayout();
    void PlaceOnScreen_data();
    void PlaceOnScreen();
    void TitleBarDragsTheWindow();
    void KeyboardAnswers_data();
    void KeyboardAnswers();
    void ScreenReaderHearsNamedButtons();
};

void TFailPromptTest::WaysOut_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("expected");
    QTest::newRow("download again") << "btnReLoad" << 2;
    QTest::newRow("use the browser") << "btnUseIE" << 1;
    QTest::newRow("close button") << "btnClose" << 0;
    QTest::newRow("Esc") << "Esc" << 0;
    QTest::newRow("system close") << "close" << 0;
}

void TFailPromptTest::WaysOut() {
    QFETCH(QString, way);
    QFETCH(int, expected);
    const TModalRun run = DriveModal<Tfrm_Info>(ShowFailPrompt, [&](Tfrm_Info* form) {
        if (way == QLatin1String("Esc"))
            QTest::keyClick(form, Qt::Key_Escape);
        else if (way == QLatin1String("close"))
            form->close();
        else
            QTest::mouseClick(Child(form, way.toLatin1().constData()), Qt::LeftButton);
    });
    QVERIFY(run.Acted);
    QVERIFY(!run.TimedOut);
    QCOMPARE(run.Result, expected);
}

void TFailPromptTest::EveryCallIsANewWindow() {
    QPointer<Tfrm_Info> first;
    QPointer<Tfrm_Info> second;
    const TModalRun one = DriveModal<Tfrm_Info>(ShowFailPrompt, [&](Tfrm_Info* form) {
        first = form;
        QCOMPARE(form->Result(), 0);
        QTest::mouseClick(Child(form, "btnReLoad"), Qt::LeftButton);
    });
    QCOMPARE(one.Result, 2);
    QVERIFY2(first.isNull(), "the first prompt outlived its call");

    const TModalRun two = DriveModal<Tfrm_Info>(ShowFailPrompt, [&](Tfrm_Info* form) {
        second = form;
        // Nothing of the first answer is left in the new window.
        QCOMPARE(form->Result(), 0);
        form->close();
    });
    QVERIFY(one.Acted && two.Acted);
    QCOMPARE(two.Result, 0);
    QVERIFY(second.isNull());
}

void TFailPromptTest::StoredLayout() {
    const TModalRun run = DriveModal<Tfrm_Info>(ShowFailPrompt, [](Tfrm_Info* form) {
        QCOMPARE(AreaOf(form).size(), QSize(413, 161));
        QVERIFY(form->isModal());
        QVERIFY(form->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(qobject_cast<QLabel*>(Child(form, "lblSysTitle"))->text(), QStringLiteral("提示信息"));

        const QRect area = form->screen()->availableGeometry();
        QCOMPARE(form->pos() + AreaOf(form).topLeft(),
                 Tfrm_Info::PlaceOnScreen(QPoint(482, 281), QSize(413, 161), area));

        // The whole sentence fits its fixed box: no line of it is cut off.
        auto* text = qobject_cast<QLabel*>(Child(form, "Label1"));
        QCOMPARE(text->text(), QStringLiteral("在线下载异常，您可以选择重新下载或直接下载安装包安装"));
        QCOMPARE(text->geometry(), QRect(75, 53, 329, 43));
        QVERIFY2(text->heightForWidth(text->width()) <= text->height(), "the prompt's text is clipped");

        QCOMPARE(Child(form, "btnReLoad")->geometry(), QRect(331, 8, 66, 27));
        QCOMPARE(Child(form, "btnUseIE")->geometry(), QRect(19, 15, 105, 17));
        QCOMPARE(Child(form, "btnClose")->size(), QSize(30, 27));
        QCOMPARE(Child(form, "btnClose")->mapTo(Child(form, "pnlForm"), QPoint(30, 0)), QPoint(413, 0));

        QVERIFY(form->Shadow() != nullptr);
        QCOMPARE(form->Shadow()->Form(), form);
        QVERIFY(form->Shadow()->Requested());
        form->close();
    });
    QVERIFY(run.Acted);
    QVERIFY(!run.TimedOut);
}

void TFailPromptTest::PlaceOnScreen_data() {
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("common desktop") << QRect(0, 0, 1366, 728) << QPoint(482, 281);
    QTest::newRow("exactly fits") << QRect(0, 0, 895, 442) << QPoint(482, 281);
    QTest::newRow("small screen") << QRect(0, 0, 800, 600) << QPoint(387, 281);
    QTest::newRow("short screen") << QRect(0, 0, 1024, 400) << QPoint(482, 239);
    QTest::newRow("task bar on the left") << QRect(600, 0, 1320, 1040) << QPoint(600, 281);
    QTest::newRow("smaller than the window") << QRect(0, 0, 320, 120) << QPoint(0, 0);
}

void TFailPromptTest::PlaceOnScreen() {
    QFETCH(QRect, area);
    QFETCH(QPoint, expected);
    QCOMPARE(Tfrm_Info::PlaceOnScreen(QPoint(482, 281), QSize(413, 161), area), expected);
}

void TFailPromptTest::TitleBarDragsTheWindow() {
    const Qt::MouseButton button = Qt::LeftButton;
    const TModalRun run = DriveModal<Tfrm_Info>(ShowFailPrompt, [&](Tfrm_Info* form) {
        QWidget* bar = Child(form, "pnl_Titile");
        const QPoint start = form->pos();
        const QPoint at(200, 15);
        QCOMPARE(form->childAt(at + AreaOf(form).topLeft()), bar);
        QTest::mousePress(bar, button, Qt::NoModifier, at);
        QTest::mouseMove(bar, at + QPoint(-30, 20));
        QTest::mouseRelease(bar, button, Qt::NoModifier, at + QPoint(-30, 20));
        QTRY_COMPARE_WITH_TIMEOUT(form->pos(), start + QPoint(-30, 20), 1000);
        form->close();
    });
    QVERIFY(run.Acted);
    QCOMPARE(run.Result, 0);
}

// The keyboard alone answers: Tab to an answer, then Enter or Space presses it.
void TFailPromptTest::KeyboardAnswers_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("download again, Enter") << "btnReLoad" << int(Qt::Key_Return) << 2;
    QTest::newRow("browser, Space") << "btnUseIE" << int(Qt::Key_Space) << 1;
    QTest::newRow("close, Enter") << "btnClose" << int(Qt::Key_Enter) << 0;
}
void TFailPromptTest::KeyboardAnswers() {
    QFETCH(QString, answer);
    QFETCH(int, key);
    QFETCH(int, expected);
    const TModalRun run = DriveModal<Tfrm_Info>(ShowFailPrompt, [&](Tfrm_Info* form) {
        QWidget* wanted = Child(form, answer.toLatin1().constData());
        for (int i = 0; i < 6 && QApplication::focusWidget() != wanted; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), wanted);
        QTest::keyClick(wanted, Qt::Key(key));
    });
    QVERIFY(run.Acted);
    QVERIFY(!run.TimedOut);
    QCOMPARE(run.Result, expected);
}

void TFailPromptTest::ScreenReaderHearsNamedButtons() {
    const TModalRun run = DriveModal<Tfrm_Info>(ShowFailPrompt, [](Tfrm_Info* form) {
        const std::pair<const char*, const char*> buttons[] = {
            {"btnReLoad", "重新下载"}, {"btnUseIE", "使用浏览器下载"}, {"btnClose", "关闭"}};
        for (const auto& [name, caption] : buttons) {
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(Child(form, name));
            QCOMPARE(reader->role(), QAccessible::Button);
            QCOMPARE(reader->text(QAccessible::Name), QString::fromUtf8(caption));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(form)->text(QAccessible::Name),
                 QStringLiteral("提示信息"));
        form->close();
    });
    QVERIFY(run.Acted);
}

QTEST_MAIN(TFailPromptTest)
#include "FailPromptTest.moc"
