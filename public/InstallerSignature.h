// The maker's signature of the installer, as the mirror serves it beside the file: at the installer's address
// with ".sig" appended to its path, the base64 text of the 64 signature bytes (a line end after it is fine).
//
// One object per download call: the signature is fetched the first time a file is checked, through the
// client's own requests (its proxy, time-outs, retries and stop check), and kept for the call's other checks.
#pragma once

#include "platform/Signature.h"

#include <functional>
#include <optional>
#include <string>

class IHttpClient;

enum class TSignatureVerdict {
    Valid,       // the file is the one the maker signed
    Invalid,     // the file is not: its bytes fail the signature the mirror serves
    Unavailable, // no usable signature came (refused, no answer, not a signature), or the file was unreadable
    Stopped,     // the client's stop check ended the request for the signature
};

// The address of the signature of the file at URL: ".sig" appended to the path, before a query.
std::string SignatureURL(const std::string& URL);

class TInstallerSignature {
public:
    TInstallerSignature(IHttpClient& Client, std::string URL, const platform::TEd25519Key& Key,
                        std::function<bool()> StopRequested);

    TSignatureVerdict Check(const std::string& FileName);
    // Why the last check did not find the file valid, for an administrator: the signature request's failure
    // (such as "[404]Not Found"), "签名文件格式无效", "文件与签名不符", or the file's read error.
    const std::string& Reason() const { return FReason; }

private:
    IHttpClient& FClient;
    const std::string FURL;
    const platform::TEd25519Key FKey;
    const std::function<bool()> FStopRequested;
    std::optional<platform::TEd25519Signature> FSignature;
    std::string FReason;

    TSignatureVerdict Fetch();
};
