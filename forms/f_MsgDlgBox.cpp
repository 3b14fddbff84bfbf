#include "forms/f_MsgDlgBox.h"

#include "ui_f_MsgDlgBox.h"

#include "chrome/CjkFont.h"
#include "chrome/ClickImage.h"
#include "chrome/ModalSpeedButton.h"
#include "chrome/Pictures.h"
#include "chrome/WindowDrag.h"
#include "chrome/f_ShadowFrame.h"

#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int FormWidth = 300; // the width of a box with a short message
constexpr int WideRight = 280; // a message reaching past this edge widens the box to fit it
constexpr int WrapRight = 480; // a message reaching past this edge wraps, in a box of MaxFormWidth
constexpr int MaxFormWidth = 500;
constexpr int MessageRightPad = 20;  // room right of a message that widens the box
constexpr int MessageBottomPad = 10; // room below the message
constexpr int MessageRoom = 80;      // how far down the message panel has room for the message
constexpr int ButtonMargin = 16;     // a right-aligned button keeps this distance from the form's right edge
constexpr int ButtonGap = 8;         // between two neighbouring buttons

const QString CaptionOk = QStringLiteral("确定(&O)");
const QString CaptionCancel = QStringLiteral("取消");
const QString CaptionYes = QStringLiteral("是(&Y)");
const QString CaptionNo = QStringLiteral("否(&N)");
const QString CaptionShowDetail = QStringLiteral("显示详细信息");
const QString CaptionHideDetail = QStringLiteral("隐藏详细信息");

bool IsBlank(QChar c) {
    return c.unicode() <= 0x20 || c.isSpace() || c.category() == QChar::Other_Control;
}

// True when the text holds nothing but blanks and control characters.
bool IsBlankText(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), IsBlank);
}

// The text with a break opportunity (a zero-width space) between every two printable ASCII characters,
// so that a word longer than a whole line, such as a path or an address, wraps instead of running out of
// the box. Chinese text breaks between its characters anyway, and its punctuation keeps its place.
QString BreakableAnywhere(const QString& text) {
    constexpr QChar ZeroWidthSpace(0x200B);
    const auto printableAscii = [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; };
    QString result;
    result.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        result += text[i];
        if (i + 1 < text.size() && printableAscii(text[i]) && printableAscii(text[i + 1]))
            result += ZeroWidthSpace;
    }
    return result;
}

// The detail text one line per line, whatever line ends it came with.
QString DetailLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

int ShowMsgDlg(std::uint8_t kind, const QString& message, const QString& detail, bool checkState,
               const QString& checkCaption) {
    // One window for this call: owned here, so it is freed before the call returns, also on an error.
    const auto form = std::make_unique<Tfrm_MsgDlg>();
    form->Prepare(kind, message, detail, checkState, checkCaption);
    const int modalResult = form->exec();
    return form->ResultFor(modalResult);
}

Tfrm_MsgDlg::Tfrm_MsgDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfrm_MsgDlg>()) {
    InstallCjkFontSubstitution();
    ui->setupUi(this);
    // A tool window has no task-bar entry; on top of every other window, also the program's own.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setModal(true);

    connect(ui->sBtnLeft, &QPushButton::clicked, this, &Tfrm_MsgDlg::sBtnLeftClick);
    connect(ui->sBtnCenter, &QPushButton::clicked, this, &Tfrm_MsgDlg::sBtnCenterClick);
    connect(ui->sBtnRight, &QPushButton::clicked, this, &Tfrm_MsgDlg::sBtnRightClick);
    connect(ui->sBtnDetail, &QPushButton::clicked, this, &Tfrm_MsgDlg::sBtnDetailClick);
    connect(ui->Image2, &TClickImage::OnClick, this, &Tfrm_MsgDlg::Image2Click);
    connect(ui->Image1, &TClickImage::OnMouseDown, this, &Tfrm_MsgDlg::Image1MouseDown);

    FormCreate();
}

Tfrm_MsgDlg::~Tfrm_MsgDlg() = default;

void Tfrm_MsgDlg::FormCreate() {
    // The stored places that the docking keeps.
    FMsgPanelHeight = ui->pnlMsg->height();
    FCloseRightGap = ui->pnl_title->width() - ui->Image2->x();

    LoadPicturesForDensity(this, [this] { LoadPictures(); });
    ui->Image1->SetStretch(true);
    ui->Image2->SetPressable(QStringLiteral("关闭"));
    // The title text drags the window like the title bar picture beneath it.
    ui->lblSysTitle->setAttribute(Qt::WA_TransparentForMouseEvents);

    // Esc is seen before the focused control gets it.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    // Only the focused button answers Enter: no button of the box is a dialog default.
    for (QPushButton* button : Buttons()) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->hide();
    }

    FShadow = new TFormShadow(this);
    FShadow->SetForm(this);
    SetAreaSize(FormWidth, AreaHeight());

    ui->lblMsg->setWordWrap(false);
    ui->lblMsg->adjustSize();
    ui->moInfo->clear();
    ui->imgInfo->hide();
    ui->imgError->hide();
    ui->imgWarn->hide();
    ui->imgConfirm->hide();
    ui->pnlDetail->hide();
    ui->pnlRemind->hide();
    ui->cbxRemind->setChecked(false);
}

void Tfrm_MsgDlg::LoadPictures() {
    const qreal ratio = devicePixelRatioF();
    const auto pixmap = [ratio](const char* name) {
        return QPixmap::fromImage(LoadPicture(QString::fromLatin1(name), ratio));
    };
    ui->Image1->SetPictures(LoadPicture(QStringLiteral("msg_titlebar.png"), ratio));
    ui->Image2->SetPictures(LoadPicture(QStringLiteral("msg_close.png"), ratio),
                            LoadPicture(QStringLiteral("msg_close_hover.png"), ratio));
    ui->img1->setPixmap(pixmap("msg_frame.png"));
    ui->Image3->setPixmap(pixmap("msg_buttonbar.png"));
    ui->imgInfo->setPixmap(pixmap("msg_information.png"));
    ui->imgError->setPixmap(pixmap("msg_error.png"));
    ui->imgWarn->setPixmap(pixmap("msg_warning.png"));
    ui->imgConfirm->setPixmap(pixmap("msg_question.png"));
}

void Tfrm_MsgDlg::Prepare(std::uint8_t kind, const QString& message, const QString& detail, bool checkState,
                          const QString& checkCaption) {
    FKind = kind;
    ui->lblMsg->setText(message + QStringLiteral("  "));

    FHasDetail = !IsBlankText(detail);
    ui->moInfo->clear();
    if (FHasDetail)
        ui->moInfo->setPlainText(DetailLines(detail));

    if (!IsBlankText(checkCaption)) {
        ui->pnlRemind->show();
        ui->cbxRemind->setChecked(checkState);
        ui->lblRemind->setText(checkCaption);
        ui->cbxRemind->setAccessibleName(checkCaption); // its caption is a label of its own beside it
        ui->lblRemind->ensurePolished();
        ui->lblRemind->adjustSize();
    } else {
        ui->pnlRemind->hide();
        ui->cbxRemind->setChecked(false);
    }

    FitMessage();
    SetupKind();
    SetFormHeight();
    CentreOnScreen();
}

int Tfrm_MsgDlg::ResultFor(int modalResult) const {
    if (modalResult != mrButton)
        return 3;
    if (FKind <= mbkWarning)
        return 1;
    return FResult;
}

void Tfrm_MsgDlg::FitMessage() {
    QLabel* label = ui->lblMsg;
    label->ensurePolished();
    label->setWordWrap(false);
    label->adjustSize();

    const int left = label->x();
    const int width = label->width();
    int formWidth = FormWidth;
    if (width > WrapRight - left) {
        formWidth = MaxFormWidth;
        const int wrapWidth = WrapRight - left;
        const int lines = (width + wrapWidth - 1) / wrapWidth;
        label->setWordWrap(true);
        if (label->minimumSizeHint().width() > wrapWidth)
            label->setText(BreakableAnywhere(label->text()));
        // The lines the text needs at that width. Whole characters and words rarely fill a line
        // exactly, so the wrapped text may need more lines than its width divided by the wrap width;
        // the label is made tall enough for those as well, so that no line is cut off.
        const int height = std::max(label->fontMetrics().height() * lines, label->heightForWidth(wrapWidth));
        label->resize(wrapWidth, height);
    } else if (width > WideRight - left) {
        formWidth = left + width + MessageRightPad;
    }

    const int bottom = label->y() + label->height() + MessageBottomPad;
    ui->pnlMsg->resize(ui->pnlMsg->width(), FMsgPanelHeight + std::max(0, bottom - MessageRoom));
    SetAreaSize(formWidth, AreaHeight());
}

void Tfrm_MsgDlg::SetupKind() {
    QString title;
    QLabel* icon = nullptr;
    switch (FKind) {
    case mbkInformation:
        title = QStringLiteral("提示信息");
        icon = ui->imgInfo;
        break;
    case mbkError:
        title = QStringLiteral("错误信息");
        icon = ui->imgError;
        break;
    case mbkWarning:
        title = QStringLiteral("警告信息");
        icon = ui->imgWarn;
        break;
    case mbkOkCancel:
    case mbkYesNoCancel:
    case mbkYesNo:
    case mbkYesNo2:
        title = QStringLiteral("确认信息");
        icon = ui->imgConfirm;
        break;
    default:
        break; // no icon, no button, and the stored title
    }

    // Captions and which buttons show.
    switch (FKind) {
    case mbkInformation:
    case mbkError:
    case mbkWarning:
        ui->sBtnLeft->setText(CaptionOk);
        ui->sBtnLeft->show();
        break;
    case mbkOkCancel:
        ui->sBtnLeft->setText(CaptionOk);
        ui->sBtnRight->setText(CaptionCancel);
        ui->sBtnLeft->show();
        ui->sBtnRight->show();
        break;
    case mbkYesNoCancel:
        ui->sBtnLeft->setText(CaptionYes);
        ui->sBtnCenter->setText(CaptionNo);
        ui->sBtnRight->setText(CaptionCancel);
        ui->sBtnLeft->show();
        ui->sBtnCenter->show();
        ui->sBtnRight->show();
        break;
    case mbkYesNo:
    case mbkYesNo2:
        ui->sBtnLeft->setText(CaptionYes);
        ui->sBtnRight->setText(CaptionNo);
        ui->sBtnLeft->show();
        ui->sBtnRight->show();
        break;
    default:
        break;
    }
    ui->sBtnDetail->setVisible(FHasDetail);
    if (FHasDetail)
        ui->sBtnDetail->setText(CaptionShowDetail);

    // A row of buttons wider than the box would run off its left edge: the box grows to hold it.
    SetAreaSize(std::max(AreaWidth(), ButtonRowWidth()), AreaHeight());

    // Buttons from the right: the rightmost one 16 pixels from the right edge, 8 pixels between two.
    const auto alignRight = [this](QWidget* button) {
        button->move(AreaWidth() - button->width() - ButtonMargin, button->y());
    };
    const auto placeLeftOf = [](QWidget* button, const QWidget* other) {
        button->move(other->x() - button->width() - ButtonGap, button->y());
    };
    switch (FKind) {
    case mbkInformation:
    case mbkError:
    case mbkWarning:
        alignRight(ui->sBtnLeft);
        break;
    case mbkOkCancel:
    case mbkYesNo:
    case mbkYesNo2:
        alignRight(ui->sBtnRight);
        placeLeftOf(ui->sBtnLeft, ui->sBtnRight);
        break;
    case mbkYesNoCancel:
        alignRight(ui->sBtnRight);
        placeLeftOf(ui->sBtnCenter, ui->sBtnRight);
        placeLeftOf(ui->sBtnLeft, ui->sBtnCenter);
        break;
    default:
        break;
    }
    if (FHasDetail)
        placeLeftOf(ui->sBtnDetail, ui->sBtnLeft);

    if (icon != nullptr) {
        ui->lblSysTitle->setText(title);
        icon->show();
    }
    ui->lblSysTitle->ensurePolished();
    ui->lblSysTitle->adjustSize();
    setWindowTitle(ui->lblSysTitle->text());
}

std::array<QPushButton*, 4> Tfrm_MsgDlg::Buttons() const {
    return {ui->sBtnLeft, ui->sBtnCenter, ui->sBtnRight, ui->sBtnDetail};
}

int Tfrm_MsgDlg::ButtonRowWidth() const {
    int count = 0;
    int sum = 0;
    for (const QPushButton* button : Buttons()) {
        if (!button->isHidden()) {
            ++count;
            sum += button->width();
        }
    }
    if (count == 0)
        return 0;
    return ButtonMargin + sum + ButtonGap * (count - 1) + ButtonMargin;
}

void Tfrm_MsgDlg::SetFormHeight() {
    int formHeight = ui->pnl_title->height() + ui->pnlMsg->height() + ui->pnlButton->height();
    if (!ui->pnlDetail->isHidden())
        formHeight += DetailHeight;
    SetAreaSize(AreaWidth(), formHeight);
}

void Tfrm_MsgDlg::CentreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->geometry();
    FShadow->MoveForm(
        QPoint(area.x() + (area.width() - AreaWidth()) / 2, area.y() + (area.height() - AreaHeight()) / 2));
}

int Tfrm_MsgDlg::AreaWidth() const {
    return ui->pnlForm->width();
}

int Tfrm_MsgDlg::AreaHeight() const {
    return ui->pnlForm->height();
}

void Tfrm_MsgDlg::SetAreaSize(int width, int height) {
    ui->pnlForm->setFixedSize(width, height);
    layout()->activate(); // the window takes the area's size with its shadow's margins now
    AlignControls();
}

void Tfrm_MsgDlg::AlignControls() {
    const int formWidth = AreaWidth();
    const int formHeight = AreaHeight();
    ui->img1->setGeometry(0, 0, formWidth, formHeight);
    ui->pnl_body->setGeometry(1, 1, formWidth - 2, formHeight - 2);

    const int bodyWidth = ui->pnl_body->width();
    const int bodyHeight = ui->pnl_body->height();

    // The title bar on top, the message panel beneath it, the button bar at the bottom, and the detail
    // pane, when it shows, filling what is left between the last two.
    const int titleHeight = ui->pnl_title->height();
    ui->pnl_title->setGeometry(0, 0, bodyWidth, titleHeight);
    ui->Image1->setGeometry(0, 0, bodyWidth, titleHeight);
    ui->Image2->move(bodyWidth - FCloseRightGap, ui->Image2->y());

    const int msgHeight = ui->pnlMsg->height();
    ui->pnlMsg->setGeometry(0, titleHeight, bodyWidth, msgHeight);
    const int remindHeight = ui->pnlRemind->height();
    ui->pnlRemind->setGeometry(0, msgHeight - remindHeight, bodyWidth, remindHeight);

    const int buttonHeight = ui->pnlButton->height();
    ui->pnlButton->setGeometry(0, bodyHeight - buttonHeight, bodyWidth, buttonHeight);
    ui->Image3->setGeometry(0, 0, bodyWidth, buttonHeight);

    const int detailTop = titleHeight + msgHeight;
    const int detailHeight = std::max(0, bodyHeight - buttonHeight - detailTop);
    ui->pnlDetail->setGeometry(0, detailTop, bodyWidth, detailHeight);
    const int captionHeight = ui->Panel3->height();
    ui->Panel3->setGeometry(1, 1, bodyWidth - 2, captionHeight);
    ui->moInfo->setGeometry(1, 1 + captionHeight, bodyWidth - 2,
                            std::max(0, detailHeight - captionHeight - 2));
}

void Tfrm_MsgDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void Tfrm_MsgDlg::FormShow() {
    // The first shown button of the row, left to right, takes the focus.
    for (QPushButton* button : Buttons()) {
        if (!button->isHidden()) {
            button->setFocus(Qt::ActiveWindowFocusReason);
            break;
        }
    }
    FShadow->SetShadowVisible(true);
}

bool Tfrm_MsgDlg::eventFilter(QObject* watched, QEvent* event) {
    // Installed on the box and on every control of it, so the box sees each key before the control.
    if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool Tfrm_MsgDlg::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        done(mrDismissed);
        return true;
    }
    return false; // every other key goes on to the control, untouched
}

void Tfrm_MsgDlg::reject() {
    // Every way of closing without a button (the system's close included) ends here.
    done(mrDismissed);
}

void Tfrm_MsgDlg::sBtnLeftClick() {
    FResult = ui->cbxRemind->isChecked() ? 10 : 1;
    done(mrButton);
}

void Tfrm_MsgDlg::sBtnCenterClick() {
    FResult = 2;
    done(mrButton);
}

void Tfrm_MsgDlg::sBtnRightClick() {
    FResult = ui->cbxRemind->isChecked() ? 30 : 3;
    done(mrButton);
}

void Tfrm_MsgDlg::sBtnDetailClick() {
    const bool open = ui->pnlDetail->isHidden();
    ui->pnlDetail->setVisible(open);
    ui->sBtnDetail->setText(open ? CaptionHideDetail : CaptionShowDetail);
    SetFormHeight();
}

void Tfrm_MsgDlg::Image2Click() {
    done(mrDismissed);
}

void Tfrm_MsgDlg::Image1MouseDown(QMouseEvent* event) {
    // Only a window in its normal state moves with the mouse.
    if ((windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) != 0)
        return;
    DragWindow(this, event);
}
