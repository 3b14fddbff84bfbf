#include "public/InstallerSignature.h"

#include "public/ByteStream.h"
#include "public/HttpClientImpl.h"
#include "public/HttpClientIntf.h"

#include "platform/LastError.h"

#include <utility>

namespace {

// A signature file is one short line; a longer answer is no signature (a web page, say) and is not read on.
constexpr std::size_t SignatureSizeLimit = 4096;

class TSmallStream : public TMemoryStream {
public:
    bool Write(const void* Buffer, std::size_t Count, std::size_t& Done) override {
        std::int64_t Size = 0;
        if (!GetSize(Size) || static_cast<std::size_t>(Size) + Count > SignatureSizeLimit) {
            Done = 0;
            return false;
        }
        return TMemoryStream::Write(Buffer, Count, Done);
    }
};

} // namespace

std::string SignatureURL(const std::string& URL) {
    const std::string::size_type Query = URL.find_first_of("?#");
    std::string Address = URL;
    return Address.insert(Query == std::string::npos ? Address.size() : Query, ".sig");
}

TInstallerSignature::TInstallerSignature(IHttpClient& Client, std::string URL,
                                         const platform::TEd25519Key& Key,
                                         std::function<bool()> StopRequested)
    : FClient(Client), FURL(std::move(URL)), FKey(Key), FStopRequested(std::move(StopRequested)) {}

TSignatureVerdict TInstallerSignature::Check(const std::string& FileName) {
    if (!FSignature) {
        const TSignatureVerdict Fetched = Fetch();
        if (Fetched != TSignatureVerdict::Valid) {
            return Fetched;
        }
    }
    switch (platform::VerifyFileSignature(FileName, FKey, *FSignature)) {
    case platform::TSignatureCheck::Valid:
        FReason.clear();
        return TSignatureVerdict::Valid;
    case platform::TSignatureCheck::Invalid:
        FReason = "文件与签名不符";
        return TSignatureVerdict::Invalid;
    default:
        FReason = SystemErrorText(platform::GetLastError());
        return TSignatureVerdict::Unavailable; // a file that cannot be read is not known to be wrong
    }
}

// Valid when a signature was had.
TSignatureVerdict TInstallerSignature::Fetch() {
    TSmallStream Text;
    const bool Answered = FClient.GetToStream(SignatureURL(FURL), nullptr, nullptr, &Text);
    if (FStopRequested && FStopRequested()) {
        return TSignatureVerdict::Stopped;
    }
    if (!Answered) {
        FReason = FClient.GetLastError(); // the request's own text, such as "[404]Not Found"
        return TSignatureVerdict::Unavailable;
    }
    FSignature = platform::ParseEd25519Signature(Text.Data());
    FReason = FSignature ? std::string() : std::string("签名文件格式无效");
    return FSignature ? TSignatureVerdict::Valid : TSignatureVerdict::Unavailable;
}
