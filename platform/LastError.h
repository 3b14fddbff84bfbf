// The per-thread last error code and the system texts for it.
//
// Network failures keep the numbers of the Windows Internet functions (12002 time-out, 12007 name not
// resolved, 12029 cannot connect, ...), with Chinese texts of our own; file failures carry the system's own
// codes and texts (errno values and the C library's texts on POSIX, Win32 error codes and FormatMessage's
// texts on Windows). The ranges do not overlap: neither system's file codes reach 12000.
#pragma once

#include <string>

namespace platform {

constexpr int ERROR_SUCCESS = 0;
constexpr int ERROR_ALREADY_EXISTS = 183;

constexpr int ERROR_INTERNET_TIMEOUT = 12002;
constexpr int ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr int ERROR_INTERNET_INVALID_URL = 12005;
constexpr int ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr int ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr int ERROR_INTERNET_INVALID_OPTION = 12009;
constexpr int ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr int ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr int ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr int ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr int ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr int ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr int ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr int ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr int ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR = 12040;
constexpr int ERROR_INTERNET_INVALID_CA = 12045;
constexpr int ERROR_INTERNET_SEC_CERT_ERRORS = 12055;
constexpr int ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr int ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr int ERROR_HTTP_INVALID_HEADER = 12153;
constexpr int ERROR_HTTP_INVALID_QUERY_REQUEST = 12154;
constexpr int ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr int ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

// The few system codes the layers above set or test themselves, with each system's own value.
extern const int ERROR_FILE_NOT_FOUND;    // ENOENT: no such file
extern const int ERROR_INVALID_PARAMETER; // EINVAL: an argument out of range
extern const int ERROR_NOT_ENOUGH_MEMORY; // ENOMEM: an allocation failed
extern const int ERROR_LOCK_VIOLATION;    // EWOULDBLOCK: another open holds the file's lock
extern const int ERROR_FILE_INVALID;      // ESTALE: an open file no longer has the name it was opened by

// The calling thread's last error code, as GetLastError keeps it.
int GetLastError();
void SetLastError(int Code);

// The system's message for an error code: our Chinese text for the network codes, the system's own text
// for its codes, and "未知错误 N" for anything else. Never empty, no trailing blanks or full stops.
std::string SysErrorMessage(int Code);
// The system's own text for one of its codes (strerror, FormatMessage), as it gives it; "" when it has none.
std::string OsErrorText(int Code);

} // namespace platform
