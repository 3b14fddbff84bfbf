#include "tests/support/Signing.h"

#include "platform/Base64.h"

#include <memory>
#include <stdexcept>

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace testsupport {

namespace {

struct TPKeyFree {
    void operator()(EVP_PKEY* Key) const { EVP_PKEY_free(Key); }
};
struct TDigestFree {
    void operator()(EVP_MD_CTX* Context) const { EVP_MD_CTX_free(Context); }
};
using TPKey = std::unique_ptr<EVP_PKEY, TPKeyFree>;

TPKey PrivateKey(const std::array<std::uint8_t, 32>& Seed) {
    TPKey Key(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, Seed.data(), Seed.size()));
    if (!Key) {
        throw std::runtime_error("Ed25519 private key refused");
    }
    return Key;
}

} // namespace

TSigningKey::TSigningKey() {
    if (RAND_bytes(FSeed.data(), static_cast<int>(FSeed.size())) != 1) {
        throw std::runtime_error("no random bytes for a key");
    }
    const TPKey Key = PrivateKey(FSeed);
    std::size_t Size = FPublic.size();
    if (EVP_PKEY_get_raw_public_key(Key.get(), FPublic.data(), &Size) != 1 || Size != FPublic.size()) {
        throw std::runtime_error("Ed25519 public key not available");
    }
}

std::string TSigningKey::PublicKeyBase64() const {
    return platform::EncodeBase64(std::string(FPublic.begin(), FPublic.end()));
}

std::string TSigningKey::Sign(const std::string& Bytes) const {
    const TPKey Key = PrivateKey(FSeed);
    const std::unique_ptr<EVP_MD_CTX, TDigestFree> Context(EVP_MD_CTX_new());
    std::string Signature(64, '\0');
    std::size_t Size = Signature.size();
    if (!Context || EVP_DigestSignInit(Context.get(), nullptr, nullptr, nullptr, Key.get()) != 1 ||
        EVP_DigestSign(Context.get(), reinterpret_cast<unsigned char*>(Signature.data()), &Size,
                       reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size()) != 1 ||
        Size != Signature.size()) {
        throw std::runtime_error("signing failed");
    }
    return Signature;
}

std::string TSigningKey::SignatureFile(const std::string& Bytes) const {
    return platform::EncodeBase64(Sign(Bytes)) + "\n";
}

} // namespace testsupport
