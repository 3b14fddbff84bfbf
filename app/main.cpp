// The program's entry point: the silent refusals, the single-instance guard, the main window and the
// message loop.
#include <QApplication>

#include "app/f_GlobalVar.h"
#include "chrome/CjkFont.h"
#include "forms/f_Main.h"
#include "forms/f_MainSeams.h"
#include "platform/Process.h"

#ifndef KELTRIMA_MIRROR_DX
#error "KELTRIMA_MIRROR_DX must name the telecom line's mirror (scheme, host, optional port)"
#endif
#ifndef KELTRIMA_MIRROR_LT
#error "KELTRIMA_MIRROR_LT must name the unicom line's mirror (scheme, host, optional port)"
#endif

namespace {

constexpr int KErrorAlreadyExists = 183;

QString MirrorAddress(const char* Mirror) {
    return QString::fromUtf8(Mirror) + QString::fromUtf8(KInstallerPath);
}

} // namespace

int main(int argc, char* argv[]) {
    // GlobalLogger exists already: it was made, with its folder, during static initialisation.

    // Any non-empty first argument ends the program at once, silently. It is read raw, before Qt takes its
    // own options out of the command line, and before a display is needed.
    if (argc > 1 && argv[1] != nullptr && argv[1][0] != '\0') {
        return 0;
    }

    // One instance per log-on session. Another failure of the lock lets this one run as the first.
    if (platform::CreateSingleInstanceLock("Travoline_SD") == KErrorAlreadyExists) {
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keltrima"));
    InstallCjkFontSubstitution();

    Tfrm_Main mainForm(SystemSeams(MirrorAddress(KELTRIMA_MIRROR_DX), MirrorAddress(KELTRIMA_MIRROR_LT)));
    mainForm.show();
    return QApplication::exec();
}
