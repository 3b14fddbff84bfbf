// A stop acts within a second wherever the download waits: connecting to a port that never answers, a
// server silent before its answer, a body that stops, a slow line. The client's stop check and keltrima-get's
// signals alike; the side files stay ready for the next run.
#include "tests/download/DownloadFixture.h"

#include "tests/support/FaultServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnansweredPort.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace downloadtest;
using ::testing::HasSubstr;
using testsupport::BinaryPattern;
using testsupport::ReadFile;
using testsupport::TFaultServer;
using testsupport::TTempDir;

namespace {

using TClock = std::chrono::steady_clock;

const std::string Date = HttpDate(1700000000);
const std::string DateIso = platform::FormatDateTimeIso(DateOf(1700000000));
const std::string Bytes = BinaryPattern(600000, 41);

double Ms(TClock::duration D) {
    return std::chrono::duration<double, std::milli>(D).count();
}

// The fault server's script: /before never answers in time, /silent sends 200000 bytes and falls silent,
// /slow trickles; each answers a second request (the next run) whole.
std::string Script(const std::string& Body) {
    const std::string Plain = R"({"body_file": ")" + Body + R"(", "last_modified": ")" + Date + "\"";
    return R"({"routes": {
        "/before": [)" +
           Plain + R"(, "stall_before_ms": 30000}],
        "/silent": [)" +
           Plain + "}, " + Plain + R"(, "stall_after": 200000, "stall_ms": 30000}, )" + Plain + R"(}],
        "/slow": [)" +
           Plain + "}, " + Plain + R"(, "trickle": {"bytes": 2000, "delay_ms": 100}}, )" + Plain + "}]}}";
}

// One download whose stop check turns true 700 ms after it began: its result and reports, and how long after
// the stop it ended (less than zero when it ended before).
struct TStoppedRun {
    std::int32_t Result = 0;
    TClock::duration Latency{};
    TRecorder R;
};

TStoppedRun DownloadStoppedAfter700Ms(THttpClient& Client, const std::string& Url,
                                      const std::string& Target) {
    std::atomic<bool> Stop{false};
    Client.SetStopCheck([&] { return Stop.load(); });
    TClock::time_point StoppedAt;
    std::thread Stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        StoppedAt = TClock::now();
        Stop = true;
    });
    TStoppedRun Run;
    Run.Result = Client.DownloadFile(Url, Target, Run.R.Callback(), 0, nullptr);
    const TClock::time_point Ended = TClock::now();
    Stopper.join();
    Client.SetStopCheck(nullptr);
    Run.Latency = Ended - StoppedAt;
    return Run;
}

} // namespace

TEST(Stop, TheStopCheckEndsADownloadWithinASecond) {
    TTempDir Files;
    TFaultServer Server(Script(Files.Write("body", Bytes)));
    testsupport::TUnansweredPort Silent;
    struct TCase {
        const char* Name;
        std::string Url;
        bool KeepsAPart; // the transfer had begun: the part and its state stay for the next run
    };
    const TCase Cases[] = {
        {"connecting to a port that never answers",
         "http://127.0.0.1:" + std::to_string(Silent.Port()) + "/f.exe", false},
        {"a server silent before its answer", Server.BaseUrl() + "/before", false},
        {"a body that stops", Server.BaseUrl() + "/silent", true},
        {"a slow line", Server.BaseUrl() + "/slow", true},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTempDir Dir;
        const std::string Target = Dir.File("f.exe");
        auto Client = NewResumeClient();
        Client->SetTimeOut(60000);
        const TStoppedRun Run = DownloadStoppedAfter700Ms(*Client, C.Url, Target);
        const TRecorder& R = Run.R;
        EXPECT_EQ(Run.Result, 1) << R.MessageOf(dsFail);
        std::printf("download stop latency, %s: %.0f ms\n", C.Name, Ms(Run.Latency));
        EXPECT_LT(Run.Latency, std::chrono::seconds(1));
        EXPECT_EQ(R.Reports.back().Status, dsEnd);
        EXPECT_EQ(R.Reports.back().ResultCode, 1);
        EXPECT_EQ(R.MessageOf(dsFail), "") << "a stop is no failure";
        EXPECT_FALSE(IsFilePresent(Target));
        if (!C.KeepsAPart) {
            EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
            continue;
        }
        const std::string Part = ReadFile(Target + ".tmp");
        EXPECT_GT(Part.size(), 0u);
        EXPECT_EQ(Part, Bytes.substr(0, Part.size()));
        EXPECT_EQ(ReadFile(Dir.File("f.exe.sdc")), StateText("600000", DateIso));
        TRecorder Next;
        ASSERT_EQ(Client->DownloadFile(C.Url, Target, Next.Callback(), 0, nullptr), 0)
            << Next.MessageOf(dsFail);
        EXPECT_EQ(Server.Requests().back().Header("Range"), "bytes=" + std::to_string(Part.size()) + "-");
        EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    }
}

// A stop while the mirror's name is being resolved acts within a second as well, not when the name server
// gives up. The name server is the test's own and never answers, in a child with a network and mount
// namespace of its own (skipped where none can be made).
TEST(Stop, WhileTheNameIsResolved) {
    TTempDir Dir;
    const std::string ResolvConf =
        Dir.Write("resolv.conf", "nameserver 127.0.0.1\noptions timeout:15 attempts:1\n");
    const pid_t Child = ::fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        ::alarm(60);
        if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            std::system("ip link set lo up >/dev/null 2>&1") != 0 ||
            ::mount(ResolvConf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
            ::_exit(77);
        }
        // Takes the queries and never answers them.
        const int NameServer = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in Address{};
        Address.sin_family = AF_INET;
        Address.sin_port = htons(53);
        Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (NameServer < 0 ||
            ::bind(NameServer, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0) {
            ::_exit(77);
        }
        auto Client = NewResumeClient();
        const TStoppedRun Run =
            DownloadStoppedAfter700Ms(*Client, "http://mirror.keltrima.test/f.exe", Dir.File("f.exe"));
        if (Run.Result == -1 && Run.Latency < TClock::duration::zero()) {
            std::printf("the name was not waited for: %s\n", Run.R.MessageOf(dsFail).c_str());
            ::_exit(78);
        }
        std::printf("download stop latency, resolving a name: %.0f ms (result %d)\n", Ms(Run.Latency),
                    static_cast<int>(Run.Result));
        std::fflush(stdout);
        ::_exit(Run.Result == 1 && Run.Latency < std::chrono::seconds(1) ? 0 : 1);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status)) << "the child ended by signal " << WTERMSIG(Status);
    if (WEXITSTATUS(Status) == 77) {
        GTEST_SKIP() << "no network and mount namespace here";
    }
    if (WEXITSTATUS(Status) == 78) {
        GTEST_SKIP() << "this system's resolver does not ask the namespace's name server";
    }
    EXPECT_EQ(WEXITSTATUS(Status), 0)
        << "the stop came later than a second after it was asked, or not at all";
}

// keltrima-get: SIGINT or SIGTERM ends a run within a second while it connects or while the server is
// silent, with exit code 1; a second signal ends it at once; the next run continues the part.
TEST(Stop, KeltrimaGetStopsWithinASecond) {
    TTempDir Files;
    TFaultServer Server(Script(Files.Write("body", Bytes)));
    testsupport::TUnansweredPort Silent;
    struct TCase {
        const char* Name;
        std::string Url;
        std::vector<int> Signals;
        bool KeepsAPart;
    };
    const TCase Cases[] = {
        {"SIGINT while connecting to a port that never answers",
         "http://127.0.0.1:" + std::to_string(Silent.Port()) + "/f.exe",
         {SIGINT},
         false},
        {"SIGTERM while the body is silent", Server.BaseUrl() + "/silent", {SIGTERM}, true},
        {"SIGINT twice on a slow line", Server.BaseUrl() + "/slow", {SIGINT, SIGINT}, true},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTempDir Dir;
        const std::string Target = Dir.File("f.exe");
        {
            TKeltrimaGet Run({C.Url, Target}, Dir);
            if (C.KeepsAPart) {
                ASSERT_TRUE(WaitForFile(Target + ".tmp", 10000));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            const TClock::time_point SignalledAt = TClock::now();
            for (const int Sig : C.Signals) {
                Run.Signal(Sig);
            }
            EXPECT_EQ(Run.Wait(10000), 1) << Run.Err();
            const TClock::time_point Ended = TClock::now();
            std::printf("keltrima-get stop latency, %s: %.0f ms\n", C.Name, Ms(Ended - SignalledAt));
            EXPECT_LT(Ended - SignalledAt, std::chrono::seconds(1));
            EXPECT_THAT(Run.Err(), HasSubstr("keltrima-get: 已中断；再次运行同一命令即可继续下载"));
        }
        EXPECT_FALSE(IsFilePresent(Target));
        if (!C.KeepsAPart) {
            continue;
        }
        TKeltrimaGet Next({C.Url, Target}, Dir);
        EXPECT_EQ(Next.Wait(), 0) << Next.Err();
        EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    }
}
