// The download's edge cases as a table of alike runs against the fault server, the calls that open
// nothing, and a disk that fills up (a child with a low file-size limit).
#include "tests/download/DownloadFixture.h"

#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "tests/support/FaultServer.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace downloadtest;
using ::testing::MatchesRegex;
using ::testing::StartsWith;
using testsupport::BinaryPattern;
using testsupport::ReadFile;
using testsupport::TFaultServer;
using testsupport::TTempDir;

namespace {

const std::string Date = HttpDate(1700000000);
const std::string DateIso = platform::FormatDateTimeIso(DateOf(1700000000));
const std::string Bytes = BinaryPattern(100000, 6);

struct TRun {
    const TTempDir& Dir;
    std::string Target;
    const TRecorder& R;
    const TFaultServer& Server;
    std::int32_t Result;
};

struct TEdgeCase {
    const char* Name;
    std::string Answers; // the answers to /f.exe, a JSON list; "@" stands for the body file
    std::function<void(const TTempDir&)> Prepare;
    std::function<void(THttpClient&)> Configure;
    std::function<bool(const TReport&)> StopWhen; // may also raise
    std::int32_t Result;
    const char* Statuses; // a regular expression
    std::string FailText; // the start of the dsFail text; "" for none
    std::function<void(const TRun&)> Check;
};

int GetCount(const TFaultServer& Server) {
    int N = 0;
    for (const auto& Req : Server.Requests()) {
        N += Req.Method == "GET";
    }
    return N;
}

} // namespace

TEST(EdgeCases, Table) {
    const std::string Plain = R"({"body_file": "@", "last_modified": ")" + Date + R"("})";
    const std::string Slow =
        R"({"body_file": "@", "content_length": "omit", "trickle": {"bytes": 4000, "delay_ms": 60}})";
    const std::vector<TEdgeCase> Cases = {
        {"stop at dsBegin: connects, then ends with -1", "[" + Plain + "]", nullptr, nullptr,
         [](const TReport& R) { return R.Status == dsBegin; }, -1, "BE", "",
         [](const TRun& Run) {
             EXPECT_TRUE(Run.Server.Requests().empty());
             EXPECT_EQ(Run.R.Reports.back().ResultCode, -1);
         }},
        {"stop at the first dsProgress: 1, side files stay", "[" + Plain + "]", nullptr, nullptr,
         [](const TReport& R) { return R.Status == dsProgress; }, 1, "BPE", "",
         [](const TRun& Run) {
             EXPECT_TRUE(IsFilePresent(Run.Target + ".tmp"));
             EXPECT_EQ(ReadFile(Run.Dir.File("f.exe.sdc")), StateText("100000", DateIso));
             EXPECT_FALSE(IsFilePresent(Run.Target));
         }},
        {"no Content-Length: size 0, no resume, remaining time unknown", "[" + Slow + "]",
         [](const TTempDir& D) {
             D.Write("f.exe.tmp", "stale part");
             D.Write("f.exe.sdc", StateText("0", DateIso));
         },
         nullptr, nullptr, 0, "BP+E", "",
         [](const TRun& Run) {
             EXPECT_EQ(ReadFile(Run.Target), Bytes);
             bool Measured = false;
             for (const TReport& R : Run.R.Reports) {
                 EXPECT_EQ(R.Size, 0);
                 if (R.Status == dsProgress && R.Speed > 0) {
                     Measured = true;
                     EXPECT_EQ(R.RemainTime, -1);
                     EXPECT_EQ(R.RemainTimeText, "--:--:--");
                 }
             }
             EXPECT_TRUE(Measured);
             EXPECT_FALSE(Run.Server.Requests().back().HasHeader("Range"));
         }},
        {"no Last-Modified: the date 0 in the state file, the file keeps its own time",
         R"([{"body_file": "@"}])", nullptr, nullptr, [](const TReport& R) { return R.Status == dsProgress; },
         1, "BPE", "",
         [](const TRun& Run) {
             EXPECT_EQ(ReadFile(Run.Dir.File("f.exe.sdc")), StateText("100000", "1899-12-30 00:00:00"));
         }},
        {"no Last-Modified, complete: the file keeps the time of its own last write",
         R"([{"body_file": "@"}])", nullptr, nullptr, nullptr, 0, "BP+E", "",
         [](const TRun& Run) {
             EXPECT_EQ(ReadFile(Run.Target), Bytes);
             EXPECT_GT(GetFileWriteTime(Run.Target), DateOf(std::time(nullptr) - 3600))
                 << "not a date of 1899";
         }},
        {"above MaxFileSize: fails before any transfer", R"([{"body": "", "content_length": "2097152001"}])",
         nullptr, nullptr, nullptr, -1, "BFE", "超过下载文件大小限制！",
         [](const TRun& Run) { EXPECT_EQ(GetCount(Run.Server), 0); }},
        {"MaxFileSize does not apply without resume mode", "[" + Plain + "]", nullptr,
         [](THttpClient& C) {
             C.SetResume(false);
             C.SetMaxFileSize(10);
         },
         nullptr, 0, "BP+E", "", [](const TRun& Run) { EXPECT_EQ(ReadFile(Run.Target), Bytes); }},
        {"complete temporary file with matching state: 0 without a GET, the state file stays",
         "[" + Plain + "]",
         [](const TTempDir& D) {
             D.Write("f.exe.tmp", Bytes);
             D.Write("f.exe.sdc", StateText("100000", DateIso));
         },
         nullptr, nullptr, 0, "BE", "",
         [](const TRun& Run) {
             EXPECT_EQ(GetCount(Run.Server), 0);
             EXPECT_EQ(ReadFile(Run.Target), Bytes);
             EXPECT_FALSE(IsFilePresent(Run.Target + ".tmp"));
             EXPECT_TRUE(IsFilePresent(Run.Dir.File("f.exe.sdc")));
         }},
        {"temporary file longer than the length: dropped, all again from 0", "[" + Plain + "]",
         [](const TTempDir& D) {
             D.Write("f.exe.tmp", Bytes + "extra");
             D.Write("f.exe.sdc", StateText("100000", DateIso));
         },
         nullptr, nullptr, 0, "BP+E", "",
         [](const TRun& Run) {
             EXPECT_FALSE(Run.Server.Requests().back().HasHeader("Range"));
             EXPECT_EQ(ReadFile(Run.Target), Bytes);
             EXPECT_EQ(Run.R.Reports[1].Position, 0);
         }},
        {"state file differing in form only: no match, start over", "[" + Plain + "]",
         [](const TTempDir& D) {
             D.Write("f.exe.tmp", Bytes.substr(0, 1000));
             D.Write("f.exe.sdc", StateText("0100000", DateIso));
         },
         nullptr, nullptr, 0, "BP+E", "",
         [](const TRun& Run) {
             EXPECT_FALSE(Run.Server.Requests().back().HasHeader("Range"));
             EXPECT_EQ(ReadFile(Run.Target), Bytes);
         }},
        {"a state file written with CR LF or LF, keys in any case, is read alike", "[" + Plain + "]",
         [](const TTempDir& D) {
             D.Write("f.exe.tmp", Bytes.substr(0, 1000));
             D.Write("f.exe.sdc", "[Server]\ncontentlen = 100000\nLASTMODIFIED=" + DateIso + "\n");
         },
         nullptr, nullptr, 0, "BP+E", "",
         [](const TRun& Run) {
             EXPECT_EQ(Run.Server.Requests().back().Header("Range"), "bytes=1000-");
             EXPECT_EQ(ReadFile(Run.Target), Bytes);
         }},
        {"body shorter than announced: failure, the part stays for the next run",
         R"([{"body_file": "@", "close_after": 60000}])", nullptr, nullptr, nullptr, -1, "BP+FE", "",
         [](const TRun& Run) {
             EXPECT_THAT(Run.R.MessageOf(dsFail),
                         ::testing::AnyOf(StartsWith("从网络读取文件失败"),
                                          StartsWith("下载文件与服务器上记录的大小不一致")));
             EXPECT_EQ(GetFileSize64(Run.Target + ".tmp"), 60000);
             EXPECT_FALSE(IsFilePresent(Run.Target));
         }},
        {"target locked at the end (a folder holds the name): deletion text, temporary file kept",
         "[" + Plain + "]", [](const TTempDir& D) { D.Write("f.exe/inside", "x"); }, nullptr, nullptr, -1,
         "BP+FE", "删除[",
         [](const TRun& Run) {
             EXPECT_THAT(Run.R.MessageOf(dsFail), StartsWith("删除[" + Run.Target + "]文件失败:"));
             EXPECT_EQ(ReadFile(Run.Target + ".tmp"), Bytes);
         }},
        {"a link at the target's name, even one to nothing, is replaced by the file", "[" + Plain + "]",
         [](const TTempDir& D) {
             ASSERT_EQ(::symlink(D.File("gone.exe").c_str(), D.File("f.exe").c_str()), 0);
         },
         nullptr, nullptr, 0, "BP+E", "",
         [](const TRun& Run) {
             EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(Run.Target)));
             EXPECT_EQ(ReadFile(Run.Target), Bytes);
             EXPECT_FALSE(IsFilePresent(Run.Dir.File("gone.exe")));
         }},
        {"error raised in the callback: finish, then dsError", "[" + Plain + "]", nullptr, nullptr,
         [](const TReport& R) -> bool {
             if (R.Status == dsProgress) {
                 throw std::runtime_error("callback broke");
             }
             return false;
         },
         -1, "BPEX", "",
         [](const TRun& Run) {
             EXPECT_EQ(Run.R.MessageOf(dsError), "[THttpClient.DownloadFile]callback broke");
             EXPECT_EQ(Run.R.Reports.back().ResultCode, -1);
         }},
        {"HEAD refused: the information text", R"([{"status": 404, "reason": "Not Found"}])", nullptr,
         nullptr, nullptr, -1, "BFE", "获取下载包信息失败", nullptr},
        {"GET refused: the status in LastError", R"([{"body": ""}, {"status": 503, "reason": "Busy"}])",
         nullptr, nullptr, nullptr, -1, "BFE", "[503]Busy", nullptr},
    };

    TTempDir Files;
    const std::string Body = Files.Write("body", Bytes);
    for (const TEdgeCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TFaultServer Server(R"({"routes": {"/f.exe": )" + ReplaceAll(C.Answers, "@", Body) + "}}");
        TTempDir Dir;
        if (C.Prepare) {
            C.Prepare(Dir);
        }
        auto Client = NewResumeClient();
        if (C.Configure) {
            C.Configure(*Client);
        }
        TRecorder R;
        R.StopWhen = C.StopWhen;
        const std::string Target = Dir.File("f.exe");
        const std::int32_t Result =
            Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, R.Callback(), 5, nullptr);
        EXPECT_EQ(Result, C.Result) << R.MessageOf(dsFail) << R.MessageOf(dsError);
        EXPECT_THAT(R.Statuses(), MatchesRegex(C.Statuses));
        if (!C.FailText.empty()) {
            EXPECT_THAT(R.MessageOf(dsFail), StartsWith(C.FailText));
            EXPECT_EQ(Client->GetLastError(), R.MessageOf(dsFail));
        }
        if (C.Check) {
            C.Check(TRun{Dir, Target, R, Server, Result});
        }
    }
}

TEST(EdgeCases, CallsThatOpenNothing) {
    TFaultServer Server(R"({"responses": [{"body": "x"}]})");
    TTempDir Dir;
    auto Client = NewResumeClient();
    {
        TRecorder R;
        EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", "", R.Callback(), 0, nullptr), -1);
        EXPECT_EQ(R.Statuses(), "F");
        EXPECT_EQ(R.MessageOf(dsFail), "下载保存路径为空！");
        EXPECT_EQ(Client->GetLastError(), "下载保存路径为空！");
    }
    {
        TRecorder R;
        EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", "setup.exe", R.Callback(), 0, nullptr),
                  -1);
        EXPECT_EQ(R.Statuses(), "X");
        EXPECT_THAT(R.MessageOf(dsError), StartsWith("[THttpClient.DownloadFile]"));
        EXPECT_FALSE(IsFilePresent("setup.exe.tmp"));
    }
    {
        TRecorder R;
        EXPECT_EQ(Client->DownloadFile("ftp://127.0.0.1/f.exe", Dir.File("f.exe"), R.Callback(), 0, nullptr),
                  -1);
        EXPECT_EQ(R.Statuses(), "BFE");
        EXPECT_EQ(R.MessageOf(dsFail), "URL类型不是HTTP/HTTPS！");
    }
    EXPECT_TRUE(Server.Requests().empty());
    // Without a callback nothing is reported and LastError stays as it was.
    Client->SetRetryCount(1);
    const std::string Before = Client->GetLastError();
    EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", "", nullptr, 0, nullptr), -1);
    EXPECT_EQ(Client->GetLastError(), Before);
}

// A write that fails for want of space: run in a child whose file-size limit is low (SIGXFSZ ignored, so
// the write fails with EFBIG). The text carries the system's message and the target stays as it was.
TEST(EdgeCases, DiskFullReportsTheWriteFailureAndLeavesTheTargetAlone) {
    testsupport::TNginxServer Nginx;
    const std::string Big = BinaryPattern(1024 * 1024, 2);
    Nginx.AddFile("f.exe", Big);
    TTempDir Dir;
    const std::string Target = Dir.Write("f.exe", "the old installer");
    int Pipe[2];
    ASSERT_EQ(::pipe(Pipe), 0);
    const pid_t Child = ::fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        ::close(Pipe[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit Limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &Limit);
        std::string Texts;
        auto Client = NewResumeClient();
        const std::int32_t Result = Client->DownloadFile(
            Nginx.BaseUrl() + "/f.exe", Target,
            [&](const THttpDownloadInfo& Info, bool&) {
                if (Info.Status == dsFail || Info.Status == dsError) {
                    Texts += Info.Message;
                    Texts += '\n';
                }
            },
            0, nullptr);
        const std::string Out = std::to_string(Result) + "\n" + Texts;
        (void)!::write(Pipe[1], Out.data(), Out.size());
        ::_exit(0);
    }
    ::close(Pipe[1]);
    std::string Out;
    char Buffer[4096];
    for (ssize_t N; (N = ::read(Pipe[0], Buffer, sizeof Buffer)) > 0;) {
        Out.append(Buffer, static_cast<std::size_t>(N));
    }
    ::close(Pipe[0]);
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(Out, "-1\n写文件失败:" + platform::SysErrorMessage(EFBIG) + "\n");
    EXPECT_EQ(ReadFile(Target), "the old installer");
    EXPECT_LE(GetFileSize64(Target + ".tmp"), 64 * 1024);
}

// The temporary file cannot take the target's name at the end (made immutable, which stops root too):
// the call must not claim a complete target that is not there.
TEST(EdgeCases, FailedRenameAtTheEndIsAFailure) {
    TFaultServer Server(R"({"routes": {"/f.exe": [{"body": "complete body"}]}})");
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    const std::string Temp = Target + ".tmp";
    bool Immutable = false;
    TRecorder R;
    R.StopWhen = [&](const TReport& Rep) {
        if (Rep.Status == dsProgress && Rep.Position == Rep.Size && Rep.Size > 0 && !Immutable) {
            Immutable = std::system(("chattr +i '" + Temp + "' 2>/dev/null").c_str()) == 0;
        }
        return false;
    };
    const std::int32_t Result =
        NewResumeClient()->DownloadFile(Server.BaseUrl() + "/f.exe", Target, R.Callback(), 0, nullptr);
    if (Immutable) {
        std::system(("chattr -i '" + Temp + "'").c_str());
    } else {
        GTEST_SKIP() << "chattr +i does not work on this file system";
    }
    EXPECT_EQ(Result, -1);
    EXPECT_THAT(R.MessageOf(dsFail), StartsWith("重命名[" + Temp + "]文件失败:"));
    EXPECT_FALSE(IsFilePresent(Target));
    EXPECT_EQ(ReadFile(Temp), "complete body");
}
