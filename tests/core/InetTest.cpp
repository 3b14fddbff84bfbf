// platform/inet against real servers on loopback: pull-mode reads, time-outs, redirects, TLS checks,
// access types and the header and status queries.
#include "platform/Inet.h"
#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "tests/support/Environment.h"
#include "tests/support/FaultServer.h"
#include "tests/support/NginxServer.h"
#include "tests/support/Platform.h"
#include "tests/support/UnansweredPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#ifndef _WIN32
#include <unistd.h>
#endif

using namespace platform;
using namespace platform::inet;
using testsupport::OverWinInet;
using testsupport::SetEnvironment;
using testsupport::TFaultServer;
using testsupport::TNginxServer;

namespace {

#ifdef _WIN32
constexpr long PageKiB = 4;
#else
const long PageKiB = ::sysconf(_SC_PAGESIZE) / 1024;
#endif

class InetTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* Name :
             {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            SetEnvironment(Name, nullptr);
        }
    }
    void TearDown() override { SetUp(); }
};

struct TOpen {
    HSession Session;
    HConnection Connection;
    HRequest Request;
};

TOpen Open(unsigned short Port, const std::string& Verb, const std::string& Path, std::uint32_t Flags = 0,
           std::uint32_t Access = INTERNET_OPEN_TYPE_DIRECT, const char* Proxy = nullptr,
           std::uint32_t TimeOut = 0, const std::string& Host = "127.0.0.1") {
    TOpen O;
    O.Session = InternetOpen("inet-test", Access, Proxy);
    if (TimeOut != 0) {
        for (std::uint32_t Option :
             {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
              INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
            InternetSetOption(*O.Session, Option, TimeOut);
        }
    }
    O.Connection = InternetConnect(*O.Session, Host, Port, "", "", INTERNET_SERVICE_HTTP);
    O.Request = HttpOpenRequest(*O.Connection, Verb, Path, "HTTP/1.1", Flags);
    return O;
}

std::uint64_t Status(TRequest& R) {
    std::uint64_t S = 0;
    EXPECT_TRUE(HttpQueryInfoNumber(R, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, S));
    return S;
}

std::string ReadAll(TRequest& R, std::size_t Chunk = 131072) {
    std::string Body, Buffer(Chunk, '\0');
    for (int i = 0; i < 100000; ++i) {
        std::size_t N = 0;
        if (!InternetReadFile(R, Buffer.data(), Buffer.size(), N) || N == 0) {
            break;
        }
        Body.append(Buffer, 0, N);
    }
    return Body;
}

// Under Wine too: the Windows program is a Linux process.
long ResidentKiB() {
    FILE* F = std::fopen("/proc/self/statm", "r");
    long Pages = 0, Resident = 0;
    if (F) {
        if (std::fscanf(F, "%ld %ld", &Pages, &Resident) != 2) {
            Resident = 0;
        }
        std::fclose(F);
    }
    return Resident * PageKiB;
}

double SecondsSince(std::chrono::steady_clock::time_point T) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - T).count();
}

} // namespace

TEST_F(InetTest, ReadsNeverHoldTheWholeBody) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: the resident size says nothing here";
#endif
    TNginxServer Nginx;
    const std::size_t Size = 96u << 20;
    {
        const std::string Body = testsupport::BinaryPattern(Size, 7);
        Nginx.AddFile("big.bin", Body);
    }
    const std::string Body = testsupport::ReadFile(Nginx.Root() + "/big.bin");
    TOpen O = Open(Nginx.Port(), "GET", "/big.bin");
    const long Before = ResidentKiB();
    ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0)) << GetLastError();
    EXPECT_EQ(Status(*O.Request), 200u);
    std::string Buffer(131072, '\0');
    std::size_t Offset = 0, N = 0;
    long Peak = 0;
    bool Same = true;
    for (int i = 0; i < 10000; ++i) {
        ASSERT_TRUE(InternetReadFile(*O.Request, Buffer.data(), Buffer.size(), N));
        if (N == 0) {
            break;
        }
        if (Offset + N < Size) {
            EXPECT_EQ(N, Buffer.size()) << "a read fills the caller's whole chunk";
        }
        Same = Same && Offset + N <= Size && Body.compare(Offset, N, Buffer, 0, N) == 0;
        Offset += N;
        if (i == 1) {
            // The caller dawdles: nginx must wait, not fill our memory.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        Peak = std::max(Peak, ResidentKiB() - Before);
    }
    EXPECT_EQ(Offset, Size);
    EXPECT_TRUE(Same) << "byte-exact";
    EXPECT_LT(Peak, 16 * 1024) << "KiB held by the request at its peak";
}

TEST_F(InetTest, ARefusedConnectionFailsTheSend) {
    const unsigned short Port = testsupport::FreeLoopbackPort();
    TOpen O = Open(Port, "GET", "/");
    EXPECT_FALSE(HttpSendRequest(*O.Request, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    std::uint64_t S = 0;
    EXPECT_FALSE(HttpQueryInfoNumber(*O.Request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, S));
}

TEST_F(InetTest, AStallBeforeTheHeadersHitsTheTimeOut) {
    TFaultServer Server(R"({"responses": [{"stall_before_ms": 4000, "body": "late"}]})");
    TOpen O = Open(Server.Port(), "GET", "/", 0, INTERNET_OPEN_TYPE_DIRECT, nullptr, 300);
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_FALSE(HttpSendRequest(*O.Request, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
    EXPECT_LT(SecondsSince(Start), 3.0);
}

TEST_F(InetTest, AReadThatHitsTheTimeOutReturnsItsBytesAndFailsNext) {
    TFaultServer Server(R"({"responses": [{"body": ")" + std::string(5000, 'a') +
                        R"(", "stall_after": 1000, "stall_ms": 4000}]})");
    TOpen O = Open(Server.Port(), "GET", "/", 0, INTERNET_OPEN_TYPE_DIRECT, nullptr, 300);
    ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
    std::string Buffer(65536, '\0');
    std::size_t N = 0;
    const auto Start = std::chrono::steady_clock::now();
    ASSERT_TRUE(InternetReadFile(*O.Request, Buffer.data(), Buffer.size(), N));
    EXPECT_EQ(N, 1000u);
    EXPECT_FALSE(InternetReadFile(*O.Request, Buffer.data(), Buffer.size(), N));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
    EXPECT_EQ(N, 0u);
    EXPECT_LT(SecondsSince(Start), 3.0);
}

TEST_F(InetTest, ASlowTrickleIsNotATimeOut) {
    // 20 pieces 100 ms apart with a 300 ms idle time-out: every piece resets the deadline.
    TFaultServer Server(R"({"responses": [{"body": ")" + std::string(200, 'b') +
                        R"(", "trickle": {"bytes": 10, "delay_ms": 100}}]})");
    TOpen O = Open(Server.Port(), "GET", "/", 0, INTERNET_OPEN_TYPE_DIRECT, nullptr, 300);
    ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
    EXPECT_EQ(ReadAll(*O.Request), std::string(200, 'b'));
}

TEST_F(InetTest, ABodyCutShortFailsTheReadAfterItsBytes) {
    TFaultServer Server(R"({"responses": [{"body": ")" + std::string(3000, 'c') +
                        R"(", "close_after": 1200}]})");
    TOpen O = Open(Server.Port(), "GET", "/");
    ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
    std::string Buffer(65536, '\0');
    std::size_t N = 0;
    ASSERT_TRUE(InternetReadFile(*O.Request, Buffer.data(), Buffer.size(), N));
    EXPECT_EQ(N, 1200u);
    EXPECT_FALSE(InternetReadFile(*O.Request, Buffer.data(), Buffer.size(), N));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CONNECTION_ABORTED);
}

TEST_F(InetTest, RedirectsAreFollowedUnlessTheFlagSaysNo) {
    TFaultServer Other(R"({"responses": [{"body": "elsewhere"}]})");
    TFaultServer Server(R"({"routes": {"/a": [{"redirect": "/b"}], "/b": [{"body": "final",
        "headers": [["X-Final", "yes"]]}], "/dir/rel": [{"redirect": "b?q=1"}],
        "/far": [{"status": 303, "redirect": ")" +
                        Other.BaseUrl() + R"(/there?x=1"}]}, "responses": [{"body": "other path"}]})");
    {
        // A relative location and one on another server (a POST answered with 303 goes on as a GET).
        TOpen O = Open(Server.Port(), "GET", "/dir/rel");
        ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(ReadAll(*O.Request), "other path");
        ASSERT_EQ(Server.Requests().size(), 2u);
        EXPECT_EQ(Server.Requests()[1].Target, "/dir/b?q=1");
        TOpen Far = Open(Server.Port(), "POST", "/far");
        ASSERT_TRUE(HttpSendRequest(*Far.Request, "form", 4)) << GetLastError();
        EXPECT_EQ(Status(*Far.Request), 200u);
        EXPECT_EQ(ReadAll(*Far.Request), "elsewhere");
        ASSERT_EQ(Other.Requests().size(), 1u);
        EXPECT_EQ(Other.Requests()[0].Method, "GET");
        EXPECT_EQ(Other.Requests()[0].Target, "/there?x=1");
        EXPECT_EQ(Other.Requests()[0].Body, "");
    }
    {
        TOpen O = Open(Server.Port(), "GET", "/a");
        ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(Status(*O.Request), 200u);
        std::string Raw;
        ASSERT_TRUE(HttpQueryInfo(*O.Request, HTTP_QUERY_RAW_HEADERS_CRLF, Raw));
        EXPECT_EQ(Raw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << Raw;
        EXPECT_NE(Raw.find("X-Final: yes\r\n"), std::string::npos);
        EXPECT_EQ(Raw.find("302"), std::string::npos) << "only the final response's headers";
        EXPECT_EQ(Raw.substr(Raw.size() - 4), "\r\n\r\n");
        EXPECT_EQ(ReadAll(*O.Request), "final");
    }
    {
        TOpen O = Open(Server.Port(), "GET", "/a", INTERNET_FLAG_NO_AUTO_REDIRECT);
        ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(Status(*O.Request), 302u);
        std::string Location;
        EXPECT_TRUE(HttpQueryInfo(*O.Request, HTTP_QUERY_LOCATION, Location));
        EXPECT_EQ(Location, "/b");
    }
}

TEST_F(InetTest, HttpsVerifiesTheCertificateAndRefusesARedirectToHttp) {
    testsupport::TTempDir Dir;
    std::string Cert, Key;
    testsupport::MakeSelfSignedCertificate(Dir, Cert, Key);
    TFaultServer Plain(R"({"responses": [{"body": "plain"}]})");
    TFaultServer Tls(R"({"routes": {"/down": [{"redirect": ")" + Plain.BaseUrl() +
                         R"(/x"}], "/up": [{"redirect": "/ok"}]}, "responses": [{"body": "secure"}]})",
                     Cert, Key);
    {
        // An authority nobody trusts.
        TOpen O = Open(Tls.Port(), "GET", "/ok",
                       INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                           INTERNET_FLAG_IGNORE_CERT_DATE_INVALID);
        EXPECT_FALSE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_CA);
    }
    if (OverWinInet) {
        GTEST_SKIP() << "WinInet trusts the system's certificate store only (no INTERNET_OPTION_CA_FILE)";
    }
    auto OpenTrusted = [&](const std::string& Path, const std::string& Host) {
        TOpen O = Open(Tls.Port(), "GET", Path, INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP,
                       INTERNET_OPEN_TYPE_DIRECT, nullptr, 0, Host);
        InternetSetOption(*O.Session, INTERNET_OPTION_CA_FILE, Cert);
        O.Connection = InternetConnect(*O.Session, Host, Tls.Port(), "", "", INTERNET_SERVICE_HTTP);
        O.Request = HttpOpenRequest(*O.Connection, "GET", Path, "HTTP/1.1",
                                    INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP);
        return O;
    };
    {
        TOpen O = OpenTrusted("/up", "127.0.0.1");
        ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0)) << GetLastError();
        EXPECT_EQ(Status(*O.Request), 200u);
        EXPECT_EQ(ReadAll(*O.Request), "secure");
    }
    {
        TOpen O = OpenTrusted("/down", "127.0.0.1");
        EXPECT_FALSE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
        EXPECT_TRUE(Plain.Requests().empty()) << "nothing may go out in the clear";
    }
    {
        // The certificate names 127.0.0.1 and localhost.test, not "localhost".
        TOpen O = OpenTrusted("/ok", "localhost");
        EXPECT_FALSE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_SEC_CERT_CN_INVALID);
    }
}

TEST_F(InetTest, AccessTypesDecideAboutTheProxy) {
    TNginxServer Nginx;
    Nginx.AddFile("f.txt", "from nginx");
    TFaultServer Proxy(R"({"responses": [{"body": "from proxy"}]})");
    const std::string Via = "http://127.0.0.1:" + std::to_string(Nginx.Port()) + "/f.txt";
    SetEnvironment("http_proxy", Proxy.BaseUrl().c_str());
    SetEnvironment("no_proxy", "127.0.0.1");
    // The proxied request comes first: Wine's WinInet would send it on a connection to the target that an
    // earlier direct request left open.
    {
        // A named proxy goes past no_proxy.
        const std::string ProxyAddress = "127.0.0.1:" + std::to_string(Proxy.Port());
        TOpen O = Open(Nginx.Port(), "GET", "/f.txt", 0, INTERNET_OPEN_TYPE_PROXY, ProxyAddress.c_str());
        ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(ReadAll(*O.Request), "from proxy");
        ASSERT_EQ(Proxy.Requests().size(), 1u);
        EXPECT_EQ(Proxy.Requests()[0].Target, Via);
    }
    {
        TOpen O = Open(Nginx.Port(), "GET", "/f.txt", 0, INTERNET_OPEN_TYPE_DIRECT);
        ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(ReadAll(*O.Request), "from nginx") << "direct ignores http_proxy";
    }
    // The preconfigured type takes the proxy environment variables; WinInet takes the system's settings.
    if (!OverWinInet) {
        {
            TOpen O = Open(Nginx.Port(), "GET", "/f.txt", 0, INTERNET_OPEN_TYPE_PRECONFIG);
            ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
            EXPECT_EQ(ReadAll(*O.Request), "from nginx") << "no_proxy honoured";
        }
        SetEnvironment("no_proxy", nullptr);
        TOpen O = Open(Nginx.Port(), "GET", "/f.txt", 0, INTERNET_OPEN_TYPE_PRECONFIG);
        ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(ReadAll(*O.Request), "from proxy") << "preconfigured honours http_proxy";
        ASSERT_EQ(Proxy.Requests().size(), 2u);
        EXPECT_EQ(Proxy.Requests()[1].Target, Via);
    }
}

// Credentials of the server (the connection's) and of the proxy (the session's) go out only in answer to
// a challenge of the one that asks: a server or proxy that does not ask never sees them.
TEST_F(InetTest, CredentialsAnswerAChallengeOnly) {
    const std::string Challenge401 =
        R"({"status": 401, "reason": "Unauthorized", "headers": [["WWW-Authenticate", "Basic realm=\"m\""]], "body": "denied"})";
    const std::string Challenge407 =
        R"({"status": 407, "reason": "Proxy Authentication Required", "headers": [["Proxy-Authenticate", "Basic realm=\"p\""]]})";
    struct TCase {
        const char* Name;
        bool ViaProxy;
        std::string Answers;       // the JSON list of answers
        std::uint64_t FinalStatus; // the status the request ends with
        std::string FinalBody;
        std::vector<std::string> Authorization;      // per request received
        std::vector<std::string> ProxyAuthorization; // per request received
    };
    const TCase Cases[] = {
        {"server that does not ask", false, R"([{"body": "open"}])", 200, "open", {""}, {""}},
        {"server that asks",
         false,
         "[" + Challenge401 + R"(, {"body": "welcome"}])",
         200,
         "welcome",
         {"", "Basic dTpw"},
         {"", ""}},
        {"server that refuses the credentials too",
         false,
         "[" + Challenge401 + "]",
         401,
         "denied",
         {"", "Basic dTpw"},
         {"", ""}},
        {"proxy that does not ask", true, R"([{"body": "via proxy"}])", 200, "via proxy", {""}, {""}},
        {"proxy that asks",
         true,
         "[" + Challenge407 + R"(, {"body": "via proxy"}])",
         200,
         "via proxy",
         {"", ""},
         {"", "Basic cHU6cHA="}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TFaultServer Server(R"({"responses": )" + C.Answers + "}");
        const std::string ProxyAddress = "127.0.0.1:" + std::to_string(Server.Port());
        HSession Session = C.ViaProxy ? InternetOpen("t", INTERNET_OPEN_TYPE_PROXY, ProxyAddress.c_str())
                                      : InternetOpen("t", INTERNET_OPEN_TYPE_DIRECT, nullptr);
        InternetSetOption(*Session, INTERNET_OPTION_USERNAME, std::string("pu"));
        InternetSetOption(*Session, INTERNET_OPTION_PASSWORD, std::string("pp"));
        HConnection Connection =
            C.ViaProxy
                ? InternetConnect(*Session, "mirror.invalid", 80, "", "", INTERNET_SERVICE_HTTP)
                : InternetConnect(*Session, "127.0.0.1", Server.Port(), "u", "p", INTERNET_SERVICE_HTTP);
        HRequest Request = HttpOpenRequest(*Connection, "GET", "/f.txt", "HTTP/1.1", 0);
        ASSERT_TRUE(HttpSendRequest(*Request, nullptr, 0)) << GetLastError();
        EXPECT_EQ(Status(*Request), C.FinalStatus);
        EXPECT_EQ(ReadAll(*Request), C.FinalBody);
        const auto Received = Server.Requests();
        ASSERT_EQ(Received.size(), C.Authorization.size());
        for (std::size_t i = 0; i < Received.size(); ++i) {
            EXPECT_EQ(Received[i].Header("Authorization"), C.Authorization[i]) << "request " << i;
            EXPECT_EQ(Received[i].Header("Proxy-Authorization"), C.ProxyAuthorization[i]) << "request " << i;
        }
    }
}

TEST_F(InetTest, HeaderLinesAreAddedOrReplacedAndBadOnesRefused) {
    TFaultServer Server(R"({"responses": [{"body": "x"}]})");
    TOpen O = Open(Server.Port(), "GET", "/h");
    const std::uint32_t AddReplace = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;
    EXPECT_TRUE(HttpAddRequestHeaders(*O.Request, "X-A:1", AddReplace));
    EXPECT_TRUE(HttpAddRequestHeaders(*O.Request, "x-a:2", AddReplace));
    EXPECT_TRUE(HttpAddRequestHeaders(*O.Request, "X-B:  keeps blanks  ", AddReplace));
    EXPECT_FALSE(HttpAddRequestHeaders(*O.Request, "no colon", AddReplace));
    EXPECT_EQ(GetLastError(), ERROR_HTTP_INVALID_HEADER);
    EXPECT_FALSE(HttpAddRequestHeaders(*O.Request, " :empty name", AddReplace));
    EXPECT_FALSE(HttpAddRequestHeaders(*O.Request, "X-C:a\r\nX-Injected:1", AddReplace));
    ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
    const auto Requests = Server.Requests();
    ASSERT_EQ(Requests.size(), 1u);
    EXPECT_EQ(Requests[0].Header("X-A"), "2");
    EXPECT_FALSE(Requests[0].HasHeader("X-Injected"));
    bool SawB = false;
    for (const std::string& Line : Requests[0].HeaderLines) {
        // WinInet writes each line anew as "Name: value", without the value's outer blanks.
        SawB = SawB || Line == (OverWinInet ? "X-B: keeps blanks" : "X-B:  keeps blanks  ");
    }
    EXPECT_TRUE(SawB);
}

TEST_F(InetTest, StatusAndHeaderQueries) {
    TFaultServer Server(R"({"routes": {
        "/big": [{"status": 200, "body": "0123456789", "content_length": 5000000000, "close_after": 10,
                  "last_modified": "Tue, 02 Jan 2024 03:04:05 GMT", "etag": "\"e1\""}],
        "/none": [{"status": 204, "reason": "Nothing Here", "content_length": "omit"}]}})");
    {
        TOpen O = Open(Server.Port(), "GET", "/big");
        ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
        std::uint64_t Length = 0;
        ASSERT_TRUE(
            HttpQueryInfoNumber(*O.Request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, Length));
        EXPECT_EQ(Length, 5000000000ull) << "64-bit";
        TSystemTime T;
        ASSERT_TRUE(
            HttpQueryInfoSystemTime(*O.Request, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, T));
        EXPECT_EQ(T.Year, 2024);
        EXPECT_EQ(T.Month, 1);
        EXPECT_EQ(T.Day, 2);
        EXPECT_EQ(T.Hour, 3);
        EXPECT_EQ(T.Minute, 4);
        EXPECT_EQ(T.Second, 5);
        std::string ETag;
        EXPECT_TRUE(HttpQueryInfo(*O.Request, HTTP_QUERY_ETAG, ETag));
        EXPECT_EQ(ETag, "\"e1\"");
        std::string Text;
        EXPECT_TRUE(HttpQueryInfo(*O.Request, HTTP_QUERY_STATUS_TEXT, Text));
        EXPECT_EQ(Text, "OK");
    }
    {
        TOpen O = Open(Server.Port(), "GET", "/none");
        ASSERT_TRUE(HttpSendRequest(*O.Request, nullptr, 0));
        EXPECT_EQ(Status(*O.Request), 204u);
        std::string Text;
        EXPECT_TRUE(HttpQueryInfo(*O.Request, HTTP_QUERY_STATUS_TEXT, Text));
        EXPECT_EQ(Text, "Nothing Here");
        std::uint64_t Length = 0;
        EXPECT_FALSE(
            HttpQueryInfoNumber(*O.Request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, Length));
        EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
        TSystemTime T;
        EXPECT_FALSE(
            HttpQueryInfoSystemTime(*O.Request, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, T));
        std::string Buffer(16, '\0');
        std::size_t N = 1;
        EXPECT_TRUE(InternetReadFile(*O.Request, Buffer.data(), Buffer.size(), N));
        EXPECT_EQ(N, 0u);
    }
}

// The stop check ends every wait for the network within a second: connecting to a port that never
// answers, a server silent before its headers, a body that stops, and a slow line that fills a read only
// slowly. The time-outs here are far longer than the test.
TEST_F(InetTest, AStopCheckEndsEveryWaitWithinASecond) {
    testsupport::TTempDir Files;
    const std::string Body = Files.Write("body", testsupport::BinaryPattern(400000, 3));
    testsupport::TUnansweredPort Silent;
    TFaultServer Server(R"({"routes": {
        "/before": [{"stall_before_ms": 30000, "body": "late"}],
        "/body": [{"body_file": ")" +
                        Body + R"(", "stall_after": 1000, "stall_ms": 30000}],
        "/slow": [{"body_file": ")" +
                        Body + R"(", "trickle": {"bytes": 1000, "delay_ms": 100}}]}})");
    struct TCase {
        const char* Name;
        unsigned short Port;
        const char* Path;
        bool StopsInTheRead; // else in the send
    };
    const TCase Cases[] = {
        {"connecting to a port that never answers", Silent.Port(), "/", false},
        {"a server silent before its headers", Server.Port(), "/before", false},
        {"a body that stops", Server.Port(), "/body", true},
        {"a slow line", Server.Port(), "/slow", true},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::atomic<bool> Stop{false};
        TOpen O = Open(C.Port, "GET", C.Path, 0, INTERNET_OPEN_TYPE_DIRECT, nullptr, 60000);
        InternetSetStopCheck(*O.Session, [&] { return Stop.load(); });
        O.Connection = InternetConnect(*O.Session, "127.0.0.1", C.Port, "", "", INTERNET_SERVICE_HTTP);
        O.Request = HttpOpenRequest(*O.Connection, "GET", C.Path, "HTTP/1.1", 0);
        std::chrono::steady_clock::time_point StoppedAt;
        std::thread Stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            StoppedAt = std::chrono::steady_clock::now();
            Stop = true;
        });
        const bool Sent = HttpSendRequest(*O.Request, nullptr, 0);
        int Error = GetLastError();
        std::size_t Total = 0;
        if (Sent) {
            std::string Buffer(131072, '\0');
            std::size_t N = 0;
            while (InternetReadFile(*O.Request, Buffer.data(), Buffer.size(), N) && N > 0) {
                Total += N;
            }
            Error = GetLastError();
        }
        const auto Ended = std::chrono::steady_clock::now();
        Stopper.join();
        EXPECT_EQ(Sent, C.StopsInTheRead);
        EXPECT_EQ(Error, ERROR_INTERNET_OPERATION_CANCELLED);
        const double Latency = std::chrono::duration<double>(Ended - StoppedAt).count();
        std::printf("stop latency, %s: %.0f ms\n", C.Name, Latency * 1000);
        EXPECT_LT(Latency, 1.0);
        if (C.StopsInTheRead) {
            EXPECT_GT(Total, 0u) << "the bytes that came before the stop are handed out";
        }
    }
}

// The requests of one connection handle share one TCP connection when the server keeps it open, as nginx
// does; another connection handle opens its own.
TEST_F(InetTest, RequestsOfOneConnectionShareItsTcpConnection) {
    TNginxServer Nginx;
    Nginx.AddFile("f.bin", testsupport::BinaryPattern(300000, 4));
    HSession Session = InternetOpen("t", INTERNET_OPEN_TYPE_DIRECT, nullptr);
    HConnection Connection =
        InternetConnect(*Session, "127.0.0.1", Nginx.Port(), "", "", INTERNET_SERVICE_HTTP);
    {
        HRequest Head = HttpOpenRequest(*Connection, "HEAD", "/f.bin", "HTTP/1.1", 0);
        ASSERT_TRUE(HttpSendRequest(*Head, nullptr, 0));
        EXPECT_EQ(Status(*Head), 200u);
    }
    {
        HRequest Get = HttpOpenRequest(*Connection, "GET", "/f.bin", "HTTP/1.1", 0);
        ASSERT_TRUE(HttpSendRequest(*Get, nullptr, 0));
        EXPECT_EQ(ReadAll(*Get).size(), 300000u);
    }
    {
        HConnection Other =
            InternetConnect(*Session, "127.0.0.1", Nginx.Port(), "", "", INTERNET_SERVICE_HTTP);
        HRequest Get = HttpOpenRequest(*Other, "GET", "/f.bin", "HTTP/1.1", 0);
        ASSERT_TRUE(HttpSendRequest(*Get, nullptr, 0));
        EXPECT_EQ(ReadAll(*Get).size(), 300000u);
    }
    const auto Log = Nginx.AccessLog();
    ASSERT_EQ(Log.size(), 3u);
    EXPECT_EQ(Log[0].Method, "HEAD");
    EXPECT_EQ(Log[1].Method, "GET");
    EXPECT_EQ(Log[0].Connection, Log[1].Connection) << "the HEAD and the GET came on one connection";
    if (!OverWinInet) {
        // WinInet's cache of open connections serves the whole process.
        EXPECT_NE(Log[2].Connection, Log[1].Connection);
    }
}

TEST_F(InetTest, ASecondSendOnTheSameRequestIsANewExchange) {
    TFaultServer Server(R"({"responses": [{"status": 503, "reason": "Busy"}, {"body": "second"}]})");
    TOpen O = Open(Server.Port(), "POST", "/retry");
    ASSERT_TRUE(HttpSendRequest(*O.Request, "body", 4));
    EXPECT_EQ(Status(*O.Request), 503u);
    ASSERT_TRUE(HttpSendRequest(*O.Request, "body", 4));
    EXPECT_EQ(Status(*O.Request), 200u);
    EXPECT_EQ(ReadAll(*O.Request), "second");
    const auto Requests = Server.Requests();
    ASSERT_EQ(Requests.size(), 2u);
    EXPECT_EQ(Requests[0].Body, "body");
    EXPECT_EQ(Requests[1].Body, "body");
}

TEST_F(InetTest, UnknownAccessTypesAndServicesOpenNothing) {
    EXPECT_EQ(InternetOpen("a", 2, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_OPTION);
    HSession S = InternetOpen("a", INTERNET_OPEN_TYPE_DIRECT, nullptr);
    ASSERT_NE(S, nullptr);
    EXPECT_EQ(InternetConnect(*S, "h", 80, "", "", 1), nullptr);
    EXPECT_EQ(InternetConnect(*S, "", 80, "", "", INTERNET_SERVICE_HTTP), nullptr);
    EXPECT_FALSE(InternetSetOption(*S, 999, 1u));
}
