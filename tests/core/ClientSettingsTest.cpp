// The client's settings, factory, clone, file names and the progress record.
#include "platform/FileSystem.h"
#include "public/HttpClientImpl.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <thread>

using testsupport::TTempDir;

namespace {

void ExpectDefaults(IHttpClient& C) {
    EXPECT_EQ(C.GetAgent(), "keltrima_core_tests" KELTRIMA_EXE_SUFFIX); // the executable's file name
    EXPECT_EQ(C.GetAccessType(), atPreconfig);
    EXPECT_EQ(C.GetTimeOut(), 60000);
    EXPECT_EQ(C.GetMaxFileSize(), 2097152000);
    EXPECT_EQ(C.GetBufferSize(), 131072);
    EXPECT_EQ(C.GetRetryCount(), 1);
    EXPECT_FALSE(C.GetResume());
    EXPECT_EQ(C.GetProxy(), "");
    EXPECT_EQ(C.GetProxyUser(), "");
    EXPECT_EQ(C.GetProxyPassword(), "");
}

void ChangeEverything(IHttpClient& C) {
    C.SetAgent("agent");
    C.SetAccessType(atProxy);
    C.SetTimeOut(5);
    C.SetProxy("127.0.0.1:1");
    C.SetProxyUser("pu");
    C.SetProxyPassword("pp");
    C.SetMaxFileSize(10);
    C.SetBufferSize(100);
    C.SetRetryCount(3);
    C.SetResume(true);
}

} // namespace

TEST(HttpClient, ANewClientHasTheDefaultsAndResetRestoresThem) {
    THttpClient C;
    ExpectDefaults(C);
    EXPECT_EQ(C.GetLastError(), "");
    EXPECT_FALSE(C.GetOnBeforeDownload());

    int HookCalls = 0;
    C.SetOnBeforeDownload([&](std::shared_ptr<IHttpClient>, std::string&, std::string&, std::int32_t&,
                              std::string, IHttpHeaders*&, std::uint32_t&, std::uint32_t&, bool&,
                              bool&) { ++HookCalls; });
    ChangeEverything(C);
    C.Reset();
    ExpectDefaults(C);
    ASSERT_TRUE(C.GetOnBeforeDownload()) << "Reset keeps the hook";

    // Reset keeps LastError: make a send failure write it first.
    C.SetRetryCount(1);
    C.SetAccessType(atDirect);
    EXPECT_FALSE(C.Head("http://127.0.0.1:1/", nullptr));
    const std::string Failure = C.GetLastError();
    EXPECT_EQ(Failure, "[12029]无法连接到服务器");
    C.Reset();
    EXPECT_EQ(C.GetLastError(), Failure);
}

TEST(HttpClient, SettersAcceptAnyValue) {
    THttpClient C;
    C.SetAccessType(static_cast<THttpAccessType>(7));
    C.SetRetryCount(-5);
    C.SetTimeOut(-1);
    C.SetBufferSize(0);
    EXPECT_EQ(C.GetAccessType(), 7);
    EXPECT_EQ(C.GetRetryCount(), -5);
    EXPECT_EQ(C.GetTimeOut(), -1);
    EXPECT_EQ(C.GetBufferSize(), 0);
}

TEST(HttpClient, GetHttpClientHandsOutOneSharedObject) {
    std::shared_ptr<IHttpClient> A = GetHttpClient();
    std::shared_ptr<IHttpClient> B = GetHttpClient();
    ASSERT_TRUE(A);
    EXPECT_EQ(A.get(), B.get());
    A->SetResume(true);
    EXPECT_TRUE(B->GetResume());
    A->SetResume(false);
}

TEST(HttpClient, CloneIsAnIndependentCopyOfAllTwelveFieldsAndTheStopCheck) {
    auto Original = std::make_shared<THttpClient>();
    ChangeEverything(*Original);
    int HookCalls = 0;
    Original->SetOnBeforeDownload([&](std::shared_ptr<IHttpClient>, std::string&, std::string&, std::int32_t&,
                                      std::string, IHttpHeaders*&, std::uint32_t&, std::uint32_t&, bool&,
                                      bool&) { ++HookCalls; });
    Original->SetAccessType(atDirect);
    Original->SetRetryCount(1);
    Original->Head("http://127.0.0.1:1/", nullptr); // fills LastError
    Original->SetStopCheck([] { return true; });

    std::shared_ptr<IHttpClient> Copy = Original->Clone();
    ASSERT_NE(Copy.get(), Original.get());
    ASSERT_NE(Copy.get(), GetHttpClient().get());
    EXPECT_EQ(Copy->GetAgent(), "agent");
    EXPECT_EQ(Copy->GetAccessType(), atDirect);
    EXPECT_EQ(Copy->GetTimeOut(), 5);
    EXPECT_EQ(Copy->GetProxy(), "127.0.0.1:1");
    EXPECT_EQ(Copy->GetProxyUser(), "pu");
    EXPECT_EQ(Copy->GetProxyPassword(), "pp");
    EXPECT_EQ(Copy->GetMaxFileSize(), 10);
    EXPECT_EQ(Copy->GetBufferSize(), 100);
    EXPECT_EQ(Copy->GetRetryCount(), 1);
    EXPECT_TRUE(Copy->GetResume());
    EXPECT_EQ(Copy->GetLastError(), Original->GetLastError());
    ASSERT_TRUE(Copy->GetOnBeforeDownload());
    std::string S1, S2, S3;
    std::int32_t Tag = 0;
    IHttpHeaders* H = nullptr;
    std::uint32_t U1 = 0, U2 = 0;
    bool B1 = false, B2 = false;
    Copy->GetOnBeforeDownload()(Copy, S1, S2, Tag, S3, H, U1, U2, B1, B2);
    EXPECT_EQ(HookCalls, 1) << "the clone carries the same hook";
    ASSERT_TRUE(Copy->GetStopCheck());
    EXPECT_TRUE(Copy->GetStopCheck()());

    Copy->SetResume(false);
    Copy->SetAgent("other");
    EXPECT_TRUE(Original->GetResume());
    EXPECT_EQ(Original->GetAgent(), "agent");
}

TEST(HttpClient, FileNamesOfADownload) {
    THttpClient C;
    struct TCase {
        const char* Name;
        const char* State;
        const char* Temp;
    } Cases[] = {
        {"/dl/setup.exe", "/dl/setup.sdc", "/dl/setup.exe.tmp"},
        {"/dl/setup.exe.tmp", "/dl/setup.exe.sdc", "/dl/setup.exe.tmp.tmp"},
        {"/dl.old/setup", "/dl.old/setup.sdc", "/dl.old/setup.tmp"},
        {"setup", "setup.sdc", "setup.tmp"},
        {"/a.b/setup", "/a.b/setup.sdc", "/a.b/setup.tmp"},
    };
    for (const TCase& Case : Cases) {
        EXPECT_EQ(C.GetStateFileName(Case.Name), Case.State);
        EXPECT_EQ(C.GetTempFileName(Case.Name), Case.Temp);
    }
    // The state file of a download is that of its temporary file.
    EXPECT_EQ(C.GetStateFileName(C.GetTempFileName("/dl/setup.exe")), "/dl/setup.exe.sdc");
}

TEST(HttpClient, DeleteDownloadFilesRemovesAllThreeAndAlwaysSucceeds) {
    TTempDir Dir;
    THttpClient C;
    const std::string Target = Dir.Write("setup.exe", "t");
    Dir.Write("setup.exe.tmp", "tt");
    Dir.Write("setup.exe.sdc", "[server]\r\n");
    Dir.Write("setup.sdc", "not ours");
    EXPECT_TRUE(C.DeleteDownloadFiles(Target));
    EXPECT_FALSE(IsFilePresent(Target));
    EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
    EXPECT_FALSE(IsFilePresent(Target + ".sdc"));
    EXPECT_TRUE(IsFilePresent(Dir.File("setup.sdc")));
    EXPECT_TRUE(C.DeleteDownloadFiles(Target)); // none present
    // A folder in the target's place cannot be deleted as a file: still true, folder untouched.
    std::filesystem::create_directory(Target);
    EXPECT_TRUE(C.DeleteDownloadFiles(Target));
    EXPECT_TRUE(std::filesystem::is_directory(Target));
}

TEST(HttpClient, DownloadedSizePrefersTheTemporaryFile) {
    TTempDir Dir;
    THttpClient C;
    const std::string Target = Dir.File("setup.exe");
    EXPECT_EQ(C.GetDownloadedSize(Target), 0);
    Dir.Write("setup.exe", std::string(1000, 'a'));
    EXPECT_EQ(C.GetDownloadedSize(Target), 1000);
    Dir.Write("setup.exe.tmp", std::string(10, 'b'));
    EXPECT_EQ(C.GetDownloadedSize(Target), 10);
    // 64-bit: a sparse temporary file of 4 GiB + 1.
    std::filesystem::resize_file(Target + ".tmp", (4ULL << 30) + 1);
    EXPECT_EQ(C.GetDownloadedSize(Target), (4LL << 30) + 1);
}

TEST(HttpClient, FileQueriesOfMissingFilesAndFolders) {
    TTempDir Dir;
    EXPECT_EQ(GetFileSize64(Dir.File("missing")), 0);
    EXPECT_EQ(GetFileWriteTime(Dir.File("missing")), 0);
    EXPECT_FALSE(IsFilePresent(Dir.File("missing")));
    EXPECT_TRUE(IsFilePresent(Dir.Path()));
    const std::string F = Dir.Write("f", "12345");
    EXPECT_EQ(GetFileSize64(F), 5);
    EXPECT_GT(GetFileWriteTime(F), 45000.0);
}

TEST(HttpClient, NewTempFilePathIsTheTempFolderAGuidAndTheSuffix) {
    THttpClient C;
    const std::string A = C.NewTempFilePath(".tmp");
    const std::string B = C.NewTempFilePath(".tmp");
    EXPECT_NE(A, B);
    ASSERT_EQ(A.size(), TempFolder.size() + 38 + 4);
    EXPECT_EQ(A.substr(0, TempFolder.size()), TempFolder);
    EXPECT_EQ(A[TempFolder.size()], '{');
    EXPECT_EQ(A.substr(A.size() - 5), "}.tmp");
    EXPECT_EQ(C.NewTempFilePath("x").back(), 'x'); // no dot added
    EXPECT_FALSE(IsFilePresent(A));

    EXPECT_EQ(MakeTempFolder("/T", nullptr), "/T/");
    EXPECT_EQ(MakeTempFolder("/T/", "/other"), "/T/");
    EXPECT_EQ(MakeTempFolder(nullptr, "/var/tmp"), "/var/tmp/");
    EXPECT_EQ(MakeTempFolder("", ""), "/tmp/");
}

TEST(HttpDownloadInfo, LayoutAndTheBeginReport) {
    EXPECT_EQ(sizeof(THttpDownloadInfo), sizeof(void*) == 8 ? 84u : 80u);
    EXPECT_EQ(offsetof(THttpDownloadInfo, Message), 22u);
    const THttpDownloadInfo Info = MakeDownloadInfo(dsBegin, 42);
    // The fields are packed: compared as copies (a reference to a misaligned field is undefined).
    EXPECT_EQ(std::uint8_t{Info.Reserved}, 1);
    EXPECT_EQ(THttpDownloadStatus{Info.Status}, dsBegin);
    EXPECT_EQ(std::int32_t{Info.Tag}, 42);
    EXPECT_EQ(std::int32_t{Info.ResultCode}, -1);
    EXPECT_EQ(std::int64_t{Info.Position}, 0);
    EXPECT_EQ(std::int64_t{Info.Size}, 0);
    EXPECT_EQ(std::int64_t{Info.Speed}, 0);
    EXPECT_EQ(std::int64_t{Info.RemainTime}, 0);
    EXPECT_EQ(Info.RemainTimeText.Str(), "00:00:00");
    EXPECT_EQ(Info.SpeedText.Str(), "0.00B/s");
    EXPECT_EQ(static_cast<const char*>(Info.Message), nullptr);

    // Counted texts are cut to 16 bytes on a character boundary.
    TShortString16 S;
    S.Assign("大于999天...");
    EXPECT_EQ(S.Length, 15); // UTF-8: three bytes per Chinese character
    S.Assign("12345678901234567890");
    EXPECT_EQ(S.Str(), "1234567890123456");
    S.Assign("一二三四五六"); // 18 bytes: five characters fit
    EXPECT_EQ(S.Str(), "一二三四五");
}

// Debug builds check the thread contract: while a call runs on one thread, the client belongs to it, and
// another thread that changes a setting meanwhile fails an assertion. Release builds do not check.
TEST(HttpClientDeathTest, AnotherThreadDuringACallIsCaught) {
#ifdef NDEBUG
    GTEST_SKIP() << "the thread contract is checked in debug builds";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    const auto UseFromAnotherThreadDuringACall = [&] {
        auto Client = std::make_shared<THttpClient>();
        Client->DownloadFile(
            "http://127.0.0.1:1/f.exe", Target,
            [&](const THttpDownloadInfo& Info, bool&) {
                if (Info.Status == dsBegin) {
                    std::thread([&] { Client->SetTimeOut(5); }).join();
                }
            },
            0, nullptr);
    };
    EXPECT_DEATH(UseFromAnotherThreadDuringACall(), "belongs to the thread of a running call");
    // The same thread may use it during the call, and another thread after it.
    auto Client = std::make_shared<THttpClient>();
    Client->DownloadFile(
        "http://127.0.0.1:1/f.exe", Target, [&](const THttpDownloadInfo&, bool&) { Client->SetTimeOut(5); },
        0, nullptr);
    std::thread([&] { Client->SetTimeOut(6); }).join();
    EXPECT_EQ(Client->GetTimeOut(), 6);
#endif
}
