// EncodeURL and URLEncodeUTF8 on any bytes: never crash, and their outputs keep their promises.
#include "public/HttpClientImpl.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);

    const std::string Plain = URLEncodeUTF8(Text);
    for (char C : Plain) {
        const unsigned char U = static_cast<unsigned char>(C);
        if (U == 0 || U >= 0x80 || C == ' ') {
            __builtin_trap(); // pure ASCII, no blank
        }
    }

    const std::string Encoded = EncodeURL(Text);
    bool Ascii = true;
    for (char C : Text) {
        Ascii = Ascii && static_cast<unsigned char>(C) < 0x80;
    }
    if (Ascii && Encoded != Text) {
        __builtin_trap(); // ASCII passes unchanged
    }
    // Only U+0080 itself may stay above ASCII.
    for (std::size_t i = 0; i < Encoded.size(); ++i) {
        const unsigned char U = static_cast<unsigned char>(Encoded[i]);
        if (U >= 0x80) {
            if (U == 0xC2 && i + 1 < Encoded.size() && static_cast<unsigned char>(Encoded[i + 1]) == 0x80) {
                ++i;
                continue;
            }
            __builtin_trap();
        }
    }
    return 0;
}
