// The program's entry point: where the downloads and the log go, the silent refusals, the single-instance
// guard, the main window and the message loop.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QStringList>
#include <QtGlobal>

#include "app/f_DataFolders.h"
#include "app/f_GlobalVar.h"
#include "chrome/CjkFont.h"
#include "forms/f_Main.h"
#include "forms/f_MainSeams.h"
#include "forms/f_MsgDlgBox.h"
#include "platform/Process.h"
#include "platform/Signature.h"

#ifndef KELTRIMA_MIRROR_DX
#error "KELTRIMA_MIRROR_DX must name the telecom line's mirror (scheme, host, optional port)"
#endif
#ifndef KELTRIMA_MIRROR_LT
#error "KELTRIMA_MIRROR_LT must name the unicom line's mirror (scheme, host, optional port)"
#endif
#ifndef KELTRIMA_INSTALLER_KEY
#error "KELTRIMA_INSTALLER_KEY must be the maker's public key (base64 of 32 bytes), or empty for none"
#endif
static_assert(sizeof(KELTRIMA_INSTALLER_KEY) == 1 || sizeof(KELTRIMA_INSTALLER_KEY) == 45,
              "KELTRIMA_INSTALLER_KEY must be empty or the 44 characters of a base64 Ed25519 public key");
#ifndef KELTRIMA_APP_ID
#error "KELTRIMA_APP_ID must name the desktop entry (without .desktop)"
#endif

namespace {

constexpr int KErrorAlreadyExists = 183;

QString MirrorAddress(const char* Mirror) {
    return QString::fromUtf8(Mirror) + QString::fromUtf8(KInstallerPath);
}

// The program's icon at every size it was drawn in.
QIcon ProgramIcon() {
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icons"));
    for (const QString& name : sizes.entryList(QDir::Files)) {
        icon.addFile(sizes.filePath(name));
    }
    return icon;
}

// What every window of the process shares: the names the desktop knows it by, its icon and its font.
void PrepareApplication() {
    QApplication::setApplicationName(QStringLiteral("Keltrima"));
    // On Wayland the desktop entry's name is the windows' application id, which brings its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral(KELTRIMA_APP_ID));
    QApplication::setWindowIcon(ProgramIcon());
    InstallCjkFontSubstitution();
}

// No folder takes the log: the program's own message box says so (and the standard error stream, for a
// start from a terminal), then the start ends.
int ReportFailedStart(int Argc, char** Argv, const std::string& Error, const TDataFolders& Folders) {
    const QString message = QStringLiteral("程序初始化失败：") + QString::fromStdString(Error);
    QStringList refused;
    for (const std::string& folder : Folders.Refused) {
        refused << QString::fromStdString(folder);
    }
    if (!Folders.LogDir.empty()) {
        refused << QString::fromStdString(Folders.LogDir); // made, but the log writer could not be created
    }
    const QString detail = QStringLiteral("无法创建或写入日志文件夹：\n") + refused.join(QLatin1Char('\n'));
    std::fprintf(stderr, "Keltrima: %s\n%s\n", qPrintable(message), qPrintable(detail));

    QApplication app(Argc, Argv);
    PrepareApplication();
    ShowMsgDlg(mbkError, message, detail);
    return EXIT_FAILURE;
}

// The window's log lines go to GlobalLogger. A line that cannot be written is lost, and the download goes on.
void WriteToGlobalLog(const std::string& Line) {
    try {
        GlobalLogger->Write(Line, llInformation);
    } catch (const std::exception& Error) {
        qWarning("Keltrima: %s", Error.what());
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // Before anything else the log folder is made: beside the program when it was unpacked into a folder of
    // its user, else in the user's own folders.
    const TDataFolders folders = DecideDataFolders(CurrentFolderContext());
    const std::string loggerError = folders.Place == TFolderPlace::Nowhere
                                        ? std::string(KLogFolderError)
                                        : CreateGlobalLogger(folders.LogDir);

    // Any non-empty first argument ends the program at once, silently. It is read raw, before Qt takes its
    // own options out of the command line, and before a display is needed.
    if (argc > 1 && argv[1] != nullptr && argv[1][0] != '\0') {
        return 0;
    }

    if (!loggerError.empty()) {
        return ReportFailedStart(argc, argv, loggerError, folders);
    }

    // One instance per log-on session. Another failure of the lock lets this one run as the first.
    if (platform::CreateSingleInstanceLock("Travoline_SD") == KErrorAlreadyExists) {
        return 0;
    }

    QApplication app(argc, argv);
    PrepareApplication();

    TMainSeams seams = SystemSeams(MirrorAddress(KELTRIMA_MIRROR_DX), MirrorAddress(KELTRIMA_MIRROR_LT));
    seams.InstallerKey = platform::ParseEd25519Key(KELTRIMA_INSTALLER_KEY); // none when built without one
    seams.DefaultSaveDir = QString::fromStdString(folders.SaveDir);
    seams.WriteLog = WriteToGlobalLog;
    Tfrm_Main mainForm(std::move(seams));
    mainForm.show();
    return QApplication::exec();
}
