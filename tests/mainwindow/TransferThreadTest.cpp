// The transfer thread on its own: reports answered on the user-interface thread, errors carried back into the
// transfer, and no return before the worker has ended, even when something quits the event loops.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "forms/f_TransferThread.h"

namespace {

TEST(TransferThreadTest, ReportsAreAnsweredOnTheCallingThreadAndStopGoesBack) {
    QObject context;
    QThread* const uiThread = QThread::currentThread();
    QThread* transferThread = nullptr;
    int reports = 0;
    bool allOnUi = true;
    const int result = RunTransferThread(
        &context,
        [&](const THttpDownloadCallback& Relay) {
            transferThread = QThread::currentThread();
            for (int i = 0; i < 100; ++i) {
                THttpDownloadInfo info;
                info.Status = dsProgress;
                info.Position = i;
                bool stop = false;
                Relay(info, stop);
                if (stop) {
                    return static_cast<int>(info.Position);
                }
            }
            return -1;
        },
        [&](const THttpDownloadInfo& Info, bool& Stop) {
            allOnUi = allOnUi && QThread::currentThread() == uiThread;
            ++reports;
            Stop = Info.Position == 41;
        },
        nullptr);
    EXPECT_EQ(result, 41);
    EXPECT_EQ(reports, 42);
    EXPECT_TRUE(allOnUi);
    EXPECT_NE(transferThread, uiThread);
}

TEST(TransferThreadTest, AnErrorOfTheReportHandlerIsRaisedInsideTheTransfer) {
    QObject context;
    std::string caught;
    const int result = RunTransferThread(
        &context,
        [&](const THttpDownloadCallback& Relay) {
            THttpDownloadInfo info;
            bool stop = false;
            try {
                Relay(info, stop);
            } catch (const std::exception& Error) {
                caught = Error.what();
                return 7;
            }
            return 0;
        },
        [](const THttpDownloadInfo&, bool&) { throw std::runtime_error("日志文件被占用"); }, nullptr);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(caught, "日志文件被占用");
}

TEST(TransferThreadTest, AQuitOfTheEventLoopsWaitsForTheWorker) {
    // As in the program: the transfer runs inside the application's loop, and something quits the application
    // while the worker is busy.
    QObject context;
    std::atomic<bool> workerDone{false};
    bool doneAtReturn = false;
    int interrupted = 0;
    int result = 0;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(50, [] { QCoreApplication::exit(3); });
        result = RunTransferThread(
            &context,
            [&](const THttpDownloadCallback& Relay) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                THttpDownloadInfo info; // a report after the quit is still answered
                bool stop = false;
                Relay(info, stop);
                workerDone = true;
                return stop ? 5 : 6;
            },
            [](const THttpDownloadInfo&, bool& Stop) { Stop = true; }, [&] { ++interrupted; });
        doneAtReturn = workerDone;
    });
    EXPECT_EQ(QCoreApplication::exec(), 3);
    EXPECT_TRUE(doneAtReturn);
    EXPECT_EQ(result, 5);
    EXPECT_EQ(interrupted, 1);
}

} // namespace
