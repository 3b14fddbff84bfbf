// keltrima-get as a process: help, exit codes, progress on standard error, SIGTERM turned into a stop
// that the next run continues, and a transfer SIGKILLed at random moments that still ends identical.
#include "tests/download/DownloadFixture.h"

#include "tests/support/FaultServer.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace downloadtest;
using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::BinaryPattern;
using testsupport::ReadFile;
using testsupport::TTempDir;

namespace {

std::string SlowScript(const std::string& BodyFile, int PieceBytes, int DelayMs) {
    return R"({"routes": {"/f.exe": [{"body_file": ")" + BodyFile + R"(", "last_modified": ")" +
           HttpDate(1700000000) + R"(", "trickle": {"bytes": )" + std::to_string(PieceBytes) +
           R"(, "delay_ms": )" + std::to_string(DelayMs) + "}}]}}";
}

} // namespace

TEST(KeltrimaGet, HelpAndWrongUse) {
    TTempDir Dir;
    {
        TKeltrimaGet Run({"--help"}, Dir);
        EXPECT_EQ(Run.Wait(), 0);
        EXPECT_THAT(Run.Out(), HasSubstr("用法: keltrima-get URL FILE"));
        EXPECT_THAT(Run.Out(), HasSubstr("SIGINT"));
    }
    for (const std::vector<std::string>& Args :
         {std::vector<std::string>{}, {"http://127.0.0.1:1/f.exe"}, {"--bogus", "x", "y"}, {"a", "b", "c"}}) {
        TKeltrimaGet Run(Args, Dir);
        EXPECT_EQ(Run.Wait(), 2);
        EXPECT_THAT(Run.Err(), HasSubstr("keltrima-get URL FILE"));
    }
}

// FILE names the file to save, never a folder: an existing folder, or a name ending in "/", is wrong use,
// refused before the server is asked and without a side file left in the folder.
TEST(KeltrimaGet, AFolderAsFileIsRefusedBeforeAnyTraffic) {
    testsupport::TFaultServer Server(R"({"responses": [{"body": "installer"}]})");
    TTempDir Logs, Dir;
    Dir.Write("dl/keep.txt", "kept");
    for (const std::string& File : {Dir.File("dl"), Dir.File("dl") + "/", Dir.File("new") + "/"}) {
        SCOPED_TRACE(File);
        TKeltrimaGet Run({Server.BaseUrl() + "/f.exe", File}, Logs);
        EXPECT_EQ(Run.Wait(), 2);
        EXPECT_THAT(Run.Err(), HasSubstr("keltrima-get: FILE 不能是文件夹"));
    }
    EXPECT_TRUE(Server.Requests().empty());
    std::vector<std::string> Names;
    for (const auto& Entry : std::filesystem::recursive_directory_iterator(Dir.Path())) {
        Names.push_back(Entry.path().lexically_relative(Dir.Path()).string());
    }
    EXPECT_THAT(Names, ::testing::UnorderedElementsAre("dl", "dl/keep.txt"));
}

TEST(KeltrimaGet, CompleteFileExitsZeroAndFailureExitsTwoWithTheText) {
    testsupport::TNginxServer Nginx;
    const std::string Bytes = BinaryPattern(1500000, 3);
    Nginx.AddFile("f.exe", Bytes);
    TTempDir Dir;
    {
        TKeltrimaGet Run({Nginx.BaseUrl() + "/f.exe", Dir.File("sub/f.exe")}, Dir);
        EXPECT_EQ(Run.Wait(), 0) << Run.Err();
        EXPECT_EQ(Sha256OfFile(Dir.File("sub/f.exe")), Sha256OfText(Bytes));
        EXPECT_THAT(Run.Err(), HasSubstr("100.0%  1500000/1500000 字节"));
        // Over loopback the whole file comes within the first second: no speed was measured, none is claimed.
        EXPECT_THAT(Run.Err(), Not(HasSubstr("0.00B/s")));
    }
    {
        TKeltrimaGet Run({Nginx.BaseUrl() + "/missing.exe", Dir.File("g.exe")}, Dir);
        EXPECT_EQ(Run.Wait(), 2);
        EXPECT_THAT(Run.Err(), HasSubstr("keltrima-get: 获取下载包信息失败"));
    }
}

static void StopBySignalThenContinue(int Sig) {
    TTempDir Dir;
    const std::string Bytes = BinaryPattern(400000, 12);
    const std::string Body = Dir.Write("body", Bytes);
    testsupport::TFaultServer Server(SlowScript(Body, 16384, 50));
    const std::string Target = Dir.File("dl/f.exe");
    {
        TKeltrimaGet Run({Server.BaseUrl() + "/f.exe", Target}, Dir);
        ASSERT_TRUE(WaitForFile(Target + ".tmp", 10000));
        Run.Signal(Sig);
        EXPECT_EQ(Run.Wait(), 1) << Run.Err();
        EXPECT_THAT(Run.Err(), HasSubstr("已中断"));
    }
    const std::int64_t Kept = GetFileSize64(Target + ".tmp");
    EXPECT_GT(Kept, 0);
    EXPECT_TRUE(IsFilePresent(Dir.File("dl/f.exe.sdc")));
    EXPECT_FALSE(IsFilePresent(Target));
    {
        TKeltrimaGet Run({Server.BaseUrl() + "/f.exe", Target}, Dir);
        EXPECT_EQ(Run.Wait(), 0) << Run.Err();
    }
    EXPECT_EQ(Server.Requests().back().Header("Range"), "bytes=" + std::to_string(Kept) + "-");
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    // Not a terminal: one line a second at most, each a whole line.
    EXPECT_THAT(ReadFile(Dir.File("err.txt")), ::testing::Not(HasSubstr("\r")));
}

// SIGINT and SIGTERM become the Stop answer: exit 1, side files kept; the same command then continues.
TEST(KeltrimaGet, SignalStopsAndTheNextRunContinues) {
    for (const int Sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(Sig == SIGINT ? "SIGINT" : "SIGTERM");
        StopBySignalThenContinue(Sig);
    }
}

// SIGKILL at random moments of one transfer, restarted each time: every run picks up what the last one
// left, and the end is byte-identical. A target, once there, is always complete.
TEST(KeltrimaGet, SigkillAtRandomMomentsStillEndsIdentical) {
    TTempDir Dir;
    const std::string Bytes = BinaryPattern(2000000, 21);
    const std::string Body = Dir.Write("body", Bytes);
    testsupport::TFaultServer Server(SlowScript(Body, 32768, 25));
    const std::string Target = Dir.File("f.exe");
    const unsigned Seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(Seed));
    std::mt19937 Random(Seed);
    std::uniform_int_distribution<int> Delay(30, 400);
    std::uniform_int_distribution<int> AfterData(0, 150);
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int Kills = 0;
    int Finished = -1;
    for (int i = 0; i < 12 && std::chrono::steady_clock::now() < Deadline; ++i) {
        const std::int64_t Before = GetFileSize64(Target + ".tmp");
        TKeltrimaGet Run({Server.BaseUrl() + "/f.exe", Target}, Dir);
        if (i % 2 == 0) {
            // Every other run is killed in the middle of its body: once it has written bytes of its own, so
            // that later runs have a part to continue even on a slow machine.
            const auto Wait = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (GetFileSize64(Target + ".tmp") <= Before && std::chrono::steady_clock::now() < Wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(AfterData(Random)));
        } else {
            // The others at any moment: while connecting, asking for the size, taking the lock or reading.
            std::this_thread::sleep_for(std::chrono::milliseconds(Delay(Random)));
        }
        if (i < 8) {
            Run.Signal(SIGKILL);
            const int Code = Run.Wait(10000);
            if (Code == 0) {
                Finished = i;
                break;
            }
            ++Kills;
            if (IsFilePresent(Target)) {
                EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes)) << "a target is never partial";
            }
        } else {
            if (Run.Wait(30000) == 0) {
                Finished = i;
                break;
            }
        }
    }
    std::printf("keltrima-get killed %d times before the transfer completed\n", Kills);
    ASSERT_GE(Finished, 0) << "no run completed the file";
    EXPECT_GE(Kills, 3);
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
    EXPECT_FALSE(IsFilePresent(Dir.File("f.exe.sdc")));
    int Ranged = 0;
    for (const auto& R : Server.Requests()) {
        Ranged += R.Method == "GET" && R.HasHeader("Range");
    }
    EXPECT_GE(Ranged, 1) << "later runs continued the file";
}

// A refusal by the server is named with its status and reason, so an administrator sees why; a text that
// carries them already does not repeat them.
TEST(KeltrimaGet, ARefusalNamesTheStatusAndReason) {
    struct TCase {
        int Status;
        const char* Reason;
        bool RefusesTheHead; // else the HEAD is answered and the GET refused
        const char* Line;
    };
    const TCase Cases[] = {
        {404, "Not Found", true, "keltrima-get: 获取下载包信息失败! [404]Not Found\n"},
        {410, "Gone", true, "keltrima-get: 获取下载包信息失败! [410]Gone\n"},
        {429, "Too Many Requests", true, "keltrima-get: 获取下载包信息失败! [429]Too Many Requests\n"},
        {500, "Internal Server Error", true,
         "keltrima-get: 获取下载包信息失败! [500]Internal Server Error\n"},
        {503, "Service Unavailable", true, "keltrima-get: 获取下载包信息失败! [503]Service Unavailable\n"},
        {503, "Busy", false, "keltrima-get: [503]Busy\n"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(std::to_string(C.Status) + (C.RefusesTheHead ? " to the HEAD" : " to the GET"));
        const std::string Refusal =
            R"({"status": )" + std::to_string(C.Status) + R"(, "reason": ")" + C.Reason + R"("})";
        testsupport::TFaultServer Server(R"({"routes": {"/f.exe": [)" +
                                         (C.RefusesTheHead ? Refusal : R"({"body": "x"}, )" + Refusal) +
                                         "]}}");
        TTempDir Dir;
        TKeltrimaGet Run({Server.BaseUrl() + "/f.exe", Dir.File("f.exe")}, Dir);
        EXPECT_EQ(Run.Wait(), 2);
        EXPECT_EQ(Run.Err(), C.Line);
    }
}

// Two runs started together on one target: one completes the file, the other is refused at once and
// touches nothing. Never a wrong file, whichever run wins.
TEST(KeltrimaGet, TwoRunsStartedTogetherOnOneFile) {
    TTempDir Files;
    const std::string Bytes = BinaryPattern(1200000, 31);
    const std::string Body = Files.Write("body", Bytes);
    testsupport::TFaultServer Server(SlowScript(Body, 65536, 40));
    for (int Trial = 0; Trial < 6; ++Trial) {
        SCOPED_TRACE("trial " + std::to_string(Trial));
        TTempDir Dir;
        const std::string Target = Dir.File("f.exe");
        TKeltrimaGet A({Server.BaseUrl() + "/f.exe", Target}, Dir, "a");
        TKeltrimaGet B({Server.BaseUrl() + "/f.exe", Target}, Dir, "b");
        const int CodeA = A.Wait(), CodeB = B.Wait();
        const std::string Refused = "keltrima-get: 该文件正在被另一个下载任务使用！\n";
        EXPECT_TRUE((CodeA == 0 && CodeB == 2 && B.Err() == Refused) ||
                    (CodeB == 0 && CodeA == 2 && A.Err() == Refused))
            << CodeA << " " << A.Err() << "\n"
            << CodeB << " " << B.Err();
        EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
        EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
        EXPECT_FALSE(IsFilePresent(Dir.File("f.exe.sdc")));
    }
}
