// The text forms of keys and signatures, shared by every platform's signature check.
#include "platform/Base64.h"
#include "platform/Signature.h"

#include <algorithm>

namespace platform {

namespace {

template <typename TBytes>
std::optional<TBytes> ParseExactly(std::string_view Base64) {
    const std::optional<std::string> Bytes = DecodeBase64(Base64);
    if (!Bytes || Bytes->size() != TBytes().size()) {
        return std::nullopt;
    }
    TBytes Out{};
    std::transform(Bytes->begin(), Bytes->end(), Out.begin(),
                   [](char C) { return static_cast<std::uint8_t>(C); });
    return Out;
}

} // namespace

std::optional<TEd25519Key> ParseEd25519Key(std::string_view Base64) {
    return ParseExactly<TEd25519Key>(Base64);
}

std::optional<TEd25519Signature> ParseEd25519Signature(std::string_view Base64) {
    return ParseExactly<TEd25519Signature>(Base64);
}

} // namespace platform
