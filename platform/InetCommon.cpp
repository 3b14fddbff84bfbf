#include "platform/InetCommon.h"

#include "platform/HttpText.h"
#include "platform/Inet.h"
#include "platform/LastError.h"
#include "platform/Text.h"

namespace platform::inet::common {

bool Fail(int Code) {
    SetLastError(Code);
    return false;
}

bool KnownAccessType(std::uint32_t AccessType) {
    if (AccessType != INTERNET_OPEN_TYPE_PRECONFIG && AccessType != INTERNET_OPEN_TYPE_DIRECT &&
        AccessType != INTERNET_OPEN_TYPE_PROXY) {
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
    return true;
}

bool ConnectionAllowed(const std::string& HostName, std::uint32_t Service) {
    if (Service != INTERNET_SERVICE_HTTP) {
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
    return HostName.empty() ? Fail(ERROR_INTERNET_INVALID_URL) : true;
}

bool StoreOption(TSettings& S, std::uint32_t Option, std::uint32_t Value) {
    switch (Option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
        S.ConnectTimeout = Value;
        return true;
    case INTERNET_OPTION_SEND_TIMEOUT:
        S.SendTimeout = Value;
        return true;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
        S.ReceiveTimeout = Value;
        return true;
    case INTERNET_OPTION_DATA_SEND_TIMEOUT:
        S.DataSendTimeout = Value;
        return true;
    case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT:
        S.DataReceiveTimeout = Value;
        return true;
    default:
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
}

bool StoreOption(TSettings& S, std::uint32_t Option, const std::string& Value) {
    switch (Option) {
    case INTERNET_OPTION_USERNAME:
        S.ProxyUserName = Value;
        return true;
    case INTERNET_OPTION_PASSWORD:
        S.ProxyPassword = Value;
        return true;
    case INTERNET_OPTION_CA_FILE:
        S.CaFile = Value;
        return true;
    default:
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
}

std::string EscapeObjectName(const std::string& Name) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string Out;
    for (char C : Name) {
        const unsigned char U = static_cast<unsigned char>(C);
        if (U <= 0x20 || U >= 0x7F) {
            Out += '%';
            Out += Hex[U >> 4];
            Out += Hex[U & 15];
        } else {
            Out += C;
        }
    }
    if (Out.empty() || Out.front() != '/') {
        Out.insert(Out.begin(), '/');
    }
    return Out;
}

bool AddHeaderLine(THeaderLines& Lines, const std::string& Line, std::uint32_t Modifiers) {
    std::string Name, Value;
    if (!http::SplitHeaderLine(Line, Name, Value) || Line.find_first_of("\r\n") != std::string::npos ||
        Name.empty()) {
        return Fail(ERROR_HTTP_INVALID_HEADER);
    }
    for (auto& Entry : Lines) {
        if (SameText(Entry.first, Name)) {
            if (Modifiers & HTTP_ADDREQ_FLAG_REPLACE) {
                Entry.second = Line;
                return true;
            }
            if (Modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) {
                return Fail(ERROR_HTTP_INVALID_HEADER);
            }
        }
    }
    Lines.emplace_back(Name, Line);
    return true;
}

bool RedirectKeepsTls(const std::string& Location) {
    const std::string::size_type Colon = Location.find(':');
    const std::string::size_type Delim = Location.find_first_of("/?#");
    if (Colon == std::string::npos || (Delim != std::string::npos && Delim < Colon)) {
        return true; // relative: same scheme
    }
    return SameText(Location.substr(0, Colon), "https");
}

} // namespace platform::inet::common

namespace platform::inet {

bool HttpQueryInfoNumber(TRequest& Request, std::uint32_t InfoLevel, std::uint64_t& Value) {
    std::string Text;
    if (!HttpQueryInfo(Request, InfoLevel & ~HTTP_QUERY_FLAG_NUMBER, Text)) {
        return false;
    }
    return http::ParseLength(Text, Value) ? true : common::Fail(ERROR_HTTP_INVALID_HEADER);
}

bool HttpQueryInfoSystemTime(TRequest& Request, std::uint32_t InfoLevel, TSystemTime& Value) {
    std::string Text;
    if (!HttpQueryInfo(Request, InfoLevel & ~HTTP_QUERY_FLAG_SYSTEMTIME, Text)) {
        return false;
    }
    return ParseHttpDate(Text, Value) ? true : common::Fail(ERROR_HTTP_INVALID_HEADER);
}

} // namespace platform::inet
