// The transfer thread on its own: reports answered on the user-interface thread, errors carried back into the
// transfer, a stop that reaches a transfer that makes no reports, and no return before the worker has ended,
// even when something quits the event loops.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

#include "forms/f_TransferThread.h"
#include "public/HttpClientImpl.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnansweredPort.h"

namespace {

TEST(TransferThreadTest, ReportsAreAnsweredOnTheCallingThreadAndStopGoesBack) {
    QObject context;
    QThread* const uiThread = QThread::currentThread();
    QThread* transferThread = nullptr;
    int reports = 0;
    bool allOnUi = true;
    const int result = RunTransferThread(
        &context,
        [&](const THttpDownloadCallback& Relay, const TStopCheck&) {
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
        [&](const THttpDownloadCallback& Relay, const TStopCheck&) {
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

TEST(TransferThreadTest, AStopReachesATransferThatWaitsWithoutReports) {
    // As a client waiting for a silent server: no report comes, only the stop check is asked between short
    // waits. The stop requested on the calling thread must reach it within moments.
    QObject context;
    bool stopWanted = false;
    std::chrono::steady_clock::time_point wantedAt;
    QTimer::singleShot(200, [&] {
        stopWanted = true;
        wantedAt = std::chrono::steady_clock::now();
    });
    std::atomic<bool> stopSeen{false};
    const int result = RunTransferThread(
        &context,
        [&](const THttpDownloadCallback&, const TStopCheck& StopCheck) {
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!StopCheck() && std::chrono::steady_clock::now() < giveUp) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            stopSeen = StopCheck();
            return 1;
        },
        [](const THttpDownloadInfo&, bool&) {}, nullptr, [&] { return stopWanted; });
    const auto latency = std::chrono::steady_clock::now() - wantedAt;
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(stopSeen);
    EXPECT_LT(latency, std::chrono::seconds(1));
}

TEST(TransferThreadTest, TheWindowsStopEndsADownloadThatConnectsToASilentServer) {
    // As the window runs it: the client on the worker with the thread's stop check, connecting to a port that
    // never answers (its connect time-out is a minute); the stop comes from the calling thread.
    testsupport::TUnansweredPort silent;
    testsupport::TTempDir dir;
    QObject context;
    bool stopWanted = false;
    std::chrono::steady_clock::time_point wantedAt;
    QTimer::singleShot(300, [&] {
        stopWanted = true;
        wantedAt = std::chrono::steady_clock::now();
    });
    std::string statuses;
    const int result = RunTransferThread(
        &context,
        [&](const THttpDownloadCallback& Relay, const TStopCheck& StopCheck) {
            auto client = std::make_shared<THttpClient>();
            client->SetResume(true);
            client->SetStopCheck(StopCheck);
            return client->DownloadFile("http://127.0.0.1:" + std::to_string(silent.Port()) + "/f.exe",
                                        dir.File("f.exe"), Relay, 0, nullptr);
        },
        [&](const THttpDownloadInfo& Info, bool&) { statuses += "BPEFX"[Info.Status]; }, nullptr,
        [&] { return stopWanted; });
    const auto latency = std::chrono::steady_clock::now() - wantedAt;
    EXPECT_EQ(result, 1);
    EXPECT_EQ(statuses, "BE");
    EXPECT_LT(latency, std::chrono::seconds(1));
    std::printf("window stop latency while connecting: %.0f ms\n",
                std::chrono::duration<double, std::milli>(latency).count());
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
            [&](const THttpDownloadCallback& Relay, const TStopCheck&) {
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
