#include "platform/File.h"

#include "platform/LastError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

TFile::~TFile() {
    Close();
}

TFile::TFile(TFile&& Other) noexcept : FHandle(std::exchange(Other.FHandle, -1)) {}

TFile& TFile::operator=(TFile&& Other) noexcept {
    if (this != &Other) {
        Close();
        FHandle = std::exchange(Other.FHandle, -1);
    }
    return *this;
}

bool TFile::OpenForWrite(const std::string& Path, TCreation Creation) {
    Close();
    int Flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (Creation == CreateAlways) {
        Flags |= O_TRUNC;
    }
    FHandle = ::open(Path.c_str(), Flags, 0666);
    if (FHandle < 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

std::int64_t TFile::Size() const {
    struct stat St {};
    if (FHandle < 0 || ::fstat(FHandle, &St) != 0) {
        SetLastError(FHandle < 0 ? EBADF : errno);
        return -1;
    }
    return static_cast<std::int64_t>(St.st_size);
}

std::int64_t TFile::SeekToEnd() {
    const off_t Pos = FHandle < 0 ? -1 : ::lseek(FHandle, 0, SEEK_END);
    if (Pos < 0) {
        SetLastError(FHandle < 0 ? EBADF : errno);
        return -1;
    }
    return static_cast<std::int64_t>(Pos);
}

bool TFile::Write(const void* Data, std::size_t Count) {
    const char* P = static_cast<const char*>(Data);
    while (Count > 0) {
        const ssize_t Done = FHandle < 0 ? -1 : ::write(FHandle, P, Count);
        if (Done < 0) {
            if (FHandle >= 0 && errno == EINTR) {
                continue;
            }
            SetLastError(FHandle < 0 ? EBADF : errno);
            return false;
        }
        if (Done == 0) {
            SetLastError(ENOSPC);
            return false;
        }
        P += Done;
        Count -= static_cast<std::size_t>(Done);
    }
    return true;
}

bool TFile::SetWriteTime(TDateTime Time) {
    timespec Times[2];
    if (!DateTimeToUnixTime(Time, Times[1])) {
        SetLastError(EINVAL);
        return false;
    }
    Times[0] = Times[1];
    if (FHandle < 0 || ::futimens(FHandle, Times) != 0) {
        SetLastError(FHandle < 0 ? EBADF : errno);
        return false;
    }
    return true;
}

bool TFile::Close() {
    if (FHandle < 0) {
        return true;
    }
    const int Result = ::close(std::exchange(FHandle, -1));
    if (Result != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

} // namespace platform
