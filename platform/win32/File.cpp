// The download's side files over the wide Win32 calls. The file is shared for reading, writing and
// deletion, so that a second download of the same target gets as far as the lock (and is refused there),
// and so that the finished file can take its new name while it is still open and locked.
#include "platform/win32/WindowsApi.h"

#include "platform/File.h"
#include "platform/LastError.h"
#include "platform/win32/FileTime.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The lock covers one byte far beyond any file's end: Windows locks are mandatory, and a lock on the data
// would keep others from reading the file while it grows.
constexpr DWORD LockOffsetHigh = 0x40000000;

bool Fail(DWORD Code) {
    SetLastError(static_cast<int>(Code));
    return false;
}

bool FailWithLastError() {
    return Fail(::GetLastError());
}

HANDLE AsHandle(std::intptr_t Value) {
    return reinterpret_cast<HANDLE>(Value);
}

// Opens Path for writing without following a link (a reparse point) at it; Created tells whether this call
// made the file.
HANDLE OpenNoFollow(const std::wstring& Path, bool& Created) {
    Created = false;
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        HANDLE Handle =
            ::CreateFileW(Path.c_str(), GENERIC_WRITE | GENERIC_READ, ShareAll, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (Handle != INVALID_HANDLE_VALUE) {
            Created = true;
            return Handle;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            return INVALID_HANDLE_VALUE;
        }
        Handle = ::CreateFileW(Path.c_str(), GENERIC_WRITE | GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (Handle != INVALID_HANDLE_VALUE || ::GetLastError() != static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) {
            return Handle;
        }
        // Removed between the two opens: try again.
    }
    return INVALID_HANDLE_VALUE;
}

// Whether two handles' files are one: the same file index on the same volume. Wine reports the volume
// serial 0 for a handle whose file was renamed after it was opened; a serial of 0 then says nothing.
bool SameFile(const BY_HANDLE_FILE_INFORMATION& A, const BY_HANDLE_FILE_INFORMATION& B) {
    const bool SameVolume = A.dwVolumeSerialNumber == B.dwVolumeSerialNumber || A.dwVolumeSerialNumber == 0 ||
                            B.dwVolumeSerialNumber == 0;
    return SameVolume && A.nFileIndexHigh == B.nFileIndexHigh && A.nFileIndexLow == B.nFileIndexLow;
}

} // namespace

bool TFile::OpenForWrite(const std::string& Path, TCreation Creation) {
    Close();
    const HANDLE Handle = OpenNoFollow(win32::WidePath(Path), FCreated);
    if (Handle == INVALID_HANDLE_VALUE) {
        return FailWithLastError();
    }
    BY_HANDLE_FILE_INFORMATION Info{};
    if (!::GetFileInformationByHandle(Handle, &Info)) {
        const DWORD Error = ::GetLastError();
        ::CloseHandle(Handle);
        return Fail(Error);
    }
    const bool Regular = ::GetFileType(Handle) == FILE_TYPE_DISK &&
                         !(Info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
    if (!Regular || Info.nNumberOfLinks > 1) {
        // A link, another file's second name or a device: not ours to write.
        ::CloseHandle(Handle);
        return Fail((Info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ERROR_CANT_RESOLVE_FILENAME
                    : !Regular                                             ? ERROR_BAD_FILE_TYPE
                                                                           : ERROR_TOO_MANY_LINKS);
    }
    const bool HasData = Info.nFileSizeHigh != 0 || Info.nFileSizeLow != 0;
    if (Creation == CreateAlways && HasData && !::SetEndOfFile(Handle)) {
        const DWORD Error = ::GetLastError();
        ::CloseHandle(Handle);
        return Fail(Error);
    }
    FHandle = reinterpret_cast<std::intptr_t>(Handle);
    FPosition = 0;
    FWriteBackFrom = 0;
    return true;
}

bool TFile::TryLock() {
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    OVERLAPPED At{};
    At.OffsetHigh = LockOffsetHigh;
    if (!::LockFileEx(AsHandle(FHandle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &At)) {
        const DWORD Code = ::GetLastError();
        // Held by another open of the file: the one code the callers look for.
        return Fail(Code == ERROR_IO_PENDING ? static_cast<DWORD>(ERROR_LOCK_VIOLATION) : Code);
    }
    return true;
}

bool TFile::IsAt(const std::string& Path) const {
    if (!IsOpen()) {
        return false;
    }
    const HANDLE Named = ::CreateFileW(win32::WidePath(Path).c_str(), 0, ShareAll, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (Named == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION Open{}, AtName{};
    const bool Same = ::GetFileInformationByHandle(AsHandle(FHandle), &Open) &&
                      ::GetFileInformationByHandle(Named, &AtName) && SameFile(Open, AtName);
    ::CloseHandle(Named);
    return Same;
}

std::int64_t TFile::Size() const {
    LARGE_INTEGER Result{};
    if (!IsOpen() || !::GetFileSizeEx(AsHandle(FHandle), &Result)) {
        SetLastError(static_cast<int>(IsOpen() ? ::GetLastError() : ERROR_INVALID_HANDLE));
        return -1;
    }
    return Result.QuadPart;
}

std::int64_t TFile::SeekToEnd() {
    LARGE_INTEGER Position{};
    if (!IsOpen() || !::SetFilePointerEx(AsHandle(FHandle), LARGE_INTEGER{}, &Position, FILE_END)) {
        SetLastError(static_cast<int>(IsOpen() ? ::GetLastError() : ERROR_INVALID_HANDLE));
        return -1;
    }
    FPosition = FWriteBackFrom = Position.QuadPart;
    return FPosition;
}

bool TFile::SetEnd(std::int64_t Size) {
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (Size < 0) {
        return Fail(ERROR_NEGATIVE_SEEK);
    }
    LARGE_INTEGER To{};
    To.QuadPart = Size;
    if (!::SetFilePointerEx(AsHandle(FHandle), To, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(AsHandle(FHandle))) {
        return FailWithLastError();
    }
    FPosition = FWriteBackFrom = Size;
    return true;
}

bool TFile::Write(const void* Data, std::size_t Count) {
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const char* P = static_cast<const char*>(Data);
    while (Count > 0) {
        const DWORD Chunk = static_cast<DWORD>(std::min<std::size_t>(Count, 1u << 30));
        DWORD Done = 0;
        if (!::WriteFile(AsHandle(FHandle), P, Chunk, &Done, nullptr)) {
            return FailWithLastError();
        }
        if (Done == 0) {
            return Fail(ERROR_DISK_FULL);
        }
        P += Done;
        Count -= Done;
        FPosition += Done;
    }
    // Windows has no call that only starts the write-back of a range: the system writes back by itself,
    // and the final flush waits for the rest.
    FWriteBackFrom = FPosition;
    return true;
}

bool TFile::Flush() {
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (!::FlushFileBuffers(AsHandle(FHandle))) {
        return FailWithLastError();
    }
    return true;
}

bool TFile::SetWriteTime(TDateTime Time) {
    FILETIME Written{};
    if (!win32::DateTimeToFileTime(Time, Written)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (!::SetFileTime(AsHandle(FHandle), nullptr, &Written, &Written)) {
        return FailWithLastError();
    }
    return true;
}

bool TFile::Close() {
    if (!IsOpen()) {
        return true;
    }
    if (!::CloseHandle(AsHandle(std::exchange(FHandle, -1)))) {
        return FailWithLastError();
    }
    return true;
}

} // namespace platform
