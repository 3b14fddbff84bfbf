// The download client: THttpClient with its settings, the request machinery over platform/inet, and the
// text and file helpers of its unit. The file download itself is TDownloadCall (public/DownloadCall.h).
//
// Threads: as IHttpClient says, a client belongs to one thread at a time, and to the thread of a call for
// the whole call. Debug builds check it: a call, or a setter, on another thread while a call runs fails an
// assertion.
#pragma once

#include "platform/Inet.h"
#include "public/DownloadFailure.h"
#include "public/HttpClientIntf.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

// The temporary folder with a trailing "/": TEMP, else TMPDIR, else /tmp; read once at start.
extern std::string TempFolder;
// How TempFolder is made from the two environment values (either may be null).
std::string MakeTempFolder(const char* Temp, const char* TmpDir);

// Percent-encodes the runs of characters above U+0080 as UTF-8 and leaves everything else as written.
std::string EncodeURL(const std::string& Text);
// Percent-encodes every byte of the UTF-8 text outside letters, digits and !$'()*-.@_ ; a blank becomes
// "+"; the walk ends at a zero byte.
std::string URLEncodeUTF8(const std::string& Text);
// "1.50KB/s"; "--" for a negative rate or not a number.
std::string FormatSpeed(double BytesPerSecond);
// "01:02:03", "1天 " from one day on, "大于999天..." above 999 days, "--:--:--" when negative.
std::string FormatRemainTime(std::int64_t Milliseconds);
// The 64-bit size of a file (a folder: its own reported size); 0 when it cannot be queried.
std::int64_t GetFileSize64(const std::string& FileName);
// The last-write time of a file in UTC; 0 when it cannot be queried.
TDateTime GetFileWriteTime(const std::string& FileName);
// True for an existing file or folder.
bool IsFilePresent(const std::string& FileName);
// A new random GUID in registry form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case digits.
std::string NewGUIDString();

// Request flag words.
constexpr std::uint32_t HttpRequestFlags =
    platform::inet::INTERNET_FLAG_RELOAD | platform::inet::INTERNET_FLAG_NO_CACHE_WRITE; // 0x84000000
constexpr std::uint32_t HttpsRequestFlags =
    platform::inet::INTERNET_FLAG_NO_CACHE_WRITE | platform::inet::INTERNET_FLAG_SECURE |
    platform::inet::INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
    platform::inet::INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
    platform::inet::INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
    platform::inet::INTERNET_FLAG_IGNORE_CERT_CN_INVALID; // 0x0480F000; inet still verifies certificates

// The fixed User-Agent line every request carries.
extern const char* const RequestUserAgentLine;

// The system text of an error code (of the thread's last error code without one), trailing blanks and full
// stops removed.
std::string SystemErrorText(int Code);
std::string SystemErrorText();

// Adds the fixed header lines, a range from From on (only when Ranged and From > 0) and the caller's
// headers (names trimmed, blank names skipped). False at the first line the request refuses.
bool AddRequestHeaders(platform::inet::TRequest& Request, IHttpHeaders* Headers, bool Ranged,
                       std::uint64_t From);

// How _SendRequest ended.
struct TSendOutcome {
    enum TKind {
        Accepted,  // the server answered 200 or 206
        Refused,   // the server answered another status (Code, Reason)
        Failed,    // no answer, or no attempt (Code: the Internet error code, 0 when none was made)
        Cancelled, // the stop check ended the wait
    };
    TKind Kind = Failed;
    int Code = 0;
    std::string Reason;
};

class THttpClient : public IHttpClient, public std::enable_shared_from_this<THttpClient> {
public:
    THttpClient();

    std::string GetAgent() override { return FAgent; }
    THttpAccessType GetAccessType() override { return FAccessType; }
    std::int32_t GetTimeOut() override { return FTimeOut; }
    std::string GetProxy() override { return FProxy; }
    std::string GetProxyUser() override { return FProxyUser; }
    std::string GetProxyPassword() override { return FProxyPassword; }
    std::int64_t GetMaxFileSize() override { return FMaxFileSize; }
    std::int32_t GetBufferSize() override { return FBufferSize; }
    std::int32_t GetRetryCount() override { return FRetryCount; }
    bool GetResume() override { return FResume; }
    TBeforeDownloadEvent GetOnBeforeDownload() override { return FOnBeforeDownload; }
    std::string GetLastError() override { return FLastError; }
    void SetAgent(const std::string& Value) override {
        CheckThread();
        FAgent = Value;
    }
    void SetAccessType(THttpAccessType Value) override {
        CheckThread();
        FAccessType = Value;
    }
    void SetTimeOut(std::int32_t Value) override {
        CheckThread();
        FTimeOut = Value;
    }
    void SetProxy(const std::string& Value) override {
        CheckThread();
        FProxy = Value;
    }
    void SetProxyUser(const std::string& Value) override {
        CheckThread();
        FProxyUser = Value;
    }
    void SetProxyPassword(const std::string& Value) override {
        CheckThread();
        FProxyPassword = Value;
    }
    void SetMaxFileSize(std::int64_t Value) override {
        CheckThread();
        FMaxFileSize = Value;
    }
    void SetBufferSize(std::int32_t Value) override {
        CheckThread();
        FBufferSize = Value;
    }
    void SetRetryCount(std::int32_t Value) override {
        CheckThread();
        FRetryCount = Value;
    }
    void SetResume(bool Value) override {
        CheckThread();
        FResume = Value;
    }
    void SetOnBeforeDownload(TBeforeDownloadEvent Value) override {
        CheckThread();
        FOnBeforeDownload = std::move(Value);
    }
    TStopCheck GetStopCheck() override { return FStopCheck; }
    void SetStopCheck(TStopCheck Value) override {
        CheckThread();
        FStopCheck = std::move(Value);
    }
    std::optional<platform::TEd25519Key> GetInstallerKey() override { return FInstallerKey; }
    void SetInstallerKey(std::optional<platform::TEd25519Key> Value) override {
        CheckThread();
        FInstallerKey = Value;
    }
    // How the last DownloadFile call failed; none when it did not (or was stopped).
    std::optional<TDownloadFailure> GetLastFailure() const { return FLastFailure; }

    std::shared_ptr<IHttpClient> Clone() override;
    void Reset() override;
    bool Head(const std::string& URL, IHttpHeaders* Headers) override;
    bool ParseURL(const std::string& URL, TURLParts& Parts) override;
    std::string NewTempFilePath(const std::string& Suffix) override;
    std::int32_t DownloadFile(const std::string& URL, const std::string& FileName,
                              THttpDownloadCallback Callback, std::int32_t Tag,
                              IHttpHeaders* Headers) override;
    bool DeleteDownloadFiles(const std::string& FileName) override;
    std::string GetStateFileName(const std::string& FileName) override;
    std::string GetTempFileName(const std::string& FileName) override;
    std::int64_t GetDownloadedSize(const std::string& FileName) override;
    bool Get(const std::string& URL, IHttpHeaders* Headers, IHttpResponseHeaders* ResponseHeaders,
             std::string& Response) override;
    bool GetToStream(const std::string& URL, IHttpHeaders* Headers, IHttpResponseHeaders* ResponseHeaders,
                     IByteStream* Response) override;
    bool Post(const std::string& URL, IHttpHeaders* Headers, IHttpResponseHeaders* ResponseHeaders,
              const std::string& RequestText, std::string& Response) override;
    bool PostStream(const std::string& URL, IHttpHeaders* Headers, IHttpResponseHeaders* ResponseHeaders,
                    IByteStream* Body, std::string& Response) override;
    bool PostToStream(const std::string& URL, IHttpHeaders* Headers, IHttpResponseHeaders* ResponseHeaders,
                      const std::string& RequestText, IByteStream* Response) override;
    bool PostStreamToStream(const std::string& URL, IHttpHeaders* Headers,
                            IHttpResponseHeaders* ResponseHeaders, IByteStream* Body,
                            IByteStream* Response) override;
    bool Request(const std::string& Verb, const std::string& URL, IHttpHeaders* Headers,
                 IHttpResponseHeaders* ResponseHeaders, const std::string& RequestText,
                 std::string& Response) override;

    // Opens the session and the connection for an encoded URL and turns URL into the object path.
    bool _CreateInternetConnect(std::string& URL, platform::inet::HSession& Session,
                                platform::inet::HConnection& Connection, std::string& ErrorText,
                                bool& IsHttps);
    // Sends up to Attempts times; true once the server answers 200 or 206. Writes LastError on failures
    // (not on a stop, which ends the attempts), and tells how it ended in Outcome when given.
    bool _SendRequest(platform::inet::TRequest* Request, std::int32_t Attempts, IByteStream* Body,
                      TSendOutcome* Outcome = nullptr);
    // The general request; its failure text goes into Response (when given).
    bool _HttpRequest(const std::string& Verb, const std::string& URL, IHttpHeaders* Headers,
                      IHttpResponseHeaders* ResponseHeaders, IByteStream* Body, IByteStream* Response);

    // A read buffer of BufferSize bytes; false (ENOMEM, or EINVAL for a size of 0 or less) without one.
    bool _AllocateReadBuffer(std::unique_ptr<char[]>& Buffer, std::size_t& Size);

private:
    std::string FAgent;
    THttpAccessType FAccessType = atPreconfig;
    std::int32_t FTimeOut = 60000;
    std::string FProxy;
    std::string FProxyUser;
    std::string FProxyPassword;
    std::int64_t FMaxFileSize = 2097152000;
    std::int32_t FBufferSize = 131072;
    std::int32_t FRetryCount = 1;
    bool FResume = false;
    TBeforeDownloadEvent FOnBeforeDownload;
    TStopCheck FStopCheck;
    std::optional<platform::TEd25519Key> FInstallerKey;
    std::string FLastError;
    std::optional<TDownloadFailure> FLastFailure;

    // The thread inside a call of this client; none between calls.
    std::atomic<std::thread::id> FCallThread{};
    friend class TInCall;
    friend class TDownloadCall;
    // Debug builds: asserts that no other thread is inside a call of this client.
    void CheckThread() const;
};
