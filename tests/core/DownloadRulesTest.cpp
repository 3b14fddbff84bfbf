// The download's rules that need no server: the resume decision on the state file, the failure texts, and
// the readers of server text (status line, header lines, lengths, Content-Range, media type).
#include "platform/DateTime.h"
#include "platform/HttpText.h"
#include "platform/LastError.h"
#include "platform/Text.h"
#include "public/DownloadFailure.h"
#include "public/ResumeDecision.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

using namespace platform;

namespace {

const TDateTime Date = UnixTimeToDateTime(1700000000);
const std::string DateIso = "2023-11-14 22:13:20";

std::string State(const std::string& ContentLen, const std::string& LastModified,
                  const std::string& ETag = "") {
    std::string Text = "[server]\r\nContentLen=" + ContentLen + "\r\nLastModified=" + LastModified + "\r\n";
    return ETag.empty() ? Text : Text + "ETag=" + ETag + "\r\n";
}

} // namespace

TEST(ResumeDecision, Table) {
    using K = TResumeDecision;
    const TEntityFacts Server{100000, Date, ""};
    struct TCase {
        const char* Name;
        std::optional<std::string> StateText;
        TEntityFacts Server;
        std::optional<std::uint64_t> TempSize;
        TResumeDecision::TKind Kind;
        std::uint64_t StartPos;
    };
    const TCase Cases[] = {
        {"matching state, a shorter part: resume at its end", State("100000", DateIso), Server, 40000,
         K::Resume, 40000},
        {"matching state, a part of exactly the length: complete", State("100000", DateIso), Server, 100000,
         K::Complete, 100000},
        {"matching state, an empty part", State("100000", DateIso), Server, 0, K::StartOver, 0},
        {"matching state, a part longer than the length", State("100000", DateIso), Server, 100005,
         K::StartOver, 0},
        {"no state file", std::nullopt, Server, 40000, K::StartOver, 0},
        {"no temporary file from an earlier run", State("100000", DateIso), Server, std::nullopt,
         K::StartOver, 0},
        {"no length from the server", State("0", DateIso), TEntityFacts{0, Date, ""}, 40000, K::StartOver, 0},
        {"another length", State("100001", DateIso), Server, 40000, K::StartOver, 0},
        {"the length with a leading zero is another text", State("0100000", DateIso), Server, 40000,
         K::StartOver, 0},
        {"another date", State("100000", "2023-11-14 22:13:21"), Server, 40000, K::StartOver, 0},
        {"a state without a date, a server with one", "[server]\r\nContentLen=100000\r\n", Server, 40000,
         K::StartOver, 0},
        {"no date from the server: the stored one is not compared", State("100000", "1899-12-30 00:00:00"),
         TEntityFacts{100000, 0, ""}, 40000, K::Resume, 40000},
        {"the same entity tag (the reader drops its quotes)", State("100000", DateIso, "\"v1\""),
         TEntityFacts{100000, Date, "\"v1\""}, 40000, K::Resume, 40000},
        {"another entity tag", State("100000", DateIso, "\"v1\""), TEntityFacts{100000, Date, "\"v2\""},
         40000, K::StartOver, 0},
        {"an entity tag on the server's side only", State("100000", DateIso),
         TEntityFacts{100000, Date, "\"v2\""}, 40000, K::Resume, 40000},
        {"an entity tag in the state only", State("100000", DateIso, "\"v1\""), Server, 40000, K::Resume,
         40000},
        {"LF lines, other letter case, blanks",
         "[Server]\ncontentlen = 100000\nLASTMODIFIED=" + DateIso + "\n", Server, 1000, K::Resume, 1000},
        {"another section", "[client]\r\nContentLen=100000\r\nLastModified=" + DateIso + "\r\n", Server, 1000,
         K::StartOver, 0},
        {"not a state file at all",
         std::string("\x7f"
                     "ELF\x02\x01\x01",
                     7),
         Server, 1000, K::StartOver, 0},
        {"lengths past 4 GiB", State("5368709420", DateIso), TEntityFacts{5368709420ull, Date, ""},
         5368709120ull, K::Resume, 5368709120ull},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const TResumeDecision D = DecideResume(C.StateText, C.Server, C.TempSize);
        EXPECT_EQ(D.Kind, C.Kind);
        EXPECT_EQ(D.StartPos, C.StartPos);
    }
}

TEST(ResumeDecision, TheStateFileTextIsTheOneItWasAlwaysAndIsReadBack) {
    EXPECT_EQ(StateFileText(TEntityFacts{100000, Date, ""}), State("100000", DateIso));
    EXPECT_EQ(StateFileText(TEntityFacts{7, 0, "\"e\""}), State("7", "1899-12-30 00:00:00", "\"e\""));
    for (const TEntityFacts& F : {TEntityFacts{100000, Date, ""}, TEntityFacts{9, 0, "W/\"weak\""},
                                  TEntityFacts{1ull << 40, Date, "\"a b\""}}) {
        const TResumeDecision D = DecideResume(StateFileText(F), F, F.Length - 1);
        EXPECT_EQ(D.Kind, TResumeDecision::Resume) << F.Length;
    }
}

TEST(DownloadFailure, EveryKindHasItsText) {
    using K = TFailureKind;
    struct TCase {
        TDownloadFailure Failure;
        std::string Text;
    };
    const std::string NoConnection = SysErrorMessage(ERROR_INTERNET_CANNOT_CONNECT);
    const TCase Cases[] = {
        {{K::NoFileName, 0, ""}, "下载保存路径为空！"},
        {{K::Connect, 0, "URL类型不是HTTP/HTTPS！"}, "URL类型不是HTTP/HTTPS！"},
        {{K::ProbeFailed, 12029, ""}, "获取下载包信息失败:" + NoConnection},
        {{K::ProbeFailed, 0, ""}, "获取下载包信息失败!"},
        {{K::ProbeRefused, 404, "Not Found"}, "获取下载包信息失败!"},
        {{K::TooLarge, 0, ""}, "超过下载文件大小限制！"},
        {{K::NotAnInstaller, 0, ""}, "服务器返回的不是安装包，请检查网络是否需要登录！"},
        {{K::InUse, 0, ""}, "该文件正在被另一个下载任务使用！"},
        {{K::Headers, 0, ""}, "组织请求头失败！"},
        {{K::RequestFailed, 12029, "[12029]" + NoConnection}, "[12029]" + NoConnection},
        {{K::RequestFailed, 12029, ""}, "发送下载请求失败:" + NoConnection},
        {{K::RequestFailed, 0, ""}, "发送下载请求失败!"},
        {{K::RequestRefused, 503, "Busy"}, "[503]Busy"},
        {{K::RangeMismatch, 0, ""}, "服务器返回的数据范围与请求不符！"},
        {{K::SizeMismatch, 0, ""}, "下载文件与服务器上记录的大小不一致，请重试!"},
        {{K::CreateFile, ELOOP, ""}, "创建下载文件失败:" + SysErrorMessage(ELOOP)},
        {{K::CreateFile, 0, ""}, "创建下载文件失败!"},
        {{K::Buffer, ENOMEM, ""}, "创建缓冲区失败:" + SysErrorMessage(ENOMEM)},
        {{K::Read, 12030, ""}, "从网络读取文件失败:" + SysErrorMessage(12030)},
        {{K::Read, 0, ""}, "从网络读取文件失败!"},
        {{K::Write, EFBIG, ""}, "写文件失败:" + SysErrorMessage(EFBIG)},
        {{K::DeleteTarget, EISDIR, "/d/f.exe"}, "删除[/d/f.exe]文件失败:" + SysErrorMessage(EISDIR)},
        {{K::Rename, EPERM, "/d/f.exe.tmp"}, "重命名[/d/f.exe.tmp]文件失败:" + SysErrorMessage(EPERM)},
        {{K::Raised, 0, "callback broke"}, "[THttpClient.DownloadFile]callback broke"},
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(FailureText(C.Failure), C.Text);
        EXPECT_EQ(IsRefusal(C.Failure.Kind),
                  C.Failure.Kind == K::ProbeRefused || C.Failure.Kind == K::RequestRefused);
    }
}

TEST(HttpText, StatusLinesAndHeaderLines) {
    int Code = -1;
    std::string Reason;
    EXPECT_TRUE(http::ParseStatusLine("HTTP/1.1 206 Partial Content", Code, Reason));
    EXPECT_EQ(Code, 206);
    EXPECT_EQ(Reason, "Partial Content");
    EXPECT_TRUE(http::ParseStatusLine("HTTP/1.0 404", Code, Reason));
    EXPECT_EQ(Code, 404);
    EXPECT_EQ(Reason, "");
    EXPECT_TRUE(http::ParseStatusLine("HTTP/1.1 nonsense", Code, Reason));
    EXPECT_EQ(Code, 0);
    EXPECT_FALSE(http::ParseStatusLine("Content-Length: 5", Code, Reason));

    const std::vector<std::string> Block = {"HTTP/1.1 200 OK", "content-length:  42 ",
                                            "Location:",       "X-Empty-Name",
                                            ":no name",        "Content-Length: 43"};
    EXPECT_EQ(http::FindHeader(Block, "Content-Length"), "42") << "the first of the name, trimmed";
    EXPECT_EQ(http::FindHeader(Block, "location"), "");
    EXPECT_EQ(http::FindHeader(Block, "ETag"), std::nullopt);
    EXPECT_EQ(http::FindHeader(Block, "HTTP/1.1 200 OK"), std::nullopt);
    EXPECT_EQ(http::FindHeader(Block, ""), "no name");
}

TEST(HttpText, LengthsAndRanges) {
    struct TLength {
        const char* Text;
        bool Ok;
        std::uint64_t Value;
    };
    for (const TLength& C :
         {TLength{"0", true, 0}, TLength{"5368709420", true, 5368709420ull},
          TLength{"9999999999999999999", true, 9999999999999999999ull}, TLength{"", false, 0},
          TLength{"10000000000000000000", false, 0}, TLength{"-1", false, 0}, TLength{"+1", false, 0},
          TLength{" 1", false, 0}, TLength{"1e3", false, 0}}) {
        std::uint64_t V = 77;
        EXPECT_EQ(http::ParseLength(C.Text, V), C.Ok) << C.Text;
        EXPECT_EQ(V, C.Ok ? C.Value : 77u) << C.Text;
    }
    struct TRange {
        const char* Text;
        bool Ok;
        std::uint64_t First, Last;
        std::optional<std::uint64_t> Complete;
    };
    const TRange Ranges[] = {
        {"bytes 0-499/1234", true, 0, 499, 1234},
        {" bytes 100-199/* ", true, 100, 199, std::nullopt},
        {"bytes 5368709120-5368709419/5368709420", true, 5368709120ull, 5368709419ull, 5368709420ull},
        {"bytes 7-7/8", true, 7, 7, 8},
        {"bytes 8-7/9", false, 0, 0, std::nullopt},
        {"bytes 0-499/499", false, 0, 0, std::nullopt},
        {"bytes -1-499/1234", false, 0, 0, std::nullopt},
        {"bytes 0-499", false, 0, 0, std::nullopt},
        {"bytes */1234", false, 0, 0, std::nullopt},
        {"items 0-4/5", false, 0, 0, std::nullopt},
        {"bytes 0-4/5x", false, 0, 0, std::nullopt},
        {"bytes 0 -4/5", false, 0, 0, std::nullopt},
    };
    for (const TRange& C : Ranges) {
        http::TContentRange R;
        EXPECT_EQ(http::ParseContentRange(C.Text, R), C.Ok) << C.Text;
        if (C.Ok) {
            EXPECT_EQ(R.First, C.First) << C.Text;
            EXPECT_EQ(R.Last, C.Last) << C.Text;
            EXPECT_EQ(R.Complete, C.Complete) << C.Text;
        }
    }
}

TEST(HttpText, WebPagesAndTextHelpers) {
    for (const char* Type : {"text/html", "TEXT/HTML", " text/html ; charset=utf-8", "Text/Html;"}) {
        EXPECT_TRUE(http::IsHtmlMediaType(Type)) << Type;
    }
    for (const char* Type :
         {"", "application/octet-stream", "text/htmlx", "application/xhtml+xml", "text/plain"}) {
        EXPECT_FALSE(http::IsHtmlMediaType(Type)) << Type;
    }
    EXPECT_EQ(TrimBlanks(" \t\r\n\v\fa b\f "), "a b");
    EXPECT_EQ(TrimBlanksAndControls("\x01 a\x1f"), "a");
    EXPECT_TRUE(SameText("Content-Length", "content-LENGTH"));
    EXPECT_FALSE(SameText("Länge", "LÄNGE")) << "only ASCII letters have a case";
    EXPECT_FALSE(SameText("a", "ab"));
    EXPECT_EQ(FormatHttpDate(Date), "Tue, 14 Nov 2023 22:13:20 GMT");
    TSystemTime T;
    ASSERT_TRUE(ParseHttpDate(FormatHttpDate(Date), T));
    TDateTime Back = 0;
    ASSERT_TRUE(EncodeDateTime(T, Back));
    EXPECT_EQ(Back, Date);
}
