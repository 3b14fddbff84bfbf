// Resuming against the fault-injecting server: a body cut off at an offset, a file changed on the server
// between two runs or between the HEAD and the GET, a server that ignores the range, a 206 for the wrong
// range, and a stop followed by the next run.
#include "tests/download/DownloadFixture.h"

#include "platform/FileSystem.h"
#include "tests/support/FaultServer.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace downloadtest;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testsupport::BinaryPattern;
using testsupport::ReadFile;
using testsupport::TFaultServer;
using testsupport::TRecordedRequest;
using testsupport::TTempDir;

namespace {

const std::string OldDate = HttpDate(1700000000);
const std::string NewDate = HttpDate(1700003600);

// One answer of the script: a body file with its date (and entity tag), plus extra keys.
std::string Answer(const std::string& BodyFile, const std::string& Date, const std::string& Extra = "",
                   const std::string& ETag = "") {
    std::string A = R"({"body_file": ")" + BodyFile + R"(", "last_modified": ")" + Date + "\"";
    if (!ETag.empty()) {
        A += R"(, "etag": "\")" + ETag + R"(\"")";
    }
    if (!Extra.empty()) {
        A += ", " + Extra;
    }
    return A + "}";
}

std::string Script(const std::vector<std::string>& Answers) {
    std::string S = R"({"routes": {"/f.exe": [)";
    for (std::size_t i = 0; i < Answers.size(); ++i) {
        S += (i ? ", " : "") + Answers[i];
    }
    return S + "]}}";
}

std::vector<TRecordedRequest> Gets(const TFaultServer& Server) {
    std::vector<TRecordedRequest> Out;
    for (const TRecordedRequest& R : Server.Requests()) {
        if (R.Method == "GET") {
            Out.push_back(R);
        }
    }
    return Out;
}

} // namespace

// The first run's body is cut at an offset; the second run asks for the rest.
TEST(Resume, TransferCutByTheServerContinuesWithARangeAndEndsIdentical) {
    TTempDir Files;
    const std::string Bytes = BinaryPattern(300000, 5);
    const std::string Body = Files.Write("a", Bytes);
    TFaultServer Server(
        Script({Answer(Body, OldDate, "", "v1"), Answer(Body, OldDate, R"("close_after": 100000)", "v1"),
                Answer(Body, OldDate, "", "v1")}));
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    auto Client = NewResumeClient();
    TRecorder First;
    EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, First.Callback(), 0, nullptr), -1);
    EXPECT_THAT(First.Statuses(), ::testing::MatchesRegex("BP+FE"));
    EXPECT_EQ(GetFileSize64(Target + ".tmp"), 100000);
    EXPECT_FALSE(IsFilePresent(Target));
    EXPECT_EQ(ReadFile(Dir.File("f.exe.sdc")),
              StateText("300000", platform::FormatDateTimeIso(DateOf(1700000000)), "\"v1\""));

    TRecorder Second;
    ASSERT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, Second.Callback(), 0, nullptr), 0)
        << Second.MessageOf(dsFail);
    const auto Sent = Gets(Server);
    ASSERT_EQ(Sent.size(), 2u);
    EXPECT_FALSE(Sent[0].HasHeader("Range"));
    EXPECT_EQ(Sent[1].Header("Range"), "bytes=100000-");
    EXPECT_EQ(Sent[1].Header("If-Range"), "\"v1\"") << "the strong entity tag is the validator";
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    EXPECT_EQ(Second.Reports[1].Position, 100000);
    EXPECT_FALSE(IsFilePresent(Target + ".tmp"));
    EXPECT_FALSE(IsFilePresent(Dir.File("f.exe.sdc")));
}

// Between the two runs the file changed on the server: the state file no longer matches, the temporary
// file is dropped and the new file comes whole.
TEST(Resume, FileChangedBetweenRunsIsFetchedWhole) {
    struct TCase {
        const char* Name;
        bool NewBody;
        std::string Date;
        std::string ETag1, ETag2;
    };
    const TCase Cases[] = {
        {"new Last-Modified", false, NewDate, "", ""},
        {"new length", true, OldDate, "", ""},
        {"new ETag, same length and date", false, OldDate, "e1", "e2"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTempDir Files;
        const std::string OldBytes = BinaryPattern(200000, 1);
        const std::string NewBytes = C.NewBody ? BinaryPattern(260000, 2) : OldBytes;
        const std::string OldBody = Files.Write("old", OldBytes);
        const std::string NewBody = Files.Write("new", NewBytes);
        TFaultServer Server(Script({Answer(OldBody, OldDate, "", C.ETag1),
                                    Answer(OldBody, OldDate, R"("close_after": 50000)", C.ETag1),
                                    Answer(NewBody, C.Date, "", C.ETag2)}));
        TTempDir Dir;
        const std::string Target = Dir.File("f.exe");
        auto Client = NewResumeClient();
        TRecorder First, Second;
        EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, First.Callback(), 0, nullptr),
                  -1);
        ASSERT_EQ(GetFileSize64(Target + ".tmp"), 50000);
        ASSERT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, Second.Callback(), 0, nullptr), 0)
            << Second.MessageOf(dsFail);
        const auto Sent = Gets(Server);
        ASSERT_EQ(Sent.size(), 2u);
        EXPECT_FALSE(Sent[1].HasHeader("Range"));
        EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(NewBytes));
        EXPECT_EQ(Second.Reports[1].Position, 0);
    }
}

// The file changes after the HEAD was answered: the HEAD still names the old version, so the client
// asks for the rest, but If-Range names the old version and the server answers 200 with the new file.
TEST(Resume, FileSwitchedAfterTheHeadGivesTheNewFileWhole) {
    TTempDir Files;
    const std::string OldBytes = BinaryPattern(200000, 1);
    const std::string NewBytes = BinaryPattern(230000, 9);
    const std::string OldBody = Files.Write("old", OldBytes);
    const std::string NewBody = Files.Write("new", NewBytes);
    TFaultServer Server(Script({Answer(OldBody, OldDate), Answer(NewBody, NewDate)}));
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    Dir.Write("f.exe.tmp", OldBytes.substr(0, 80000));
    Dir.Write("f.exe.sdc", StateText("200000", platform::FormatDateTimeIso(DateOf(1700000000))));
    TRecorder R;
    ASSERT_EQ(NewResumeClient()->DownloadFile(Server.BaseUrl() + "/f.exe", Target, R.Callback(), 0, nullptr),
              0)
        << R.MessageOf(dsFail);
    const auto Sent = Gets(Server);
    ASSERT_EQ(Sent.size(), 1u);
    EXPECT_EQ(Sent[0].Header("Range"), "bytes=80000-");
    EXPECT_EQ(Sent[0].Header("If-Range"), OldDate) << "the date is the validator without a strong ETag";
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(NewBytes));
    EXPECT_EQ(GetFileWriteTime(Target), DateOf(1700003600));
    EXPECT_EQ(R.Reports[1].Position, 0) << "positions count from 0 again";
    EXPECT_EQ(R.Reports.back().Size, 230000);
    EXPECT_FALSE(IsFilePresent(Dir.File("f.exe.sdc")));
}

// A resumed request that the server answers with 200 restarts the temporary file at byte 0 instead of
// appending a second copy; a 206 for another range than the asked one is refused.
TEST(Resume, AnswersThatDoNotContinueTheFile) {
    TTempDir Files;
    const std::string Bytes = BinaryPattern(120000, 4);
    const std::string Body = Files.Write("a", Bytes);
    struct TCase {
        const char* Name;
        std::string GetAnswer;
        std::int32_t Result;
    };
    const TCase Cases[] = {
        {"range ignored: 200 with the whole file", Answer(Body, OldDate, R"("range": "ignore")"), 0},
        {"206 starting elsewhere",
         Answer(
             Body, OldDate,
             R"("range": "ignore", "status": 206, "headers": [["Content-Range", "bytes 0-119999/120000"]])"),
         -1},
        {"206 of another length",
         Answer(
             Body, OldDate,
             R"("range": "ignore", "status": 206, "headers": [["Content-Range", "bytes 40000-119999/130000"]])"),
         -1},
        {"206 without Content-Range", Answer(Body, OldDate, R"("range": "ignore", "status": 206)"), -1},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TFaultServer Server(Script({Answer(Body, OldDate), C.GetAnswer}));
        TTempDir Dir;
        const std::string Target = Dir.File("f.exe");
        Dir.Write("f.exe.tmp", Bytes.substr(0, 40000));
        Dir.Write("f.exe.sdc", StateText("120000", platform::FormatDateTimeIso(DateOf(1700000000))));
        TRecorder R;
        EXPECT_EQ(
            NewResumeClient()->DownloadFile(Server.BaseUrl() + "/f.exe", Target, R.Callback(), 0, nullptr),
            C.Result);
        ASSERT_EQ(Gets(Server).size(), 1u);
        EXPECT_EQ(Gets(Server)[0].Header("Range"), "bytes=40000-");
        if (C.Result == 0) {
            EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
            EXPECT_EQ(R.Reports[1].Position, 0);
        } else {
            EXPECT_EQ(R.MessageOf(dsFail), "服务器返回的数据范围与请求不符！");
            EXPECT_FALSE(IsFilePresent(Target));
            EXPECT_EQ(ReadFile(Target + ".tmp"), Bytes.substr(0, 40000)) << "the part already there stays";
        }
    }
}

// A server that answers a resumed request with a 206 for another range cannot continue the part: that run
// fails, and the next one asks for the whole file instead of the same range again and again.
TEST(Resume, ARangeAnsweredWronglyIsNotAskedForAgain) {
    TTempDir Files;
    const std::string Bytes = BinaryPattern(120000, 4);
    const std::string Body = Files.Write("a", Bytes);
    // Every GET gets the whole file as a 206: right without a range, wrong for a resumed request.
    const std::string Whole206 = Answer(
        Body, OldDate,
        R"("range": "ignore", "status": 206, "headers": [["Content-Range", "bytes 0-119999/120000"]])");
    TFaultServer Server(Script({Answer(Body, OldDate), Whole206, Answer(Body, OldDate), Whole206}));
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    Dir.Write("f.exe.tmp", Bytes.substr(0, 40000));
    Dir.Write("f.exe.sdc", StateText("120000", platform::FormatDateTimeIso(DateOf(1700000000))));
    auto Client = NewResumeClient();
    TRecorder First, Second;
    EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, First.Callback(), 0, nullptr), -1);
    EXPECT_EQ(First.MessageOf(dsFail), "服务器返回的数据范围与请求不符！");
    EXPECT_FALSE(IsFilePresent(Target));
    ASSERT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, Second.Callback(), 0, nullptr), 0)
        << Second.MessageOf(dsFail);
    const auto Sent = Gets(Server);
    ASSERT_EQ(Sent.size(), 2u);
    EXPECT_EQ(Sent[0].Header("Range"), "bytes=40000-");
    EXPECT_FALSE(Sent[1].HasHeader("Range"));
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
}

// A stop at a progress report inside the loop: result 1, both side files stay, and the next run asks for
// the rest from the temporary file's size.
TEST(Resume, StopDuringTheTransferThenTheNextRunContinues) {
    TTempDir Files;
    const std::string Bytes = BinaryPattern(512 * 1024, 8);
    const std::string Body = Files.Write("a", Bytes);
    TFaultServer Server(Script({Answer(Body, OldDate, R"("trickle": {"bytes": 8192, "delay_ms": 40})")}));
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    auto Client = NewResumeClient();
    TRecorder First;
    First.StopWhen = [](const TReport& R) { return R.Status == dsProgress && R.Position > 0; };
    EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, First.Callback(), 0, nullptr), 1);
    EXPECT_THAT(First.Statuses(), ::testing::MatchesRegex("BPPE"));
    EXPECT_EQ(First.Reports.back().ResultCode, 1);
    const std::int64_t Kept = GetFileSize64(Target + ".tmp");
    EXPECT_GT(Kept, 0);
    EXPECT_EQ(Kept, First.Reports[2].Position);
    EXPECT_TRUE(IsFilePresent(Dir.File("f.exe.sdc")));

    TRecorder Second;
    ASSERT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, Second.Callback(), 0, nullptr), 0)
        << Second.MessageOf(dsFail);
    const auto Sent = Gets(Server);
    ASSERT_EQ(Sent.size(), 2u);
    EXPECT_EQ(Sent[1].Header("Range"), "bytes=" + std::to_string(Kept) + "-");
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    // Reports inside the loop come only after 500 ms of a window; speed and remaining time follow once a
    // window closed.
    bool SawMeasured = false;
    for (const TReport& R : Second.Reports) {
        if (R.Status == dsProgress && R.Speed > 0) {
            SawMeasured = true;
            EXPECT_GE(R.RemainTime, 0);
        }
    }
    EXPECT_TRUE(SawMeasured);
}

// The hook sees the request before the resume decision, and the values it leaves govern the rest; when
// it handled the decision, its start offset and resume flag are taken as they are.
TEST(Resume, BeforeDownloadHookSeesAndSteersTheTransfer) {
    TTempDir Files;
    const std::string Bytes = BinaryPattern(90000, 3);
    const std::string Body = Files.Write("a", Bytes);
    TFaultServer Server(Script({Answer(Body, OldDate)}));
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    Dir.Write("f.exe.tmp", Bytes.substr(0, 30000)); // no state file: only the hook can resume it
    auto Client = NewResumeClient();
    std::string SeenObject, SeenFile, SeenVerb;
    std::uint32_t SeenStart = 99, SeenLength = 0;
    bool SeenResume = true, SeenHandled = true;
    Client->SetOnBeforeDownload([&](std::shared_ptr<IHttpClient> Sender, std::string& ObjectName,
                                    std::string& FileName, std::int32_t& Tag, std::string Verb,
                                    IHttpHeaders*&, std::uint32_t& StartPos, std::uint32_t& ContentLength,
                                    bool& IsResume, bool& Handled) {
        EXPECT_EQ(Sender.get(), Client.get());
        SeenObject = ObjectName, SeenFile = FileName, SeenVerb = Verb;
        SeenStart = StartPos, SeenLength = ContentLength, SeenResume = IsResume, SeenHandled = Handled;
        Tag = 77;
        StartPos = 30000;
        IsResume = true;
        Handled = true;
    });
    TRecorder R;
    ASSERT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, R.Callback(), 1, nullptr), 0)
        << R.MessageOf(dsFail);
    EXPECT_EQ(SeenObject, "/f.exe");
    EXPECT_EQ(SeenFile, Target);
    EXPECT_EQ(SeenVerb, "GET");
    EXPECT_EQ(SeenStart, 0u);
    EXPECT_EQ(SeenLength, 90000u);
    EXPECT_FALSE(SeenResume);
    EXPECT_FALSE(SeenHandled);
    EXPECT_EQ(R.Reports.front().Tag, 1);
    EXPECT_EQ(R.Reports.back().Tag, 77);
    EXPECT_EQ(Gets(Server).back().Header("Range"), "bytes=30000-");
    EXPECT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
}

// A hook that resumes on its own and leaves no length: the 206's complete length is the entity's, so a body
// that ends early (its connection closed, no Content-Length) is no complete file.
TEST(Resume, AHookWithoutALengthIsHeldToThe206sCompleteLength) {
    TTempDir Files;
    const std::string Bytes = BinaryPattern(90000, 3);
    const std::string Body = Files.Write("a", Bytes);
    TFaultServer Server(Script(
        {Answer(Body, OldDate), Answer(Body, OldDate, R"("content_length": "omit", "close_after": 20000)")}));
    TTempDir Dir;
    const std::string Target = Dir.File("f.exe");
    Dir.Write("f.exe.tmp", Bytes.substr(0, 30000));
    auto Client = NewResumeClient();
    Client->SetOnBeforeDownload([](std::shared_ptr<IHttpClient>, std::string&, std::string&, std::int32_t&,
                                   std::string, IHttpHeaders*&, std::uint32_t& StartPos,
                                   std::uint32_t& ContentLength, bool& IsResume, bool& Handled) {
        StartPos = 30000;
        ContentLength = 0;
        IsResume = true;
        Handled = true;
    });
    TRecorder R;
    EXPECT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, R.Callback(), 0, nullptr), -1);
    EXPECT_EQ(Gets(Server).back().Header("Range"), "bytes=30000-");
    EXPECT_EQ(R.MessageOf(dsFail), "下载文件与服务器上记录的大小不一致，请重试!");
    EXPECT_FALSE(IsFilePresent(Target));
    EXPECT_EQ(ReadFile(Target + ".tmp"), Bytes.substr(0, 50000));
}
