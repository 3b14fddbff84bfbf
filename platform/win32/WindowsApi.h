// <windows.h> and <wininet.h> for the Windows implementations of the platform layer. These headers define
// some of our own names as macros (DeleteFile, GetFileAttributesEx, and the error codes platform/LastError.h
// declares); they are undefined here, so that platform::DeleteFile and platform::ERROR_SUCCESS keep their
// meaning (their values are Win32's). Include this in place of the Windows headers, before the platform
// headers. The WinInet constants (HTTP_QUERY_..., INTERNET_FLAG_...) stay defined: platform/Inet.h declares
// the same names with the same values, and only the inet implementation meets both.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// after <windows.h>, which it needs
#include <wininet.h>

// Names of ours that the A/W pairs of the Windows headers take: call the W functions by their full names.
#undef CreateFile
#undef DeleteFile
#undef FormatMessage
#undef GetFileAttributesEx
#undef GetPrivateProfileString
#undef GetTempFileName
#undef WritePrivateProfileString

#undef ERROR_SUCCESS
#undef ERROR_ALREADY_EXISTS
#undef ERROR_FILE_NOT_FOUND
#undef ERROR_INVALID_PARAMETER
#undef ERROR_NOT_ENOUGH_MEMORY
#undef ERROR_LOCK_VIOLATION
#undef ERROR_FILE_INVALID

#undef ERROR_INTERNET_TIMEOUT
#undef ERROR_INTERNET_INTERNAL_ERROR
#undef ERROR_INTERNET_INVALID_URL
#undef ERROR_INTERNET_UNRECOGNIZED_SCHEME
#undef ERROR_INTERNET_NAME_NOT_RESOLVED
#undef ERROR_INTERNET_INVALID_OPTION
#undef ERROR_INTERNET_OPERATION_CANCELLED
#undef ERROR_INTERNET_INCORRECT_HANDLE_TYPE
#undef ERROR_INTERNET_INCORRECT_HANDLE_STATE
#undef ERROR_INTERNET_CANNOT_CONNECT
#undef ERROR_INTERNET_CONNECTION_ABORTED
#undef ERROR_INTERNET_CONNECTION_RESET
#undef ERROR_INTERNET_SEC_CERT_DATE_INVALID
#undef ERROR_INTERNET_SEC_CERT_CN_INVALID
#undef ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR
#undef ERROR_INTERNET_INVALID_CA
#undef ERROR_INTERNET_SEC_CERT_ERRORS
#undef ERROR_HTTP_HEADER_NOT_FOUND
#undef ERROR_HTTP_INVALID_SERVER_RESPONSE
#undef ERROR_HTTP_INVALID_HEADER
#undef ERROR_HTTP_INVALID_QUERY_REQUEST
#undef ERROR_HTTP_REDIRECT_FAILED
#undef ERROR_INTERNET_SECURITY_CHANNEL_ERROR
