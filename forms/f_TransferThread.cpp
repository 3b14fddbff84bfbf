#include "forms/f_TransferThread.h"

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

int RunTransferThread(
    QObject* Context,
    const std::function<int(const THttpDownloadCallback& Relay, const TStopCheck& StopCheck)>& Transfer,
    const THttpDownloadCallback& OnReport, const std::function<void()>& OnLoopInterrupted,
    const std::function<bool()>& StopRequested) {
    QEventLoop loop;
    bool finished = false; // touched on the calling thread only
    int result = -1;
    // Written on the calling thread, read by the worker's stop check. Shared, so that a client that keeps
    // the check after the call never reads a flag that is gone.
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    const TStopCheck stopCheck = [stop] { return stop->load(std::memory_order_relaxed); };
    const auto pollStop = [&] {
        if (StopRequested && StopRequested()) {
            stop->store(true, std::memory_order_relaxed);
        }
    };
    QTimer stopTimer;
    stopTimer.setInterval(50);
    QObject::connect(&stopTimer, &QTimer::timeout, pollStop);
    stopTimer.start();

    const THttpDownloadCallback relay = [&](const THttpDownloadInfo& Info, bool& Stop) {
        std::exception_ptr raised;
        // The worker blocks here until the report has been handled, so Info and Stop stay valid.
        QMetaObject::invokeMethod(
            Context,
            [&] {
                try {
                    OnReport(Info, Stop);
                } catch (...) {
                    raised = std::current_exception();
                }
            },
            Qt::BlockingQueuedConnection);
        if (raised) {
            std::rethrow_exception(raised);
        }
    };

    std::thread worker([&] {
        int outcome = -1;
        try {
            outcome = Transfer(relay, stopCheck);
        } catch (...) {
            outcome = -1; // the client catches its own errors; this guards the thread against the rest
        }
        QMetaObject::invokeMethod(
            &loop,
            [&, outcome] {
                result = outcome;
                finished = true;
                loop.quit();
            },
            Qt::QueuedConnection);
    });

    loop.exec();
    if (!finished) {
        // Something quit the event loops (an application quit ends every running loop, and every later one at
        // once). The worker still needs its reports answered, so events are served directly until it ends.
        if (OnLoopInterrupted) {
            OnLoopInterrupted();
        }
        pollStop();
        while (!finished) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    stopTimer.stop();
    worker.join();
    return result;
}
