// The signature check of the Windows build. Debian's MinGW packages bring no library with Ed25519 (no
// OpenSSL, and the system's own cryptography has no Ed25519), so this build cannot check a signature: it
// says so, and a file is never taken as signed.
#include "platform/Signature.h"

#include "platform/LastError.h"

namespace platform {

bool CanVerifySignatures() {
    return false;
}

TSignatureCheck VerifyFileSignature(const std::string&, const TEd25519Key&, const TEd25519Signature&) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TSignatureCheck::Unavailable;
}

} // namespace platform
