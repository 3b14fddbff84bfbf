#include "platform/UrlCrack.h"

#include "platform/LastError.h"
#include "platform/Text.h"

#include <cctype>

namespace platform {

namespace {

struct TSchemeInfo {
    const char* Name;
    int Code;
    std::uint16_t DefaultPort;
};

const TSchemeInfo Schemes[] = {
    {"http", INTERNET_SCHEME_HTTP, 80}, {"https", INTERNET_SCHEME_HTTPS, 443},
    {"ftp", INTERNET_SCHEME_FTP, 21},   {"gopher", INTERNET_SCHEME_GOPHER, 70},
    {"file", INTERNET_SCHEME_FILE, 0},  {"news", INTERNET_SCHEME_NEWS, 0},
};

bool Fail(TUrlComponents& Parts, int Code) {
    Parts = TUrlComponents();
    SetLastError(Code);
    return false;
}

bool Fits(const std::string& Text, std::size_t Capacity) {
    return Text.size() + 1 <= Capacity;
}

bool IsSchemeChar(char C, bool First) {
    const unsigned char U = static_cast<unsigned char>(C);
    if (std::isalpha(U)) {
        return true;
    }
    return !First && (std::isdigit(U) || C == '+' || C == '-' || C == '.');
}

} // namespace

bool CrackUrl(const std::string& Url, TUrlComponents& Parts, const TUrlCapacities& Capacities) {
    Parts = TUrlComponents();
    const std::string::size_type Colon = Url.find(':');
    if (Colon == std::string::npos || Colon == 0 || Url.compare(Colon, 3, "://") != 0) {
        return Fail(Parts, ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    }
    for (std::string::size_type i = 0; i < Colon; ++i) {
        if (!IsSchemeChar(Url[i], i == 0)) {
            return Fail(Parts, ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        }
    }
    TUrlComponents P;
    P.SchemeName = Url.substr(0, Colon);
    P.Scheme = INTERNET_SCHEME_UNKNOWN;
    for (const TSchemeInfo& S : Schemes) {
        if (SameText(S.Name, P.SchemeName)) {
            P.Scheme = S.Code;
            P.Port = S.DefaultPort;
        }
    }

    const std::string::size_type AuthorityStart = Colon + 3;
    std::string::size_type AuthorityEnd = Url.find_first_of("/?#", AuthorityStart);
    if (AuthorityEnd == std::string::npos) {
        AuthorityEnd = Url.size();
    }
    std::string Authority = Url.substr(AuthorityStart, AuthorityEnd - AuthorityStart);

    const std::string::size_type At = Authority.rfind('@');
    if (At != std::string::npos) {
        const std::string UserInfo = Authority.substr(0, At);
        Authority = Authority.substr(At + 1);
        const std::string::size_type Sep = UserInfo.find(':');
        P.UserName = UserInfo.substr(0, Sep);
        if (Sep != std::string::npos) {
            P.Password = UserInfo.substr(Sep + 1);
        }
    }

    std::string PortText;
    if (!Authority.empty() && Authority.front() == '[') {
        // An IPv6 literal keeps its brackets out of the host name.
        const std::string::size_type Close = Authority.find(']');
        if (Close == std::string::npos) {
            return Fail(Parts, ERROR_INTERNET_INVALID_URL);
        }
        P.HostName = Authority.substr(1, Close - 1);
        const std::string Rest = Authority.substr(Close + 1);
        if (!Rest.empty()) {
            if (Rest.front() != ':') {
                return Fail(Parts, ERROR_INTERNET_INVALID_URL);
            }
            PortText = Rest.substr(1);
        }
    } else {
        const std::string::size_type PortSep = Authority.rfind(':');
        P.HostName = Authority.substr(0, PortSep);
        if (PortSep != std::string::npos) {
            PortText = Authority.substr(PortSep + 1);
        }
    }
    if (!PortText.empty()) {
        if (PortText.size() > 5) {
            return Fail(Parts, ERROR_INTERNET_INVALID_URL);
        }
        unsigned long Port = 0;
        for (char C : PortText) {
            if (!std::isdigit(static_cast<unsigned char>(C))) {
                return Fail(Parts, ERROR_INTERNET_INVALID_URL);
            }
            Port = Port * 10 + static_cast<unsigned long>(C - '0');
        }
        if (Port == 0 || Port > 65535) {
            return Fail(Parts, ERROR_INTERNET_INVALID_URL);
        }
        P.Port = static_cast<std::uint16_t>(Port);
    }
    for (char C : P.HostName) {
        const unsigned char U = static_cast<unsigned char>(C);
        if (U <= 0x20 || U == 0x7F || C == '[' || C == ']' || C == '\\') {
            return Fail(Parts, ERROR_INTERNET_INVALID_URL);
        }
    }
    if (P.HostName.empty() && (P.Scheme == INTERNET_SCHEME_HTTP || P.Scheme == INTERNET_SCHEME_HTTPS)) {
        return Fail(Parts, ERROR_INTERNET_INVALID_URL);
    }

    if (AuthorityEnd < Url.size()) {
        std::string::size_type ExtraStart = Url.find_first_of("?#", AuthorityEnd);
        if (ExtraStart == std::string::npos) {
            ExtraStart = Url.size();
        }
        P.UrlPath = Url.substr(AuthorityEnd, ExtraStart - AuthorityEnd);
        P.ExtraInfo = Url.substr(ExtraStart);
    }

    if (!Fits(P.SchemeName, Capacities.Scheme) || !Fits(P.HostName, Capacities.HostName) ||
        !Fits(P.UserName, Capacities.UserName) || !Fits(P.Password, Capacities.Password) ||
        !Fits(P.UrlPath, Capacities.UrlPath) || !Fits(P.ExtraInfo, Capacities.ExtraInfo)) {
        return Fail(Parts, ERROR_INTERNET_INVALID_URL);
    }
    Parts = std::move(P);
    return true;
}

} // namespace platform
