// keltrima-get.exe under Wine, as a Windows administrator would run it: a download from a loopback nginx
// that arrives byte-exact under its Chinese name, and a transfer that is killed, then stopped with Ctrl-C
// (Wine turns SIGINT into the console's Ctrl-C event), and each time continued by the next run.
#include "tests/download/DownloadFixture.h"

#include "tests/support/FaultServer.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

using namespace downloadtest;
using ::testing::HasSubstr;
using testsupport::BinaryPattern;
using testsupport::TTempDir;

namespace {

const std::string Installer = "Keltrima（山东）（完整安装包）.exe";

// keltrima-get.exe URL FILE, started as "wine keltrima-get.exe URL FILE".
std::vector<std::string> Get(const std::string& Url, const std::string& File) {
    return {KELTRIMA_GET_EXE, Url, File};
}

std::vector<std::string> NamesIn(const std::string& Folder) {
    std::vector<std::string> Names;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder)) {
        Names.push_back(Entry.path().filename().string());
    }
    return Names;
}

std::int64_t ModifiedSeconds(const std::string& Path) {
    struct stat St {};
    return ::stat(Path.c_str(), &St) == 0 ? static_cast<std::int64_t>(St.st_mtime) : -1;
}

// Waits until the file has grown beyond Size.
bool WaitForGrowth(const std::string& Path, std::int64_t Size, int TimeoutMs) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (GetFileSize64(Path) <= Size) {
        if (std::chrono::steady_clock::now() > Deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

TEST(WineKeltrimaGet, DownloadsByteExactUnderTheChineseName) {
    testsupport::TNginxServer Nginx;
    const std::string Bytes = BinaryPattern(3000000, 5);
    const std::string Served = Nginx.AddFile("uploads/setup.exe", Bytes);
    TTempDir Dir;
    const std::string Folder = Dir.File("下载");
    TKeltrimaGet Run(Get(Nginx.BaseUrl() + "/uploads/setup.exe", Folder + "/" + Installer), Dir);
    ASSERT_EQ(Run.Wait(), 0) << Run.Err();
    // The name the wide calls wrote is the UTF-8 name here, and only the finished file is left.
    EXPECT_EQ(NamesIn(Folder), std::vector<std::string>{Installer});
    EXPECT_EQ(Sha256OfFile(Folder + "/" + Installer), Sha256OfText(Bytes));
    EXPECT_EQ(ModifiedSeconds(Folder + "/" + Installer), ModifiedSeconds(Served)) << "the server's date";
    // Standard error is a file, not a console: the progress goes out as UTF-8 lines.
    EXPECT_THAT(Run.Err(), HasSubstr("100.0%  3000000/3000000 字节"));
    std::printf("keltrima-get.exe's standard error:\n%s", Run.Err().c_str());
}

TEST(WineKeltrimaGet, KilledThenInterruptedThenContinuedToTheSameBytes) {
    TTempDir Dir;
    const std::string Bytes = BinaryPattern(1500000, 8);
    const std::string Body = Dir.Write("body", Bytes);
    testsupport::TFaultServer Server(R"({"routes": {"/f.exe": [{"body_file": ")" + Body +
                                     R"(", "last_modified": ")" + HttpDate(1700000000) +
                                     R"(", "trickle": {"bytes": 32768, "delay_ms": 40}}]}})");
    const std::string Target = Dir.File(Installer);
    const std::string Url = Server.BaseUrl() + "/f.exe";
    {
        TKeltrimaGet Run(Get(Url, Target), Dir, "killed");
        ASSERT_TRUE(WaitForGrowth(Target + ".tmp", 0, 30000)) << Run.Err();
        Run.Signal(SIGKILL);
        EXPECT_EQ(Run.Wait(), -1);
    }
    const std::int64_t AfterKill = GetFileSize64(Target + ".tmp");
    EXPECT_FALSE(IsFilePresent(Target));
    {
        TKeltrimaGet Run(Get(Url, Target), Dir, "interrupted");
        ASSERT_TRUE(WaitForGrowth(Target + ".tmp", AfterKill, 30000)) << Run.Err();
        Run.Signal(SIGINT);
        EXPECT_EQ(Run.Wait(), 1) << Run.Err();
        EXPECT_THAT(Run.Err(), HasSubstr("keltrima-get: 已中断；再次运行同一命令即可继续下载"));
    }
    const std::int64_t AfterStop = GetFileSize64(Target + ".tmp");
    EXPECT_GT(AfterStop, AfterKill);
    EXPECT_FALSE(IsFilePresent(Target));
    {
        TKeltrimaGet Run(Get(Url, Target), Dir, "continued");
        EXPECT_EQ(Run.Wait(), 0) << Run.Err();
    }
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
    EXPECT_FALSE(IsFilePresent(Dir.File("Keltrima（山东）（完整安装包）.sdc")));
    // The second and third runs asked only for what was missing.
    std::vector<std::string> Ranges;
    for (const auto& R : Server.Requests()) {
        if (R.Method == "GET" && R.HasHeader("Range")) {
            Ranges.push_back(R.Header("Range"));
        }
    }
    EXPECT_THAT(Ranges, ::testing::Contains("bytes=" + std::to_string(AfterKill) + "-"));
    EXPECT_EQ(Ranges.back(), "bytes=" + std::to_string(AfterStop) + "-");
}

// The Windows build cannot check signatures: asked to, it says so and touches nothing.
TEST(WineKeltrimaGet, AKeyIsRefusedWhereNoSignatureCanBeChecked) {
    TTempDir Dir;
    std::vector<std::string> Args = Get("http://127.0.0.1:1/f.exe", Dir.File("f.exe"));
    Args.insert(Args.end(), {"--key", std::string(43, 'A') + "="});
    TKeltrimaGet Run(Args, Dir);
    EXPECT_EQ(Run.Wait(), 2);
    EXPECT_THAT(Run.Err(),
                HasSubstr("keltrima-get: 此系统上的 keltrima-get 无法校验安装包签名，不能使用 --key"));
    EXPECT_FALSE(IsFilePresent(Dir.File("f.exe.tmp")));
}
