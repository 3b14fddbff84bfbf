// The reader of a signature file (the server's text) on any input: never crashes; what it accepts is exactly
// 64 bytes whose base64 form reads back the same, and blanks around the text change nothing.
#include "platform/Base64.h"
#include "platform/Signature.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);
    const auto Bytes = platform::DecodeBase64(Text);
    const auto Signature = platform::ParseEd25519Signature(Text);
    if (Signature.has_value() != (Bytes && Bytes->size() == platform::Ed25519SignatureSize)) {
        __builtin_trap();
    }
    if (!Bytes) {
        return 0;
    }
    const std::string Again = platform::EncodeBase64(*Bytes);
    const auto Back = platform::DecodeBase64(" " + Again + "\r\n");
    if (!Back || *Back != *Bytes) {
        __builtin_trap();
    }
    if (Signature && !std::equal(Signature->begin(), Signature->end(), Bytes->begin(),
                                 [](std::uint8_t A, char B) { return A == static_cast<std::uint8_t>(B); })) {
        __builtin_trap();
    }
    return 0;
}
