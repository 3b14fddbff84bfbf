// The signature check over OpenSSL's EVP interface (libcrypto, which libcurl brings along).
//
// OpenSSL verifies Ed25519 in one piece only: the message is handed over whole. The file is therefore mapped
// read-only and handed over as it lies in the system's file cache; the kernel reads it in ahead of the
// check, and its pages stay reclaimable cache, as they would after reading it in blocks. Nothing of the
// file's size is allocated.
#include "platform/Signature.h"

#include "platform/LastError.h"

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

struct TPKeyFree {
    void operator()(EVP_PKEY* Key) const { EVP_PKEY_free(Key); }
};
struct TDigestFree {
    void operator()(EVP_MD_CTX* Context) const { EVP_MD_CTX_free(Context); }
};

// A file's bytes, mapped read-only for the life of the object.
class TMappedFile {
public:
    TMappedFile() = default;
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;
    ~TMappedFile() {
        if (FData != nullptr) {
            munmap(FData, FSize);
        }
        if (FHandle >= 0) {
            close(FHandle);
        }
    }

    // False with the error code set; a file that is no regular file is not read (EISDIR, EINVAL).
    bool Open(const std::string& FileName) {
        FHandle = open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        struct stat Status {};
        if (FHandle < 0 || fstat(FHandle, &Status) != 0) {
            SetLastError(errno);
            return false;
        }
        if (!S_ISREG(Status.st_mode)) {
            SetLastError(S_ISDIR(Status.st_mode) ? EISDIR : EINVAL);
            return false;
        }
        FSize = static_cast<std::size_t>(Status.st_size);
        if (FSize == 0) {
            return true; // nothing to map
        }
        void* const Data = mmap(nullptr, FSize, PROT_READ, MAP_SHARED, FHandle, 0);
        if (Data == MAP_FAILED) {
            SetLastError(errno);
            return false;
        }
        FData = Data;
        madvise(FData, FSize, MADV_SEQUENTIAL); // read ahead, and let pages go behind the check
        return true;
    }
    const unsigned char* Data() const {
        static const unsigned char Empty = 0;
        return FData != nullptr ? static_cast<const unsigned char*>(FData) : &Empty;
    }
    std::size_t Size() const { return FSize; }

private:
    int FHandle = -1;
    void* FData = nullptr;
    std::size_t FSize = 0;
};

} // namespace

bool CanVerifySignatures() {
    return true;
}

TSignatureCheck VerifyFileSignature(const std::string& FileName, const TEd25519Key& Key,
                                    const TEd25519Signature& Signature) {
    TMappedFile File;
    if (!File.Open(FileName)) {
        return TSignatureCheck::Unreadable;
    }
    const std::unique_ptr<EVP_PKEY, TPKeyFree> PublicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, Key.data(), Key.size()));
    const std::unique_ptr<EVP_MD_CTX, TDigestFree> Context(EVP_MD_CTX_new());
    if (!PublicKey || !Context ||
        EVP_DigestVerifyInit(Context.get(), nullptr, nullptr, nullptr, PublicKey.get()) != 1) {
        return TSignatureCheck::Invalid; // a key OpenSSL cannot use verifies nothing
    }
    const int Verified =
        EVP_DigestVerify(Context.get(), Signature.data(), Signature.size(), File.Data(), File.Size());
    return Verified == 1 ? TSignatureCheck::Valid : TSignatureCheck::Invalid;
}

} // namespace platform
