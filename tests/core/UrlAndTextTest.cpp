// ParseURL and the text helpers, as tables of cases.
#include "public/HttpClientImpl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(ParseURL, SplitsIntoTheEightParts) {
    struct TCase {
        const char* Url;
        int Scheme;
        const char* SchemeName;
        const char* Host;
        int Port;
        const char* User;
        const char* Password;
        const char* Path;
        const char* Extra;
    } Cases[] = {
        {"http://H/a/b.exe?x=1#y", 3, "http", "H", 80, "", "", "/a/b.exe", "?x=1#y"},
        {"https://dl.example.invalid/", 4, "https", "dl.example.invalid", 443, "", "", "/", ""},
        {"HTTP://Host:8080", 3, "HTTP", "Host", 8080, "", "", "", ""},
        {"http://u:p@h:81/x", 3, "http", "h", 81, "u", "p", "/x", ""},
        {"http://u@h/x", 3, "http", "h", 80, "u", "", "/x", ""},
        {"http://h?q=1", 3, "http", "h", 80, "", "", "", "?q=1"},
        {"http://h#frag", 3, "http", "h", 80, "", "", "", "#frag"},
        {"http://[::1]:8080/p", 3, "http", "::1", 8080, "", "", "/p", ""},
        {"ftp://files.invalid/a", 1, "ftp", "files.invalid", 21, "", "", "/a", ""},
        {"http://h/%E4%B8%AD?a%20b", 3, "http", "h", 80, "", "", "/%E4%B8%AD", "?a%20b"},
        {"http://h/中文.exe", 3, "http", "h", 80, "", "", "/中文.exe", ""},
    };
    THttpClient Client;
    for (const TCase& C : Cases) {
        TURLParts P;
        ASSERT_TRUE(Client.ParseURL(C.Url, P)) << C.Url;
        EXPECT_EQ(P.Scheme, C.Scheme) << C.Url;
        EXPECT_EQ(P.SchemeName, C.SchemeName) << C.Url;
        EXPECT_EQ(P.HostName, C.Host) << C.Url;
        EXPECT_EQ(P.Port, C.Port) << C.Url;
        EXPECT_EQ(P.UserName, C.User) << C.Url;
        EXPECT_EQ(P.Password, C.Password) << C.Url;
        EXPECT_EQ(P.UrlPath, C.Path) << C.Url;
        EXPECT_EQ(P.ExtraInfo, C.Extra) << C.Url;
    }
}

TEST(ParseURL, FailsWithAnEmptyRecord) {
    const std::string LongHost(256, 'h');
    const std::string LongPath = "/" + std::string(2054, 'p');
    const std::string LongExtra = "?" + std::string(2047, 'e');
    const std::string Cases[] = {
        "",
        "dl.example.invalid/a.exe",
        "://h/",
        "http:/h/",
        "http://",
        "http:///path",
        "http://h:99999/",
        "http://h:0/",
        "http://h:8a/",
        "http://bad host/",
        "1http://h/",
        "http://" + LongHost + "/",
        "http://h" + LongPath,
        "http://h/" + LongExtra,
        "http://" + std::string(128, 'u') + "@h/",
        std::string(32, 's') + "://h/",
    };
    THttpClient Client;
    for (const std::string& Url : Cases) {
        TURLParts P;
        P.HostName = "stale";
        P.Port = 1;
        EXPECT_FALSE(Client.ParseURL(Url, P)) << Url.substr(0, 60);
        EXPECT_EQ(P.Scheme, 0);
        EXPECT_EQ(P.HostName, "");
        EXPECT_EQ(P.Port, 0);
        EXPECT_EQ(P.UrlPath, "");
    }
    // Just within the limits.
    TURLParts P;
    EXPECT_TRUE(Client.ParseURL("http://" + std::string(255, 'h') + "/" + std::string(2053, 'p'), P));
    EXPECT_TRUE(Client.ParseURL("http://h/?" + std::string(2046, 'e'), P));
}

TEST(EncodeURL, EncodesOnlyTheNonAsciiRuns) {
    struct TCase {
        const char* In;
        const char* Out;
    } Cases[] = {
        {"", ""},
        {"http://h/a b%20?x=1&y=~", "http://h/a b%20?x=1&y=~"},
        {"/a/中文 1.exe", "/a/%E4%B8%AD%E6%96%87 1.exe"},
        {"文件", "%E6%96%87%E4%BB%B6"},
        {"中a文", "%E4%B8%ADa%E6%96%87"},
        {"（", "%EF%BC%88"},
        {"/uploads/Keltrima（山东）（完整安装包）.exe",
         "/uploads/"
         "Keltrima%EF%BC%88%E5%B1%B1%E4%B8%9C%EF%BC%89%EF%BC%88%E5%AE%8C%E6%95%B4%E5%AE%89%E8%A3%85%E5%8C%85"
         "%EF%BC%89.exe"},
        {"\xC2\x80", "\xC2\x80"},               // U+0080 counts as ASCII and is copied
        {"\xC2\x81", "%C2%81"},                 // U+0081 does not
        {"\xF0\x9F\x98\x80x", "%F0%9F%98%80x"}, // outside the BMP: one four-byte sequence
        {"a\xFF"
         "b",
         "a%FFb"}, // a stray byte is never sent raw
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(EncodeURL(C.In), C.Out) << C.In;
    }
}

TEST(URLEncodeUTF8, KeepsSeventyTwoBytesAndEncodesTheRest) {
    struct TCase {
        std::string In;
        const char* Out;
    } Cases[] = {
        {"", ""},
        {"a b/中", "a+b%2F%E4%B8%AD"},
        {"~", "%7E"},
        {"AZaz09!$'()*-.@_", "AZaz09!$'()*-.@_"},
        {"/:?&=#%+~", "%2F%3A%3F%26%3D%23%25%2B%7E"},
        {std::string("ab\0cd", 5), "ab"},
        {"\x01\x7F", "%01%7F"},
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(URLEncodeUTF8(C.In), C.Out) << C.In;
    }
    int Kept = 0;
    for (int B = 1; B < 256; ++B) {
        const std::string One(1, static_cast<char>(B));
        Kept += URLEncodeUTF8(One) == One;
    }
    EXPECT_EQ(Kept, 72);
}

TEST(FormatSpeed, Table) {
    struct TCase {
        double In;
        const char* Out;
    } Cases[] = {
        {0, "0.00B/s"},
        {1023, "1023.00B/s"},
        {1024, "1024.00B/s"},
        {1536, "1.50KB/s"},
        {1048576, "1024.00KB/s"},
        {1572864, "1.50MB/s"},
        {1024.0 * 1024 * 1024 * 3, "3.00GB/s"},
        {std::pow(1024.0, 4) * 1.25, "1.25TB/s"},
        {2 * std::pow(1024.0, 6), "2048.00PB/s"},
        {-1, "--"},
        {std::numeric_limits<double>::quiet_NaN(), "--"},
        {0.005, "0.01B/s"},
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(FormatSpeed(C.In), C.Out) << C.In;
    }
    EXPECT_FALSE(FormatSpeed(std::numeric_limits<double>::infinity()).empty());
}

TEST(FormatRemainTime, Table) {
    struct TCase {
        std::int64_t In;
        const char* Out;
    } Cases[] = {
        {0, "00:00:00"},
        {999, "00:00:00"},
        {3723000, "01:02:03"},
        {86399999, "23:59:59"},
        {86400000, "1天 "},
        {90061000, "1天 "},
        {(24 + 5) * 3600000LL, "1天 "},
        {86313600000LL, "999天 "},
        {86400000000LL, "大于999天..."},
        {std::numeric_limits<std::int64_t>::max(), "大于999天..."},
        {-1, "--:--:--"},
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(FormatRemainTime(C.In), C.Out) << C.In;
    }
}

TEST(NewGUIDString, RegistryFormAndFresh) {
    const std::string A = NewGUIDString(), B = NewGUIDString();
    ASSERT_EQ(A.size(), 38u);
    EXPECT_NE(A, B);
    for (std::size_t i = 0; i < A.size(); ++i) {
        const char C = A[i];
        if (i == 0) {
            EXPECT_EQ(C, '{');
        } else if (i == 37) {
            EXPECT_EQ(C, '}');
        } else if (i == 9 || i == 14 || i == 19 || i == 24) {
            EXPECT_EQ(C, '-');
        } else {
            EXPECT_TRUE((C >= '0' && C <= '9') || (C >= 'A' && C <= 'F')) << A;
        }
    }
}
