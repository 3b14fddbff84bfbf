// The download client: THttpClient with its settings, the request machinery over platform/inet, and the
// text and file helpers of its unit.
#pragma once

#include "platform/Inet.h"
#include "public/HttpClientIntf.h"

#include <cstdint>
#include <memory>
#include <string>

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

// The system text of the thread's last error code, trailing blanks and full stops removed.
std::string SystemErrorText();

// Adds the fixed header lines, a range from From on (only when Ranged and From > 0) and the caller's
// headers (names trimmed, blank names skipped). False at the first line the request refuses.
bool AddRequestHeaders(platform::inet::TRequest& Request, IHttpHeaders* Headers, bool Ranged,
                       std::uint64_t From);

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
    void SetAgent(const std::string& Value) override { FAgent = Value; }
    void SetAccessType(THttpAccessType Value) override { FAccessType = Value; }
    void SetTimeOut(std::int32_t Value) override { FTimeOut = Value; }
    void SetProxy(const std::string& Value) override { FProxy = Value; }
    void SetProxyUser(const std::string& Value) override { FProxyUser = Value; }
    void SetProxyPassword(const std::string& Value) override { FProxyPassword = Value; }
    void SetMaxFileSize(std::int64_t Value) override { FMaxFileSize = Value; }
    void SetBufferSize(std::int32_t Value) override { FBufferSize = Value; }
    void SetRetryCount(std::int32_t Value) override { FRetryCount = Value; }
    void SetResume(bool Value) override { FResume = Value; }
    void SetOnBeforeDownload(TBeforeDownloadEvent Value) override { FOnBeforeDownload = std::move(Value); }
    TStopCheck GetStopCheck() override { return FStopCheck; }
    void SetStopCheck(TStopCheck Value) override { FStopCheck = std::move(Value); }
    // The status line of the last answer that _SendRequest refused, as "[404]Not Found"; empty when the
    // last DownloadFile call met no refusal.
    std::string GetLastRefusal() const { return FLastRefusal; }

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
    // Sends up to Attempts times; true once the server answers 200 or 206. Writes LastError on failures.
    bool _SendRequest(platform::inet::TRequest* Request, std::int32_t Attempts, IByteStream* Body);
    // The general request; its failure text goes into Response (when given).
    bool _HttpRequest(const std::string& Verb, const std::string& URL, IHttpHeaders* Headers,
                      IHttpResponseHeaders* ResponseHeaders, IByteStream* Body, IByteStream* Response);

    // What one DownloadFile call's reports carry besides their own fields: the callback, the tag (as the
    // hook left it) and the result at the moment of the report.
    struct TDownloadReportTarget {
        THttpDownloadCallback Callback;
        std::int32_t Tag = 0;
        std::int32_t Result = -1;
    };
    // Fills one report and hands it to the callback; returns the callback's Stop answer (false without a
    // callback). dsFail and dsError texts also become LastError, but only when a callback is given.
    bool ReportProgress(const TDownloadReportTarget& Target, THttpDownloadStatus Status,
                        const std::string& Message, std::int64_t Position, std::int64_t Size,
                        std::int64_t RemainTime, std::int64_t Speed);
    // The content length (0 when absent) and the Last-Modified date (0 when absent) of a response.
    static void QueryContentInfo(platform::inet::TRequest& Request, std::uint64_t& ContentLength,
                                 TDateTime& LastModified);

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
    std::string FLastError;
    std::string FLastRefusal;
};
