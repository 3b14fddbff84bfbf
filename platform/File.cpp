#include "platform/File.h"

#include "platform/LastError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

bool Fail(int Code) {
    SetLastError(Code);
    return false;
}

// Opens Path without following a link at it; Created tells whether this call made the file.
int OpenNoFollow(const std::string& Path, int Flags, bool& Created) {
    Created = false;
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        // With O_EXCL a link at Path fails with EEXIST; the second open then refuses it with ELOOP.
        int Fd = ::open(Path.c_str(), Flags | O_CREAT | O_EXCL, 0666);
        if (Fd >= 0) {
            Created = true;
            return Fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
        Fd = ::open(Path.c_str(), Flags);
        if (Fd >= 0 || errno != ENOENT) {
            return Fd;
        }
        // Removed between the two opens: try again.
    }
    return -1;
}

} // namespace

bool TFile::OpenForWrite(const std::string& Path, TCreation Creation) {
    Close();
    // Not blocking: opening a pipe for writing would otherwise wait for a reader. Not emptied yet either:
    // only a file found to be ours is.
    const int Fd = OpenNoFollow(Path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, FCreated);
    if (Fd < 0) {
        return Fail(errno);
    }
    struct stat St {};
    if (::fstat(Fd, &St) != 0) {
        const int Error = errno;
        ::close(Fd);
        return Fail(Error);
    }
    if (!S_ISREG(St.st_mode) || St.st_nlink > 1) {
        // Another file's second name, a pipe or a device: not ours to write.
        ::close(Fd);
        return Fail(S_ISDIR(St.st_mode) ? EISDIR : St.st_nlink > 1 ? EMLINK : EINVAL);
    }
    ::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) & ~O_NONBLOCK);
    if (Creation == CreateAlways && St.st_size > 0 && ::ftruncate(Fd, 0) != 0) {
        const int Error = errno;
        ::close(Fd);
        return Fail(Error);
    }
    FHandle = Fd;
    FPosition = 0;
    FWriteBackFrom = 0;
    return true;
}

bool TFile::TryLock() {
    if (FHandle < 0) {
        return Fail(EBADF);
    }
    while (::flock(FHandle, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) {
            return Fail(errno);
        }
    }
    return true;
}

bool TFile::IsAt(const std::string& Path) const {
    struct stat Open {
    }, Named{};
    return FHandle >= 0 && ::fstat(FHandle, &Open) == 0 && ::lstat(Path.c_str(), &Named) == 0 &&
           Open.st_dev == Named.st_dev && Open.st_ino == Named.st_ino;
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
    FPosition = FWriteBackFrom = static_cast<std::int64_t>(Pos);
    return FPosition;
}

bool TFile::SetEnd(std::int64_t Size) {
    if (FHandle < 0) {
        return Fail(EBADF);
    }
    if (Size < 0) {
        return Fail(EINVAL);
    }
    if (::ftruncate(FHandle, static_cast<off_t>(Size)) != 0 ||
        ::lseek(FHandle, static_cast<off_t>(Size), SEEK_SET) < 0) {
        return Fail(errno);
    }
    FPosition = FWriteBackFrom = Size;
    return true;
}

bool TFile::Write(const void* Data, std::size_t Count) {
    const char* P = static_cast<const char*>(Data);
    while (Count > 0) {
        const ssize_t Done = FHandle < 0 ? -1 : ::write(FHandle, P, Count);
        if (Done < 0) {
            if (FHandle >= 0 && errno == EINTR) {
                continue;
            }
            return Fail(FHandle < 0 ? EBADF : errno);
        }
        if (Done == 0) {
            return Fail(ENOSPC);
        }
        P += Done;
        Count -= static_cast<std::size_t>(Done);
        FPosition += Done;
    }
    if (FWriteBackStep > 0 && FPosition - FWriteBackFrom >= static_cast<std::int64_t>(FWriteBackStep)) {
        // Only starts the write-back of these bytes; a failure shows in the final flush.
        ::sync_file_range(FHandle, FWriteBackFrom, FPosition - FWriteBackFrom, SYNC_FILE_RANGE_WRITE);
        FWriteBackFrom = FPosition;
    }
    return true;
}

bool TFile::Flush() {
    if (FHandle < 0) {
        return Fail(EBADF);
    }
    while (::fdatasync(FHandle) != 0) {
        if (errno != EINTR) {
            return Fail(errno);
        }
    }
    return true;
}

bool TFile::SetWriteTime(TDateTime Time) {
    timespec Times[2];
    if (!DateTimeToUnixTime(Time, Times[1])) {
        return Fail(EINVAL);
    }
    Times[0] = Times[1];
    if (FHandle < 0 || ::futimens(FHandle, Times) != 0) {
        return Fail(FHandle < 0 ? EBADF : errno);
    }
    return true;
}

bool TFile::Close() {
    if (FHandle < 0) {
        return true;
    }
    if (::close(std::exchange(FHandle, -1)) != 0) {
        return Fail(errno);
    }
    return true;
}

} // namespace platform
