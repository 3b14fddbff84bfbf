// The maker's side of a signed installer, for tests: an Ed25519 key pair and signatures of bytes in the
// base64 form a mirror serves beside the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace testsupport {

class TSigningKey {
public:
    TSigningKey(); // a new random key pair
    // The public key as base64 text (what the build option and keltrima-get --key take).
    std::string PublicKeyBase64() const;
    // The base64 signature of the bytes, followed by a line end, as a signature file holds it.
    std::string SignatureFile(const std::string& Bytes) const;
    // The 64 signature bytes themselves.
    std::string Sign(const std::string& Bytes) const;

private:
    std::array<std::uint8_t, 32> FSeed{}; // the private key
    std::array<std::uint8_t, 32> FPublic{};
};

} // namespace testsupport
