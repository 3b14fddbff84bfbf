#include "platform/Inet.h"

#include "platform/HttpText.h"
#include "platform/InetCommon.h"
#include "platform/LastError.h"
#include "platform/Text.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace platform::inet {

namespace {

using TClock = std::chrono::steady_clock;

// libcurl's receive buffer: fewer, larger receives and polls.
constexpr long CurlBufferSize = 512 * 1024;
// The body held between the network and the caller: about two reads of the caller's chunk size.
constexpr std::size_t RingCapacity = 256 * 1024;
constexpr long MaxRedirects = 10;
// The longest single wait: the stop check is asked at least this often while a call waits.
constexpr int MaxPollMs = 100;

using common::Fail;
using common::TSettings;

void InitCurlOnce() {
    static std::once_flag Once;
    std::call_once(Once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

class TSession {
public:
    TSettings FSettings;
};

// The connection cache of one connection handle: libcurl's multi handle, owned by the connection and lent
// to every request opened on it, so that the requests use one TCP (and TLS) connection in turn. A request
// keeps the cache alive while it lives, so closing the connection first is harmless.
class TConnectionCache {
public:
    TConnectionCache() : FMulti(curl_multi_init()) {}
    ~TConnectionCache() {
        if (FMulti) {
            curl_multi_cleanup(FMulti);
        }
    }
    TConnectionCache(const TConnectionCache&) = delete;
    TConnectionCache& operator=(const TConnectionCache&) = delete;

    CURLM* Multi() const { return FMulti; }

private:
    CURLM* FMulti;
};

class TConnection {
public:
    TSettings FSettings;
    std::shared_ptr<TConnectionCache> FCache = std::make_shared<TConnectionCache>();
};

class TRequest {
public:
    TRequest(TSettings Settings, std::shared_ptr<TConnectionCache> Cache)
        : FSettings(std::move(Settings)), FCache(std::move(Cache)), FMulti(FCache->Multi()) {}
    ~TRequest() { Release(); }
    TRequest(const TRequest&) = delete;
    TRequest& operator=(const TRequest&) = delete;

    TSettings FSettings;
    std::shared_ptr<TConnectionCache> FCache;
    std::string FVerb;
    std::string FObjectName;
    std::uint32_t FFlags = 0;
    common::THeaderLines FHeaders;

    CURLM* FMulti = nullptr;
    CURL* FEasy = nullptr;
    curl_slist* FHeaderList = nullptr;
    bool FInMulti = false;
    char FErrorBuffer[CURL_ERROR_SIZE] = {};
    std::string FBody;

    // State of the current exchange.
    bool FSent = false;
    bool FHeadersDone = false;
    bool FDone = false;
    CURLcode FResult = CURLE_OK;
    bool FPaused = false;
    bool FRedirectRefused = false;
    int FStickyError = 0;
    int FStatusCode = 0;
    std::string FStatusText;
    std::vector<std::string> FBlock; // header lines of the current response block, without line ends
    bool FBlockHasLocation = false;
    // A 401 or 407 block: final unless libcurl answers the challenge with a new request.
    bool FChallengePending = false;
    std::string FLocation;
    std::vector<std::string> FFinalHeaders;
    std::vector<char> FRing;
    std::size_t FRingStart = 0;
    std::size_t FRingEnd = 0;
    TClock::time_point FLastActivity;

    void Release() {
        if (FInMulti) {
            curl_multi_remove_handle(FMulti, FEasy);
            FInMulti = false;
        }
        if (FEasy) {
            curl_easy_cleanup(std::exchange(FEasy, nullptr));
        }
        if (FHeaderList) {
            curl_slist_free_all(std::exchange(FHeaderList, nullptr));
        }
    }

    void ResetExchange() {
        if (FInMulti) {
            curl_multi_remove_handle(FMulti, FEasy);
            FInMulti = false;
        }
        FSent = false;
        FHeadersDone = false;
        FDone = false;
        FResult = CURLE_OK;
        FPaused = false;
        FRedirectRefused = false;
        FStickyError = 0;
        FStatusCode = 0;
        FStatusText.clear();
        FBlock.clear();
        FBlockHasLocation = false;
        FChallengePending = false;
        FLocation.clear();
        FFinalHeaders.clear();
        FRingStart = FRingEnd = 0;
        FErrorBuffer[0] = 0;
    }

    bool IsSecure() const { return (FFlags & INTERNET_FLAG_SECURE) != 0; }
    bool IsHead() const { return SameText(FVerb, "HEAD"); }
    bool StopRequested() const { return FSettings.StopCheck && FSettings.StopCheck(); }
    bool FollowsRedirects() const { return (FFlags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0; }
    std::size_t Buffered() const { return FRingEnd - FRingStart; }

    void EndBlock() {
        const bool Interim =
            (FStatusCode >= 100 && FStatusCode < 200 && FStatusCode != 101) ||
            (FStatusCode >= 300 && FStatusCode < 400 && FBlockHasLocation && FollowsRedirects());
        if (Interim) {
            return;
        }
        if (FStatusCode == 401 || FStatusCode == 407) {
            // libcurl may answer the challenge with credentials in a new request; the block is final
            // only when a body byte or the end of the transfer follows it instead.
            FChallengePending = true;
            return;
        }
        EndHeaders();
    }

    void EndHeaders() {
        FFinalHeaders = FBlock;
        FHeadersDone = true;
        FChallengePending = false;
    }

    // A redirect that leaves TLS for plain HTTP is not followed.
    bool RedirectAllowed() const { return !IsSecure() || common::RedirectKeepsTls(FLocation); }

    static std::size_t HeaderCallback(char* Data, std::size_t Size, std::size_t Count, void* User) {
        TRequest& R = *static_cast<TRequest*>(User);
        const std::size_t Bytes = Size * Count;
        R.FLastActivity = TClock::now();
        std::string Line(Data, Bytes);
        while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r')) {
            Line.pop_back();
        }
        if (R.FHeadersDone) {
            // Trailers of a chunked body: not part of the response headers.
            return Bytes;
        }
        if (http::ParseStatusLine(Line, R.FStatusCode, R.FStatusText)) {
            // A new response block: an interim one, a redirect or an answered challenge came before.
            R.FChallengePending = false;
            R.FBlock.clear();
            R.FBlockHasLocation = false;
            R.FLocation.clear();
            R.FBlock.push_back(Line);
            return Bytes;
        }
        if (Line.empty()) {
            if (R.FStatusCode >= 300 && R.FStatusCode < 400 && R.FBlockHasLocation && R.FollowsRedirects() &&
                !R.RedirectAllowed()) {
                R.FRedirectRefused = true;
                return 0; // ends the transfer
            }
            R.EndBlock();
            return Bytes;
        }
        std::string Name, Value;
        if (http::SplitHeaderLine(Line, Name, Value) && SameText(Name, "Location")) {
            R.FBlockHasLocation = true;
            R.FLocation = Value;
        }
        R.FBlock.push_back(Line);
        return Bytes;
    }

    static std::size_t WriteCallback(char* Data, std::size_t Size, std::size_t Count, void* User) {
        TRequest& R = *static_cast<TRequest*>(User);
        const std::size_t Bytes = Size * Count;
        R.FLastActivity = TClock::now();
        if (!R.FHeadersDone) {
            // The first body byte ends the headers.
            R.EndHeaders();
        }
        if (Bytes == 0) {
            return 0;
        }
        if (R.FRing.size() - R.FRingEnd < Bytes && R.FRingStart > 0) {
            std::memmove(R.FRing.data(), R.FRing.data() + R.FRingStart, R.Buffered());
            R.FRingEnd -= R.FRingStart;
            R.FRingStart = 0;
        }
        if (R.FRing.size() - R.FRingEnd < Bytes) {
            if (R.Buffered() > 0) {
                // The caller is behind: none of these bytes are taken; libcurl offers them again.
                R.FPaused = true;
                return CURL_WRITEFUNC_PAUSE;
            }
            R.FRing.resize(Bytes); // a single piece larger than the ring
        }
        std::memcpy(R.FRing.data() + R.FRingEnd, Data, Bytes);
        R.FRingEnd += Bytes;
        return Bytes;
    }

    // Runs the transfers of the connection a step: lets libcurl work and hands each request that ended
    // its end (the messages of the other requests on the connection included).
    void Perform() {
        int Running = 0;
        curl_multi_perform(FMulti, &Running);
        int Left = 0;
        while (CURLMsg* Msg = curl_multi_info_read(FMulti, &Left)) {
            char* Owner = nullptr;
            if (Msg->msg == CURLMSG_DONE &&
                curl_easy_getinfo(Msg->easy_handle, CURLINFO_PRIVATE, &Owner) == CURLE_OK && Owner) {
                reinterpret_cast<TRequest*>(Owner)->TransferEnded(Msg->data.result);
            }
        }
    }

    void TransferEnded(CURLcode Result) {
        FDone = true;
        FResult = Result;
        if (!FHeadersDone && FResult == CURLE_OK) {
            // No body (HEAD, 204, 304, a challenge left unanswered): the end of the transfer ends the
            // headers.
            EndHeaders();
        }
    }

    void Poll(TClock::time_point Deadline) {
        const auto Left =
            std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now()).count();
        const int Wait = static_cast<int>(std::clamp<long long>(Left, 1, MaxPollMs));
        curl_multi_poll(FMulti, nullptr, 0, Wait, nullptr);
    }

    int MapResult() const {
        if (FRedirectRefused) {
            return ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
        }
        switch (FResult) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_CONNECT:
            return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT:
            return ERROR_INTERNET_TIMEOUT;
        case CURLE_URL_MALFORMAT:
            return ERROR_INTERNET_INVALID_URL;
        case CURLE_TOO_MANY_REDIRECTS:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return ERROR_HTTP_REDIRECT_FAILED;
        case CURLE_PEER_FAILED_VERIFICATION: {
            const char* E = FErrorBuffer;
            if (std::strstr(E, "subject name") || std::strstr(E, "does not match") ||
                std::strstr(E, "hostname")) {
                return ERROR_INTERNET_SEC_CERT_CN_INVALID;
            }
            if (std::strstr(E, "expired") || std::strstr(E, "not yet valid")) {
                return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
            }
            if (std::strstr(E, "certificate problem")) {
                return ERROR_INTERNET_INVALID_CA;
            }
            return ERROR_INTERNET_SEC_CERT_ERRORS;
        }
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return ERROR_INTERNET_INVALID_CA;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
            return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        case CURLE_GOT_NOTHING:
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_HTTP2:
            return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_WRITE_ERROR:
            return ERROR_INTERNET_CONNECTION_ABORTED;
        default:
            return ERROR_INTERNET_INTERNAL_ERROR;
        }
    }

    bool Configure(const void* Body, std::size_t Length);
};

void TSessionDeleter::operator()(TSession* Session) const {
    delete Session;
}
void TConnectionDeleter::operator()(TConnection* Connection) const {
    delete Connection;
}
void TRequestDeleter::operator()(TRequest* Request) const {
    delete Request;
}

namespace {

template <typename T>
void SetOpt(CURL* Easy, CURLoption Option, T Value) {
    curl_easy_setopt(Easy, Option, Value);
}

} // namespace

bool TRequest::Configure(const void* Body, std::size_t Length) {
    if (!FEasy) {
        FEasy = curl_easy_init();
    } else {
        curl_easy_reset(FEasy);
    }
    if (!FMulti || !FEasy) {
        return Fail(ERROR_INTERNET_INTERNAL_ERROR);
    }
    if (FRing.size() != RingCapacity) {
        FRing.assign(RingCapacity, 0);
        FRing.shrink_to_fit();
    }
    const TSettings& S = FSettings;
    std::string Host = S.HostName;
    if (Host.find(':') != std::string::npos) {
        Host = "[" + Host + "]";
    }
    const std::string Url = std::string(IsSecure() ? "https://" : "http://") + Host + ":" +
                            std::to_string(S.Port) + common::EscapeObjectName(FObjectName);
    CURL* E = FEasy;
    SetOpt(E, CURLOPT_URL, Url.c_str());
    SetOpt(E, CURLOPT_PATH_AS_IS, 1L);
    SetOpt(E, CURLOPT_NOSIGNAL, 1L);
    // A stop while the host name is being resolved ends the wait at once: the resolver thread is left to
    // finish on its own (and free what it holds) instead of being waited for, which takes as long as the
    // name server does not answer.
    SetOpt(E, CURLOPT_QUICK_EXIT, 1L);
    SetOpt(E, CURLOPT_ERRORBUFFER, FErrorBuffer);
    SetOpt(E, CURLOPT_PRIVATE, reinterpret_cast<char*>(this));
    SetOpt(E, CURLOPT_BUFFERSIZE, CurlBufferSize);
    SetOpt(E, CURLOPT_PROTOCOLS_STR, "http,https");
    SetOpt(E, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    SetOpt(E, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(S.ConnectTimeout));
    SetOpt(E, CURLOPT_USERAGENT, S.Agent.c_str());
    SetOpt(E, CURLOPT_SSL_VERIFYPEER, 1L);
    SetOpt(E, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!S.CaFile.empty()) {
        SetOpt(E, CURLOPT_CAINFO, S.CaFile.c_str());
    }
    switch (S.AccessType) {
    case INTERNET_OPEN_TYPE_DIRECT:
        SetOpt(E, CURLOPT_PROXY, "");
        break;
    case INTERNET_OPEN_TYPE_PROXY:
        SetOpt(E, CURLOPT_PROXY, S.Proxy.c_str());
        SetOpt(E, CURLOPT_NOPROXY, "");
        if (!S.ProxyUserName.empty()) {
            SetOpt(E, CURLOPT_PROXYUSERNAME, S.ProxyUserName.c_str());
        }
        if (!S.ProxyPassword.empty()) {
            SetOpt(E, CURLOPT_PROXYPASSWORD, S.ProxyPassword.c_str());
        }
        SetOpt(E, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        break;
    default:
        // The system's configuration: libcurl reads http_proxy, https_proxy and no_proxy itself.
        SetOpt(E, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        break;
    }
    // Credentials answer a challenge (401, 407) only: nothing is sent to a server that did not ask.
    SetOpt(E, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
    SetOpt(E, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
    if (!S.UserName.empty()) {
        SetOpt(E, CURLOPT_USERNAME, S.UserName.c_str());
    }
    if (!S.Password.empty()) {
        SetOpt(E, CURLOPT_PASSWORD, S.Password.c_str());
    }
    if (FollowsRedirects()) {
        SetOpt(E, CURLOPT_FOLLOWLOCATION, 1L);
        SetOpt(E, CURLOPT_MAXREDIRS, MaxRedirects);
        SetOpt(E, CURLOPT_REDIR_PROTOCOLS_STR, IsSecure() ? "https" : "http,https");
    }

    const bool IsHead = this->IsHead();
    if (Body && Length > 0) {
        FBody.assign(static_cast<const char*>(Body), Length);
    } else {
        FBody.clear();
    }
    if (IsHead) {
        SetOpt(E, CURLOPT_NOBODY, 1L);
        if (FVerb != "HEAD") {
            SetOpt(E, CURLOPT_CUSTOMREQUEST, FVerb.c_str());
        }
    } else if (FBody.empty() && FVerb != "POST") {
        SetOpt(E, CURLOPT_HTTPGET, 1L);
        if (FVerb != "GET") {
            SetOpt(E, CURLOPT_CUSTOMREQUEST, FVerb.c_str());
        }
    } else {
        SetOpt(E, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(FBody.size()));
        SetOpt(E, CURLOPT_POSTFIELDS, FBody.data());
        if (FVerb != "POST") {
            SetOpt(E, CURLOPT_CUSTOMREQUEST, FVerb.c_str());
        }
    }

    if (FHeaderList) {
        curl_slist_free_all(std::exchange(FHeaderList, nullptr));
    }
    bool HasExpect = false;
    for (const auto& [Name, Line] : FHeaders) {
        HasExpect = HasExpect || SameText(Name, "Expect");
        curl_slist* Next = curl_slist_append(FHeaderList, Line.c_str());
        if (!Next) {
            return Fail(ERROR_INTERNET_INTERNAL_ERROR);
        }
        FHeaderList = Next;
    }
    if (!HasExpect) {
        // The body goes out at once; no waiting for a "100 Continue".
        curl_slist* Next = curl_slist_append(FHeaderList, "Expect:");
        if (!Next) {
            return Fail(ERROR_INTERNET_INTERNAL_ERROR);
        }
        FHeaderList = Next;
    }
    SetOpt(E, CURLOPT_HTTPHEADER, FHeaderList);
    SetOpt(E, CURLOPT_HEADERFUNCTION, &TRequest::HeaderCallback);
    SetOpt(E, CURLOPT_HEADERDATA, this);
    SetOpt(E, CURLOPT_WRITEFUNCTION, &TRequest::WriteCallback);
    SetOpt(E, CURLOPT_WRITEDATA, this);
    return true;
}

HSession InternetOpen(const std::string& Agent, std::uint32_t AccessType, const char* Proxy) {
    if (!common::KnownAccessType(AccessType)) {
        return nullptr;
    }
    InitCurlOnce();
    HSession Session(new TSession);
    Session->FSettings.Agent = Agent;
    Session->FSettings.AccessType = AccessType;
    if (AccessType == INTERNET_OPEN_TYPE_PROXY && Proxy) {
        Session->FSettings.Proxy = Proxy;
    }
    return Session;
}

bool InternetSetOption(TSession& Session, std::uint32_t Option, std::uint32_t Value) {
    return common::StoreOption(Session.FSettings, Option, Value);
}

void InternetSetStopCheck(TSession& Session, std::function<bool()> StopCheck) {
    Session.FSettings.StopCheck = std::move(StopCheck);
}

bool InternetSetOption(TSession& Session, std::uint32_t Option, const std::string& Value) {
    return common::StoreOption(Session.FSettings, Option, Value);
}

HConnection InternetConnect(TSession& Session, const std::string& HostName, std::uint16_t Port,
                            const std::string& UserName, const std::string& Password, std::uint32_t Service) {
    if (!common::ConnectionAllowed(HostName, Service)) {
        return nullptr;
    }
    HConnection Connection(new TConnection);
    Connection->FSettings = Session.FSettings;
    Connection->FSettings.HostName = HostName;
    Connection->FSettings.Port = Port;
    Connection->FSettings.UserName = UserName;
    Connection->FSettings.Password = Password;
    return Connection;
}

HRequest HttpOpenRequest(TConnection& Connection, const std::string& Verb, const std::string& ObjectName,
                         const std::string& Version, std::uint32_t Flags) {
    (void)Version; // always HTTP/1.1
    HRequest Request(new TRequest(Connection.FSettings, Connection.FCache));
    Request->FVerb = Verb.empty() ? std::string("GET") : Verb;
    Request->FObjectName = ObjectName;
    Request->FFlags = Flags;
    if (Request->FSettings.Port == 0) {
        Request->FSettings.Port =
            Request->IsSecure() ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    }
    return Request;
}

bool HttpAddRequestHeaders(TRequest& Request, const std::string& Line, std::uint32_t Modifiers) {
    return common::AddHeaderLine(Request.FHeaders, Line, Modifiers);
}

bool HttpSendRequest(TRequest& Request, const void* Body, std::size_t Length) {
    TRequest& R = Request;
    R.ResetExchange();
    if (!R.Configure(Body, Length)) {
        return false;
    }
    if (curl_multi_add_handle(R.FMulti, R.FEasy) != CURLM_OK) {
        return Fail(ERROR_INTERNET_INTERNAL_ERROR);
    }
    R.FInMulti = true;
    R.FSent = true;
    const auto Idle =
        std::chrono::milliseconds(std::max(R.FSettings.ReceiveTimeout, R.FSettings.SendTimeout));
    R.FLastActivity = TClock::now();
    for (;;) {
        R.Perform();
        // A HEAD waits for the end of its transfer too, so that its connection goes back to the cache
        // ready for the next request.
        if ((R.FHeadersDone && (R.FDone || !R.IsHead())) || R.FDone) {
            break;
        }
        if (R.StopRequested()) {
            R.ResetExchange();
            return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
        }
        const TClock::time_point Deadline = R.FLastActivity + Idle;
        if (TClock::now() >= Deadline) {
            R.ResetExchange();
            return Fail(ERROR_INTERNET_TIMEOUT);
        }
        R.Poll(Deadline);
    }
    if (!R.FHeadersDone) {
        const int Code = R.MapResult();
        R.ResetExchange();
        return Fail(Code);
    }
    return true;
}

namespace {

bool FindHeader(const TRequest& R, const std::string& Name, std::string& Value) {
    if (const std::optional<std::string> Found = http::FindHeader(R.FFinalHeaders, Name)) {
        Value = *Found;
        return true;
    }
    return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
}

const char* HeaderNameOf(std::uint32_t Level) {
    switch (Level) {
    case HTTP_QUERY_CONTENT_TYPE:
        return "Content-Type";
    case HTTP_QUERY_CONTENT_LENGTH:
        return "Content-Length";
    case HTTP_QUERY_DATE:
        return "Date";
    case HTTP_QUERY_LAST_MODIFIED:
        return "Last-Modified";
    case HTTP_QUERY_LOCATION:
        return "Location";
    case HTTP_QUERY_ACCEPT_RANGES:
        return "Accept-Ranges";
    case HTTP_QUERY_ETAG:
        return "ETag";
    default:
        return nullptr;
    }
}

} // namespace

bool HttpQueryInfo(TRequest& Request, std::uint32_t InfoLevel, std::string& Value) {
    if (!Request.FHeadersDone) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    }
    const std::uint32_t Level = InfoLevel & 0xFFFF;
    switch (Level) {
    case HTTP_QUERY_STATUS_CODE:
        Value = std::to_string(Request.FStatusCode);
        return true;
    case HTTP_QUERY_STATUS_TEXT:
        Value = Request.FStatusText;
        return true;
    case HTTP_QUERY_RAW_HEADERS_CRLF:
        Value.clear();
        for (const std::string& Line : Request.FFinalHeaders) {
            Value += Line;
            Value += "\r\n";
        }
        Value += "\r\n";
        return true;
    default:
        if (const char* Name = HeaderNameOf(Level)) {
            return FindHeader(Request, Name, Value);
        }
        return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
    }
}

bool HttpQueryHeader(TRequest& Request, const std::string& Name, std::string& Value) {
    if (!Request.FHeadersDone) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    }
    return FindHeader(Request, Name, Value);
}

bool InternetReadFile(TRequest& Request, void* Buffer, std::size_t ToRead, std::size_t& Read) {
    TRequest& R = Request;
    Read = 0;
    if (!R.FSent || !R.FHeadersDone) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    }
    if (R.FStickyError != 0) {
        return Fail(R.FStickyError);
    }
    char* Out = static_cast<char*>(Buffer);
    const auto Idle = std::chrono::milliseconds(R.FSettings.DataReceiveTimeout);
    // The idle time counts while the caller waits in here, not while it works between reads.
    TClock::time_point Deadline = TClock::now() + Idle;
    while (Read < ToRead) {
        const std::size_t Take = std::min(ToRead - Read, R.Buffered());
        if (Take > 0) {
            std::memcpy(Out + Read, R.FRing.data() + R.FRingStart, Take);
            R.FRingStart += Take;
            Read += Take;
            if (R.FRingStart == R.FRingEnd) {
                R.FRingStart = R.FRingEnd = 0;
            }
            Deadline = TClock::now() + Idle;
            continue;
        }
        if (R.FPaused) {
            // Clear the flag first: resuming may deliver data (and pause again) before it returns.
            R.FPaused = false;
            curl_easy_pause(R.FEasy, CURLPAUSE_CONT);
            continue;
        }
        if (R.FDone) {
            if (R.FResult != CURLE_OK) {
                R.FStickyError = R.MapResult();
                if (Read == 0) {
                    return Fail(R.FStickyError);
                }
            }
            break;
        }
        const std::size_t Before = R.Buffered();
        R.Perform();
        if (R.Buffered() != Before || R.FDone || R.FPaused) {
            continue;
        }
        const bool Stop = R.StopRequested();
        if (Stop || TClock::now() >= Deadline) {
            R.FStickyError = Stop ? ERROR_INTERNET_OPERATION_CANCELLED : ERROR_INTERNET_TIMEOUT;
            if (Read == 0) {
                return Fail(R.FStickyError);
            }
            break;
        }
        R.Poll(Deadline);
    }
    return true;
}

} // namespace platform::inet
