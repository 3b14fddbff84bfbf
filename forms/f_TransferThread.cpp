#include "forms/f_TransferThread.h"

#include <exception>
#include <thread>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>

int RunTransferThread(QObject* Context,
                      const std::function<int(const THttpDownloadCallback& Relay)>& Transfer,
                      const THttpDownloadCallback& OnReport, const std::function<void()>& OnLoopInterrupted) {
    QEventLoop loop;
    bool finished = false; // touched on the calling thread only
    int result = -1;

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
            outcome = Transfer(relay);
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
        while (!finished) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    worker.join();
    return result;
}
