// The download client as the rest of the program sees it: the interface IHttpClient with its 40
// operations, the records it hands out and takes, and the factory of the one shared client.
//
// Texts are UTF-8 std::strings. Optional caller-supplied objects (header lists, receivers, streams) are
// plain pointers that may be null and need only live for the call.
//
// Threads: a client belongs to one thread at a time. Every operation runs on the thread that calls it and
// returns when its work is done; DownloadFile calls its callback and the OnBeforeDownload hook on that same
// thread, from inside the call. While a call runs, the client (the shared one of GetHttpClient included)
// belongs to the calling thread: no other thread may call it or change its settings until the call returns
// (debug builds check this). The one piece meant for other threads is what the stop check reads: it runs
// on the calling thread and reads a flag another thread or a signal handler sets.
#pragma once

#include "platform/DateTime.h"
#include "platform/Signature.h"
#include "public/ByteStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// Interface identity, in registry text form.
inline constexpr const char* IID_IHttpClient = "{17447337-0737-4A11-981B-73C885598DCD}";

using TDateTime = platform::TDateTime;

// How the Internet session reaches the network. Setters accept any byte; values other than these three
// open no session, so every request fails.
enum THttpAccessType : std::uint8_t {
    atDirect = 0,    // direct, no proxy (proxy environment variables are ignored)
    atPreconfig = 1, // the system's proxy configuration (http_proxy, https_proxy, no_proxy)
    atProxy = 2,     // the named proxy of the client's Proxy setting
};

enum THttpDownloadStatus : std::uint8_t {
    dsBegin = 0,
    dsProgress = 1,
    dsEnd = 2,
    dsFail = 3,
    dsError = 4,
};

// A counted text of at most 16 bytes: a length byte and the bytes (UTF-8, cut on a character boundary).
#pragma pack(push, 1)
struct TShortString16 {
    std::uint8_t Length = 0;
    char Text[16] = {};

    void Assign(const std::string& Value);
    std::string Str() const { return std::string(Text, Length); }
};

// The progress report handed to a THttpDownloadCallback. Packed; its field offsets are fixed.
struct THttpDownloadInfo {
    std::uint8_t Reserved = 1; // always 1
    THttpDownloadStatus Status = dsBegin;
    std::int64_t Position = 0;     // bytes of the target present so far
    std::int64_t Size = 0;         // announced size, 0 when none
    std::int32_t Tag = 0;          // the caller's tag
    const char* Message = nullptr; // failure text of dsFail and dsError; lives for the call
    std::int64_t RemainTime = 0;   // milliseconds; -1 when unknown
    TShortString16 RemainTimeText; // FormatRemainTime(RemainTime)
    std::int64_t Speed = 0;        // bytes per second over the last measuring window
    TShortString16 SpeedText;      // FormatSpeed(Speed)
    std::int32_t ResultCode = -1;  // -1 failed or not finished, 0 done, 1 stopped
};
#pragma pack(pop)

static_assert(sizeof(TShortString16) == 17);
static_assert(sizeof(THttpDownloadInfo) == 76 + sizeof(void*),
              "80 bytes with 4-byte, 84 with 8-byte pointers");
static_assert(offsetof(THttpDownloadInfo, Status) == 1);
static_assert(offsetof(THttpDownloadInfo, Position) == 2);
static_assert(offsetof(THttpDownloadInfo, Size) == 10);
static_assert(offsetof(THttpDownloadInfo, Tag) == 18);
static_assert(offsetof(THttpDownloadInfo, Message) == 22);
static_assert(offsetof(THttpDownloadInfo, RemainTime) == 22 + sizeof(void*));
static_assert(offsetof(THttpDownloadInfo, RemainTimeText) == 30 + sizeof(void*));
static_assert(offsetof(THttpDownloadInfo, Speed) == 47 + sizeof(void*));
static_assert(offsetof(THttpDownloadInfo, SpeedText) == 55 + sizeof(void*));
static_assert(offsetof(THttpDownloadInfo, ResultCode) == 72 + sizeof(void*));

// A report as a download's begin report carries it: Reserved 1, ResultCode -1, numbers 0, texts
// "00:00:00" and "0.00B/s".
THttpDownloadInfo MakeDownloadInfo(THttpDownloadStatus Status, std::int32_t Tag);

// The parts of a URL, as the client's URL parser gives them.
struct TURLParts {
    std::int32_t Scheme = 0; // 3 HTTP, 4 HTTPS
    std::string SchemeName;  // as written, e.g. "http"
    std::string HostName;
    std::uint16_t Port = 0; // the scheme's default when the URL gives none
    std::string UserName;
    std::string Password;
    std::string UrlPath;   // begins with "/"; empty when the URL has no path
    std::string ExtraInfo; // begins with "?" or "#"; empty when none
};

// Extra request headers supplied by a caller.
class IHttpHeaders {
public:
    virtual ~IHttpHeaders() = default;
    virtual std::int32_t Count() = 0;
    virtual std::string Names(std::int32_t Index) = 0;
    virtual void Add(const std::string& Name, const std::string& Value) = 0; // never called by the client
    virtual std::string Values(std::int32_t Index) = 0;
};

// A receiver of response information supplied by a caller.
class IHttpResponseHeaders {
public:
    virtual ~IHttpResponseHeaders() = default;
    // The raw header block of the final response, every line ended by CR LF; Reserved is always 0.
    virtual void SetRawHeaders(const std::string& RawHeaders, std::int32_t Reserved) = 0;
    // The response's Last-Modified in UTC; 0 means none.
    virtual void SetLastModified(TDateTime LastModified) = 0;
    // Never called by the client.
    virtual std::string GetRawHeaders() = 0;
    virtual TDateTime GetLastModified() = 0;
};

class IHttpClient;

// Called with each progress report; the callee sets Stop to ask the transfer to end.
using THttpDownloadCallback = std::function<void(const THttpDownloadInfo& Info, bool& Stop)>;

// Asked by every request of the client (DownloadFile included) on the thread of the call, at least every
// 100 ms while it waits for the network and once per chunk of a download's body; true stops the call at
// once. It is meant to read a flag that another thread or a signal handler sets (an atomic), and must be
// cheap. A download stopped so ends with 1 and keeps its side files for the next call; the other requests
// fail with 12017 (ERROR_INTERNET_OPERATION_CANCELLED).
using TStopCheck = std::function<bool()>;

// Called by DownloadFile in resume mode once the server's size and date are known. The values the
// handler leaves govern the rest of the transfer.
using TBeforeDownloadEvent =
    std::function<void(std::shared_ptr<IHttpClient> Sender, std::string& ObjectName, std::string& FileName,
                       std::int32_t& Tag, std::string Verb, IHttpHeaders*& Headers, std::uint32_t& StartPos,
                       std::uint32_t& ContentLength, bool& IsResume, bool& Handled)>;

// The download client. Its lifetime is that of the last shared_ptr to it.
class IHttpClient {
public:
    virtual ~IHttpClient() = default;

    // 3..14: getters
    virtual std::string GetAgent() = 0;
    virtual THttpAccessType GetAccessType() = 0;
    virtual std::int32_t GetTimeOut() = 0;
    virtual std::string GetProxy() = 0;
    virtual std::string GetProxyUser() = 0;
    virtual std::string GetProxyPassword() = 0;
    virtual std::int64_t GetMaxFileSize() = 0;
    virtual std::int32_t GetBufferSize() = 0;
    virtual std::int32_t GetRetryCount() = 0;
    virtual bool GetResume() = 0;
    virtual TBeforeDownloadEvent GetOnBeforeDownload() = 0;
    virtual std::string GetLastError() = 0;
    // 15..25: setters (LastError has none)
    virtual void SetAgent(const std::string& Value) = 0;
    virtual void SetAccessType(THttpAccessType Value) = 0;
    virtual void SetTimeOut(std::int32_t Value) = 0;
    virtual void SetProxy(const std::string& Value) = 0;
    virtual void SetProxyUser(const std::string& Value) = 0;
    virtual void SetProxyPassword(const std::string& Value) = 0;
    virtual void SetMaxFileSize(std::int64_t Value) = 0;
    virtual void SetBufferSize(std::int32_t Value) = 0;
    virtual void SetRetryCount(std::int32_t Value) = 0;
    virtual void SetResume(bool Value) = 0;
    virtual void SetOnBeforeDownload(TBeforeDownloadEvent Value) = 0;
    // 26..42: working operations
    virtual std::shared_ptr<IHttpClient> Clone() = 0;
    virtual void Reset() = 0;
    virtual bool Head(const std::string& URL, IHttpHeaders* Headers) = 0;
    virtual bool ParseURL(const std::string& URL, TURLParts& Parts) = 0;
    virtual std::string NewTempFilePath(const std::string& Suffix) = 0;
    // -1 failed, 0 done, 1 stopped by the callback.
    virtual std::int32_t DownloadFile(const std::string& URL, const std::string& FileName,
                                      THttpDownloadCallback Callback, std::int32_t Tag,
                                      IHttpHeaders* Headers) = 0;
    virtual bool DeleteDownloadFiles(const std::string& FileName) = 0;
    virtual std::string GetStateFileName(const std::string& FileName) = 0;
    virtual std::string GetTempFileName(const std::string& FileName) = 0;
    // The size already on disk: of the ".tmp" file when it exists, else of the file itself (64-bit).
    virtual std::int64_t GetDownloadedSize(const std::string& FileName) = 0;
    virtual bool Get(const std::string& URL, IHttpHeaders* Headers, IHttpResponseHeaders* ResponseHeaders,
                     std::string& Response) = 0;
    virtual bool GetToStream(const std::string& URL, IHttpHeaders* Headers,
                             IHttpResponseHeaders* ResponseHeaders, IByteStream* Response) = 0;
    virtual bool Post(const std::string& URL, IHttpHeaders* Headers, IHttpResponseHeaders* ResponseHeaders,
                      const std::string& RequestText, std::string& Response) = 0;
    virtual bool PostStream(const std::string& URL, IHttpHeaders* Headers,
                            IHttpResponseHeaders* ResponseHeaders, IByteStream* Body,
                            std::string& Response) = 0;
    virtual bool PostToStream(const std::string& URL, IHttpHeaders* Headers,
                              IHttpResponseHeaders* ResponseHeaders, const std::string& RequestText,
                              IByteStream* Response) = 0;
    virtual bool PostStreamToStream(const std::string& URL, IHttpHeaders* Headers,
                                    IHttpResponseHeaders* ResponseHeaders, IByteStream* Body,
                                    IByteStream* Response) = 0;
    virtual bool Request(const std::string& Verb, const std::string& URL, IHttpHeaders* Headers,
                         IHttpResponseHeaders* ResponseHeaders, const std::string& RequestText,
                         std::string& Response) = 0;
    // 43, 44: our own setting after the original operations: the stop check (none by default).
    virtual TStopCheck GetStopCheck() = 0;
    virtual void SetStopCheck(TStopCheck Value) = 0;
    // 45, 46: the maker's public key (none by default). With a key, DownloadFile counts a file complete only
    // when it verifies against the signature the server serves beside it (the file's address with ".sig"
    // appended to its path), before it takes the target's name; a target found complete is checked too.
    // Reset keeps the key, as it keeps the stop check.
    virtual std::optional<platform::TEd25519Key> GetInstallerKey() = 0;
    virtual void SetInstallerKey(std::optional<platform::TEd25519Key> Value) = 0;
};

// The one shared client, created on the first call; every call returns the same object.
std::shared_ptr<IHttpClient> GetHttpClient();
