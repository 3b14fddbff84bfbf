// Drives a modal window from inside its own loop: a timer waits until the window of the wanted class is
// shown and active as the modal window, hands it to the test's action once, and closes it if it is still
// open after a time limit, so that a broken window never hangs the suite.
#pragma once

#include "chrome/f_ShadowFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

struct TModalRun {
    int Result = -1;       // what the showing call returned
    bool Acted = false;    // the action saw the window
    bool TimedOut = false; // the window had to be closed by the driver
};

template <class TForm>
TModalRun DriveModal(const std::function<int()>& show, const std::function<void(TForm*)>& act,
                     int limitMs = 5000) {
    TModalRun run;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* form = qobject_cast<TForm*>(modal);
        if (!run.Acted && form != nullptr && form->isVisible() && form->isActiveWindow()) {
            run.Acted = true;
            act(form);
            return;
        }
        if (clock.elapsed() > limitMs && modal != nullptr) {
            run.TimedOut = true;
            modal->close();
        }
    });
    poll.start();
    run.Result = show();
    poll.stop();
    return run;
}

// The form's own area in its window's coordinates: the window less its shadow's margins.
template <class TForm>
QRect AreaOf(TForm* form) {
    return form->Shadow()->FormArea();
}
