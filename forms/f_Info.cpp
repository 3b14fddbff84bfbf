#include "forms/f_Info.h"

#include "ui_f_Info.h"

#include "chrome/CjkFont.h"
#include "chrome/ClickImage.h"
#include "chrome/PNGImageButton.h"
#include "chrome/Pictures.h"
#include "chrome/WindowDrag.h"
#include "chrome/f_ShadowFrame.h"

#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

int ShowFailPrompt() {
    // A fresh window on every call, so that no choice survives from an earlier failure; freed on return.
    const auto form = std::make_unique<Tfrm_Info>();
    form->exec();
    return form->Result();
}

Tfrm_Info::Tfrm_Info(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfrm_Info>()) {
    InstallCjkFontSubstitution();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);

    connect(ui->btnReLoad, &TClickImage::OnClick, this, &Tfrm_Info::btnReLoadClick);
    connect(ui->btnUseIE, &TClickImage::OnClick, this, &Tfrm_Info::btnUseIEClick);
    connect(ui->btnClose, &TPNGImageButtonEx::OnClick, this, &Tfrm_Info::btnCloseClick);
    connect(ui->pnl_Titile, &TClickImage::OnMouseDown, this, &Tfrm_Info::pnl_TitileMouseDown);

    FormCreate();
}

Tfrm_Info::~Tfrm_Info() = default;

void Tfrm_Info::FormCreate() {
    LoadPicturesForDensity(this, [this] { LoadPictures(); });
    ui->pnl_Titile->SetStretch(true);
    // The title text drags the window like the bar beneath it.
    ui->lblSysTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    // What the keyboard reaches and a screen reader names: each picture button by its caption.
    ui->btnReLoad->SetPressable(QStringLiteral("重新下载"));
    ui->btnUseIE->SetPressable(QStringLiteral("使用浏览器下载"));
    ui->btnUseIE->SetFocusMarkColor(QColor(72, 124, 181));
    ui->btnClose->setAccessibleName(QStringLiteral("关闭"));

    FShadow = new TFormShadow(this);
    FShadow->SetForm(this);

    KeepOnScreen();
}

void Tfrm_Info::LoadPictures() {
    const qreal ratio = devicePixelRatioF();
    ui->pnl_Titile->SetPictures(LoadPicture(QStringLiteral("info_titlebar.png"), ratio));
    ui->Image1->setPixmap(QPixmap::fromImage(LoadPicture(QStringLiteral("info_icon.png"), ratio)));
    ui->btnClose->SetPngImg(LoadPicture(QStringLiteral("close_normal.png"), ratio));
    ui->btnClose->SetPngOver(LoadPicture(QStringLiteral("close_hover.png"), ratio));
    ui->btnReLoad->SetPictures(LoadPicture(QStringLiteral("redownload.png"), ratio),
                               LoadPicture(QStringLiteral("redownload_hover.png"), ratio));
    ui->btnUseIE->SetPictures(LoadPicture(QStringLiteral("browser_link.png"), ratio));
}

QPoint Tfrm_Info::PlaceOnScreen(QPoint stored, QSize size, QRect area) {
    const int x = std::clamp(stored.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width()));
    const int y = std::clamp(stored.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
    return {x, y};
}

void Tfrm_Info::KeepOnScreen() {
    // The stored place suits a common desktop; on a smaller screen the window is moved in so that it
    // can be seen whole. (A stored layout keeps the place of its window, but uic applies only the size.)
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint stored(StoredLeft, StoredTop);
    const QSize area = FShadow->FormArea().size();
    FShadow->MoveForm(screen != nullptr ? PlaceOnScreen(stored, area, screen->availableGeometry()) : stored);
}

void Tfrm_Info::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void Tfrm_Info::FormShow() {
    ui->btnReLoad->setFocus(Qt::ActiveWindowFocusReason); // Enter downloads again
    FShadow->SetShadowVisible(true);
}

void Tfrm_Info::btnReLoadClick() {
    FResult = frDownloadAgain;
    accept();
}

void Tfrm_Info::btnUseIEClick() {
    FResult = frUseBrowser;
    accept();
}

void Tfrm_Info::btnCloseClick() {
    FResult = frClosed;
    reject();
}

void Tfrm_Info::pnl_TitileMouseDown(QMouseEvent* event) {
    // Any mouse button moves the window.
    DragWindow(this, event);
}
