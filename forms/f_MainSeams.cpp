#include "forms/f_MainSeams.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>

#include "platform/Process.h"

bool IsLoopbackAddress(const QString& Address) {
    const QString host = QUrl(Address).host().toLower();
    if (host == QLatin1String("localhost") || host == QLatin1String("::1")) {
        return true;
    }
    const QStringList octets = host.split(QLatin1Char('.'));
    if (octets.size() != 4 || octets.front() != QLatin1String("127")) {
        return false;
    }
    for (const QString& octet : octets) {
        bool ok = false;
        const int value = octet.toInt(&ok);
        if (!ok || value < 0 || value > 255) {
            return false;
        }
    }
    return true;
}

TMainSeams SystemSeams(const QString& MirrorDX, const QString& MirrorLT) {
    TMainSeams seams;
    seams.MirrorDX = MirrorDX;
    seams.MirrorLT = MirrorLT;
    const bool mirrorsOnLoopback = IsLoopbackAddress(MirrorDX) && IsLoopbackAddress(MirrorLT);
    seams.IsOnline = [mirrorsOnLoopback] {
        return mirrorsOnLoopback || platform::InternetGetConnectedState();
    };
    seams.OpenWithShell = [](const QUrl& Target) {
        // The desktop's opener starts detached and reports only that it started, so a file that is gone
        // would count as opened: test for it first.
        if (Target.isLocalFile() && !QFileInfo(Target.toLocalFile()).isFile()) {
            return false;
        }
        return QDesktopServices::openUrl(Target);
    };
    seams.PickFolder = [](QWidget* Owner, const QString& Title) {
        return QFileDialog::getExistingDirectory(Owner, Title, QString(), QFileDialog::ShowDirsOnly);
    };
    seams.KillProcess = [] { platform::TerminateCurrentProcess(-1); };
    return seams;
}
