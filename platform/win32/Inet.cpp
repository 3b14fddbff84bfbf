// platform/inet over the Windows Internet functions themselves, in synchronous mode.
//
// WinInet's blocking calls (the send, the waits for body data) run on a helper thread of the request, and
// the caller's thread waits for them in steps of at most 100 ms, asking its stop check between the steps
// and keeping the read time-out as its own deadline. A call the caller gives up on (a stop, a time-out)
// has its request handle closed from the waiting side, which is WinInet's own way to end a blocking call on
// another thread; where WinInet lets the call run on until its own time-out (Wine does so while
// connecting), the caller has returned already and the helper ends on its own, holding only what it uses.
// This keeps to the synchronous calls, the best-trodden path of WinInet on Windows and under Wine alike;
// the asynchronous mode would need the same closing to cancel and brings callbacks on threads of its own.
//
// What WinInet would do differently from the promises of Inet.h is done here: redirects are followed by
// this file (so that an HTTPS request is never redirected to HTTP and a redirect goes to TLS only with the
// certificate checked), the flags that loosen certificate checks are never passed on, the 64-bit numbers
// and dates are read from the header text, and a body that ends before its Content-Length fails the read.
#include "platform/Inet.h"

#include "platform/HttpText.h"
#include "platform/InetCommon.h"
#include "platform/LastError.h"
#include "platform/Text.h"
#include "platform/UrlCrack.h"
#include "platform/win32/WideText.h"

// After Inet.h: wininet.h defines the names of its constants (ours keep their values) as macros.
#include "platform/win32/WindowsApi.h"

// The A/W choosing macros of wininet.h would rename the functions of Inet.h defined below.
#undef InternetOpen
#undef InternetConnect
#undef InternetSetOption
#undef HttpOpenRequest
#undef HttpAddRequestHeaders
#undef HttpSendRequest
#undef HttpQueryInfo

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace platform::inet {

namespace {

using TClock = std::chrono::steady_clock;
using common::Fail;
using common::TSettings;
using win32::Narrow;
using win32::Widen;

// The longest single wait: the stop check is asked at least this often while a call waits.
constexpr auto MaxWait = std::chrono::milliseconds(100);
constexpr int MaxRedirects = 10;
// A read finds at least this much data waiting on a fast line, and then waits for a piece of this size.
constexpr std::size_t FastLineAvailable = 8 * 1024;
constexpr std::size_t FastLinePiece = 64 * 1024;
// The caller's flags that are handed on: only TLS. Redirects are followed here, the flags that accept a
// doubtful certificate or a redirect from HTTPS to HTTP are not honoured, and WinInet's cache is never
// used (it would keep a copy of every download, and slow the transfer down while it writes it).
constexpr DWORD PassedFlags = INTERNET_FLAG_SECURE;
constexpr DWORD FixedFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                             INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                             INTERNET_FLAG_KEEP_CONNECTION;

// An absent text for an empty one: WinInet takes an empty user name for one that was given.
const wchar_t* OrNull(const std::wstring& Text) {
    return Text.empty() ? nullptr : Text.c_str();
}

// One WinInet handle. Its parent (the session of a connection, the connection of a request) stays open
// while it is, since WinInet closes the children of a handle with it.
class THandle {
public:
    THandle(HINTERNET Handle, std::shared_ptr<THandle> Parent)
        : FHandle(Handle), FParent(std::move(Parent)) {}
    ~THandle() { Close(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;

    void Set(HINTERNET Handle) {
        std::lock_guard<std::mutex> Lock(FMutex);
        FHandle = Handle;
    }
    // Null once closed.
    HINTERNET Get() {
        std::lock_guard<std::mutex> Lock(FMutex);
        return FHandle;
    }
    const std::shared_ptr<THandle>& Parent() const { return FParent; }
    // The last sign of the server on this handle (connected, request sent, response received), from the
    // status callback; none yet when empty.
    std::optional<TClock::time_point> LastActivity() const {
        const TClock::rep Ticks = FLastActivity.load();
        return Ticks == 0 ? std::nullopt : std::optional(TClock::time_point(TClock::duration(Ticks)));
    }
    void Touch() { FLastActivity = TClock::now().time_since_epoch().count(); }
    // Closes the handle once; a blocking call on it in another thread ends.
    void Close() {
        HINTERNET Handle = nullptr;
        {
            std::lock_guard<std::mutex> Lock(FMutex);
            Handle = std::exchange(FHandle, nullptr);
        }
        if (Handle) {
            InternetCloseHandle(Handle);
        }
    }

private:
    std::mutex FMutex;
    HINTERNET FHandle;
    std::shared_ptr<THandle> FParent;
    std::atomic<TClock::rep> FLastActivity{0};
};

// The status callback of every session: a request handle's context is its THandle, which lives while a
// call on the handle can report (the helper's job holds it).
void CALLBACK StatusCallback(HINTERNET, DWORD_PTR Context, DWORD Status, LPVOID, DWORD) {
    switch (Status) {
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
    case INTERNET_STATUS_REQUEST_SENT:
    case INTERNET_STATUS_RESPONSE_RECEIVED:
        if (Context != 0) {
            reinterpret_cast<THandle*>(Context)->Touch();
        }
        break;
    default:
        break;
    }
}

// The thread of a request that makes its blocking calls. A job may outlive the request: it holds shared
// pointers to whatever it touches, never the caller's buffers.
class THelper {
public:
    enum class TEnd { Done, Stopped, TimedOut };

    THelper() : FState(std::make_shared<TState>()) {
        FThread = std::thread([State = FState] { Loop(*State); });
    }
    ~THelper() {
        bool Busy = false;
        {
            TLock Lock(*FState);
            FState->Quit = true;
            Busy = FState->Busy;
        }
        WakeAllConditionVariable(&FState->Wake);
        if (Busy) {
            FThread.detach(); // a job given up on: it ends on its own
        } else {
            FThread.join();
        }
    }
    THelper(const THelper&) = delete;
    THelper& operator=(const THelper&) = delete;

    // Runs Job on the helper thread and waits until it ends, Stop answers true, or Deadline passes
    // (asked again at every step: a read moves it on as bytes arrive). On Stopped and TimedOut the job
    // runs on; the helper takes no further job.
    template <typename TDeadline>
    TEnd Run(std::function<void()> Job, const std::function<bool()>& Stop, TDeadline Deadline) {
        TLock Lock(*FState);
        FState->Job = std::move(Job);
        FState->Busy = true;
        WakeAllConditionVariable(&FState->Wake);
        for (;;) {
            if (!FState->Busy) {
                return TEnd::Done;
            }
            Lock.Unlock();
            const bool Stopped = Stop && Stop();
            Lock.Relock();
            if (!FState->Busy) {
                return TEnd::Done;
            }
            if (Stopped) {
                return TEnd::Stopped;
            }
            const TClock::time_point Now = TClock::now();
            const TClock::time_point Until = Deadline();
            if (Now >= Until) {
                return TEnd::TimedOut;
            }
            const auto Wait = std::chrono::ceil<std::chrono::milliseconds>(
                std::min(Until - Now, TClock::duration(MaxWait)));
            SleepConditionVariableSRW(&FState->Wake, &FState->Lock, static_cast<DWORD>(Wait.count()), 0);
        }
    }

private:
    // The system's own lock and condition variable: a job ends and the caller goes on within
    // microseconds, where a wake through the C++ library's threads (over Win32 events) costs a
    // millisecond or more a read under Wine.
    struct TState {
        SRWLOCK Lock = SRWLOCK_INIT;
        CONDITION_VARIABLE Wake = CONDITION_VARIABLE_INIT;
        std::function<void()> Job;
        bool Busy = false;
        bool Quit = false;
    };
    class TLock {
    public:
        explicit TLock(TState& State) : FLock(State.Lock) { AcquireSRWLockExclusive(&FLock); }
        ~TLock() {
            if (FHeld) {
                ReleaseSRWLockExclusive(&FLock);
            }
        }
        TLock(const TLock&) = delete;
        TLock& operator=(const TLock&) = delete;
        void Unlock() {
            ReleaseSRWLockExclusive(&FLock);
            FHeld = false;
        }
        void Relock() {
            AcquireSRWLockExclusive(&FLock);
            FHeld = true;
        }

    private:
        SRWLOCK& FLock;
        bool FHeld = true;
    };

    static void Loop(TState& State) {
        TLock Lock(State);
        for (;;) {
            while (!State.Quit && !State.Job) {
                SleepConditionVariableSRW(&State.Wake, &State.Lock, INFINITE, 0);
            }
            if (!State.Job) {
                return;
            }
            std::function<void()> Job = std::move(State.Job);
            State.Job = nullptr;
            Lock.Unlock();
            Job();
            Job = nullptr; // lets go of what the job held before the caller hears of its end
            Lock.Relock();
            State.Busy = false;
            WakeAllConditionVariable(&State.Wake);
        }
    }

    std::shared_ptr<TState> FState;
    std::thread FThread;
};

// The body read of one call of InternetReadFile, shared with the helper's job. The job writes at Got and
// beyond and publishes Got after the bytes, so the caller may take the first Got bytes at any time.
struct TRead {
    std::vector<char> Buffer;
    std::atomic<std::size_t> Got{0};
    std::atomic<TClock::rep> LastActivity{0};
    // Set by the job before it ends.
    bool Ended = false;
    DWORD Error = 0;
};

struct TSendResult {
    BOOL Ok = FALSE;
    DWORD Error = 0;
};

bool IsRedirect(std::uint64_t Status) {
    return Status == 301 || Status == 302 || Status == 303 || Status == 307 || Status == 308;
}

// A header query on the caller's thread (the headers are there: nothing waits). Name is the header's name
// for HTTP_QUERY_CUSTOM.
bool QueryText(HINTERNET Request, DWORD Level, const std::string& Name, std::string& Value) {
    if (!Request) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    }
    const std::wstring WideName = Widen(Name);
    std::vector<wchar_t> Buffer(std::max<std::size_t>(256, WideName.size() + 1), L'\0');
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        std::copy(WideName.begin(), WideName.end(), Buffer.begin());
        Buffer[WideName.size()] = L'\0';
        DWORD Bytes = static_cast<DWORD>(Buffer.size() * sizeof(wchar_t));
        DWORD Index = 0;
        if (HttpQueryInfoW(Request, Level, Buffer.data(), &Bytes, &Index)) {
            Value = Narrow(std::wstring(Buffer.data(), Bytes / sizeof(wchar_t)));
            return true;
        }
        const DWORD Error = ::GetLastError();
        if (Error != ERROR_INSUFFICIENT_BUFFER) {
            return Fail(static_cast<int>(Error));
        }
        Buffer.assign(Bytes / sizeof(wchar_t) + 1, L'\0');
    }
    return Fail(ERROR_INTERNET_INTERNAL_ERROR);
}

// The code a failed WinInet call leaves, as the code of ours: WinInet's own numbers pass unchanged.
int InternetError(DWORD Error) {
    switch (Error) {
    case ERROR_SUCCESS:
        return ERROR_INTERNET_INTERNAL_ERROR;
    case ERROR_INVALID_HANDLE:
    case ERROR_INTERNET_OPERATION_CANCELLED:
        // the handle was closed from the waiting side
        return ERROR_INTERNET_OPERATION_CANCELLED;
    default:
        return static_cast<int>(Error);
    }
}

} // namespace

class TSession {
public:
    TSettings FSettings;
    std::shared_ptr<THandle> FHandle;
};

class TConnection {
public:
    TSettings FSettings;
    std::shared_ptr<THandle> FHandle;
};

class TRequest {
public:
    TSettings FSettings;
    std::shared_ptr<THandle> FConnection;
    std::string FVerb;
    std::string FObjectName;
    std::uint32_t FFlags = 0;
    common::THeaderLines FHeaders;

    // The current exchange.
    std::unique_ptr<THelper> FHelper;
    std::shared_ptr<THandle> FHandle; // the request handle of the final response
    bool FSent = false;
    bool FHeadersDone = false;
    bool FBodyEnded = false;
    int FStickyError = 0;
    std::optional<std::uint64_t> FExpected; // the body's length, when the response announces one
    std::uint64_t FReceived = 0;
    std::shared_ptr<TRead> FRead;

    bool FollowsRedirects() const { return (FFlags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0; }

    void ResetExchange() {
        if (FHandle) {
            FHandle->Close();
            FHandle.reset();
        }
        FSent = false;
        FHeadersDone = false;
        FBodyEnded = false;
        FStickyError = 0;
        FExpected.reset();
        FReceived = 0;
    }

    THelper& Helper() {
        if (!FHelper) {
            FHelper = std::make_unique<THelper>();
        }
        return *FHelper;
    }

    // After a call given up on: the helper is left to its job and the handle closed under it.
    void GiveUp(const std::shared_ptr<THandle>& Handle) {
        Handle->Close();
        FHelper.reset();
    }

    // One exchange with the server on Handle; false with the error set.
    bool SendOnce(const std::shared_ptr<THandle>& Handle, const std::shared_ptr<const std::string>& Body) {
        auto Result = std::make_shared<TSendResult>();
        auto Job = [Handle, Body, Result] {
            HINTERNET H = Handle->Get();
            if (!H) {
                Result->Error = ERROR_INTERNET_OPERATION_CANCELLED;
                return;
            }
            Result->Ok =
                HttpSendRequestW(H, nullptr, 0, Body->empty() ? nullptr : const_cast<char*>(Body->data()),
                                 static_cast<DWORD>(Body->size()));
            Result->Error = Result->Ok ? 0 : ::GetLastError();
        };
        // The idle time counts from the last sign of the server; before the connection is made, from the
        // end of the connect time-out (which WinInet keeps itself). WinInet's own receive time-out is not
        // kept while it waits for the headers under Wine.
        const auto Idle =
            std::chrono::milliseconds(std::max(FSettings.SendTimeout, FSettings.ReceiveTimeout));
        const TClock::time_point Connecting =
            TClock::now() + std::chrono::milliseconds(FSettings.ConnectTimeout);
        const auto Deadline = [&Handle, Idle, Connecting] {
            return Handle->LastActivity().value_or(Connecting) + Idle;
        };
        switch (Helper().Run(Job, FSettings.StopCheck, Deadline)) {
        case THelper::TEnd::Stopped:
            GiveUp(Handle);
            return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
        case THelper::TEnd::TimedOut:
            GiveUp(Handle);
            return Fail(ERROR_INTERNET_TIMEOUT);
        case THelper::TEnd::Done:
            break;
        }
        return Result->Ok ? true : Fail(InternetError(Result->Error));
    }

    std::shared_ptr<THandle> Open(const std::shared_ptr<THandle>& Connection, const std::string& Verb,
                                  const std::string& Path, DWORD Flags) {
        const std::wstring WideVerb = Widen(Verb), WidePath = Widen(Path);
        auto Handle = std::make_shared<THandle>(nullptr, Connection);
        HINTERNET H = HttpOpenRequestW(Connection->Get(), WideVerb.c_str(), WidePath.c_str(), L"HTTP/1.1",
                                       nullptr, nullptr, (Flags & PassedFlags) | FixedFlags,
                                       reinterpret_cast<DWORD_PTR>(Handle.get()));
        if (!H) {
            Fail(InternetError(::GetLastError()));
            return nullptr;
        }
        Handle->Set(H);
        if (FSettings.AccessType == INTERNET_OPEN_TYPE_PROXY) {
            // The proxy's credentials answer its challenge (407).
            const std::wstring User = Widen(FSettings.ProxyUserName),
                               Password = Widen(FSettings.ProxyPassword);
            if (!User.empty()) {
                InternetSetOptionW(H, INTERNET_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(User.c_str()),
                                   static_cast<DWORD>(User.size()));
            }
            if (!Password.empty()) {
                InternetSetOptionW(H, INTERNET_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(Password.c_str()),
                                   static_cast<DWORD>(Password.size()));
            }
        }
        for (const auto& Entry : FHeaders) {
            const std::wstring Line = Widen(Entry.second);
            if (!HttpAddRequestHeadersW(H, Line.c_str(), static_cast<DWORD>(Line.size()),
                                        HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
                Fail(InternetError(::GetLastError()));
                return nullptr;
            }
        }
        return Handle;
    }
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

void ApplyTimeOut(HINTERNET Handle, std::uint32_t Option, std::uint32_t Value) {
    DWORD V = Value;
    InternetSetOptionW(Handle, Option, &V, sizeof V);
}

void ApplyTimeOuts(HINTERNET Handle, const TSettings& S) {
    ApplyTimeOut(Handle, INTERNET_OPTION_CONNECT_TIMEOUT, S.ConnectTimeout);
    ApplyTimeOut(Handle, INTERNET_OPTION_SEND_TIMEOUT, S.SendTimeout);
    ApplyTimeOut(Handle, INTERNET_OPTION_RECEIVE_TIMEOUT, S.ReceiveTimeout);
    ApplyTimeOut(Handle, INTERNET_OPTION_DATA_SEND_TIMEOUT, S.DataSendTimeout);
    ApplyTimeOut(Handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, S.DataReceiveTimeout);
}

// "host:port" from a proxy given as a URL ("http://host:port/"): WinInet's list takes the bare address.
std::string ProxyAddress(std::string Proxy) {
    const std::string::size_type Scheme = Proxy.find("://");
    if (Scheme != std::string::npos) {
        Proxy.erase(0, Scheme + 3);
    }
    while (!Proxy.empty() && Proxy.back() == '/') {
        Proxy.pop_back();
    }
    return Proxy;
}

// The object path a relative Location names, seen from Path.
std::string ResolvePath(const std::string& Path, const std::string& Location) {
    if (!Location.empty() && Location.front() == '/') {
        return Location;
    }
    const std::string::size_type End = Path.find_first_of("?#");
    const std::string Directory = Path.substr(0, End);
    const std::string::size_type Slash = Directory.rfind('/');
    return (Slash == std::string::npos ? std::string("/") : Directory.substr(0, Slash + 1)) + Location;
}

} // namespace

HSession InternetOpen(const std::string& Agent, std::uint32_t AccessType, const char* Proxy) {
    if (!common::KnownAccessType(AccessType)) {
        return nullptr;
    }
    HSession Session(new TSession);
    TSettings& S = Session->FSettings;
    S.Agent = Agent;
    S.AccessType = AccessType;
    if (AccessType == INTERNET_OPEN_TYPE_PROXY && Proxy) {
        S.Proxy = ProxyAddress(Proxy);
    }
    const std::wstring WideAgent = Widen(Agent), WideProxy = Widen(S.Proxy);
    HINTERNET H =
        InternetOpenW(WideAgent.c_str(), AccessType,
                      AccessType == INTERNET_OPEN_TYPE_PROXY ? OrNull(WideProxy) : nullptr, nullptr, 0);
    if (!H) {
        SetLastError(InternetError(::GetLastError()));
        return nullptr;
    }
    Session->FHandle = std::make_shared<THandle>(H, nullptr);
    InternetSetStatusCallbackW(H, &StatusCallback);
    ApplyTimeOuts(H, S);
    return Session;
}

bool InternetSetOption(TSession& Session, std::uint32_t Option, std::uint32_t Value) {
    if (!common::StoreOption(Session.FSettings, Option, Value)) {
        return false;
    }
    ApplyTimeOut(Session.FHandle->Get(), Option, Value);
    return true;
}

bool InternetSetOption(TSession& Session, std::uint32_t Option, const std::string& Value) {
    if (Option == INTERNET_OPTION_CA_FILE) {
        // Servers are checked against the system's certificate store only.
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
    return common::StoreOption(Session.FSettings, Option, Value);
}

void InternetSetStopCheck(TSession& Session, std::function<bool()> StopCheck) {
    Session.FSettings.StopCheck = std::move(StopCheck);
}

HConnection InternetConnect(TSession& Session, const std::string& HostName, std::uint16_t Port,
                            const std::string& UserName, const std::string& Password, std::uint32_t Service) {
    if (!common::ConnectionAllowed(HostName, Service)) {
        return nullptr;
    }
    const std::wstring Host = Widen(HostName), User = Widen(UserName), Pass = Widen(Password);
    HINTERNET H = InternetConnectW(Session.FHandle->Get(), Host.c_str(), Port, OrNull(User), OrNull(Pass),
                                   INTERNET_SERVICE_HTTP, 0, 0);
    if (!H) {
        SetLastError(InternetError(::GetLastError()));
        return nullptr;
    }
    HConnection Connection(new TConnection);
    Connection->FSettings = Session.FSettings;
    Connection->FSettings.HostName = HostName;
    Connection->FSettings.Port = Port;
    Connection->FSettings.UserName = UserName;
    Connection->FSettings.Password = Password;
    Connection->FHandle = std::make_shared<THandle>(H, Session.FHandle);
    return Connection;
}

HRequest HttpOpenRequest(TConnection& Connection, const std::string& Verb, const std::string& ObjectName,
                         const std::string& Version, std::uint32_t Flags) {
    (void)Version; // always HTTP/1.1
    HRequest Request(new TRequest);
    Request->FSettings = Connection.FSettings;
    Request->FConnection = Connection.FHandle;
    Request->FVerb = Verb.empty() ? std::string("GET") : Verb;
    Request->FObjectName = ObjectName;
    Request->FFlags = Flags;
    return Request;
}

bool HttpAddRequestHeaders(TRequest& Request, const std::string& Line, std::uint32_t Modifiers) {
    return common::AddHeaderLine(Request.FHeaders, Line, Modifiers);
}

bool HttpSendRequest(TRequest& Request, const void* Body, std::size_t Length) {
    TRequest& R = Request;
    R.ResetExchange();
    auto SharedBody = std::make_shared<const std::string>(
        Body && Length > 0 ? std::string(static_cast<const char*>(Body), Length) : std::string());
    std::shared_ptr<THandle> Connection = R.FConnection;
    std::string Verb = R.FVerb;
    std::string Path = common::EscapeObjectName(R.FObjectName);
    DWORD Flags = R.FFlags;
    std::shared_ptr<THandle> Handle;
    for (int Hop = 0;; ++Hop) {
        if (R.FSettings.StopCheck && R.FSettings.StopCheck()) {
            return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
        }
        Handle = R.Open(Connection, Verb, Path, Flags);
        if (!Handle || !R.SendOnce(Handle, SharedBody)) {
            return false;
        }
        std::string Text, Location;
        std::uint64_t Status = 0;
        if (!QueryText(Handle->Get(), HTTP_QUERY_STATUS_CODE, std::string(), Text) ||
            !http::ParseLength(Text, Status)) {
            return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE);
        }
        if (!R.FollowsRedirects() || !IsRedirect(Status) ||
            !QueryText(Handle->Get(), HTTP_QUERY_LOCATION, std::string(), Location)) {
            break;
        }
        if (Hop == MaxRedirects) {
            return Fail(ERROR_HTTP_REDIRECT_FAILED);
        }
        const bool Secure = (Flags & INTERNET_FLAG_SECURE) != 0;
        if (Secure && !common::RedirectKeepsTls(Location)) {
            return Fail(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
        }
        if (common::RedirectKeepsTls(Location) && Location.find("://") == std::string::npos) {
            Path = common::EscapeObjectName(ResolvePath(Path, Location));
        } else {
            TUrlComponents Parts;
            if (!CrackUrl(Location, Parts) ||
                (Parts.Scheme != INTERNET_SCHEME_HTTP && Parts.Scheme != INTERNET_SCHEME_HTTPS)) {
                return Fail(ERROR_HTTP_REDIRECT_FAILED);
            }
            const std::wstring Host = Widen(Parts.HostName);
            HINTERNET H = InternetConnectW(R.FConnection->Parent()->Get(), Host.c_str(), Parts.Port, nullptr,
                                           nullptr, INTERNET_SERVICE_HTTP, 0, 0);
            if (!H) {
                return Fail(InternetError(::GetLastError()));
            }
            Connection = std::make_shared<THandle>(H, R.FConnection->Parent());
            Path = common::EscapeObjectName(Parts.UrlPath.empty() ? "/" + Parts.ExtraInfo
                                                                  : Parts.UrlPath + Parts.ExtraInfo);
            Flags = Parts.Scheme == INTERNET_SCHEME_HTTPS ? (Flags | INTERNET_FLAG_SECURE)
                                                          : (Flags & ~INTERNET_FLAG_SECURE);
        }
        // A POST redirected with 301, 302 or 303 becomes a GET without its body.
        if (Status == 303 || ((Status == 301 || Status == 302) && SameText(Verb, "POST"))) {
            if (!SameText(Verb, "HEAD")) {
                Verb = "GET";
            }
            SharedBody = std::make_shared<const std::string>();
        }
        Handle->Close();
    }
    R.FHandle = Handle;
    R.FSent = true;
    R.FHeadersDone = true;
    std::string Text;
    std::uint64_t Status = 0, Expected = 0;
    QueryText(Handle->Get(), HTTP_QUERY_STATUS_CODE, std::string(), Text);
    http::ParseLength(Text, Status);
    const bool NoBody = SameText(R.FVerb, "HEAD") || Status == 204 || Status == 304 || Status / 100 == 1;
    std::string Encoding;
    if (!NoBody && !QueryText(Handle->Get(), HTTP_QUERY_CUSTOM, "Transfer-Encoding", Encoding) &&
        QueryText(Handle->Get(), HTTP_QUERY_CONTENT_LENGTH, std::string(), Text) &&
        http::ParseLength(Text, Expected)) {
        R.FExpected = Expected;
    }
    return true;
}

bool HttpQueryInfo(TRequest& Request, std::uint32_t InfoLevel, std::string& Value) {
    if (!Request.FHeadersDone) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    }
    const std::uint32_t Level = InfoLevel & 0xFFFF;
    if (Level == HTTP_QUERY_CUSTOM) {
        return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST); // by name: HttpQueryHeader
    }
    return QueryText(Request.FHandle->Get(), Level, std::string(), Value);
}

bool HttpQueryHeader(TRequest& Request, const std::string& Name, std::string& Value) {
    if (!Request.FHeadersDone) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    }
    if (Name.empty()) {
        return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
    }
    return QueryText(Request.FHandle->Get(), HTTP_QUERY_CUSTOM, Name, Value);
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
    if (R.FBodyEnded || ToRead == 0) {
        return true;
    }
    if (!R.FRead) {
        R.FRead = std::make_shared<TRead>();
    }
    std::shared_ptr<TRead> State = R.FRead;
    if (State->Buffer.size() < ToRead) {
        State->Buffer.resize(ToRead);
    }
    State->Got = 0;
    State->LastActivity = TClock::now().time_since_epoch().count();
    State->Ended = false;
    State->Error = 0;
    auto Job = [Handle = R.FHandle, State, ToRead] {
        HINTERNET H = Handle->Get();
        std::size_t Got = 0;
        while (Got < ToRead) {
            DWORD Available = 0, Count = 0;
            // Waits for data.
            if (!H || !InternetQueryDataAvailable(H, &Available, 0, 0)) {
                State->Error = H ? ::GetLastError() : ERROR_INTERNET_OPERATION_CANCELLED;
                return;
            }
            if (Available == 0) {
                State->Ended = true;
                return;
            }
            // A slow line: what has arrived, without waiting. A fast one (WinInet's buffer full): a piece
            // that waits for the rest, since a read per buffer (8 KiB under Wine) would cost most of the
            // speed; a stop or time-out within such a piece leaves its bytes unread, never handed out.
            std::size_t Take = std::min<std::size_t>(Available, ToRead - Got);
            if (Available >= FastLineAvailable) {
                Take = std::min<std::size_t>(std::max<std::size_t>(Available, FastLinePiece), ToRead - Got);
            }
            if (!::InternetReadFile(H, State->Buffer.data() + Got, static_cast<DWORD>(Take), &Count)) {
                State->Error = ::GetLastError();
                return;
            }
            if (Count == 0) {
                State->Ended = true;
                return;
            }
            Got += Count;
            State->Got.store(Got, std::memory_order_release);
            State->LastActivity = TClock::now().time_since_epoch().count();
        }
    };
    const auto Idle = std::chrono::milliseconds(R.FSettings.DataReceiveTimeout);
    const THelper::TEnd End = R.Helper().Run(Job, R.FSettings.StopCheck, [&State, Idle] {
        return TClock::time_point(TClock::duration(State->LastActivity.load())) + Idle;
    });
    Read = State->Got.load(std::memory_order_acquire);
    std::memcpy(Buffer, State->Buffer.data(), Read);
    R.FReceived += Read;
    int Error = 0;
    switch (End) {
    case THelper::TEnd::Stopped:
        Error = ERROR_INTERNET_OPERATION_CANCELLED;
        break;
    case THelper::TEnd::TimedOut:
        Error = ERROR_INTERNET_TIMEOUT;
        break;
    case THelper::TEnd::Done:
        if (State->Error != 0) {
            Error = InternetError(State->Error);
        } else if (State->Ended) {
            R.FBodyEnded = true;
            if (R.FExpected && R.FReceived < *R.FExpected) {
                Error = ERROR_INTERNET_CONNECTION_ABORTED; // the body ended before its length
            }
        }
        break;
    }
    if (End != THelper::TEnd::Done) {
        R.GiveUp(R.FHandle);
        R.FRead.reset(); // the job may still write into it
    }
    if (Error != 0) {
        R.FStickyError = Error;
        if (Read == 0) {
            return Fail(Error);
        }
    }
    return true;
}

} // namespace platform::inet
