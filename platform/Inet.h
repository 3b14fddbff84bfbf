// HTTP in the shape of the Windows Internet functions, over the libcurl multi interface: a session holds
// the agent, the access type, the proxy and the time-outs; a connection names host, port and
// credentials; a request carries verb, object path, flag word and header lines, is sent (again, for a
// retry) with a body, answers status and header queries, and hands out its body in pull mode.
//
// The body is never held whole: the transfer pauses while the caller is behind, so a request holds at
// most about two reads of data. Time-outs are our own millisecond deadlines, counted while the caller
// waits inside a send or a read. HTTPS always verifies the server's certificate and host name, and a
// redirect from HTTPS to HTTP is refused. Credentials (of the server or the proxy) are sent only in answer
// to a challenge (401, 407). Failures leave the Internet error code (12002, 12007, 12029, ...) as the
// thread's last error (platform/LastError.h). Handles are closed by their destructors; close requests
// before connections before sessions (each holds a copy of its parent's settings and a request shares its
// connection's cache, so an out-of-order close is harmless).
//
// Threads: a session and everything opened on it belong to one thread at a time; the stop check is the
// one piece meant to be answered from state another thread sets (an atomic flag).
//
// Two implementations: over libcurl (Inet.cpp) and, on Windows, over WinInet itself (win32/Inet.cpp).
// Where WinInet differs:
// - INTERNET_OPEN_TYPE_PRECONFIG takes the system's proxy configuration, not the proxy environment
//   variables (Wine reads http_proxy but not no_proxy).
// - A header line goes out as "Name: value", the value without blanks at its ends.
// - Credentials that a server accepted after its challenge are kept by WinInet for the process and sent
//   to that host with later requests at once; a server that never asked gets none.
// - WinInet's cache of open connections serves the whole process: another connection handle to the same
//   server may use a connection a request closed before.
// - INTERNET_OPTION_CA_FILE is refused: servers are verified against the system's certificate store.
// - A stop or time-out in the middle of a fast transfer hands out the bytes up to the last whole piece
//   of 64 KiB; the bytes after them are never handed out (a new request fetches them again).
#pragma once

#include "platform/DateTime.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform::inet {

// Access types of InternetOpen.
constexpr std::uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0; // proxy environment variables honoured
constexpr std::uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;    // no proxy, environment ignored
constexpr std::uint32_t INTERNET_OPEN_TYPE_PROXY = 3;     // the named proxy

constexpr std::uint32_t INTERNET_SERVICE_HTTP = 3;
constexpr std::uint16_t INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr std::uint16_t INTERNET_DEFAULT_HTTPS_PORT = 443;

// Options (milliseconds for the time-outs).
constexpr std::uint32_t INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr std::uint32_t INTERNET_OPTION_SEND_TIMEOUT = 5;
constexpr std::uint32_t INTERNET_OPTION_RECEIVE_TIMEOUT = 6;
constexpr std::uint32_t INTERNET_OPTION_DATA_SEND_TIMEOUT = 7;
constexpr std::uint32_t INTERNET_OPTION_DATA_RECEIVE_TIMEOUT = 8;
constexpr std::uint32_t INTERNET_OPTION_USERNAME = 28; // with a named proxy: the proxy's user name
constexpr std::uint32_t INTERNET_OPTION_PASSWORD = 29; // with a named proxy: the proxy's password
// Our own: a file of trusted certificate authorities (PEM) to verify servers with, in place of the
// system's store. Nothing in the program sets it; tests use it for a server of their own.
constexpr std::uint32_t INTERNET_OPTION_CA_FILE = 0x10001;

// Request flags.
constexpr std::uint32_t INTERNET_FLAG_RELOAD = 0x80000000;
constexpr std::uint32_t INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
constexpr std::uint32_t INTERNET_FLAG_SECURE = 0x00800000;
constexpr std::uint32_t INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
constexpr std::uint32_t INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP = 0x00008000; // not honoured: never followed
constexpr std::uint32_t INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS =
    0x00004000; // HTTP to HTTPS is followed anyway
constexpr std::uint32_t INTERNET_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000; // not honoured
constexpr std::uint32_t INTERNET_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;   // not honoured

// Modifiers of HttpAddRequestHeaders.
constexpr std::uint32_t HTTP_ADDREQ_FLAG_ADD_IF_NEW = 0x10000000;
constexpr std::uint32_t HTTP_ADDREQ_FLAG_ADD = 0x20000000;
constexpr std::uint32_t HTTP_ADDREQ_FLAG_REPLACE = 0x80000000;

// Query levels.
constexpr std::uint32_t HTTP_QUERY_CONTENT_TYPE = 1;
constexpr std::uint32_t HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr std::uint32_t HTTP_QUERY_DATE = 9;
constexpr std::uint32_t HTTP_QUERY_LAST_MODIFIED = 11;
constexpr std::uint32_t HTTP_QUERY_STATUS_CODE = 19;
constexpr std::uint32_t HTTP_QUERY_STATUS_TEXT = 20;
constexpr std::uint32_t HTTP_QUERY_RAW_HEADERS_CRLF = 22;
constexpr std::uint32_t HTTP_QUERY_LOCATION = 33;
constexpr std::uint32_t HTTP_QUERY_ACCEPT_RANGES = 42;
constexpr std::uint32_t HTTP_QUERY_ETAG = 54;
constexpr std::uint32_t HTTP_QUERY_FLAG_NUMBER = 0x20000000;
constexpr std::uint32_t HTTP_QUERY_FLAG_SYSTEMTIME = 0x40000000;

class TSession;
class TConnection;
class TRequest;

struct TSessionDeleter {
    void operator()(TSession* Session) const;
};
struct TConnectionDeleter {
    void operator()(TConnection* Connection) const;
};
struct TRequestDeleter {
    void operator()(TRequest* Request) const;
};
using HSession = std::unique_ptr<TSession, TSessionDeleter>;
using HConnection = std::unique_ptr<TConnection, TConnectionDeleter>;
using HRequest = std::unique_ptr<TRequest, TRequestDeleter>;

// A session; null (ERROR_INTERNET_INVALID_OPTION) for an unknown access type. Proxy may be null; it is
// used with INTERNET_OPEN_TYPE_PROXY only, as "host:port" or a proxy URL.
HSession InternetOpen(const std::string& Agent, std::uint32_t AccessType, const char* Proxy);
// Number options (time-outs) and text options (user name, password, CA file). False for an unknown one.
bool InternetSetOption(TSession& Session, std::uint32_t Option, std::uint32_t Value);
bool InternetSetOption(TSession& Session, std::uint32_t Option, const std::string& Value);
// Our own: a check asked on the calling thread at least every 100 ms while a send or a read waits for the
// network (connecting, a silent server, a slow line). When it answers true the call ends with
// ERROR_INTERNET_OPERATION_CANCELLED (a read hands out the bytes it has first). Connections and requests
// opened later take it with the other settings; an empty one (the default) never stops.
void InternetSetStopCheck(TSession& Session, std::function<bool()> StopCheck);
// A connection to host and port; nothing is sent until a request is. Null for an empty host or a
// service other than HTTP. The connection holds the cache of open network connections that its requests
// share: a request closed after its exchange leaves its connection open for the next request to the same
// server, so a HEAD and the GET after it use one TCP (and TLS) connection when the server keeps it.
HConnection InternetConnect(TSession& Session, const std::string& HostName, std::uint16_t Port,
                            const std::string& UserName, const std::string& Password, std::uint32_t Service);
// A request; the object path is sent as given, bytes below 0x21 and above 0x7E percent-encoded.
HRequest HttpOpenRequest(TConnection& Connection, const std::string& Verb, const std::string& ObjectName,
                         const std::string& Version, std::uint32_t Flags);
// Adds one "Name:Value" line (no line end). With HTTP_ADDREQ_FLAG_REPLACE a line of the same name
// (letter case ignored) is replaced. False (ERROR_HTTP_INVALID_HEADER) for a line without a name.
bool HttpAddRequestHeaders(TRequest& Request, const std::string& Line, std::uint32_t Modifiers);
// Sends the request with the body and waits for the final response headers. May be called again on the
// same request (a new attempt: a new exchange with the server). False with the Internet error code
// when no response came (cannot connect, name not resolved, time-out, refused redirect, ...).
bool HttpSendRequest(TRequest& Request, const void* Body, std::size_t Length);
// Text queries: status text, raw headers (every line ended by CR LF, the block ended by an empty line),
// or a header's value. ERROR_HTTP_HEADER_NOT_FOUND when the response has no such header.
bool HttpQueryInfo(TRequest& Request, std::uint32_t InfoLevel, std::string& Value);
// Number queries (status code, content length), 64-bit.
bool HttpQueryInfoNumber(TRequest& Request, std::uint32_t InfoLevel, std::uint64_t& Value);
// Date queries (Last-Modified, Date), UTC.
bool HttpQueryInfoSystemTime(TRequest& Request, std::uint32_t InfoLevel, TSystemTime& Value);
// Any header of the final response by name (letter case ignored); the first one when repeated.
bool HttpQueryHeader(TRequest& Request, const std::string& Name, std::string& Value);
// Reads up to ToRead bytes of the body: returns when ToRead bytes are there, the body has ended
// (Read 0 at the end), or the receive time-out passed with no byte arriving. A failure after some bytes
// were read returns those bytes, and the failure comes with the next call.
bool InternetReadFile(TRequest& Request, void* Buffer, std::size_t ToRead, std::size_t& Read);

} // namespace platform::inet
