// The maker's signature of a file: Ed25519 (RFC 8032) over the file's bytes, with the maker's public key.
// Keys and signatures travel as base64 text (platform/Base64.h); a key is 32 bytes, a signature 64.
//
// Plain C++: the cryptography stays inside the implementation file, chosen per platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

constexpr std::size_t Ed25519KeySize = 32;
constexpr std::size_t Ed25519SignatureSize = 64;

using TEd25519Key = std::array<std::uint8_t, Ed25519KeySize>;
using TEd25519Signature = std::array<std::uint8_t, Ed25519SignatureSize>;

// A public key from its base64 text; none unless the text is base64 of exactly 32 bytes.
std::optional<TEd25519Key> ParseEd25519Key(std::string_view Base64);
// A detached signature from its base64 text (a signature file's content: a line end after it, or the text
// wrapped over lines, is fine); none unless it is base64 of exactly 64 bytes.
std::optional<TEd25519Signature> ParseEd25519Signature(std::string_view Base64);

enum class TSignatureCheck {
    Valid,       // the file's bytes carry the signature under the key
    Invalid,     // they do not (another file, a changed byte, another key's signature, a key of no use)
    Unreadable,  // the file cannot be opened or read; the last error code says why
    Unavailable, // this build cannot check signatures at all (the Windows build: no Ed25519 library there)
};

// Whether this build can check signatures at all: the Windows build cannot (Unavailable for every file).
bool CanVerifySignatures();

// Checks the whole file against the signature. Memory: the file is read through the system's file cache
// (mapped, not copied), so its size does not add to what the process needs.
TSignatureCheck VerifyFileSignature(const std::string& FileName, const TEd25519Key& Key,
                                    const TEd25519Signature& Signature);

} // namespace platform
