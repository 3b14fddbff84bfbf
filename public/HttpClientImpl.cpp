#include "public/HttpClientImpl.h"

#include "public/DownloadCall.h"

#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/UrlCrack.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>

namespace inet = platform::inet;

std::string MakeTempFolder(const char* Temp, const char* TmpDir) {
    std::string Folder = Temp && *Temp ? Temp : TmpDir && *TmpDir ? TmpDir : "/tmp";
    if (std::strchr(platform::PathDelimiters, Folder.back()) == nullptr) {
        Folder += platform::PathDelim;
    }
    return Folder;
}

std::string TempFolder = MakeTempFolder(std::getenv("TEMP"), std::getenv("TMPDIR"));

const char* const RequestUserAgentLine =
    "User-Agent:Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0) AppleWebKit/537.36 "
    "(KHTML, like Gecko) Chrome/30.0.1599.101 Safari/537.36";

namespace {

const char* const ContentTypeLine = "Content-type:application/octet-stream";
constexpr std::uint32_t AddAndReplace = inet::HTTP_ADDREQ_FLAG_ADD | inet::HTTP_ADDREQ_FLAG_REPLACE;

[[noreturn]] void AssertionFailure(const char* File, int Line) {
    throw std::runtime_error("Assertion failure (" + std::string(File) + ", line " + std::to_string(Line) +
                             ")");
}

// Appends a text to a response stream (a failure text after whatever body arrived).
void AppendText(IByteStream* Stream, const std::string& Text) {
    if (!Stream || Text.empty()) {
        return;
    }
    std::size_t Done = 0;
    Stream->Write(Text.data(), Text.size(), Done);
}

// The length of a valid UTF-8 sequence at P (with its code point), or 0 when the bytes are not one.
std::size_t Utf8Sequence(const std::string& S, std::size_t P, std::uint32_t& CodePoint) {
    const unsigned char B = static_cast<unsigned char>(S[P]);
    std::size_t Len;
    std::uint32_t Min;
    if (B >= 0xC2 && B <= 0xDF) {
        Len = 2, CodePoint = B & 0x1Fu, Min = 0x80;
    } else if (B >= 0xE0 && B <= 0xEF) {
        Len = 3, CodePoint = B & 0x0Fu, Min = 0x800;
    } else if (B >= 0xF0 && B <= 0xF4) {
        Len = 4, CodePoint = B & 0x07u, Min = 0x10000;
    } else {
        return 0;
    }
    if (P + Len > S.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < Len; ++i) {
        const unsigned char C = static_cast<unsigned char>(S[P + i]);
        if ((C & 0xC0) != 0x80) {
            return 0;
        }
        CodePoint = (CodePoint << 6) | (C & 0x3Fu);
    }
    if (CodePoint < Min || CodePoint > 0x10FFFF || (CodePoint >= 0xD800 && CodePoint <= 0xDFFF)) {
        return 0;
    }
    return Len;
}

} // namespace

// Marks the calling thread as the one inside a call of the client for the object's life (calls may nest
// on one thread); debug builds assert that no other thread is inside one already.
class TInCall {
public:
    explicit TInCall(THttpClient& Client) : FClient(Client), FPrevious(Client.FCallThread.load()) {
        Client.CheckThread();
        Client.FCallThread.store(std::this_thread::get_id());
    }
    ~TInCall() { FClient.FCallThread.store(FPrevious); }
    TInCall(const TInCall&) = delete;
    TInCall& operator=(const TInCall&) = delete;

private:
    THttpClient& FClient;
    std::thread::id FPrevious;
};

// ---------------------------------------------------------------------------------------------------
// Text and file helpers
// ---------------------------------------------------------------------------------------------------

std::string URLEncodeUTF8(const std::string& Text) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string Out;
    for (char C : Text) {
        const unsigned char U = static_cast<unsigned char>(C);
        if (U == 0) {
            break;
        }
        if ((U >= 'A' && U <= 'Z') || (U >= 'a' && U <= 'z') || (U >= '0' && U <= '9') || C == '!' ||
            C == '$' || C == '\'' || C == '(' || C == ')' || C == '*' || C == '-' || C == '.' || C == '@' ||
            C == '_') {
            Out += C;
        } else if (C == ' ') {
            Out += '+';
        } else {
            Out += '%';
            Out += Hex[U >> 4];
            Out += Hex[U & 15];
        }
    }
    return Out;
}

std::string EncodeURL(const std::string& Text) {
    std::string Out, Run;
    std::size_t P = 0;
    while (P < Text.size()) {
        const unsigned char B = static_cast<unsigned char>(Text[P]);
        std::uint32_t CodePoint = B;
        std::size_t Len = 1;
        if (B >= 0x80) {
            Len = Utf8Sequence(Text, P, CodePoint);
            if (Len == 0) {
                // A byte that is no character: encoded on its own, never sent raw.
                Len = 1;
                CodePoint = 0x100;
            }
        }
        if (CodePoint > 0x80) {
            Run.append(Text, P, Len);
        } else {
            if (!Run.empty()) {
                Out += URLEncodeUTF8(Run);
                Run.clear();
            }
            Out.append(Text, P, Len);
        }
        P += Len;
    }
    if (!Run.empty()) {
        Out += URLEncodeUTF8(Run);
    }
    return Out;
}

std::string FormatSpeed(double BytesPerSecond) {
    double X = BytesPerSecond;
    if (!(X >= 0)) {
        return "--";
    }
    static const char* const Units[] = {"B", "KB", "MB", "GB", "TB", "PB"};
    int Unit = 0;
    for (int Step = 0; Step < 5; ++Step) {
        if (X > 1024) {
            X /= 1024;
            Unit = Step + 1;
        } else {
            break;
        }
    }
    char Buffer[400];
    std::snprintf(Buffer, sizeof Buffer, "%.2f%s/s", X, Units[Unit]);
    return Buffer;
}

std::string FormatRemainTime(std::int64_t Milliseconds) {
    if (Milliseconds < 0) {
        return "--:--:--";
    }
    const std::int64_t S = Milliseconds / 1000;
    const std::int64_t Seconds = S % 60;
    const std::int64_t M = S / 60;
    const std::int64_t Minutes = M % 60;
    const std::int64_t H = M / 60;
    const std::int64_t Hours = H % 24;
    const std::int64_t Days = H / 24;
    if (Days > 999) {
        return "大于999天...";
    }
    if (Days >= 1) {
        return std::to_string(Days) + "天 ";
    }
    char Buffer[32];
    std::snprintf(Buffer, sizeof Buffer, "%02d:%02d:%02d", static_cast<int>(Hours), static_cast<int>(Minutes),
                  static_cast<int>(Seconds));
    return Buffer;
}

std::int64_t GetFileSize64(const std::string& FileName) {
    platform::TFileAttributeData Data;
    return platform::GetFileAttributesEx(FileName, Data) ? Data.Size : 0;
}

TDateTime GetFileWriteTime(const std::string& FileName) {
    platform::TFileAttributeData Data;
    return platform::GetFileAttributesEx(FileName, Data) ? Data.LastWriteTime : 0;
}

bool IsFilePresent(const std::string& FileName) {
    return platform::PathExists(FileName);
}

std::string NewGUIDString() {
    std::random_device Device;
    std::uint8_t G[16];
    for (int i = 0; i < 16; i += 4) {
        const std::uint32_t R = Device();
        for (int k = 0; k < 4; ++k) {
            G[i + k] = static_cast<std::uint8_t>(R >> (8 * k));
        }
    }
    G[6] = static_cast<std::uint8_t>((G[6] & 0x0F) | 0x40); // version 4
    G[8] = static_cast<std::uint8_t>((G[8] & 0x3F) | 0x80); // variant
    char Buffer[64];
    std::snprintf(Buffer, sizeof Buffer,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", G[0], G[1], G[2],
                  G[3], G[4], G[5], G[6], G[7], G[8], G[9], G[10], G[11], G[12], G[13], G[14], G[15]);
    return Buffer;
}

std::string SystemErrorText() {
    return SystemErrorText(platform::GetLastError());
}

std::string SystemErrorText(int Code) {
    std::string Text = platform::SysErrorMessage(Code);
    for (;;) {
        if (!Text.empty() && (Text.back() == ' ' || Text.back() == '.')) {
            Text.pop_back();
        } else if (Text.size() >= 3 && Text.compare(Text.size() - 3, 3, "。") == 0) {
            Text.resize(Text.size() - 3);
        } else {
            return Text;
        }
    }
}

bool AddRequestHeaders(inet::TRequest& Request, IHttpHeaders* Headers, bool Ranged, std::uint64_t From) {
    if (!inet::HttpAddRequestHeaders(Request, RequestUserAgentLine, AddAndReplace) ||
        !inet::HttpAddRequestHeaders(Request, ContentTypeLine, AddAndReplace)) {
        return false;
    }
    if (Ranged && From > 0) {
        if (!inet::HttpAddRequestHeaders(Request, "Accept-Ranges:bytes", AddAndReplace) ||
            !inet::HttpAddRequestHeaders(Request, "Range:bytes=" + std::to_string(From) + "-",
                                         AddAndReplace)) {
            return false;
        }
    }
    if (Headers) {
        const std::int32_t Count = Headers->Count();
        for (std::int32_t i = 0; i < Count; ++i) {
            const std::string Name = platform::TrimBlanksAndControls(Headers->Names(i));
            if (Name.empty()) {
                continue;
            }
            if (!inet::HttpAddRequestHeaders(Request, Name + ":" + Headers->Values(i), AddAndReplace)) {
                return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------
// THttpClient: settings, factory pieces and file names
// ---------------------------------------------------------------------------------------------------

THttpClient::THttpClient() {
    Reset();
}

void THttpClient::CheckThread() const {
    const std::thread::id InCall = FCallThread.load();
    assert((InCall == std::thread::id() || InCall == std::this_thread::get_id()) &&
           "a client belongs to the thread of a running call");
    (void)InCall;
}

bool THttpClient::_AllocateReadBuffer(std::unique_ptr<char[]>& Buffer, std::size_t& Size) {
    Buffer.reset();
    Size = FBufferSize > 0 ? static_cast<std::size_t>(FBufferSize) : 0;
    if (Size == 0) {
        platform::SetLastError(platform::ERROR_INVALID_PARAMETER);
        return false;
    }
    Buffer.reset(new (std::nothrow) char[Size]);
    if (!Buffer) {
        platform::SetLastError(platform::ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

void THttpClient::Reset() {
    CheckThread();
    FAgent = platform::ExtractFileName(platform::ExecutablePath());
    FAccessType = atPreconfig;
    FProxy.clear();
    FProxyUser.clear();
    FProxyPassword.clear();
    FResume = false;
    FMaxFileSize = 2097152000;
    FBufferSize = 131072;
    FRetryCount = 1;
    FTimeOut = 60000;
}

std::shared_ptr<IHttpClient> THttpClient::Clone() {
    auto Copy = std::make_shared<THttpClient>();
    Copy->FAgent = FAgent;
    Copy->FAccessType = FAccessType;
    Copy->FTimeOut = FTimeOut;
    Copy->FProxy = FProxy;
    Copy->FProxyUser = FProxyUser;
    Copy->FProxyPassword = FProxyPassword;
    Copy->FMaxFileSize = FMaxFileSize;
    Copy->FBufferSize = FBufferSize;
    Copy->FRetryCount = FRetryCount;
    Copy->FResume = FResume;
    Copy->FOnBeforeDownload = FOnBeforeDownload;
    Copy->FStopCheck = FStopCheck;
    Copy->FInstallerKey = FInstallerKey;
    Copy->FLastError = FLastError;
    return Copy;
}

bool THttpClient::ParseURL(const std::string& URL, TURLParts& Parts) {
    Parts = TURLParts();
    platform::TUrlComponents C;
    // Buffer capacities in characters, the terminating zero included.
    platform::TUrlCapacities Capacities;
    Capacities.Scheme = 32;
    Capacities.HostName = 256;
    Capacities.UserName = 128;
    Capacities.Password = 128;
    Capacities.UrlPath = 2055;
    Capacities.ExtraInfo = 2048;
    if (!platform::CrackUrl(URL, C, Capacities)) {
        return false;
    }
    Parts.Scheme = C.Scheme;
    Parts.SchemeName = C.SchemeName;
    Parts.HostName = C.HostName;
    Parts.Port = C.Port;
    Parts.UserName = C.UserName;
    Parts.Password = C.Password;
    Parts.UrlPath = C.UrlPath;
    Parts.ExtraInfo = C.ExtraInfo;
    return true;
}

std::string THttpClient::NewTempFilePath(const std::string& Suffix) {
    return TempFolder + NewGUIDString() + Suffix;
}

std::string THttpClient::GetStateFileName(const std::string& FileName) {
    return platform::ChangeFileExt(FileName, ".sdc");
}

std::string THttpClient::GetTempFileName(const std::string& FileName) {
    return FileName + ".tmp";
}

std::int64_t THttpClient::GetDownloadedSize(const std::string& FileName) {
    const std::string Temp = GetTempFileName(FileName);
    return GetFileSize64(IsFilePresent(Temp) ? Temp : FileName);
}

std::int32_t THttpClient::DownloadFile(const std::string& URL, const std::string& FileName,
                                       THttpDownloadCallback Callback, std::int32_t Tag,
                                       IHttpHeaders* Headers) {
    TInCall InCall(*this);
    FLastFailure.reset();
    return TDownloadCall(*this, URL, FileName, std::move(Callback), Tag, Headers).Run();
}

bool THttpClient::DeleteDownloadFiles(const std::string& FileName) {
    const std::string Temp = GetTempFileName(FileName);
    const std::string State = GetStateFileName(Temp);
    for (const std::string& Name : {FileName, Temp, State}) {
        if (IsFilePresent(Name)) {
            platform::DeleteFile(Name); // a failed deletion is ignored
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Session, connection and request
// ---------------------------------------------------------------------------------------------------

bool THttpClient::_CreateInternetConnect(std::string& URL, inet::HSession& Session,
                                         inet::HConnection& Connection, std::string& ErrorText,
                                         bool& IsHttps) {
    Session.reset();
    Connection.reset();
    ErrorText.clear();
    IsHttps = false;
    try {
        if (URL.empty()) {
            ErrorText = "URL地址为空！";
            return false;
        }
        TURLParts Parts;
        if (!ParseURL(URL, Parts)) {
            ErrorText = "解析URL失败！";
            return false;
        }
        if (Parts.Scheme != platform::INTERNET_SCHEME_HTTP &&
            Parts.Scheme != platform::INTERNET_SCHEME_HTTPS) {
            ErrorText = "URL类型不是HTTP/HTTPS！";
            return false;
        }
        IsHttps = platform::SameText(Parts.SchemeName, "https");
        std::string UserName = Parts.UserName;
        std::string Password = Parts.Password;

        switch (FAccessType) {
        case atDirect:
            Session = inet::InternetOpen(FAgent, inet::INTERNET_OPEN_TYPE_DIRECT, nullptr);
            break;
        case atPreconfig:
            Session = inet::InternetOpen(FAgent, inet::INTERNET_OPEN_TYPE_PRECONFIG, nullptr);
            break;
        case atProxy:
            Session = inet::InternetOpen(FAgent, inet::INTERNET_OPEN_TYPE_PROXY, FProxy.c_str());
            if (Session) {
                if (!FProxyUser.empty()) {
                    inet::InternetSetOption(*Session, inet::INTERNET_OPTION_USERNAME, FProxyUser);
                    if (UserName.empty()) {
                        UserName = FProxyUser;
                    }
                }
                if (!FProxyPassword.empty()) {
                    inet::InternetSetOption(*Session, inet::INTERNET_OPTION_PASSWORD, FProxyPassword);
                    if (Password.empty()) {
                        Password = FProxyPassword;
                    }
                }
            }
            break;
        default:
            // An access type of no meaning opens nothing; the last error says why.
            platform::SetLastError(platform::ERROR_INTERNET_INVALID_OPTION);
            break;
        }
        if (!Session) {
            ErrorText = "打开一个Internet连接失败:" + SystemErrorText();
            return false;
        }
        inet::InternetSetStopCheck(*Session, FStopCheck);
        if (FTimeOut != 0) {
            const std::uint32_t T = static_cast<std::uint32_t>(FTimeOut);
            inet::InternetSetOption(*Session, inet::INTERNET_OPTION_SEND_TIMEOUT, T);
            inet::InternetSetOption(*Session, inet::INTERNET_OPTION_RECEIVE_TIMEOUT, T);
            inet::InternetSetOption(*Session, inet::INTERNET_OPTION_DATA_SEND_TIMEOUT, T);
            inet::InternetSetOption(*Session, inet::INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, T);
        }
        Connection = inet::InternetConnect(*Session, Parts.HostName, Parts.Port, UserName, Password,
                                           inet::INTERNET_SERVICE_HTTP);
        if (!Connection) {
            const int Code = platform::GetLastError();
            ErrorText = "打开HTTP连接失败:[" + std::to_string(Code) + "]" + SystemErrorText();
            Session.reset();
            return false;
        }
        URL = (Parts.UrlPath.empty() ? std::string("/") : Parts.UrlPath) + Parts.ExtraInfo;
        return true;
    } catch (const std::exception& E) {
        Connection.reset();
        Session.reset();
        ErrorText = std::string("[THttpClient._CreateInternetConnect]") + E.what();
        return false;
    }
}

bool THttpClient::_SendRequest(inet::TRequest* Request, std::int32_t Attempts, IByteStream* Body,
                               TSendOutcome* Outcome) {
    TSendOutcome Ended;
    std::string BodyBytes;
    if (Body) {
        std::int64_t Size = 0;
        if (!Body->GetSize(Size)) {
            AssertionFailure(__FILE__, __LINE__);
        }
        if (Size > 0) {
            BodyBytes.resize(static_cast<std::size_t>(Size));
            std::size_t Done = 0;
            if (!Body->Read(BodyBytes.data(), BodyBytes.size(), Done)) {
                Done = 0;
            }
            BodyBytes.resize(Done);
        }
    }
    bool Result = false;
    while (Request && Attempts > 0) {
        // No retry that ignores an unknown certificate authority: an untrusted server stays refused.
        if (!inet::HttpSendRequest(*Request, BodyBytes.empty() ? nullptr : BodyBytes.data(),
                                   BodyBytes.size())) {
            const int Code = platform::GetLastError();
            if (Code == platform::ERROR_INTERNET_OPERATION_CANCELLED) {
                Ended = {TSendOutcome::Cancelled, Code, ""};
                break; // stopped: no further attempt, and no failure text
            }
            Ended = {TSendOutcome::Failed, Code, ""};
            FLastError = "[" + std::to_string(Code) + "]" + SystemErrorText(Code);
            --Attempts;
            continue;
        }
        std::uint64_t Status = 0;
        if (!inet::HttpQueryInfoNumber(*Request, inet::HTTP_QUERY_STATUS_CODE | inet::HTTP_QUERY_FLAG_NUMBER,
                                       Status)) {
            Ended = {TSendOutcome::Failed, platform::GetLastError(), ""};
            --Attempts;
            continue;
        }
        if (Status == 200 || Status == 206) {
            Ended = {TSendOutcome::Accepted, static_cast<int>(Status), ""};
            Result = true;
            --Attempts;
            break;
        }
        std::string Reason;
        if (inet::HttpQueryInfo(*Request, inet::HTTP_QUERY_STATUS_TEXT, Reason)) {
            FLastError = StatusText(static_cast<int>(Status), Reason);
        } else {
            FLastError.clear();
        }
        Ended = {TSendOutcome::Refused, static_cast<int>(Status), Reason};
        --Attempts;
    }
    if (Outcome) {
        *Outcome = Ended;
    }
    return Result;
}

bool THttpClient::_HttpRequest(const std::string& Verb, const std::string& URL, IHttpHeaders* Headers,
                               IHttpResponseHeaders* ResponseHeaders, IByteStream* Body,
                               IByteStream* Response) {
    TInCall InCall(*this);
    bool Result = false;
    std::string FailureText;
    std::string Raised;
    bool WasRaised = false;
    inet::HSession Session;
    inet::HConnection Connection;
    inet::HRequest Request;
    std::unique_ptr<char[]> Buffer;
    // The request itself; every return goes on to the finish below.
    auto Steps = [&] {
        if (Response) {
            Response->SetSize(0);
            Response->Seek(0);
        }
        const std::int32_t Attempts = FRetryCount;
        std::string ObjectName = EncodeURL(URL);
        bool IsHttps = false;
        if (!_CreateInternetConnect(ObjectName, Session, Connection, FailureText, IsHttps)) {
            return; // to the finish, with the failure text set
        }
        Request = inet::HttpOpenRequest(*Connection, Verb, ObjectName, "HTTP/1.1",
                                        IsHttps ? HttpsRequestFlags : HttpRequestFlags);
        if (!Request || !AddRequestHeaders(*Request, Headers, false, 0)) {
            FailureText = "组织请求头失败！";
            return;
        }
        if (!_SendRequest(Request.get(), Attempts, Body)) {
            FailureText = "发送请求失败:" + FLastError;
            return;
        }
        if (ResponseHeaders) {
            std::string Raw;
            if (!inet::HttpQueryInfo(*Request, inet::HTTP_QUERY_RAW_HEADERS_CRLF, Raw)) {
                FailureText = "获取响应头失败:" + SystemErrorText();
                return;
            }
            ResponseHeaders->SetRawHeaders(Raw, 0);
            ResponseHeaders->SetLastModified(0);
            platform::TSystemTime Time;
            TDateTime LastModified = 0;
            if (inet::HttpQueryInfoSystemTime(
                    *Request, inet::HTTP_QUERY_LAST_MODIFIED | inet::HTTP_QUERY_FLAG_SYSTEMTIME, Time) &&
                platform::EncodeDateTime(Time, LastModified)) {
                ResponseHeaders->SetLastModified(LastModified);
            }
        }
        if (platform::SameText(Verb, "HEAD")) {
            Result = true;
            return;
        }
        std::size_t Size = 0;
        if (!_AllocateReadBuffer(Buffer, Size)) {
            FailureText = "创建缓冲区失败:" + SystemErrorText();
            return;
        }
        for (;;) {
            std::size_t Count = 0;
            if (!inet::InternetReadFile(*Request, Buffer.get(), Size, Count)) {
                FailureText = "读取响应报文失败：" + SystemErrorText();
                break;
            }
            if (Count == 0) {
                Result = true;
                break;
            }
            if (Response) {
                std::size_t Done = 0;
                if (!Response->Write(Buffer.get(), Count, Done) || Done != Count) {
                    FailureText = "将响应报文写入流失败：" + SystemErrorText();
                    break;
                }
            }
        }
    };
    try {
        Steps();
    } catch (const std::exception& E) {
        Raised = E.what();
        WasRaised = true;
        Result = false;
    }
    // Finish: buffer, request, connection, session; then the texts.
    Buffer.reset();
    Request.reset();
    Connection.reset();
    Session.reset();
    AppendText(Response, FailureText);
    if (WasRaised) {
        AppendText(Response, "[THttpClient._HttpRequest]" + Raised);
    }
    return Result;
}

// ---------------------------------------------------------------------------------------------------
// The request operations
// ---------------------------------------------------------------------------------------------------

bool THttpClient::Head(const std::string& URL, IHttpHeaders* Headers) {
    return _HttpRequest("HEAD", URL, Headers, nullptr, nullptr, nullptr);
}

bool THttpClient::Get(const std::string& URL, IHttpHeaders* Headers, IHttpResponseHeaders* ResponseHeaders,
                      std::string& Response) {
    Response.clear();
    TMemoryStream Stream;
    const bool Result = GetToStream(URL, Headers, ResponseHeaders, &Stream);
    Response = Stream.Data();
    return Result;
}

bool THttpClient::GetToStream(const std::string& URL, IHttpHeaders* Headers,
                              IHttpResponseHeaders* ResponseHeaders, IByteStream* Response) {
    return _HttpRequest("GET", URL, Headers, ResponseHeaders, nullptr, Response);
}

bool THttpClient::Post(const std::string& URL, IHttpHeaders* Headers, IHttpResponseHeaders* ResponseHeaders,
                       const std::string& RequestText, std::string& Response) {
    TMemoryStream Body(RequestText);
    TMemoryStream Stream;
    const bool Result = PostStreamToStream(URL, Headers, ResponseHeaders, &Body, &Stream);
    Response = Stream.Data();
    return Result;
}

bool THttpClient::PostStream(const std::string& URL, IHttpHeaders* Headers,
                             IHttpResponseHeaders* ResponseHeaders, IByteStream* Body,
                             std::string& Response) {
    TMemoryStream Stream;
    const bool Result = PostStreamToStream(URL, Headers, ResponseHeaders, Body, &Stream);
    Response = Stream.Data();
    return Result;
}

bool THttpClient::PostToStream(const std::string& URL, IHttpHeaders* Headers,
                               IHttpResponseHeaders* ResponseHeaders, const std::string& RequestText,
                               IByteStream* Response) {
    TMemoryStream Body(RequestText);
    return PostStreamToStream(URL, Headers, ResponseHeaders, &Body, Response);
}

bool THttpClient::PostStreamToStream(const std::string& URL, IHttpHeaders* Headers,
                                     IHttpResponseHeaders* ResponseHeaders, IByteStream* Body,
                                     IByteStream* Response) {
    return _HttpRequest("POST", URL, Headers, ResponseHeaders, Body, Response);
}

bool THttpClient::Request(const std::string& Verb, const std::string& URL, IHttpHeaders* Headers,
                          IHttpResponseHeaders* ResponseHeaders, const std::string& RequestText,
                          std::string& Response) {
    TMemoryStream Body(RequestText);
    TMemoryStream Stream;
    const bool Result = _HttpRequest(Verb, URL, Headers, ResponseHeaders, &Body, &Stream);
    Response = Stream.Data();
    return Result;
}
