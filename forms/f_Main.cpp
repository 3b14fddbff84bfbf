#include "forms/f_Main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QShowEvent>

#include <algorithm>
#include <cmath>
#include <string>

#include "chrome/Pictures.h"
#include "chrome/ProgressPanel.h"
#include "chrome/WindowDrag.h"
#include "chrome/f_ShadowFrame.h"
#include "forms/f_Info.h"
#include "forms/f_MsgDlgBox.h"
#include "forms/f_TransferThread.h"
#include "ui_f_Main.h"

namespace {

QString WithTrailingDelimiter(const QString& Folder) {
    return Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/');
}

void Inform(const QString& Text) {
    ShowMsgDlg(mbkInformation, Text, QString(), false, QString());
}

bool Confirm(const QString& Text) {
    return ShowMsgDlg(mbkOkCancel, Text, QString(), false, QString()) == 1;
}

// The low 32 bits of a 64-bit count, as the signed number the progress display works with.
std::int32_t Low32(std::int64_t Value) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(Value) & 0xFFFFFFFFu));
}

void PumpMessages() {
    QCoreApplication::processEvents();
}

} // namespace

Tfrm_Main::Tfrm_Main(TMainSeams Seams, QWidget* Parent)
    : QWidget(Parent), ui(std::make_unique<Ui::Tfrm_Main>()), FSeams(std::move(Seams)) {
    ui->setupUi(this);
    setWindowFlag(Qt::FramelessWindowHint, true);
    LoadPicturesForDensity(this, [this] { LoadPictures(); });
    DescribeControls();

    connect(ui->btnSmall, &TPNGImageButtonEx::OnClick, this, &Tfrm_Main::btnSmallClick);
    connect(ui->btnClose, &TPNGImageButtonEx::OnClick, this, &Tfrm_Main::btnCloseClick);
    connect(ui->imgTop, &TClickImage::OnMouseDown, this, &Tfrm_Main::imgTopMouseDown);
    connect(ui->btnDownloadNow, &TClickImage::OnClick, this, &Tfrm_Main::btnDownloadNowClick);
    connect(ui->btnDownload, &TClickImage::OnClick, this, &Tfrm_Main::btnDownloadClick);
    connect(ui->labCustom, &TClickImage::OnClick, this, &Tfrm_Main::labCustomClick);
    connect(ui->labBack, &TClickImage::OnClick, this, &Tfrm_Main::labBackClick);
    connect(ui->btnDir, &TClickImage::OnClick, this, &Tfrm_Main::btnDirClick);
    connect(ui->btnInstall, &TClickImage::OnClick, this, &Tfrm_Main::btnInstallClick);
    connect(ui->PC, &QStackedWidget::currentChanged, this, [this](int Index) {
        if (ui->PC->widget(Index) == ui->TS2) {
            TS2Show();
        }
    });
    ui->edtDir->installEventFilter(this);

    FormCreate();
    // The stored screen position of the form; a Wayland compositor takes it as a wish at most.
    FShadow->MoveForm(QPoint(428, 161));
}

Tfrm_Main::~Tfrm_Main() = default;

void Tfrm_Main::LoadPictures() {
    const qreal ratio = devicePixelRatioF();
    const auto Picture = [ratio](const char* Name) {
        return LoadPicture(QLatin1String(Name) + QStringLiteral(".png"), ratio);
    };
    ui->imgTop->SetPictures(Picture("banner"));
    ui->btnSmall->SetPngImg(Picture("min_normal"));
    ui->btnSmall->SetPngOver(Picture("min_hover"));
    ui->btnClose->SetPngImg(Picture("close_normal"));
    ui->btnClose->SetPngOver(Picture("close_hover"));
    ui->btnDownloadNow->SetPictures(Picture("download_now"), Picture("download_now_hover"));
    ui->imgGray->setPixmap(QPixmap::fromImage(Picture("gray_arrow")));
    ui->btnDir->SetPictures(Picture("folder"), Picture("folder_hover"));
    ui->btnDownload->SetPictures(Picture("download"), Picture("download_hover"));
    ui->imgProcessOuter->SetPictures(Picture("progress_track"));
    ui->imgProcessOuter->SetStretch(true);
    ui->imgProcessInner->SetPictures(Picture("progress_fill"));
    ui->imgProcessInner->SetStretch(false);
    ui->btnInstall->SetPictures(Picture("install"), Picture("install_hover"));
}

void Tfrm_Main::DescribeControls() {
    // What the keyboard reaches and a screen reader names: each picture button by its caption.
    ui->btnDownloadNow->SetPressable(QStringLiteral("立即下载"));
    ui->btnDownload->SetPressable(QStringLiteral("开始下载"));
    ui->btnDir->SetPressable(QStringLiteral("浏览"));
    ui->btnInstall->SetPressable(QStringLiteral("立即安装"));
    ui->labCustom->SetPressable(QStringLiteral("自定义下载"));
    ui->labCustom->SetFocusMarkColor(QColor(141, 141, 141));
    ui->labBack->SetPressable(QStringLiteral("返回"));
    ui->labBack->SetFocusMarkColor(QColor(72, 124, 181));
    ui->btnSmall->setAccessibleName(QStringLiteral("最小化"));
    ui->btnClose->setAccessibleName(QStringLiteral("关闭"));
    ui->imgTop->setAccessibleName(QStringLiteral("Keltrima 山东版 完整安装包"));
    ui->Panel1->setAccessibleName(QStringLiteral("下载进度"));
    ui->labSpeed->clear();
}

void Tfrm_Main::FormCreate() {
    FShadow = new TFormShadow(this);
    FShadow->SetForm(this);
    ResetState();
    ui->PC->setCurrentWidget(ui->TS1);
}

void Tfrm_Main::FormShow() {
    FShadow->SetShadowVisible(true);
    // The default folder is set when the window first appears; a later show (after a minimise) keeps the
    // folder the user may have chosen meanwhile.
    if (FShownOnce) {
        return;
    }
    FShownOnce = true;
    // Enter or Space on a window just opened starts the download (the window's main action), never the
    // minimise button that comes first in the widget tree.
    ui->btnDownloadNow->setFocus(Qt::OtherFocusReason);
    const QString folder = FSeams.DefaultSaveDir;
    if (!folder.isEmpty()) {
        QDir().mkpath(folder); // a folder that cannot be made shows up as a failed download
    }
    FSaveDir = folder;
}

void Tfrm_Main::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    if (!isMinimized()) {
        FormShow();
    }
}

void Tfrm_Main::closeEvent(QCloseEvent* Event) {
    // A close request of the window manager (Alt+F4) is the close button: during a download it asks the
    // transfer to stop, otherwise it ends the program.
    Event->ignore();
    btnCloseClick();
}

bool Tfrm_Main::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == ui->edtDir && Event->type() == QEvent::FocusOut) {
        edtDirExit();
    }
    return QWidget::eventFilter(Watched, Event);
}

void Tfrm_Main::btnSmallClick() {
    showMinimized();
}

void Tfrm_Main::btnCloseClick() {
    if (ui->PC->currentWidget() != ui->TS3 || FFailed || FSucceeded) {
        KillProcess();
        return;
    }
    FCancelRequested = true;
}

void Tfrm_Main::imgTopMouseDown(QMouseEvent* Event) {
    DragWindow(this, Event);
}

void Tfrm_Main::btnDownloadNowClick() {
    StartDownload();
}

void Tfrm_Main::btnDownloadClick() {
    StartDownload();
}

void Tfrm_Main::labCustomClick() {
    ui->PC->setCurrentWidget(ui->TS2);
}

void Tfrm_Main::labBackClick() {
    ui->PC->setCurrentWidget(ui->TS1);
}

void Tfrm_Main::TS2Show() {
    ui->edtDir->setText(FSaveDir);
}

void Tfrm_Main::btnDirClick() {
    const QString folder = FSeams.PickFolder(this, QStringLiteral("请选择目录"));
    if (folder.isEmpty()) {
        return;
    }
    ui->edtDir->setText(WithTrailingDelimiter(folder));
    FSaveDir = ui->edtDir->text();
}

void Tfrm_Main::edtDirExit() {
    FSaveDir = ui->edtDir->text();
}

void Tfrm_Main::btnInstallClick() {
    if (!FSeams.OpenWithShell(QUrl::fromLocalFile(FFileName))) {
        Inform(QStringLiteral("无法自动打开下载的文件。"));
        return;
    }
    KillProcess(); // the downloader is gone while the installer runs
}

void Tfrm_Main::ResetState() {
    FCancelRequested = false;
    FSucceeded = false;
    FFailed = false;
    FPosition = 0;
    FTotal = 100;
    GetHttpClient()->SetResume(true);
}

bool Tfrm_Main::IsOnline() const {
    return FSeams.IsOnline();
}

void Tfrm_Main::KillProcess() {
    FSeams.KillProcess();
}

void Tfrm_Main::StartDownload() {
    // "Download again" after a failure or a stop runs the next attempt with the state just reset.
    while (DownloadOnce() == TAttemptEnd::Again) {
    }
}

Tfrm_Main::TAttemptEnd Tfrm_Main::DownloadOnce() {
    if (ui->PC->currentWidget() == ui->TS2) {
        FSaveDir = ui->edtDir->text();
    }
    if (FSaveDir.isEmpty()) {
        Inform(QStringLiteral("请选择保存路径。"));
        return TAttemptEnd::Done;
    }

    QString url;
    if (ui->rdbDX->isChecked()) {
        url = FSeams.MirrorDX;
    } else if (ui->RdbLT->isChecked()) {
        url = FSeams.MirrorLT;
    } else {
        Inform(QStringLiteral("找不到下载文件。"));
        return TAttemptEnd::Done;
    }

    TURLParts parts;
    if (!GetHttpClient()->ParseURL(url.toStdString(), parts)) {
        Inform(QStringLiteral("解析URL失败！"));
        return TAttemptEnd::Done;
    }

    // The name after the last delimiter of the path; a "\" counts as one too, so no name carries it.
    QString path = QString::fromStdString(parts.UrlPath);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty()) {
        Inform(QStringLiteral("不存在下载文件！"));
        return TAttemptEnd::Done;
    }

    if (!IsOnline()) {
        Inform(QStringLiteral("网络异常，请检查网络后重试！"));
        return TAttemptEnd::Done;
    }

    FFileName = WithTrailingDelimiter(FSaveDir) + name;

    const QFileInfo existing(FFileName);
    if (existing.exists() && !existing.isDir()) {
        if (!Confirm(FFileName + QStringLiteral("已存在，需要重新下载吗？"))) {
            return TAttemptEnd::Done;
        }
        QFile::remove(FFileName); // a failure shows up in the download
    }

    ui->PC->setCurrentWidget(ui->TS3);

    switch (RunDownload(url)) {
    case -1: {
        FFailed = true;
        switch (ShowFailPrompt()) {
        case 0:
            ResetState();
            ui->PC->setCurrentWidget(ui->TS1);
            return TAttemptEnd::Done;
        case 1:
            // The browser always gets the first mirror, whichever line was chosen.
            FSeams.OpenWithShell(QUrl(FSeams.MirrorDX));
            KillProcess();
            return TAttemptEnd::Done;
        case 2:
            ResetState();
            return TAttemptEnd::Again;
        default:
            return TAttemptEnd::Done;
        }
    }
    case 0:
        FSucceeded = true;
        ui->btnInstall->show();
        return TAttemptEnd::Done;
    case 1:
        if (Confirm(QStringLiteral("当前下载还没有完成，如果关闭软件，需要重新下载，确定关闭软件吗？"))) {
            KillProcess();
            return TAttemptEnd::Done;
        }
        ResetState();
        return TAttemptEnd::Again;
    default:
        return TAttemptEnd::Done;
    }
}

int Tfrm_Main::RunDownload(const QString& Url) {
    const std::string url = Url.toStdString();
    const std::string file = FFileName.toStdString();
    FDownloading = true;
    const int result = RunTransferThread(
        this,
        [&](const THttpDownloadCallback& Relay, const TStopCheck& StopCheck) {
            // The stop acts at once, also while the transfer waits for the network.
            const std::shared_ptr<IHttpClient> client = GetHttpClient();
            client->SetStopCheck(StopCheck);
            client->SetInstallerKey(FSeams.InstallerKey);
            const int outcome = client->DownloadFile(url, file, Relay, 0, nullptr);
            client->SetStopCheck(nullptr);
            return outcome;
        },
        [this](const THttpDownloadInfo& Info, bool& Stop) { DownloadProgress(Info, Stop); },
        [this] { FCancelRequested = true; }, [this] { return FCancelRequested; });
    FDownloading = false;
    return result;
}

void Tfrm_Main::DownloadProgress(const THttpDownloadInfo& Info, bool& Stop) {
    switch (Info.Status) {
    case dsBegin:
    case dsEnd:
        PumpMessages();
        break;
    case dsProgress:
        SetProgressPosition(Low32(Info.Position));
        SetProgressTotal(Low32(Info.Size));
        ShowSpeed(Info);
        PumpMessages();
        Stop = FCancelRequested;
        break;
    case dsFail:
        if (FSeams.WriteLog) {
            FSeams.WriteLog(std::string("下载失败dsFail： ") + (Info.Message ? Info.Message : ""));
        }
        PumpMessages();
        break;
    case dsError:
        if (FSeams.WriteLog) {
            FSeams.WriteLog(std::string("下载失败dsError: ") + (Info.Message ? Info.Message : ""));
        }
        PumpMessages();
        break;
    default:
        break;
    }
}

void Tfrm_Main::SetProgressPosition(std::int32_t Value) {
    FPosition = Value;
    RefreshProgress();
}

void Tfrm_Main::SetProgressTotal(std::int32_t Value) {
    if (Value != 0) {
        FTotal = Value;
    }
    RefreshProgress();
}

void Tfrm_Main::ShowSpeed(const THttpDownloadInfo& Info) {
    // Until the first second of the transfer has been measured, a report carries no speed and no time left;
    // the line stays empty then rather than claim "0.00B/s" with nothing left to wait for.
    if (Info.Speed == 0 && Info.RemainTime == 0) {
        ui->labSpeed->clear();
        return;
    }
    // The speed and the time left that the report carries, as the client wrote them.
    ui->labSpeed->setText(QStringLiteral("%1  剩余 %2")
                              .arg(QString::fromStdString(Info.SpeedText.Str()),
                                   QString::fromStdString(Info.RemainTimeText.Str())));
}

void Tfrm_Main::RefreshProgress() {
    const double percent = static_cast<double>(FPosition) / static_cast<double>(FTotal) * 100.0;
    // A whole number, halves away from zero.
    const long long whole = std::llround(percent);
    ui->labProcess->setText(QStringLiteral("正在下载(%1%)").arg(whole));
    // There is no upper clamp: a position past the total draws a fill wider than the track. The product is
    // taken in 64 bits, so a far-off position cannot overflow it, and a width never goes below 0.
    const long long width = whole * ui->imgProcessOuter->width() / 100;
    const long long limit = QWIDGETSIZE_MAX;
    ui->imgProcessInner->resize(static_cast<int>(std::clamp(width, 0LL, limit)),
                                ui->imgProcessInner->height());
    ui->Panel1->SetValue(static_cast<int>(std::clamp(whole, 0LL, 1000LL)));
}
