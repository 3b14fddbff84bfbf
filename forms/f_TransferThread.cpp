#include "forms/f_TransferThread.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>

namespace {

// What the worker and the calling thread share, guarded by its mutex: one report at a time waiting for its
// answer, and the transfer's end. Every piece of data goes through here; the event that wakes the calling
// thread carries nothing.
struct TMailbox {
    std::mutex Mutex;
    std::condition_variable AnswerGiven;
    const THttpDownloadInfo* Info =
        nullptr; // a report waiting to be handled (it lives on the worker's stack)
    bool* Stop = nullptr;
    bool Answered = false;
    std::exception_ptr Raised;
    bool Finished = false;
    int Result = -1;
};

// Lives on the calling thread; every event posted to it makes it serve the mailbox there.
class TWaker : public QObject {
public:
    explicit TWaker(std::function<void()> Serve) : FServe(std::move(Serve)) {}

    // An event to wake the calling thread with. Made while the mailbox is locked: serving it takes the lock
    // before Qt deletes it, so the hand-over of the event itself is ordered as well.
    static std::unique_ptr<QEvent> NewWake() { return std::make_unique<QEvent>(QEvent::User); }
    // Thread-safe: wakes the calling thread to serve the mailbox.
    void Wake(std::unique_ptr<QEvent> Event) { QCoreApplication::postEvent(this, Event.release()); }

protected:
    void customEvent(QEvent*) override { FServe(); } // the event only wakes; it holds nothing to read

private:
    std::function<void()> FServe;
};

} // namespace

int RunTransferThread(
    QObject* Context,
    const std::function<int(const THttpDownloadCallback& Relay, const TStopCheck& StopCheck)>& Transfer,
    const THttpDownloadCallback& OnReport, const std::function<void()>& OnLoopInterrupted,
    const std::function<bool()>& StopRequested) {
    Q_ASSERT(Context && Context->thread() == QThread::currentThread());
    (void)Context;
    TMailbox box;
    QEventLoop loop;
    TWaker waker([&] {
        std::unique_lock<std::mutex> lock(box.Mutex);
        if (box.Info) {
            const THttpDownloadInfo* info = std::exchange(box.Info, nullptr);
            bool* stop = box.Stop;
            lock.unlock(); // the handler may serve events meanwhile
            std::exception_ptr raised;
            try {
                OnReport(*info, *stop);
            } catch (...) {
                raised = std::current_exception();
            }
            lock.lock();
            box.Raised = raised;
            box.Answered = true;
            box.AnswerGiven.notify_one();
        }
        if (box.Finished) {
            loop.quit();
        }
    });

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

    // The worker waits here until the report has been handled, so Info and Stop stay valid meanwhile.
    const THttpDownloadCallback relay = [&](const THttpDownloadInfo& Info, bool& Stop) {
        std::unique_lock<std::mutex> lock(box.Mutex);
        box.Info = &Info;
        box.Stop = &Stop;
        box.Answered = false;
        std::unique_ptr<QEvent> wake = TWaker::NewWake();
        lock.unlock();
        waker.Wake(std::move(wake));
        lock.lock();
        box.AnswerGiven.wait(lock, [&] { return box.Answered; });
        const std::exception_ptr raised = std::exchange(box.Raised, nullptr);
        lock.unlock();
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
        std::unique_lock<std::mutex> lock(box.Mutex);
        box.Finished = true;
        box.Result = outcome;
        std::unique_ptr<QEvent> wake = TWaker::NewWake();
        lock.unlock();
        waker.Wake(std::move(wake));
    });

    const auto finished = [&] {
        const std::lock_guard<std::mutex> lock(box.Mutex);
        return box.Finished;
    };
    loop.exec();
    if (!finished()) {
        // Something quit the event loops (an application quit ends every running loop, and every later one at
        // once). The worker still needs its reports answered, so events are served directly until it ends.
        if (OnLoopInterrupted) {
            OnLoopInterrupted();
        }
        pollStop();
        while (!finished()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    stopTimer.stop();
    worker.join();
    return box.Result;
}
