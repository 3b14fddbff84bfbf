// The parts of platform/inet that do not depend on the HTTP library underneath, shared by the libcurl
// implementation (Inet.cpp) and the Windows one (win32/Inet.cpp): the settings a session hands down to its
// connections and requests, the checks of what opens a session or a connection, the request's header
// lines, the object path as it goes out, and the rule that keeps a TLS request from being redirected to
// plain HTTP. Not for use outside platform/inet. InetCommon.cpp also holds the number and date queries of
// Inet.h, which read the text queries of either implementation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace platform::inet::common {

// What a session holds and a connection copies, with the connection's own part.
struct TSettings {
    std::string Agent;
    std::uint32_t AccessType = 0; // INTERNET_OPEN_TYPE_PRECONFIG
    std::string Proxy;
    std::string ProxyUserName;
    std::string ProxyPassword;
    std::string CaFile;
    std::uint32_t ConnectTimeout = 60000;
    std::uint32_t SendTimeout = 30000;
    std::uint32_t ReceiveTimeout = 30000;
    std::uint32_t DataSendTimeout = 30000;
    std::uint32_t DataReceiveTimeout = 30000;
    std::function<bool()> StopCheck;
    // Connection
    std::string HostName;
    std::uint16_t Port = 0;
    std::string UserName;
    std::string Password;
};

// Sets Code as the thread's last error and answers false.
bool Fail(int Code);

// False with ERROR_INTERNET_INVALID_OPTION for an access type other than preconfigured, direct and proxy.
bool KnownAccessType(std::uint32_t AccessType);
// False for a service other than HTTP (ERROR_INTERNET_INVALID_OPTION) or an empty host
// (ERROR_INTERNET_INVALID_URL).
bool ConnectionAllowed(const std::string& HostName, std::uint32_t Service);

// Stores a number option (the time-outs) or a text option (proxy user name and password, CA file) in the
// settings; false with ERROR_INTERNET_INVALID_OPTION for an option that is neither.
bool StoreOption(TSettings& Settings, std::uint32_t Option, std::uint32_t Value);
bool StoreOption(TSettings& Settings, std::uint32_t Option, const std::string& Value);

// The object path as it goes on the request line: bytes below 0x21 and above 0x7E percent-encoded, and a
// leading "/" where it has none.
std::string EscapeObjectName(const std::string& Name);

// A request's header lines in the order they were added: the name (for replacing) and the whole line.
using THeaderLines = std::vector<std::pair<std::string, std::string>>;
// Adds "Name:Value" (HttpAddRequestHeaders's rules): false (ERROR_HTTP_INVALID_HEADER) for a line without
// a name or with a line break in it, or one that exists already under HTTP_ADDREQ_FLAG_ADD_IF_NEW.
bool AddHeaderLine(THeaderLines& Lines, const std::string& Line, std::uint32_t Modifiers);

// Whether a redirect of a TLS request to Location stays on TLS: a relative location does, an absolute one
// only with the scheme https.
bool RedirectKeepsTls(const std::string& Location);

} // namespace platform::inet::common
