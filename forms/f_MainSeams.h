// The main window's effects on the world outside the program, gathered in one structure so that tests can
// replace them: the two mirror addresses, the default save folder, the log, the connection test, the shell,
// the folder picker and the end of the process.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/Signature.h"

#include <QString>
#include <QUrl>

class QWidget;

struct TMainSeams {
    // Full addresses of the installer on the two mirrors: the "电信" line first, then the "联通" line.
    QString MirrorDX;
    QString MirrorLT;
    // The maker's public key: with one, a download is complete (and the Install picture shows) only when the
    // installer's signature holds; none checks nothing.
    std::optional<platform::TEd25519Key> InstallerKey;
    // The folder to save into until the user picks another, ending in "/": "Keltrima/" beside the program,
    // or under the user's download folder for an installed program. Made when the window is first shown.
    QString DefaultSaveDir;
    // Takes the window's log lines (the transfer's failure and error reports); the program binds it to its
    // log writer. Lines are dropped when it is empty.
    std::function<void(const std::string& Line)> WriteLog;
    // True when the machine can reach the mirrors.
    std::function<bool()> IsOnline;
    // Opens a local file or a web address with the desktop's default action; true when it was started.
    std::function<bool(const QUrl& Target)> OpenWithShell;
    // The browse-for-folder dialog; the chosen folder, or an empty text when the user cancelled.
    std::function<QString(QWidget* Owner, const QString& Title)> PickFolder;
    // Ends the process at once; the program's own version does not return.
    std::function<void()> KillProcess;
};

// The path of the installer on either mirror, appended to a mirror's scheme, host and port.
inline constexpr const char* KInstallerPath = "/uploads/Keltrima（山东）（完整安装包）.exe";

// True when the address names a host on the loopback interface (127.0.0.0/8, ::1, localhost).
bool IsLoopbackAddress(const QString& Address);

// The program's own effects for the two mirror addresses given. The connection test asks the platform for a
// non-loopback interface, except when both mirrors live on the loopback interface: reaching them needs none.
// The default save folder and the log are the caller's to fill in.
TMainSeams SystemSeams(const QString& MirrorDX, const QString& MirrorLT);
