// The client's request operations against nginx and the fault server: what goes out, what comes back,
// and every failure text that can be reached here, each from a real cause.
#include "platform/FileSystem.h"
#include "platform/Inet.h"
#include "platform/LastError.h"
#include "public/HttpClientImpl.h"
#include "tests/support/Environment.h"
#include "tests/support/FaultServer.h"
#include "tests/support/NginxServer.h"
#include "tests/support/Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <utility>
#include <vector>

using testsupport::TFaultServer;
using testsupport::TNginxServer;
using testsupport::TRecordedRequest;

namespace {

const char* const FixedUserAgent =
    "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0) AppleWebKit/537.36 (KHTML, like "
    "Gecko) Chrome/30.0.1599.101 Safari/537.36";

class THeaders : public IHttpHeaders {
public:
    explicit THeaders(std::vector<std::pair<std::string, std::string>> Items) : FItems(std::move(Items)) {}
    std::int32_t Count() override { return static_cast<std::int32_t>(FItems.size()); }
    std::string Names(std::int32_t Index) override {
        return FItems.at(static_cast<std::size_t>(Index)).first;
    }
    void Add(const std::string& Name, const std::string& Value) override { FItems.emplace_back(Name, Value); }
    std::string Values(std::int32_t Index) override {
        return FItems.at(static_cast<std::size_t>(Index)).second;
    }

private:
    std::vector<std::pair<std::string, std::string>> FItems;
};

class TThrowingHeaders : public THeaders {
public:
    TThrowingHeaders() : THeaders({}) {}
    std::int32_t Count() override { return 1; }
    std::string Names(std::int32_t) override { throw std::runtime_error("boom"); }
};

class TResponseHeaders : public IHttpResponseHeaders {
public:
    void SetRawHeaders(const std::string& Raw, std::int32_t Reserved) override {
        FRaw = Raw;
        FReserved = Reserved;
        ++FCalls;
    }
    void SetLastModified(TDateTime Value) override { FLastModified.push_back(Value); }
    std::string GetRawHeaders() override { return FRaw; }
    TDateTime GetLastModified() override { return FLastModified.empty() ? 0 : FLastModified.back(); }

    std::string FRaw;
    std::int32_t FReserved = -1;
    int FCalls = 0;
    std::vector<TDateTime> FLastModified;
};

// A stream that fails as it is told to.
class TFailingStream : public TMemoryStream {
public:
    bool FailWrite = false;
    bool FailSize = false;
    bool Write(const void* Buffer, std::size_t Count, std::size_t& Done) override {
        if (FailWrite) {
            Done = 0;
            return false;
        }
        return TMemoryStream::Write(Buffer, Count, Done);
    }
    bool GetSize(std::int64_t& Size) override { return !FailSize && TMemoryStream::GetSize(Size); }
};

// The URL a proxy was asked for; Wine's WinInet names the default port in it (":80"), which says the same.
std::string ProxiedTarget(std::string Target) {
    const std::string::size_type Port = Target.find(":80/");
    if (testsupport::OverWinInet && Port != std::string::npos) {
        Target.erase(Port, 3);
    }
    return Target;
}

class RequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* Name : {"http_proxy", "https_proxy", "all_proxy", "no_proxy"}) {
            testsupport::SetEnvironment(Name, nullptr);
        }
        Client = std::make_shared<THttpClient>();
    }
    std::shared_ptr<THttpClient> Client;
};

} // namespace

TEST_F(RequestTest, HeadAndBinaryGetAgainstNginx) {
    TNginxServer Nginx;
    const std::string Body = testsupport::BinaryPattern(3 * 1024 * 1024 + 17, 3);
    const std::string File = Nginx.AddFile("Keltrima（山东）（完整安装包）.exe", Body);
    TDateTime Stamp;
    ASSERT_TRUE(platform::EncodeDateTime({2023, 6, 0, 15, 10, 20, 30, 0}, Stamp));
    ASSERT_TRUE(platform::SetFileWriteTime(File, Stamp));
    const std::string Url = Nginx.BaseUrl() + "/Keltrima（山东）（完整安装包）.exe";

    EXPECT_TRUE(Client->Head(Url, nullptr));
    EXPECT_FALSE(Client->Head(Nginx.BaseUrl() + "/missing.exe", nullptr));
    EXPECT_EQ(Client->GetLastError(), "[404]Not Found");

    TMemoryStream Stream;
    TResponseHeaders Received;
    ASSERT_TRUE(Client->GetToStream(Url, nullptr, &Received, &Stream)) << Stream.Data().substr(0, 200);
    EXPECT_TRUE(Stream.Data() == Body) << "byte-exact";
    EXPECT_EQ(Received.FCalls, 1);
    EXPECT_EQ(Received.FReserved, 0);
    EXPECT_EQ(Received.FRaw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(Received.FRaw.find("\r\nContent-Length: " + std::to_string(Body.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(Received.FRaw.substr(Received.FRaw.size() - 4), "\r\n\r\n");
    ASSERT_EQ(Received.FLastModified.size(), 2u) << "0 first, then the date";
    EXPECT_EQ(Received.FLastModified[0], 0);
    EXPECT_EQ(platform::FormatDateTimeIso(Received.FLastModified[1]), "2023-06-15 10:20:30");

    // Get decodes into a text and empties it first.
    std::string Text = "old";
    Nginx.AddFile("hello.txt", "你好, world\n");
    EXPECT_TRUE(Client->Get(Nginx.BaseUrl() + "/hello.txt", nullptr, nullptr, Text));
    EXPECT_EQ(Text, "你好, world\n");
}

TEST_F(RequestTest, BodiesArriveByteExact) {
    // nginx stores a PUT body as a file; the fault server records a POST body.
    TNginxServer Nginx;
    const std::string Body = testsupport::BinaryPattern(2 * 1024 * 1024 + 5, 9);
    std::string Response;
    // nginx answers "201 Created": only 200 and 206 count as success, but the body has arrived whole.
    EXPECT_FALSE(Client->Request("PUT", Nginx.BaseUrl() + "/dav/up.bin", nullptr, nullptr, Body, Response));
    EXPECT_EQ(Client->GetLastError(), "[201]Created") << Nginx.ErrorLog();
    EXPECT_TRUE(testsupport::ReadFile(Nginx.Root() + "/dav/up.bin") == Body);

    TFaultServer Server(R"({"responses": [{"body": "答复"}]})");
    EXPECT_TRUE(Client->Post(Server.BaseUrl() + "/p", nullptr, nullptr, Body, Response));
    EXPECT_EQ(Response, "答复");
    TMemoryStream Out;
    EXPECT_TRUE(Client->PostToStream(Server.BaseUrl() + "/p", nullptr, nullptr, "中文 text", &Out));
    EXPECT_EQ(Out.Data(), "答复");
    // A body stream is read from its current position.
    TMemoryStream Positioned(std::string("abcdef"));
    Positioned.Seek(2);
    EXPECT_TRUE(Client->PostStream(Server.BaseUrl() + "/p", nullptr, nullptr, &Positioned, Response));
    TMemoryStream Empty;
    TMemoryStream Out2;
    EXPECT_TRUE(Client->PostStreamToStream(Server.BaseUrl() + "/p", nullptr, nullptr, &Empty, &Out2));

    const auto Requests = Server.Requests();
    ASSERT_EQ(Requests.size(), 4u);
    for (const TRecordedRequest& R : Requests) {
        EXPECT_EQ(R.Method, "POST");
    }
    EXPECT_TRUE(Requests[0].Body == Body);
    EXPECT_EQ(Requests[0].Header("Content-Length"), std::to_string(Body.size()));
    EXPECT_FALSE(Requests[0].HasHeader("Expect")) << "the body goes out without waiting";
    EXPECT_EQ(Requests[1].Body, "中文 text");
    EXPECT_EQ(Requests[2].Body, "cdef");
    EXPECT_EQ(Requests[3].Body, "");
    EXPECT_EQ(Requests[3].Header("Content-Length"), "0");
}

TEST_F(RequestTest, TheRequestLineAndHeaderLinesAreTheFixedOnes) {
    TFaultServer Server(R"({"responses": [{"body": "ok"}]})");
    const std::string Base = Server.BaseUrl();
    std::string Response;
    THeaders Extra({{"  X-Trimmed \t", "  value keeps blanks "},
                    {"   ", "skipped"},
                    {"", "skipped too"},
                    {"X-Second", "2"}});
    EXPECT_TRUE(Client->Get(Base + "/a/%E4%B8%AD/中文 1.exe?x=1&y=2", &Extra, nullptr, Response));
    EXPECT_TRUE(Client->Head(Base, nullptr));
    EXPECT_TRUE(Client->Get(Base + "?q=1", nullptr, nullptr, Response));
    EXPECT_TRUE(Client->Post(Base + "/p", nullptr, nullptr, "x", Response));
    THeaders Override({{std::string("Content-type"), std::string("text/plain")}});
    EXPECT_TRUE(Client->Get(Base + "/o", &Override, nullptr, Response));

    const auto R = Server.Requests();
    ASSERT_EQ(R.size(), 5u);
    EXPECT_EQ(R[0].Method, "GET");
    EXPECT_EQ(R[0].Target, "/a/%E4%B8%AD/%E4%B8%AD%E6%96%87%201.exe?x=1&y=2");
    EXPECT_EQ(R[1].Method, "HEAD");
    EXPECT_EQ(R[1].Target, "/") << "a URL of a host alone asks for /";
    EXPECT_EQ(R[2].Target, "/?q=1");
    EXPECT_EQ(R[3].Method, "POST");
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(R[i].Header("User-Agent"), FixedUserAgent) << i;
        EXPECT_EQ(R[i].Header("Content-type"), "application/octet-stream") << i;
        EXPECT_FALSE(R[i].HasHeader("Range")) << i;
        EXPECT_FALSE(R[i].HasHeader("Accept-Ranges")) << i;
    }
    std::vector<std::string> Own;
    for (const std::string& Line : R[0].HeaderLines) {
        if (Line.rfind("X-", 0) == 0 || Line.find("skipped") != std::string::npos) {
            Own.push_back(Line);
        }
    }
    // WinInet writes each line anew as "Name: value", without the value's outer blanks.
    const std::vector<std::string> Expected =
        testsupport::OverWinInet ? std::vector<std::string>{"X-Trimmed: value keeps blanks", "X-Second: 2"}
                                 : std::vector<std::string>{"X-Trimmed:  value keeps blanks ", "X-Second:2"};
    EXPECT_EQ(Own, Expected);
    EXPECT_EQ(R[4].Header("Content-type"), "text/plain") << "a caller's line of the same name replaces ours";
}

TEST_F(RequestTest, RangeLinesOnlyWhenRangedFromAboveZero) {
    TFaultServer Server(R"({"responses": [{"body": "0123456789"}]})");
    struct TCase {
        bool Ranged;
        std::uint64_t From;
        const char* Range;
    } Cases[] = {{false, 0, nullptr},
                 {true, 0, nullptr},
                 {false, 500, nullptr},
                 {true, 500, "bytes=500-"},
                 {true, 5000000000ull, "bytes=5000000000-"}};
    for (const TCase& C : Cases) {
        namespace inet = platform::inet;
        inet::HSession S = inet::InternetOpen("t", inet::INTERNET_OPEN_TYPE_DIRECT, nullptr);
        inet::HConnection Conn = inet::InternetConnect(*S, "127.0.0.1", Server.Port(), "", "", 3);
        inet::HRequest Req = inet::HttpOpenRequest(*Conn, "GET", "/r", "HTTP/1.1", HttpRequestFlags);
        THeaders Caller({{std::string("Range"),
                          std::string("bytes=1-")}}); // the caller's own range line comes last and wins
        ASSERT_TRUE(AddRequestHeaders(*Req, C.Ranged && C.From == 500 ? &Caller : nullptr, C.Ranged, C.From));
        ASSERT_TRUE(inet::HttpSendRequest(*Req, nullptr, 0));
        const TRecordedRequest Last = Server.Requests().back();
        if (C.Range) {
            EXPECT_EQ(Last.Header("Accept-Ranges"), "bytes");
            EXPECT_EQ(Last.Header("Range"), C.Ranged && C.From == 500 ? "bytes=1-" : C.Range);
        } else {
            EXPECT_FALSE(Last.HasHeader("Range")) << C.From;
            EXPECT_FALSE(Last.HasHeader("Accept-Ranges")) << C.From;
        }
    }
}

TEST_F(RequestTest, StatusRulesRetriesAndVerbs) {
    TFaultServer Server(R"({"routes": {
        "/404": [{"status": 404, "reason": "Nothing Like That", "body": "not here"}],
        "/206": [{"status": 206, "reason": "Partial Content", "body": "part"}],
        "/302": [{"status": 302, "reason": "Found", "content_length": 0}],
        "/moved": [{"redirect": "/206"}]}})");
    const std::string Base = Server.BaseUrl();
    std::string Response;

    Client->SetRetryCount(3);
    EXPECT_FALSE(Client->Get(Base + "/404", nullptr, nullptr, Response));
    EXPECT_EQ(Client->GetLastError(), "[404]Nothing Like That");
    EXPECT_EQ(Response, "发送请求失败:[404]Nothing Like That");
    EXPECT_EQ(Server.Requests().size(), 3u) << "three attempts on the one request";

    Client->SetRetryCount(1);
    EXPECT_TRUE(Client->Get(Base + "/206", nullptr, nullptr, Response));
    EXPECT_EQ(Response, "part");
    EXPECT_EQ(Client->GetLastError(), "[404]Nothing Like That") << "LastError is never cleared on success";

    EXPECT_FALSE(Client->Get(Base + "/302", nullptr, nullptr, Response)) << "a 3xx not followed is a failure";
    EXPECT_EQ(Client->GetLastError(), "[302]Found");
    EXPECT_TRUE(Client->Get(Base + "/moved", nullptr, nullptr, Response))
        << "a redirect with Location is followed";
    EXPECT_EQ(Response, "part");

    // HEAD in any letter case reads no body and succeeds on the status alone.
    EXPECT_TRUE(Client->Request("hEaD", Base + "/206", nullptr, nullptr, "", Response));
    EXPECT_EQ(Response, "");
    EXPECT_EQ(Server.Requests().back().Method, "hEaD");
}

TEST_F(RequestTest, FailureTextsBeforeAnyTraffic) {
    TFaultServer Server(R"({"responses": [{"body": "never"}]})");
    const std::string Url = Server.BaseUrl() + "/x";
    struct TCase {
        const char* Name;
        std::string Url;
        int AccessType;
        int RetryCount;
        std::string Expected;
    } Cases[] = {
        {"empty", "", atPreconfig, 1, "URL地址为空！"},
        {"unparsable", "not a url", atPreconfig, 1, "解析URL失败！"},
        {"ftp", "ftp://files.invalid/x", atPreconfig, 1, "URL类型不是HTTP/HTTPS！"},
        {"access type 3", Url, 3, 1, "打开一个Internet连接失败:请求的选项无效"},
    };
    for (const TCase& C : Cases) {
        Client->SetAccessType(static_cast<THttpAccessType>(C.AccessType));
        Client->SetRetryCount(C.RetryCount);
        std::string Response = "stale";
        EXPECT_FALSE(Client->Get(C.Url, nullptr, nullptr, Response)) << C.Name;
        EXPECT_EQ(Response, C.Expected) << C.Name;
        TMemoryStream Stream(std::string("old content"));
        EXPECT_FALSE(Client->GetToStream(C.Url, nullptr, nullptr, &Stream));
        EXPECT_EQ(Stream.Data(), C.Expected) << "the stream is emptied before the text goes in";
    }
    // RetryCount 0: nothing is sent, and the text carries whatever LastError held.
    Client->SetAccessType(atDirect);
    Client->SetRetryCount(1);
    std::string Response;
    EXPECT_FALSE(Client->Get("http://127.0.0.1:1/", nullptr, nullptr, Response));
    Client->SetRetryCount(0);
    EXPECT_FALSE(Client->Get(Url, nullptr, nullptr, Response));
    EXPECT_EQ(Response, "发送请求失败:[12029]无法连接到服务器");
    Client->SetRetryCount(-1);
    EXPECT_FALSE(Client->Head(Url, nullptr));
    EXPECT_TRUE(Server.Requests().empty()) << "no request reached the server";
}

TEST_F(RequestTest, FailureTextsOfTheNetwork) {
    TFaultServer Server(R"({"routes": {
        "/cut": [{"body": ")" +
                        std::string(4000, 'c') + R"(", "close_after": 1500}],
        "/stall": [{"body": ")" +
                        std::string(4000, 's') + R"(", "stall_after": 700, "stall_ms": 5000}],
        "/late": [{"stall_before_ms": 5000}]}})");
    const std::string Base = Server.BaseUrl();
    Client->SetAccessType(atDirect);
    std::string Response;

    EXPECT_FALSE(Client->Get("http://127.0.0.1:" + std::to_string(testsupport::FreeLoopbackPort()) + "/",
                             nullptr, nullptr, Response));
    EXPECT_EQ(Response, "发送请求失败:[12029]无法连接到服务器");
    EXPECT_EQ(Client->GetLastError(), "[12029]无法连接到服务器");

    EXPECT_FALSE(Client->Get("http://no-such-host.invalid/x", nullptr, nullptr, Response));
    EXPECT_EQ(Response, "发送请求失败:[12007]无法解析服务器的名称或地址");

    EXPECT_FALSE(Client->Get(Base + "/cut", nullptr, nullptr, Response));
    EXPECT_EQ(Response, std::string(1500, 'c') + "读取响应报文失败：与服务器的连接意外终止");

    Client->SetTimeOut(400);
    auto Start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Client->Get(Base + "/stall", nullptr, nullptr, Response));
    EXPECT_EQ(Response, std::string(700, 's') + "读取响应报文失败：操作超时");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count(), 3.0);

    Start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Client->Head(Base + "/late", nullptr));
    EXPECT_EQ(Client->GetLastError(), "[12002]操作超时");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count(), 3.0);
}

TEST_F(RequestTest, HttpsRefusesAnUntrustedServer) {
    testsupport::TTempDir Dir;
    std::string Cert, Key;
    testsupport::MakeSelfSignedCertificate(Dir, Cert, Key);
    TFaultServer Tls(R"({"responses": [{"body": "forged"}]})", Cert, Key);
    std::string Response;
    Client->SetAccessType(atDirect);
    EXPECT_FALSE(Client->Get(Tls.BaseUrl() + "/setup.exe", nullptr, nullptr, Response));
    EXPECT_EQ(Response, "发送请求失败:[12045]证书颁发机构无效或不正确");
    EXPECT_TRUE(Tls.Requests().empty());
}

TEST_F(RequestTest, FailureTextsOfBuffersStreamsAndRaisedErrors) {
    TFaultServer Server(R"({"responses": [{"body": "payload"}]})");
    const std::string Url = Server.BaseUrl() + "/x";

    Client->SetBufferSize(0);
    std::string Response;
    EXPECT_FALSE(Client->Get(Url, nullptr, nullptr, Response));
    EXPECT_EQ(Response, "创建缓冲区失败:" + platform::SysErrorMessage(platform::ERROR_INVALID_PARAMETER));
    Client->SetBufferSize(131072);

    TFailingStream Out;
    Out.FailWrite = true;
    EXPECT_FALSE(Client->GetToStream(Url, nullptr, nullptr, &Out));
    EXPECT_EQ(Out.Data(), "") << "the stream refuses the text as well";

    // A body stream that cannot tell its size is an assertion failure, caught and tagged.
    TFailingStream Body;
    Body.FailSize = true;
    TMemoryStream Result;
    EXPECT_FALSE(Client->PostStreamToStream(Url, nullptr, nullptr, &Body, &Result));
    EXPECT_EQ(Result.Data().rfind("[THttpClient._HttpRequest]Assertion failure (", 0), 0u) << Result.Data();

    TThrowingHeaders Bad;
    EXPECT_FALSE(Client->Get(Url, &Bad, nullptr, Response));
    EXPECT_EQ(Response, "[THttpClient._HttpRequest]boom");
    // The request with the bad header list never went out; the others did.
    EXPECT_EQ(Server.Requests().size(), 2u);
}

TEST_F(RequestTest, StreamWriteFailureText) {
    // A stream that takes the text but not the body shows the write failure text.
    class TRefusesBody : public TMemoryStream {
    public:
        bool Write(const void* Buffer, std::size_t Count, std::size_t& Done) override {
            if (std::string(static_cast<const char*>(Buffer), Count) == "payload") {
                Done = 0;
                return false;
            }
            return TMemoryStream::Write(Buffer, Count, Done);
        }
    };
    TFaultServer Server(R"({"responses": [{"body": "payload"}]})");
    TRefusesBody Out;
    EXPECT_FALSE(Client->GetToStream(Server.BaseUrl(), nullptr, nullptr, &Out));
    EXPECT_EQ(Out.Data().rfind("将响应报文写入流失败：", 0), 0u) << Out.Data();
}

TEST_F(RequestTest, ProxyAccessTypesThroughTheClient) {
    TNginxServer Nginx;
    Nginx.AddFile("f.txt", "origin");
    TFaultServer Proxy(R"({"responses": [{"body": "via proxy"}]})");
    std::string Response;
    testsupport::SetEnvironment("http_proxy", Proxy.BaseUrl().c_str());
    Client->SetAccessType(atDirect);
    EXPECT_TRUE(Client->Get(Nginx.BaseUrl() + "/f.txt", nullptr, nullptr, Response));
    EXPECT_EQ(Response, "origin");
    // The preconfigured type takes the proxy environment variables; WinInet takes the system's settings.
    if (!testsupport::OverWinInet) {
        Client->SetAccessType(atPreconfig);
        EXPECT_TRUE(Client->Get(Nginx.BaseUrl() + "/f.txt", nullptr, nullptr, Response));
        EXPECT_EQ(Response, "via proxy");
    }
    testsupport::SetEnvironment("http_proxy", nullptr);

    Client->SetAccessType(atProxy);
    Client->SetProxy("127.0.0.1:" + std::to_string(Proxy.Port()));
    Client->SetProxyUser("pu");
    Client->SetProxyPassword("pp");
    EXPECT_TRUE(Client->Get("http://mirror.invalid/f.txt", nullptr, nullptr, Response));
    EXPECT_EQ(Response, "via proxy");
    const auto R = Proxy.Requests();
    ASSERT_FALSE(R.empty());
    EXPECT_EQ(R.size(), testsupport::OverWinInet ? 1u : 2u);
    EXPECT_EQ(ProxiedTarget(R.back().Target), "http://mirror.invalid/f.txt");
    // Nobody asked: neither the proxy nor the server behind it sees the credentials.
    EXPECT_FALSE(R.back().HasHeader("Proxy-Authorization"));
    EXPECT_FALSE(R.back().HasHeader("Authorization"));
}

// The proxy's credentials answer the proxy's challenge; without a user in the URL they are the
// connection's as well, and answer a challenge of the server behind the proxy.
TEST_F(RequestTest, ProxyCredentialsAnswerChallengesOnly) {
    TFaultServer Proxy(R"({"routes": {
        "/p.txt": [{"status": 407, "reason": "Proxy Authentication Required",
                    "headers": [["Proxy-Authenticate", "Basic realm=\"proxy\""]]}, {"body": "proxy let us in"}],
        "/s.txt": [{"status": 401, "reason": "Unauthorized",
                    "headers": [["WWW-Authenticate", "Basic realm=\"server\""]]}, {"body": "server let us in"}]}})");
    Client->SetAccessType(atProxy);
    Client->SetProxy("127.0.0.1:" + std::to_string(Proxy.Port()));
    Client->SetProxyUser("pu");
    Client->SetProxyPassword("pp");
    std::string Response;
    EXPECT_TRUE(Client->Get("http://mirror.invalid/p.txt", nullptr, nullptr, Response));
    EXPECT_EQ(Response, "proxy let us in");
    EXPECT_TRUE(Client->Get("http://mirror.invalid/s.txt", nullptr, nullptr, Response));
    EXPECT_EQ(Response, "server let us in");
    const auto R = Proxy.Requests();
    ASSERT_EQ(R.size(), 4u);
    EXPECT_FALSE(R[0].HasHeader("Proxy-Authorization"));
    EXPECT_EQ(R[1].Header("Proxy-Authorization"), "Basic cHU6cHA=");
    EXPECT_FALSE(R[2].HasHeader("Authorization"));
    EXPECT_EQ(R[3].Header("Authorization"), "Basic cHU6cHA=");
    for (const auto& Request : R) {
        EXPECT_EQ(ProxiedTarget(Request.Target).rfind("http://mirror.invalid/", 0), 0u) << Request.Target;
    }
}
