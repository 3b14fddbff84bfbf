// The main window's effects for tests that only look at it: two unreachable mirrors, no connection, a shell
// and a folder picker that do nothing, and an end of the process that does not end it.
#pragma once

#include "forms/f_MainSeams.h"

#include <QString>
#include <QUrl>

inline TMainSeams QuietSeams() {
    TMainSeams seams;
    seams.MirrorDX = seams.MirrorLT = QStringLiteral("http://127.0.0.1:1/a.exe");
    seams.IsOnline = [] { return false; };
    seams.OpenWithShell = [](const QUrl&) { return false; };
    seams.PickFolder = [](QWidget*, const QString&) { return QString(); };
    seams.KillProcess = [] {};
    return seams;
}
