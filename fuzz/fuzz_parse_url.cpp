// ParseURL on any text: never crashes, and a success always keeps to the buffer limits.
#include "public/HttpClientImpl.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static THttpClient Client;
    const std::string Url(reinterpret_cast<const char*>(Data), Size);
    TURLParts Parts;
    if (!Client.ParseURL(Url, Parts)) {
        if (!Parts.HostName.empty() || Parts.Port != 0 || Parts.Scheme != 0) {
            __builtin_trap(); // a failure leaves the record empty
        }
        return 0;
    }
    if (Parts.SchemeName.size() >= 32 || Parts.HostName.size() >= 256 || Parts.UserName.size() >= 128 ||
        Parts.Password.size() >= 128 || Parts.UrlPath.size() >= 2055 || Parts.ExtraInfo.size() >= 2048) {
        __builtin_trap();
    }
    if ((Parts.Scheme == 3 || Parts.Scheme == 4) && Parts.HostName.empty()) {
        __builtin_trap();
    }
    if (!Parts.UrlPath.empty() && Parts.UrlPath.front() != '/') {
        __builtin_trap();
    }
    if (!Parts.ExtraInfo.empty() && Parts.ExtraInfo.front() != '?' && Parts.ExtraInfo.front() != '#') {
        __builtin_trap();
    }
    // Nothing is decoded: every part is a piece of the URL as written.
    for (const std::string* Part : {&Parts.HostName, &Parts.UserName, &Parts.UrlPath, &Parts.ExtraInfo}) {
        if (Url.find(*Part) == std::string::npos) {
            __builtin_trap();
        }
    }
    return 0;
}
