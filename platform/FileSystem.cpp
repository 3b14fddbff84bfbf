#include "platform/FileSystem.h"

#include "platform/LastError.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

const char* const PathDelimiters = "/";

namespace {

bool Fail(int Code) {
    SetLastError(Code);
    return false;
}

} // namespace

bool GetFileAttributesEx(const std::string& Path, TFileAttributeData& Data) {
    struct stat St {};
    if (Path.empty()) {
        return Fail(ENOENT);
    }
    if (::stat(Path.c_str(), &St) != 0) {
        return Fail(errno);
    }
    Data.IsDirectory = S_ISDIR(St.st_mode);
    Data.Size = static_cast<std::int64_t>(St.st_size);
    Data.LastWriteTime = UnixTimeToDateTime(St.st_mtim.tv_sec, St.st_mtim.tv_nsec);
    return true;
}

bool PathExists(const std::string& Path) {
    TFileAttributeData Data;
    return GetFileAttributesEx(Path, Data);
}

bool NameIsTaken(const std::string& Path) {
    struct stat St {};
    if (::lstat(Path.c_str(), &St) != 0) {
        return Fail(errno);
    }
    return true;
}

bool SetFileWriteTime(const std::string& Path, TDateTime Time) {
    timespec Times[2];
    if (!DateTimeToUnixTime(Time, Times[1])) {
        return Fail(EINVAL);
    }
    Times[0] = Times[1];
    if (::utimensat(AT_FDCWD, Path.c_str(), Times, 0) != 0) {
        return Fail(errno);
    }
    return true;
}

bool ForceDirectories(const std::string& Dir) {
    if (Dir.empty()) {
        return Fail(ENOENT);
    }
    std::string Path = Dir;
    while (Path.size() > 1 && Path.back() == PathDelim) {
        Path.pop_back();
    }
    struct stat St {};
    if (::stat(Path.c_str(), &St) == 0) {
        return S_ISDIR(St.st_mode) ? true : Fail(ENOTDIR);
    }
    const std::string::size_type Slash = Path.find_last_of(PathDelim);
    if (Slash != std::string::npos && Slash > 0) {
        if (!ForceDirectories(Path.substr(0, Slash))) {
            return false;
        }
    }
    if (::mkdir(Path.c_str(), 0777) != 0 && errno != EEXIST) {
        return Fail(errno);
    }
    if (::stat(Path.c_str(), &St) != 0 || !S_ISDIR(St.st_mode)) {
        return Fail(ENOTDIR);
    }
    return true;
}

bool DeleteFile(const std::string& Path) {
    if (::unlink(Path.c_str()) != 0) {
        return Fail(errno);
    }
    return true;
}

bool RenameFileNoReplace(const std::string& From, const std::string& To) {
    if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return Fail(errno);
    }
    // A file system without the no-replace rename: a hard link fails on an existing name just the same.
    if (::link(From.c_str(), To.c_str()) != 0) {
        return Fail(errno);
    }
    ::unlink(From.c_str());
    return true;
}

bool IsRegularFileOrMissing(const std::string& Path) {
    struct stat St {};
    if (::lstat(Path.c_str(), &St) != 0) {
        return errno == ENOENT ? true : Fail(errno);
    }
    if (S_ISREG(St.st_mode)) {
        return true;
    }
    return Fail(S_ISLNK(St.st_mode) ? ELOOP : S_ISDIR(St.st_mode) ? EISDIR : EINVAL);
}

bool FlushFolder(const std::string& Dir) {
    const int Fd = ::open(Dir.empty() ? "." : Dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0) {
        return Fail(errno);
    }
    int Result = ::fsync(Fd);
    while (Result != 0 && errno == EINTR) {
        Result = ::fsync(Fd);
    }
    const int Error = errno;
    ::close(Fd);
    return Result == 0 ? true : Fail(Error);
}

bool ReplaceFileContent(const std::string& Path, const std::string& Content) {
    std::string Temp = Path + ".XXXXXX";
    // mkostemp creates a new file (O_EXCL): a link planted at the name is never followed.
    const int Fd = ::mkostemp(Temp.data(), O_CLOEXEC);
    if (Fd < 0) {
        return Fail(errno);
    }
    std::string::size_type Done = 0;
    int Error = 0;
    while (Done < Content.size()) {
        const ssize_t N = ::write(Fd, Content.data() + Done, Content.size() - Done);
        if (N < 0 && errno == EINTR) {
            continue;
        }
        if (N <= 0) {
            Error = N < 0 ? errno : ENOSPC;
            break;
        }
        Done += static_cast<std::string::size_type>(N);
    }
    if (Error == 0 && ::fchmod(Fd, 0644) != 0) {
        Error = errno;
    }
    if (Error == 0 && ::fdatasync(Fd) != 0) {
        Error = errno;
    }
    if (::close(Fd) != 0 && Error == 0) {
        Error = errno;
    }
    if (Error == 0 && ::rename(Temp.c_str(), Path.c_str()) != 0) {
        Error = errno;
    }
    if (Error != 0) {
        ::unlink(Temp.c_str());
        return Fail(Error);
    }
    FlushFolder(ExtractFilePath(Path)); // the new content is in place; a failed folder flush changes nothing
    return true;
}

bool ReadRegularFile(const std::string& Path, std::string& Content, std::size_t Limit) {
    Content.clear();
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0) {
        return Fail(errno);
    }
    struct stat St {};
    int Error = ::fstat(Fd, &St) != 0                            ? errno
                : !S_ISREG(St.st_mode)                           ? (S_ISDIR(St.st_mode) ? EISDIR : EINVAL)
                : static_cast<std::uint64_t>(St.st_size) > Limit ? EFBIG
                                                                 : 0;
    char Buffer[8192];
    while (Error == 0) {
        const ssize_t N = ::read(Fd, Buffer, sizeof Buffer);
        if (N < 0 && errno == EINTR) {
            continue;
        }
        if (N < 0) {
            Error = errno;
        } else if (N == 0) {
            break;
        } else if (Content.size() + static_cast<std::size_t>(N) > Limit) {
            Error = EFBIG; // grew while being read
        } else {
            Content.append(Buffer, static_cast<std::size_t>(N));
        }
    }
    ::close(Fd);
    if (Error != 0) {
        Content.clear();
        return Fail(Error);
    }
    return true;
}

std::string AbsolutePath(const std::string& Path) {
    std::error_code Error;
    const std::filesystem::path Result = std::filesystem::absolute(Path, Error);
    return Error ? Path : Result.string();
}

} // namespace platform
