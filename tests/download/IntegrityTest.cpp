// Never a wrong file: bodies that end short of the entity's length or disagree about it, a login page in
// place of the installer, links planted at the side files' names, and a second download of the same target
// while the first runs. Each fault comes from its real cause (the fault server, a planted link, a second
// client), and what stays behind is checked to the byte.
#include "tests/download/DownloadFixture.h"

#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "tests/support/FaultServer.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <unistd.h>

using namespace downloadtest;
using ::testing::MatchesRegex;
using testsupport::BinaryPattern;
using testsupport::ReadFile;
using testsupport::TFaultServer;
using testsupport::TTempDir;

namespace {

const std::string Date = HttpDate(1700000000);
const std::string DateIso = platform::FormatDateTimeIso(DateOf(1700000000));
const std::string Bytes = BinaryPattern(600000, 13);
const std::string SizeMismatch = "下载文件与服务器上记录的大小不一致，请重试!";
const std::string RangeMismatch = "服务器返回的数据范围与请求不符！";
const std::string NotAnInstaller = "服务器返回的不是安装包，请检查网络是否需要登录！";
const std::string InUse = "该文件正在被另一个下载任务使用！";

bool IsLink(const std::string& Path) {
    char Buffer[16];
    return ::readlink(Path.c_str(), Buffer, sizeof Buffer) >= 0;
}

} // namespace

// A fresh download whose body ends short of the length the HEAD announced, or whose answers disagree about
// the length, fails with the size text; what arrived stays in the temporary file and the state file names
// the HEAD's entity, so the next run continues it. "@" stands for the body file, "@short", "@long" and
// "@half" for shorter, longer and half copies of it.
TEST(Integrity, ABodyThatDoesNotMatchTheEntityIsNeverComplete) {
    struct TCase {
        const char* Name;
        std::string Get;        // the GET's answer (the HEAD's is the whole file, with its length unless
        bool HeadWithoutLength; // this is set)
        std::int32_t Result;
        std::string FailText;            // "" with result 0
        std::string Kept;                // the temporary file's content afterwards; "-" for no file
        std::string Later = {};          // the answers after the GET ("": the whole file, the HEAD's date)
        std::string StateDate = DateIso; // the date the state file names afterwards
    };
    const std::string Full = R"({"body_file": "@", "last_modified": ")" + Date + "\"";
    const std::string Short = R"({"body_file": "@short", "last_modified": ")" + Date + "\"";
    const std::string NewDate = HttpDate(1700003600);
    const std::string Renewed = R"({"body_file": "@", "last_modified": ")" + NewDate + "\"}";
    const std::vector<TCase> Cases = {
        {"no length, the connection closes early",
         Full + R"(, "content_length": "omit", "close_after": 250000})", false, -1, SizeMismatch,
         Bytes.substr(0, 250000)},
        {"chunked, ends cleanly 1000 bytes short", Short + R"(, "chunked": true})", false, -1, SizeMismatch,
         Bytes.substr(0, 599000)},
        {"a Content-Length smaller than the HEAD's", Short + "}", false, -1, SizeMismatch, "-"},
        {"a Content-Length larger than the HEAD's",
         R"({"body_file": "@long", "last_modified": ")" + Date + "\"}", false, -1, SizeMismatch, "-"},
        {"a 206 with the first half to a request without a range",
         R"({"body_file": "@half", "last_modified": ")" + Date +
             R"(", "status": 206, "range": "ignore", "headers": [["Content-Range", "bytes 0-299999/600000"]]})",
         false, -1, RangeMismatch, "-"},
        {"a 206 to a request without a range that holds the whole entity",
         Full +
             R"(, "status": 206, "range": "ignore", "headers": [["Content-Range", "bytes 0-599999/600000"]]})",
         false, 0, "", "-"},
        {"no length in the HEAD nor the GET: the end of the body ends it",
         Full + R"(, "content_length": "omit"})", true, 0, "", "-"},
        // A GET that names no version of its own (no date, no tag) continues the HEAD's entity; one that
        // names another version and no length is still held to the HEAD's length: an early end of a body
        // that announced nothing is never the whole file.
        {"no length and no date in the GET, the connection closes early",
         R"({"body_file": "@", "content_length": "omit", "close_after": 250000})", false, -1, SizeMismatch,
         Bytes.substr(0, 250000)},
        {"chunked without a date, cut off: the part belongs to the HEAD's entity",
         R"({"body_file": "@", "chunked": true, "close_after": 250000})", false, -1,
         "从网络读取文件失败:" + platform::SysErrorMessage(platform::ERROR_INTERNET_CONNECTION_ABORTED),
         Bytes.substr(0, 250000)},
        {"no length and another date in the GET, the connection closes early",
         R"({"body_file": "@", "content_length": "omit", "close_after": 250000, "last_modified": ")" +
             NewDate + "\"}",
         false, -1, SizeMismatch, Bytes.substr(0, 250000), Renewed,
         platform::FormatDateTimeIso(DateOf(1700003600))},
    };
    TTempDir Files;
    const std::string Body = Files.Write("body", Bytes);
    Files.Write("body.short", Bytes.substr(0, 599000));
    Files.Write("body.long", Bytes + "and more");
    Files.Write("body.half", Bytes.substr(0, 300000));
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Head = Full + (C.HeadWithoutLength ? R"(, "content_length": "omit"})" : "}");
        std::string Script =
            "[" + Head + ", " + C.Get + ", " + (C.Later.empty() ? Full + "}" : C.Later) + "]";
        for (const char* Copy : {"short", "long", "half"}) {
            Script = ReplaceAll(Script, std::string("@") + Copy, Body + "." + Copy);
        }
        TFaultServer Server(R"({"routes": {"/f.exe": )" + ReplaceAll(Script, "@", Body) + "}}");
        TTempDir Dir;
        const std::string Target = Dir.File("f.exe");
        auto Client = NewResumeClient();
        TRecorder R;
        EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, R.Callback(), 0, nullptr),
                  C.Result)
            << R.MessageOf(dsFail);
        EXPECT_EQ(R.MessageOf(dsFail), C.FailText);
        if (C.Result == 0) {
            EXPECT_EQ(ReadFile(Target), Bytes);
            continue;
        }
        EXPECT_FALSE(IsFilePresent(Target)) << "never a short or wrong target";
        if (C.Kept == "-") {
            EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
            continue;
        }
        EXPECT_EQ(ReadFile(Target + ".tmp"), C.Kept) << "what arrived, to the byte";
        EXPECT_EQ(ReadFile(Dir.File("f.exe.sdc")), StateText("600000", C.StateDate)) << "the entity's facts";
        // The next run continues where the part ends and completes the file.
        TRecorder Next;
        ASSERT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, Next.Callback(), 0, nullptr), 0)
            << Next.MessageOf(dsFail);
        EXPECT_EQ(Server.Requests().back().Header("Range"), "bytes=" + std::to_string(C.Kept.size()) + "-");
        EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    }
}

// A body that runs on past the entity's length, or in resume mode past MaxFileSize when no length was
// announced, is cut off there instead of being written until the disk is full.
TEST(Integrity, ABodyThatRunsPastItsLengthIsCutOffThere) {
    const std::string Endless = BinaryPattern(6 * 1024 * 1024, 17);
    struct TCase {
        const char* Name;
        std::string HeadLength; // the HEAD's Content-Length: a number, or "omit"
        std::int64_t MaxFileSize;
        std::string FailText;
    };
    const TCase Cases[] = {
        {"past the length the HEAD announced", "600000", 2097152000, SizeMismatch},
        {"no length announced, past MaxFileSize", "omit", 600000, "超过下载文件大小限制！"},
    };
    TTempDir Files;
    const std::string Body = Files.Write("body", Endless);
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Answer = R"({"body_file": ")" + Body + R"(", "last_modified": ")" + Date + "\"";
        TFaultServer Server(R"({"routes": {"/f.exe": [)" + Answer + R"(, "content_length": ")" +
                            C.HeadLength + R"("}, )" + Answer + R"(, "content_length": "omit"}]}})");
        TTempDir Dir;
        const std::string Target = Dir.File("f.exe");
        auto Client = NewResumeClient();
        Client->SetMaxFileSize(C.MaxFileSize);
        TRecorder R;
        EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, R.Callback(), 0, nullptr), -1);
        EXPECT_EQ(R.MessageOf(dsFail), C.FailText);
        EXPECT_FALSE(IsFilePresent(Target));
        const std::int64_t Kept = GetFileSize64(Target + ".tmp");
        EXPECT_GT(Kept, 600000);
        EXPECT_LE(Kept, 600000 + Client->GetBufferSize()) << "no further than the read that passed the limit";
    }
}

// A captive portal answers with its login page: whether to the HEAD and the GET or to the GET only, the page
// never becomes the installer, and a part from an earlier run stays with its state. A target that is itself
// a web page may be one.
TEST(Integrity, AnHtmlPageIsNeverTheInstaller) {
    const std::string Page = "<html><body>请登录</body></html>";
    const std::string Installer = R"({"body_file": "@", "last_modified": ")" + Date + "\"}";
    const std::string Login = R"({"body": ")" + Page + R"(", "headers": [["Content-Type", "text/html"]]})";
    struct TCase {
        const char* Name;
        std::string Answers;
        bool Resume;
        std::string TargetName;
        std::int32_t Result;
        int Gets; // GET requests the server saw
    };
    const TCase Cases[] = {
        {"HEAD and GET answer the login page", "[" + Login + "]", true, "f.exe", -1, 0},
        {"the GET only answers the login page", "[" + Installer + ", " + Login + "]", true, "f.exe", -1, 1},
        {"a charset and capitals change nothing",
         "[" + Installer + R"(, {"body": "x", "headers": [["Content-Type", "TEXT/HTML; charset=UTF-8"]]}])",
         true, "f.exe", -1, 1},
        {"without resume mode (no HEAD)", "[" + Login + "]", false, "f.exe", -1, 1},
        {"a target that is a web page", "[" + Login + "]", true, "page.HTML", 0, 1},
    };
    TTempDir Files;
    const std::string Body = Files.Write("body", Bytes);
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TFaultServer Server(R"({"routes": {"/f": )" + ReplaceAll(C.Answers, "@", Body) + "}}");
        TTempDir Dir;
        const std::string Target = Dir.File(C.TargetName);
        const std::string Part = Bytes.substr(0, 80000);
        const std::string State = StateText("600000", DateIso);
        Dir.Write(C.TargetName + ".tmp", Part);
        Dir.Write(C.TargetName + ".sdc", State);
        auto Client = NewResumeClient();
        Client->SetResume(C.Resume);
        TRecorder R;
        EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f", Target, R.Callback(), 0, nullptr), C.Result);
        int Gets = 0;
        for (const auto& Request : Server.Requests()) {
            Gets += Request.Method == "GET";
        }
        EXPECT_EQ(Gets, C.Gets);
        if (C.Result == 0) {
            EXPECT_EQ(ReadFile(Target), Page);
            continue;
        }
        EXPECT_EQ(R.MessageOf(dsFail), NotAnInstaller);
        EXPECT_FALSE(IsFilePresent(Target));
        EXPECT_EQ(ReadFile(Target + ".tmp"), Part) << "the earlier part stays";
        if (C.Resume) {
            EXPECT_EQ(ReadFile(Dir.File(C.TargetName + ".sdc")), State) << "and its state";
        }
    }
}

// A link planted at a side file's name is never written through nor renamed into the target's place: at the
// temporary file's or the state file's name before the run it is a failure that touches nothing, and at the
// temporary file's name while the run transfers it keeps the file from becoming the target.
TEST(Integrity, LinksAtTheSideFilesNamesAreNeverFollowed) {
    TTempDir Files;
    const std::string Body = Files.Write("body", Bytes);
    TFaultServer Server(R"({"routes": {"/f.exe": [{"body_file": ")" + Body + R"(", "last_modified": ")" +
                        Date + R"("}]}})");
    const std::string Url = Server.BaseUrl() + "/f.exe";
    {
        SCOPED_TRACE("a link at the temporary name before the run");
        TTempDir Dir;
        const std::string Precious = Dir.Write("precious.doc", "the user's own file");
        const std::string Target = Dir.File("f.exe");
        ASSERT_EQ(::symlink(Precious.c_str(), (Target + ".tmp").c_str()), 0);
        TRecorder R;
        EXPECT_EQ(NewResumeClient()->DownloadFile(Url, Target, R.Callback(), 0, nullptr), -1);
        EXPECT_EQ(R.MessageOf(dsFail), "创建下载文件失败:" + platform::SysErrorMessage(ELOOP));
        EXPECT_EQ(ReadFile(Precious), "the user's own file");
        EXPECT_TRUE(IsLink(Target + ".tmp"));
        EXPECT_FALSE(IsFilePresent(Target));
    }
    {
        SCOPED_TRACE("a link put at the temporary name during the transfer");
        TTempDir Dir;
        const std::string Precious = Dir.Write("precious.doc", "the user's own file");
        const std::string Target = Dir.File("f.exe");
        TRecorder R;
        R.StopWhen = [&](const TReport& Rep) {
            if (Rep.Status == dsProgress && Rep.Position == Rep.Size && !IsLink(Target + ".tmp")) {
                EXPECT_TRUE(platform::RenameFileNoReplace(Target + ".tmp", Dir.File("moved")));
                EXPECT_EQ(::symlink(Precious.c_str(), (Target + ".tmp").c_str()), 0);
            }
            return false;
        };
        EXPECT_EQ(NewResumeClient()->DownloadFile(Url, Target, R.Callback(), 0, nullptr), -1);
        EXPECT_EQ(R.MessageOf(dsFail),
                  "重命名[" + Target + ".tmp]文件失败:" + platform::SysErrorMessage(ESTALE));
        EXPECT_EQ(ReadFile(Precious), "the user's own file");
        EXPECT_FALSE(IsFilePresent(Target));
        EXPECT_TRUE(IsLink(Target + ".tmp"));
    }
    {
        SCOPED_TRACE("a link at the state file's name");
        TTempDir Dir;
        // The link points to a state that would match: it must not count, nor be written through.
        const std::string Elsewhere = Dir.Write("elsewhere.ini", StateText("600000", DateIso));
        const std::string Target = Dir.File("f.exe");
        Dir.Write("f.exe.tmp", Bytes.substr(0, 1000));
        ASSERT_EQ(::symlink(Elsewhere.c_str(), Dir.File("f.exe.sdc").c_str()), 0);
        const std::size_t Before = Server.Requests().size();
        TRecorder R;
        EXPECT_EQ(NewResumeClient()->DownloadFile(Url, Target, R.Callback(), 0, nullptr), -1);
        EXPECT_EQ(R.MessageOf(dsFail), "创建下载文件失败:" + platform::SysErrorMessage(ELOOP));
        EXPECT_EQ(Server.Requests().size(), Before) << "nothing asked";
        EXPECT_EQ(ReadFile(Elsewhere), StateText("600000", DateIso));
        EXPECT_TRUE(IsLink(Dir.File("f.exe.sdc")));
        EXPECT_EQ(ReadFile(Target + ".tmp"), Bytes.substr(0, 1000));
    }
}

// A second download of the same target while the first runs is refused at once and touches nothing; the
// first goes on and completes the file.
TEST(Integrity, ASecondDownloadOfTheSameTargetIsRefused) {
    TTempDir Files;
    const std::string Body = Files.Write("body", Bytes);
    TFaultServer Server(R"({"routes": {"/f.exe": [{"body_file": ")" + Body + R"(", "last_modified": ")" +
                        Date + R"(", "trickle": {"bytes": 50000, "delay_ms": 60}}]}})");
    const std::string Url = Server.BaseUrl() + "/f.exe";
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    TRecorder Second;
    std::string TempBefore, TempAfter, StateBefore, StateAfter;
    std::int32_t SecondResult = 99;
    TRecorder First;
    First.StopWhen = [&](const TReport& Rep) {
        if (Rep.Status == dsProgress && Rep.Position > 0 && SecondResult == 99) {
            TempBefore = ReadFile(Target + ".tmp");
            StateBefore = ReadFile(Dir.File("f.exe.sdc"));
            SecondResult = NewResumeClient()->DownloadFile(Url, Target, Second.Callback(), 0, nullptr);
            TempAfter = ReadFile(Target + ".tmp");
            StateAfter = ReadFile(Dir.File("f.exe.sdc"));
        }
        return false;
    };
    ASSERT_EQ(NewResumeClient()->DownloadFile(Url, Target, First.Callback(), 0, nullptr), 0)
        << First.MessageOf(dsFail);
    EXPECT_EQ(SecondResult, -1);
    EXPECT_EQ(Second.Statuses(), "BFE");
    EXPECT_EQ(Second.MessageOf(dsFail), InUse);
    EXPECT_EQ(TempAfter, TempBefore);
    EXPECT_EQ(StateAfter, StateBefore);
    int Heads = 0;
    for (const auto& Request : Server.Requests()) {
        Heads += Request.Method == "HEAD";
    }
    EXPECT_EQ(Heads, 1) << "the refused run asked the server nothing";
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
}
