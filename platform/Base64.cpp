#include "platform/Base64.h"

#include <array>
#include <cstdint>

namespace platform {

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::int8_t NotInAlphabet = -1;

constexpr std::array<std::int8_t, 256> MakeValues() {
    std::array<std::int8_t, 256> Values{};
    for (auto& Value : Values) {
        Value = NotInAlphabet;
    }
    for (std::int8_t Index = 0; Index < 64; ++Index) {
        Values[static_cast<unsigned char>(Alphabet[Index])] = Index;
    }
    return Values;
}
constexpr std::array<std::int8_t, 256> Values = MakeValues();

bool IsBlank(char C) {
    return C == ' ' || C == '\t' || C == '\r' || C == '\n';
}

} // namespace

std::optional<std::string> DecodeBase64(std::string_view Text) {
    std::string Digits;
    Digits.reserve(Text.size());
    for (const char C : Text) {
        if (!IsBlank(C)) {
            Digits += C;
        }
    }
    if (Digits.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string::size_type Padding = 0;
    while (Padding < 2 && Padding < Digits.size() && Digits[Digits.size() - 1 - Padding] == '=') {
        ++Padding;
    }
    std::string Bytes;
    Bytes.reserve(Digits.size() / 4 * 3);
    std::uint32_t Bits = 0;
    int BitCount = 0;
    for (std::string::size_type At = 0; At < Digits.size() - Padding; ++At) {
        const std::int8_t Value = Values[static_cast<unsigned char>(Digits[At])];
        if (Value == NotInAlphabet) {
            return std::nullopt; // a stray "=" inside the text included
        }
        Bits = (Bits << 6) | static_cast<std::uint32_t>(Value);
        BitCount += 6;
        if (BitCount >= 8) {
            BitCount -= 8;
            Bytes += static_cast<char>((Bits >> BitCount) & 0xFF);
        }
    }
    // What the padding leaves over must be zero: another text would decode to the same bytes.
    if ((Bits & ((1u << BitCount) - 1)) != 0) {
        return std::nullopt;
    }
    return Bytes;
}

std::string EncodeBase64(std::string_view Bytes) {
    std::string Text;
    Text.reserve((Bytes.size() + 2) / 3 * 4);
    std::string_view::size_type At = 0;
    for (; At + 3 <= Bytes.size(); At += 3) {
        const std::uint32_t Group = static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[At])) << 16 |
                                    static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[At + 1]))
                                        << 8 |
                                    static_cast<unsigned char>(Bytes[At + 2]);
        for (int Shift = 18; Shift >= 0; Shift -= 6) {
            Text += Alphabet[(Group >> Shift) & 0x3F];
        }
    }
    const std::string_view::size_type Left = Bytes.size() - At;
    if (Left > 0) {
        std::uint32_t Group = static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[At])) << 16;
        if (Left == 2) {
            Group |= static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[At + 1])) << 8;
        }
        Text += Alphabet[(Group >> 18) & 0x3F];
        Text += Alphabet[(Group >> 12) & 0x3F];
        Text += Left == 2 ? Alphabet[(Group >> 6) & 0x3F] : '=';
        Text += '=';
    }
    return Text;
}

} // namespace platform
