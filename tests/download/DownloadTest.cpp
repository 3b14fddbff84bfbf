// Fresh and resumed downloads from nginx, the well-behaved peer: byte-identical results, the server's
// date on the file, the side files, and the reports in their order.
#include "tests/download/DownloadFixture.h"

#include "platform/FileSystem.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace downloadtest;
using ::testing::MatchesRegex;
using testsupport::BinaryPattern;
using testsupport::TNginxServer;
using testsupport::TTempDir;

namespace {

constexpr std::int64_t ServerTime = 1700000000; // 2023-11-14 22:13:20 UTC

// nginx's entity tag of a static file: mtime and size in hex.
std::string NginxETag(std::int64_t MTime, std::size_t Size) {
    char Buffer[64];
    std::snprintf(Buffer, sizeof Buffer, "\"%llx-%zx\"", static_cast<unsigned long long>(MTime), Size);
    return Buffer;
}

// Every report carries Reserved 1 and the tag; positions never go back; the progress reports carry the
// size; the end report carries the result.
void ExpectWellFormed(const TRecorder& R, std::int32_t Tag, std::int64_t Size, std::int32_t Result) {
    std::int64_t Last = -1;
    for (const TReport& Rep : R.Reports) {
        EXPECT_EQ(Rep.Reserved, 1);
        EXPECT_EQ(Rep.Tag, Tag);
        EXPECT_EQ(Rep.Message.find("[Stop was not false]"), std::string::npos);
        if (Rep.Status == dsProgress) {
            EXPECT_EQ(Rep.Size, Size);
            EXPECT_GE(Rep.Position, Last);
            Last = Rep.Position;
            EXPECT_EQ(Rep.ResultCode, -1);
            EXPECT_EQ(Rep.SpeedText, FormatSpeed(static_cast<double>(Rep.Speed)));
            EXPECT_EQ(Rep.RemainTimeText, FormatRemainTime(Rep.RemainTime));
        }
    }
    ASSERT_FALSE(R.Reports.empty());
    const TReport& End = R.Reports.back();
    EXPECT_EQ(End.Status, dsEnd);
    EXPECT_EQ(End.ResultCode, Result);
    EXPECT_EQ(End.Size, Size);
}

} // namespace

TEST(Download, FreshDownloadIsByteIdenticalWithTheServersDateAndNoSideFiles) {
    TNginxServer Nginx;
    const std::string Bytes = BinaryPattern(3 * 1024 * 1024 + 17, 7);
    const std::string Source = Nginx.AddFile("uploads/Keltrima（山东）（完整安装包）.exe", Bytes);
    ASSERT_TRUE(platform::SetFileWriteTime(Source, DateOf(ServerTime)));
    TTempDir Dir;
    const std::string Target = Dir.File("not/yet/there/Keltrima（山东）（完整安装包）.exe");

    for (const bool Resume : {true, false}) {
        SCOPED_TRACE(Resume ? "resume mode" : "plain mode");
        auto Client = NewResumeClient();
        Client->SetResume(Resume);
        TRecorder R;
        // A Stop answer to the last progress report comes too late to matter.
        R.StopWhen = [&](const TReport& Rep) {
            return Rep.Status == dsProgress && Rep.Position == Rep.Size && Rep.Size > 0;
        };
        const std::int32_t Result =
            Client->DownloadFile(Nginx.BaseUrl() + "/uploads/Keltrima（山东）（完整安装包）.exe", Target,
                                 R.Callback(), 42, nullptr);
        ASSERT_EQ(Result, 0) << R.MessageOf(dsFail) << Nginx.ErrorLog();
        EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
        EXPECT_EQ(GetFileWriteTime(Target), DateOf(ServerTime));
        EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
        EXPECT_FALSE(IsFilePresent(Dir.File("not/yet/there/Keltrima（山东）（完整安装包）.exe.sdc")));
        // Loopback is fast: the body ends within 500 ms, so exactly the report before the loop and the
        // one at the end of the body.
        EXPECT_EQ(R.Statuses(), "BPPE");
        ExpectWellFormed(R, 42, static_cast<std::int64_t>(Bytes.size()), 0);
        EXPECT_EQ(R.Reports[1].Position, 0);
        EXPECT_EQ(R.Reports[2].Position, static_cast<std::int64_t>(Bytes.size()));
        EXPECT_EQ(R.Reports[0].RemainTimeText, "00:00:00");
        EXPECT_EQ(R.Reports[0].SpeedText, "0.00B/s");
        ASSERT_TRUE(platform::DeleteFile(Target));
    }
}

TEST(Download, TargetFoundCompleteIsLeftAloneWithoutATransfer) {
    TNginxServer Nginx;
    const std::string Bytes = BinaryPattern(50000, 3);
    const std::string Source = Nginx.AddFile("f.exe", Bytes);
    ASSERT_TRUE(platform::SetFileWriteTime(Source, DateOf(ServerTime)));
    TTempDir Dir;
    const std::string Target = Dir.Write("f.exe", Bytes);
    ASSERT_TRUE(platform::SetFileWriteTime(Target, DateOf(ServerTime)));
    // A temporary file of another transfer must not replace the complete target.
    Dir.Write("f.exe.tmp", "other");
    TRecorder R;
    EXPECT_EQ(NewResumeClient()->DownloadFile(Nginx.BaseUrl() + "/f.exe", Target, R.Callback(), 0, nullptr),
              0);
    EXPECT_EQ(R.Statuses(), "BE");
    EXPECT_EQ(testsupport::ReadFile(Target), Bytes);
    EXPECT_EQ(testsupport::ReadFile(Target + ".tmp"), "other");
}

// The HEAD and the GET of one download go over one TCP connection (nginx numbers its connections in the
// access log), a fresh download and a resumed one alike.
TEST(Download, OneConnectionPerDownload) {
    TNginxServer Nginx;
    const std::string Bytes = BinaryPattern(1024 * 1024, 5);
    const std::string Source = Nginx.AddFile("f.exe", Bytes);
    ASSERT_TRUE(platform::SetFileWriteTime(Source, DateOf(ServerTime)));
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    auto Client = NewResumeClient();
    TRecorder Fresh;
    ASSERT_EQ(Client->DownloadFile(Nginx.BaseUrl() + "/f.exe", Target, Fresh.Callback(), 0, nullptr), 0)
        << Fresh.MessageOf(dsFail);
    ASSERT_TRUE(platform::DeleteFile(Target));
    Dir.Write("f.exe.tmp", Bytes.substr(0, 1000));
    Dir.Write("f.exe.sdc",
              StateText(std::to_string(Bytes.size()), platform::FormatDateTimeIso(DateOf(ServerTime))));
    TRecorder Resumed;
    ASSERT_EQ(Client->DownloadFile(Nginx.BaseUrl() + "/f.exe", Target, Resumed.Callback(), 0, nullptr), 0)
        << Resumed.MessageOf(dsFail);
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    const auto Log = Nginx.AccessLog();
    ASSERT_EQ(Log.size(), 4u);
    EXPECT_EQ(Log[0].Method + " " + Log[1].Method + " " + Log[2].Method + " " + Log[3].Method,
              "HEAD GET HEAD GET");
    EXPECT_EQ(Log[3].Status, 206);
    EXPECT_EQ(Log[0].Connection, Log[1].Connection) << "the fresh download";
    EXPECT_EQ(Log[2].Connection, Log[3].Connection) << "the resumed download";
    EXPECT_NE(Log[1].Connection, Log[2].Connection) << "each download has its own";
}

// A temporary file and a state file as an interrupted run leaves them, then a run against nginx: the
// range request with If-Range (the entity tag when the state file has one, else the date) must give a
// byte-identical file.
TEST(Download, ResumedDownloadFromNginxIsByteIdentical) {
    TNginxServer Nginx;
    const std::string Bytes = BinaryPattern(2 * 1024 * 1024 + 5, 11);
    const std::string Source = Nginx.AddFile("f.exe", Bytes);
    ASSERT_TRUE(platform::SetFileWriteTime(Source, DateOf(ServerTime)));
    const std::string ETag = NginxETag(ServerTime, Bytes.size());
    const std::size_t Cut = 777777;

    for (const std::string& StoredETag : {std::string(), ETag}) {
        SCOPED_TRACE(StoredETag.empty() ? "state file without ETag" : "state file with ETag");
        TTempDir Dir;
        const std::string Target = Dir.File("f.exe");
        Dir.Write("f.exe.tmp", Bytes.substr(0, Cut));
        Dir.Write("f.exe.sdc", StateText(std::to_string(Bytes.size()),
                                         platform::FormatDateTimeIso(DateOf(ServerTime)), StoredETag));
        TRecorder R;
        ASSERT_EQ(
            NewResumeClient()->DownloadFile(Nginx.BaseUrl() + "/f.exe", Target, R.Callback(), 0, nullptr), 0)
            << R.MessageOf(dsFail);
        EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
        EXPECT_EQ(GetFileWriteTime(Target), DateOf(ServerTime));
        EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
        EXPECT_FALSE(IsFilePresent(Dir.File("f.exe.sdc")));
        ASSERT_GE(R.Reports.size(), 3u);
        EXPECT_EQ(R.Reports[1].Position, static_cast<std::int64_t>(Cut)) << "positions continue the file";
        ExpectWellFormed(R, 0, static_cast<std::int64_t>(Bytes.size()), 0);
    }
}

// Lengths and positions past 4 GiB: a sparse file on the server and a sparse temporary file that lacks
// only its last bytes, so just those travel.
TEST(Download, PositionsAndLengthsPastFourGiBAre64Bit) {
    TNginxServer Nginx;
    const std::int64_t Length = (std::int64_t{5} << 30) + 300; // 5 GiB and 300 bytes
    const std::string Tail = BinaryPattern(300, 17);
    const std::string Source = Nginx.AddFile("big.exe", "");
    ASSERT_EQ(::truncate(Source.c_str(), Length - 300), 0);
    {
        FILE* F = std::fopen(Source.c_str(), "ab");
        ASSERT_NE(F, nullptr);
        std::fwrite(Tail.data(), 1, Tail.size(), F);
        std::fclose(F);
    }
    ASSERT_TRUE(platform::SetFileWriteTime(Source, DateOf(ServerTime)));
    TTempDir Dir;
    const std::string Target = Dir.File("big.exe");
    const std::string Temp = Dir.Write("big.exe.tmp", "");
    ASSERT_EQ(::truncate(Temp.c_str(), Length - 300), 0);
    Dir.Write("big.exe.sdc",
              StateText(std::to_string(Length), platform::FormatDateTimeIso(DateOf(ServerTime))));

    auto Client = NewResumeClient();
    TRecorder Refused;
    EXPECT_EQ(Client->DownloadFile(Nginx.BaseUrl() + "/big.exe", Target, Refused.Callback(), 0, nullptr), -1);
    EXPECT_EQ(Refused.MessageOf(dsFail), "超过下载文件大小限制！") << "the default limit is 2000 MiB";

    Client->SetMaxFileSize(std::int64_t{6} << 30);
    TRecorder R;
    ASSERT_EQ(Client->DownloadFile(Nginx.BaseUrl() + "/big.exe", Target, R.Callback(), 0, nullptr), 0)
        << R.MessageOf(dsFail);
    EXPECT_EQ(GetFileSize64(Target), Length);
    EXPECT_EQ(R.Reports[1].Position, Length - 300);
    EXPECT_EQ(R.Reports.back().Position, Length);
    EXPECT_EQ(R.Reports.back().Size, Length);
    std::string Got(300, '\0');
    FILE* F = std::fopen(Target.c_str(), "rb");
    ASSERT_NE(F, nullptr);
    ASSERT_EQ(::fseeko(F, Length - 300, SEEK_SET), 0);
    EXPECT_EQ(std::fread(Got.data(), 1, Got.size(), F), 300u);
    std::fclose(F);
    EXPECT_EQ(Got, Tail);
}
