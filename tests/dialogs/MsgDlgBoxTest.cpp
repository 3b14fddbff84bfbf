// The message box as the user meets it: real windows under the offscreen platform, shown modally and
// answered from inside their modal loop.
#include "ModalDriver.h"

#include "chrome/f_ShadowFrame.h"
#include "forms/f_MsgDlgBox.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

namespace {

template <class T = QWidget>
T* Child(QWidget* form, const char* name) {
    T* child = form->findChild<T*>(QLatin1String(name));
    if (child == nullptr)
        qFatal("the box has no control %s", name);
    return child;
}

QPushButton* Button(QWidget* form, const char* name) {
    return Child<QPushButton>(form, name);
}

// How the test closes the box.
enum class TWay { Left, Centre, Right, Escape, CloseImage, SystemClose };

} // namespace

Q_DECLARE_METATYPE(TWay)

namespace {

void Close(QWidget* form, TWay way) {
    switch (way) {
    case TWay::Left:
        QTest::mouseClick(Button(form, "sBtnLeft"), Qt::LeftButton);
        break;
    case TWay::Centre:
        QTest::mouseClick(Button(form, "sBtnCenter"), Qt::LeftButton);
        break;
    case TWay::Right:
        QTest::mouseClick(Button(form, "sBtnRight"), Qt::LeftButton);
        break;
    case TWay::Escape:
        // Sent to the focused control: the box sees the key before it.
        QTest::keyClick(QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : form,
                        Qt::Key_Escape);
        break;
    case TWay::CloseImage:
        QTest::mouseClick(Child(form, "Image2"), Qt::LeftButton);
        break;
    case TWay::SystemClose:
        form->close();
        break;
    }
}

// The width of a message as one line in the box's message font: what the box has to fit.
int MessageWidth(const QFont& font, const QString& message) {
    QLabel probe;
    probe.setFont(font);
    probe.setTextFormat(Qt::PlainText);
    probe.setText(message + QStringLiteral("  "));
    return probe.sizeHint().width();
}

// The message font, as the stored layout gives it.
QFont MessageFont() {
    Tfrm_MsgDlg form;
    form.Prepare(mbkInformation, QStringLiteral("字"), QString(), false, QString());
    return Child<QLabel>(&form, "lblMsg")->font();
}

// A message of repeated words whose one-line width is more than the given number of pixels.
QString MessageWiderThan(const QFont& font, int pixels) {
    QString message;
    for (int i = 0; i < 400 && MessageWidth(font, message) <= pixels; ++i)
        message += QStringLiteral("网络连接超时 ");
    return message.trimmed();
}

} // namespace

class TMsgDlgBoxTest : public QObject {
    Q_OBJECT
private slots:
    void Results_data();
    void Results();
    void LookByKind_data();
    void LookByKind();
    void ShortMessage();
    void MediumMessageWidensTheBox();
    void LongMessageWrapsAt413();
    void OverlongWordWraps_data();
    void OverlongWordWraps();
    void ButtonsFromTheRight_data();
    void ButtonsFromTheRight();
    void DetailPaneOpensAndCloses();
    void BlankDetailOffersNoPane_data();
    void BlankDetailOffersNoPane();
    void CheckBox();
    void Keyboard_data();
    void Keyboard();
    void WindowIsModalOnTopAndFreed();
    void TitleBarDragsTheWindow();
    void ScreenReaderHearsTheBox();
};

void TMsgDlgBoxTest::Results_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("ticked");      // the state the box starts with
    QTest::addColumn<bool>("tickByClick"); // the user clicks the check box before answering
    QTest::addColumn<TWay>("way");
    QTest::addColumn<int>("expected");

    const QString remind = QStringLiteral("以后不再提示");
    QTest::newRow("0 OK") << 0 << QString() << false << false << TWay::Left << 1;
    QTest::newRow("0 OK, box ticked") << 0 << remind << true << false << TWay::Left << 1;
    QTest::newRow("0 OK, box ticked by the user") << 0 << remind << false << true << TWay::Left << 1;
    QTest::newRow("0 Esc") << 0 << QString() << false << false << TWay::Escape << 3;
    QTest::newRow("0 close image") << 0 << remind << true << false << TWay::CloseImage << 3;
    QTest::newRow("1 OK, box ticked") << 1 << remind << true << false << TWay::Left << 1;
    QTest::newRow("2 OK, box ticked") << 2 << remind << true << false << TWay::Left << 1;

    QTest::newRow("3 OK") << 3 << QString() << false << false << TWay::Left << 1;
    QTest::newRow("3 OK, box ticked") << 3 << remind << true << false << TWay::Left << 10;
    QTest::newRow("3 OK, box ticked by the user") << 3 << remind << false << true << TWay::Left << 10;
    QTest::newRow("3 OK, box unticked by the user") << 3 << remind << true << true << TWay::Left << 1;
    QTest::newRow("3 Cancel") << 3 << remind << false << false << TWay::Right << 3;
    QTest::newRow("3 Cancel, box ticked") << 3 << remind << true << false << TWay::Right << 30;
    QTest::newRow("3 Esc") << 3 << QString() << false << false << TWay::Escape << 3;
    QTest::newRow("3 Esc, box ticked") << 3 << remind << true << false << TWay::Escape << 3;
    QTest::newRow("3 close image, box ticked") << 3 << remind << true << false << TWay::CloseImage << 3;
    QTest::newRow("3 system close") << 3 << QString() << false << false << TWay::SystemClose << 3;

    QTest::newRow("4 Yes") << 4 << remind << false << false << TWay::Left << 1;
    QTest::newRow("4 Yes, box ticked") << 4 << remind << true << false << TWay::Left << 10;
    QTest::newRow("4 No") << 4 << remind << false << false << TWay::Centre << 2;
    QTest::newRow("4 No, box ticked") << 4 << remind << true << false << TWay::Centre << 2;
    QTest::newRow("4 Cancel") << 4 << remind << false << false << TWay::Right << 3;
    QTest::newRow("4 Cancel, box ticked") << 4 << remind << true << false << TWay::Right << 30;
    QTest::newRow("4 Esc, box ticked") << 4 << remind << true << false << TWay::Escape << 3;

    QTest::newRow("5 Yes") << 5 << QString() << false << false << TWay::Left << 1;
    QTest::newRow("5 Yes, box ticked") << 5 << remind << true << false << TWay::Left << 10;
    QTest::newRow("5 No") << 5 << remind << false << false << TWay::Right << 3;
    QTest::newRow("5 No, box ticked") << 5 << remind << true << false << TWay::Right << 30;
    QTest::newRow("5 close image") << 5 << remind << true << false << TWay::CloseImage << 3;
    QTest::newRow("6 Yes, box ticked") << 6 << remind << true << false << TWay::Left << 10;
    QTest::newRow("6 No, box ticked") << 6 << remind << true << false << TWay::Right << 30;

    QTest::newRow("7 Esc") << 7 << remind << true << false << TWay::Escape << 3;
    QTest::newRow("7 close image") << 7 << QString() << false << false << TWay::CloseImage << 3;
    QTest::newRow("255 system close") << 255 << QString() << false << false << TWay::SystemClose << 3;
}

void TMsgDlgBoxTest::Results() {
    QFETCH(int, kind);
    QFETCH(QString, caption);
    QFETCH(bool, ticked);
    QFETCH(bool, tickByClick);
    QFETCH(TWay, way);
    QFETCH(int, expected);

    const TModalRun run = DriveModal<Tfrm_MsgDlg>(
        [&] {
            return ShowMsgDlg(static_cast<std::uint8_t>(kind), QStringLiteral("确定要重新下载吗？"),
                              QString(), ticked, caption);
        },
        [&](Tfrm_MsgDlg* form) {
            if (tickByClick)
                QTest::mouseClick(Child<QCheckBox>(form, "cbxRemind"), Qt::LeftButton, Qt::NoModifier,
                                  QPoint(8, 8));
            Close(form, way);
        });
    QVERIFY(run.Acted);
    QVERIFY(!run.TimedOut);
    QCOMPARE(run.Result, expected);
}

void TMsgDlgBoxTest::LookByKind_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QStringList>("captions"); // left, centre, right; empty where hidden

    const QString ok = QStringLiteral("确定(&O)");
    const QString yes = QStringLiteral("是(&Y)");
    const QString no = QStringLiteral("否(&N)");
    const QString cancel = QStringLiteral("取消");
    const QString confirm = QStringLiteral("确认信息");
    QTest::newRow("0") << 0 << QStringLiteral("提示信息") << "imgInfo" << QStringList{ok, {}, {}};
    QTest::newRow("1") << 1 << QStringLiteral("错误信息") << "imgError" << QStringList{ok, {}, {}};
    QTest::newRow("2") << 2 << QStringLiteral("警告信息") << "imgWarn" << QStringList{ok, {}, {}};
    QTest::newRow("3") << 3 << confirm << "imgConfirm" << QStringList{ok, {}, cancel};
    QTest::newRow("4") << 4 << confirm << "imgConfirm" << QStringList{yes, no, cancel};
    QTest::newRow("5") << 5 << confirm << "imgConfirm" << QStringList{yes, {}, no};
    QTest::newRow("6") << 6 << confirm << "imgConfirm" << QStringList{yes, {}, no};
    QTest::newRow("7") << 7 << QStringLiteral("标题") << "" << QStringList{{}, {}, {}};
    QTest::newRow("255") << 255 << QStringLiteral("标题") << "" << QStringList{{}, {}, {}};
}

void TMsgDlgBoxTest::LookByKind() {
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(QString, icon);
    QFETCH(QStringList, captions);

    Tfrm_MsgDlg form;
    // Markup in a message is shown as it stands, never interpreted.
    const QString message = QStringLiteral("<b>文件</b> 已存在");
    form.Prepare(static_cast<std::uint8_t>(kind), message, QString(), false, QString());

    QCOMPARE(Child<QLabel>(&form, "lblSysTitle")->text(), title);
    QCOMPARE(form.windowTitle(), title);
    for (const char* name : {"imgInfo", "imgError", "imgWarn", "imgConfirm"})
        QCOMPARE(!Child(&form, name)->isHidden(), icon == QLatin1String(name));

    const char* names[] = {"sBtnLeft", "sBtnCenter", "sBtnRight"};
    for (int i = 0; i < 3; ++i) {
        QPushButton* button = Button(&form, names[i]);
        QCOMPARE(!button->isHidden(), !captions[i].isEmpty());
        if (!captions[i].isEmpty())
            QCOMPARE(button->text(), captions[i]);
    }
    QVERIFY(Button(&form, "sBtnDetail")->isHidden());

    auto* label = Child<QLabel>(&form, "lblMsg");
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(label->text(), message + QStringLiteral("  "));
}

void TMsgDlgBoxTest::ShortMessage() {
    const TModalRun run = DriveModal<Tfrm_MsgDlg>(
        [] { return ShowMsgDlg(mbkInformation, QStringLiteral("下载完成"), QString(), false, QString()); },
        [](Tfrm_MsgDlg* form) {
            QCOMPARE(AreaOf(form).size(), QSize(300, 183));
            QPushButton* ok = Button(form, "sBtnLeft");
            QCOMPARE(AreaOf(form).width() - (ok->x() + ok->width()), 16);
            QCOMPARE(ok->size(), QSize(67, 30));
            QCOMPARE(Child(form, "pnlMsg")->height(), 102);
            // Centred on the screen.
            const QPoint offCentre = form->frameGeometry().center() - form->screen()->geometry().center();
            QVERIFY2(offCentre.manhattanLength() <= 2, "the box is not centred on the screen");
            // The close image keeps its place at the right end of the title bar.
            QWidget* close = Child(form, "Image2");
            QCOMPARE(Child(form, "pnl_title")->width() - close->x(), 29);
            Close(form, TWay::Left);
        });
    QVERIFY(run.Acted);
    QCOMPARE(run.Result, 1);
}

void TMsgDlgBoxTest::MediumMessageWidensTheBox() {
    const QFont font = MessageFont();
    const QString message = MessageWiderThan(font, 300);
    const int width = MessageWidth(font, message);
    QVERIFY2(width > 213 && width <= 413, qPrintable(QString::number(width)));

    Tfrm_MsgDlg form;
    form.Prepare(mbkOkCancel, message, QString(), false, QString());
    QCOMPARE(AreaOf(&form).width(), 67 + width + 20);
    QCOMPARE(AreaOf(&form).height(), 183);
    QVERIFY(!Child<QLabel>(&form, "lblMsg")->wordWrap());
    QPushButton* cancel = Button(&form, "sBtnRight");
    QCOMPARE(AreaOf(&form).width() - (cancel->x() + cancel->width()), 16);
}

void TMsgDlgBoxTest::LongMessageWrapsAt413() {
    const QFont font = MessageFont();
    const QString message = MessageWiderThan(font, 3 * 413 + 40); // four lines at least
    const int width = MessageWidth(font, message);

    Tfrm_MsgDlg form;
    form.Prepare(mbkError, message, QString(), false, QString());
    QCOMPARE(AreaOf(&form).width(), 500);

    auto* label = Child<QLabel>(&form, "lblMsg");
    QVERIFY(label->wordWrap());
    QCOMPARE(label->width(), 413);
    // Tall enough for the lines the width asks for, and for every line the wrapped text really takes.
    const int lines = (width + 412) / 413;
    QVERIFY(lines >= 4);
    QVERIFY(label->height() >= lines * QFontMetrics(font).height());
    QLabel probe;
    probe.setFont(font);
    probe.setWordWrap(true);
    probe.setText(message + QStringLiteral("  "));
    QVERIFY2(label->height() >= probe.heightForWidth(413), "the last line of the message is cut off");

    // The message panel grows by what the message reaches below 80 pixels, and the box with it.
    const int grown = 14 + label->height() + 10 - 80;
    QVERIFY(grown > 0);
    QCOMPARE(Child(&form, "pnlMsg")->height(), 102 + grown);
    QCOMPARE(AreaOf(&form).height(), 183 + grown);
    QCOMPARE(Child(&form, "pnlButton")->geometry().bottom(), Child(&form, "pnl_body")->height() - 1);
}

void TMsgDlgBoxTest::OverlongWordWraps_data() {
    QTest::addColumn<QString>("message");
    QTest::newRow("path") << QStringLiteral(
        "无法写入文件 /home/someuser/Downloads/Keltrima/"
        "Keltrima_ShanDong_Full_Installation_Package_2026.exe.tmp，请检查磁盘空间");
    QTest::newRow("address") << QStringLiteral("http://dx.keltrima-mirror.example/uploads/"
                                               "averyveryveryverylongfilenamewithoutanybreakopportunity.exe");
}

void TMsgDlgBoxTest::OverlongWordWraps() {
    // A word longer than a line (a path, an address) wraps too, instead of being cut at the box's edge.
    QFETCH(QString, message);
    Tfrm_MsgDlg form;
    form.Prepare(mbkError, message, QString(), false, QString());
    QCOMPARE(AreaOf(&form).width(), 500);
    auto* label = Child<QLabel>(&form, "lblMsg");
    QCOMPARE(label->width(), 413);
    QVERIFY2(label->minimumSizeHint().width() <= 413, "a word runs out of the box");
    QVERIFY2(label->height() >= label->heightForWidth(413), "the last line of the message is cut off");
    QCOMPARE(Child(&form, "pnlMsg")->height(), 102 + std::max(0, 14 + label->height() + 10 - 80));
    // Nothing of the text is lost on the way: only invisible break opportunities are added.
    QString shown = label->text();
    shown.remove(QChar(0x200B));
    QCOMPARE(shown, message + QStringLiteral("  "));
}

void TMsgDlgBoxTest::ButtonsFromTheRight_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("detail");
    QTest::addColumn<int>("formWidth");
    QTest::addColumn<QList<int>>("lefts"); // left, centre, right, detail; -1 where hidden

    QTest::newRow("0") << 0 << false << 300 << QList<int>{217, -1, -1, -1};
    QTest::newRow("0 with detail") << 0 << true << 300 << QList<int>{217, -1, -1, 129};
    QTest::newRow("3") << 3 << false << 300 << QList<int>{142, -1, 217, -1};
    QTest::newRow("3 with detail") << 3 << true << 300 << QList<int>{142, -1, 217, 54};
    QTest::newRow("4") << 4 << false << 300 << QList<int>{67, 142, 217, -1};
    // Four buttons need 16 + 67 + 8 + 67 + 8 + 67 + 8 + 80 + 16 pixels: the box grows to hold them.
    QTest::newRow("4 with detail") << 4 << true << 337 << QList<int>{104, 179, 254, 16};
    QTest::newRow("5") << 5 << false << 300 << QList<int>{142, -1, 217, -1};
    QTest::newRow("6 with detail") << 6 << true << 300 << QList<int>{142, -1, 217, 54};
}

void TMsgDlgBoxTest::ButtonsFromTheRight() {
    QFETCH(int, kind);
    QFETCH(bool, detail);
    QFETCH(int, formWidth);
    QFETCH(QList<int>, lefts);

    Tfrm_MsgDlg form;
    form.Prepare(static_cast<std::uint8_t>(kind), QStringLiteral("是否继续？"),
                 detail ? QStringLiteral("错误代码 12029") : QString(), false, QString());
    QCOMPARE(AreaOf(&form).width(), formWidth);
    const char* names[] = {"sBtnLeft", "sBtnCenter", "sBtnRight", "sBtnDetail"};
    for (int i = 0; i < 4; ++i) {
        QPushButton* button = Button(&form, names[i]);
        QCOMPARE(button->isHidden(), lefts[i] < 0);
        if (lefts[i] >= 0) {
            QCOMPARE(button->x(), lefts[i]);
            QCOMPARE(button->y(), 8);
        }
    }
}

void TMsgDlgBoxTest::DetailPaneOpensAndCloses() {
    const QString detail = QStringLiteral("地址: http://127.0.0.1/\r\n错误: 无法连接到服务器\r\n");
    const TModalRun run = DriveModal<Tfrm_MsgDlg>(
        [&] { return ShowMsgDlg(mbkError, QStringLiteral("下载失败"), detail, false, QString()); },
        [](Tfrm_MsgDlg* form) {
            QPushButton* toggle = Button(form, "sBtnDetail");
            QWidget* pane = Child(form, "pnlDetail");
            QVERIFY(toggle->isVisible());
            QCOMPARE(toggle->text(), QStringLiteral("显示详细信息"));
            QVERIFY(!pane->isVisible());
            QCOMPARE(AreaOf(form).height(), 183);

            QTest::mouseClick(toggle, Qt::LeftButton);
            QCOMPARE(AreaOf(form).height(), 333);
            QCOMPARE(toggle->text(), QStringLiteral("隐藏详细信息"));
            QVERIFY(pane->isVisible());
            // The pane fills the space between the message and the buttons.
            QCOMPARE(pane->y(), Child(form, "pnlMsg")->geometry().bottom() + 1);
            QCOMPARE(pane->geometry().bottom() + 1, Child(form, "pnlButton")->y());
            auto* text = Child<QTextEdit>(form, "moInfo");
            QCOMPARE(text->toPlainText(),
                     QStringLiteral("地址: http://127.0.0.1/\n错误: 无法连接到服务器\n"));
            QVERIFY(text->isReadOnly());
            QVERIFY(pane->geometry().contains(text->geometry().translated(pane->pos())));

            QTest::mouseClick(toggle, Qt::LeftButton);
            QCOMPARE(AreaOf(form).height(), 183);
            QCOMPARE(toggle->text(), QStringLiteral("显示详细信息"));
            QVERIFY(!pane->isVisible());
            Close(form, TWay::Left);
        });
    QVERIFY(run.Acted);
    QVERIFY(!run.TimedOut);
    QCOMPARE(run.Result, 1);
}

void TMsgDlgBoxTest::BlankDetailOffersNoPane_data() {
    QTest::addColumn<QString>("detail");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << QStringLiteral("    ");
    QTest::newRow("line ends and tabs") << QStringLiteral("\r\n\t \n");
    QTest::newRow("ideographic blank") << QStringLiteral("\u3000");
}

void TMsgDlgBoxTest::BlankDetailOffersNoPane() {
    QFETCH(QString, detail);
    Tfrm_MsgDlg form;
    form.Prepare(mbkOkCancel, QStringLiteral("是否继续？"), detail, false, QString());
    QVERIFY(!form.HasDetail());
    QVERIFY(Button(&form, "sBtnDetail")->isHidden());
    QCOMPARE(AreaOf(&form).height(), 183);
}

void TMsgDlgBoxTest::CheckBox() {
    {
        Tfrm_MsgDlg form;
        form.Prepare(mbkYesNo, QStringLiteral("是否继续？"), QString(), true, QStringLiteral("  "));
        QVERIFY(Child(&form, "pnlRemind")->isHidden());
        QVERIFY(!Child<QCheckBox>(&form, "cbxRemind")->isChecked());
    }
    {
        Tfrm_MsgDlg form;
        const QString caption = QStringLiteral(" 不再提示");
        form.Prepare(mbkYesNo, QStringLiteral("是否继续？"), QString(), true, caption);
        QWidget* strip = Child(&form, "pnlRemind");
        QVERIFY(!strip->isHidden());
        QVERIFY(Child<QCheckBox>(&form, "cbxRemind")->isChecked());
        QCOMPARE(Child<QLabel>(&form, "lblRemind")->text(), caption);
        // The strip lies at the bottom of the message panel.
        QCOMPARE(strip->geometry().bottom() + 1, Child(&form, "pnlMsg")->height());
        QCOMPARE(AreaOf(&form).height(), 183);
    }
}

void TMsgDlgBoxTest::Keyboard_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("tabs"); // Tab presses before the key
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");

    QTest::newRow("3 Return on OK") << 3 << 0 << int(Qt::Key_Return) << 1;
    QTest::newRow("3 Enter on OK") << 3 << 0 << int(Qt::Key_Enter) << 1;
    QTest::newRow("3 Space on OK") << 3 << 0 << int(Qt::Key_Space) << 1;
    QTest::newRow("3 Return on Cancel") << 3 << 1 << int(Qt::Key_Return) << 3;
    QTest::newRow("3 Space on Cancel") << 3 << 1 << int(Qt::Key_Space) << 3;
    QTest::newRow("3 O on Cancel") << 3 << 1 << int(Qt::Key_O) << 1;
    QTest::newRow("4 Tab to No, Return") << 4 << 1 << int(Qt::Key_Return) << 2;
    QTest::newRow("4 N on Yes") << 4 << 0 << int(Qt::Key_N) << 2;
    QTest::newRow("4 Y on Cancel") << 4 << 2 << int(Qt::Key_Y) << 1;
    QTest::newRow("5 N on Yes") << 5 << 0 << int(Qt::Key_N) << 3;
    QTest::newRow("0 O") << 0 << 0 << int(Qt::Key_O) << 1;
}

void TMsgDlgBoxTest::Keyboard() {
    QFETCH(int, kind);
    QFETCH(int, tabs);
    QFETCH(int, key);
    QFETCH(int, expected);

    const TModalRun run = DriveModal<Tfrm_MsgDlg>(
        [&] {
            return ShowMsgDlg(static_cast<std::uint8_t>(kind), QStringLiteral("是否继续？"), QString(), false,
                              QString());
        },
        [&](Tfrm_MsgDlg* form) {
            QCOMPARE(QApplication::focusWidget(), Button(form, "sBtnLeft"));
            for (int i = 0; i < tabs; ++i)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
        },
        2000);
    QVERIFY(run.Acted);
    QVERIFY2(!run.TimedOut, "the key pressed no button");
    QCOMPARE(run.Result, expected);
}

void TMsgDlgBoxTest::WindowIsModalOnTopAndFreed() {
    QPointer<Tfrm_MsgDlg> seen;
    const TModalRun run = DriveModal<Tfrm_MsgDlg>(
        [] { return ShowMsgDlg(mbkOkCancel, QStringLiteral("是否继续？"), QString(), false, QString()); },
        [&](Tfrm_MsgDlg* form) {
            seen = form;
            QVERIFY(form->isModal());
            QCOMPARE(form->parentWidget(), nullptr);
            const Qt::WindowFlags flags = form->windowFlags();
            QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
            QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
            QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool); // no task-bar entry
            // The shadow is attached to the box and switched on when it shows.
            QVERIFY(form->Shadow() != nullptr);
            QCOMPARE(form->Shadow()->Form(), form);
            QVERIFY(form->Shadow()->Requested());
            Close(form, TWay::Right);
        });
    QVERIFY(run.Acted);
    QCOMPARE(run.Result, 3);
    QVERIFY2(seen.isNull(), "the box outlived the call");
}

void TMsgDlgBoxTest::TitleBarDragsTheWindow() {
    for (const char* grip : {"Image1", "lblSysTitle"}) {
        const TModalRun run = DriveModal<Tfrm_MsgDlg>(
            [] {
                return ShowMsgDlg(mbkInformation, QStringLiteral("下载完成"), QString(), false, QString());
            },
            [&](Tfrm_MsgDlg* form) {
                QWidget* where = Child(form, grip);
                const QPoint start = form->pos();
                const QPoint at = where->mapTo(form, QPoint(5, 5));
                // The press lands on whatever lies at that place: the title text lets it through.
                QWidget* target = form->childAt(at);
                QCOMPARE(target, Child(form, "Image1"));
                const QPoint local = target->mapFrom(form, at);
                QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, local);
                QTest::mouseMove(target, local + QPoint(40, 25));
                QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, local + QPoint(40, 25));
                QTRY_COMPARE_WITH_TIMEOUT(form->pos(), start + QPoint(40, 25), 1000);
                Close(form, TWay::Left);
            });
        QVERIFY(run.Acted);
    }
}

// A screen reader hears the box's title as the window's name, the message, the buttons by their captions
// and the close picture as a button.
void TMsgDlgBoxTest::ScreenReaderHearsTheBox() {
    Tfrm_MsgDlg form;
    form.Prepare(mbkOkCancel, QStringLiteral("文件已存在，需要重新下载吗？"), QString(), false, QString());
    QCOMPARE(form.windowTitle(), QStringLiteral("确认信息"));
    QCOMPARE(QAccessible::queryAccessibleInterface(&form)->text(QAccessible::Name),
             QStringLiteral("确认信息"));
    QAccessibleInterface* close = QAccessible::queryAccessibleInterface(Child(&form, "Image2"));
    QCOMPARE(close->role(), QAccessible::Button);
    QCOMPARE(close->text(QAccessible::Name), QStringLiteral("关闭"));
    QAccessibleInterface* ok = QAccessible::queryAccessibleInterface(Child(&form, "sBtnLeft"));
    QCOMPARE(ok->role(), QAccessible::Button);
    QVERIFY(ok->text(QAccessible::Name).startsWith(QStringLiteral("确定")));
    QAccessibleInterface* text = QAccessible::queryAccessibleInterface(Child(&form, "lblMsg"));
    QVERIFY(text->text(QAccessible::Name).startsWith(QStringLiteral("文件已存在")));
}

QTEST_MAIN(TMsgDlgBoxTest)
#include "MsgDlgBoxTest.moc"
