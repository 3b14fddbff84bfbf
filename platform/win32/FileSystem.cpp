// Files and folders over the wide Win32 calls: our UTF-8 paths become UTF-16 here, so that every name
// (Chinese ones too) reaches the disk as written.
#include "platform/win32/WindowsApi.h"

#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "platform/win32/FileTime.h"
#include "platform/win32/WideText.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace platform {

const char* const PathDelimiters = "\\/";

namespace {

using win32::WidePath;

bool Fail(DWORD Code) {
    SetLastError(static_cast<int>(Code));
    return false;
}

bool FailWithLastError() {
    return Fail(::GetLastError());
}

// A handle closed when it goes.
class THandle {
public:
    explicit THandle(HANDLE Handle) : FHandle(Handle) {}
    ~THandle() {
        if (FHandle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(FHandle);
        }
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Get() const { return FHandle; }
    bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }
    // Closes now; false (with the last error kept) when the close failed.
    bool Close() {
        const HANDLE Handle = FHandle;
        FHandle = INVALID_HANDLE_VALUE;
        return ::CloseHandle(Handle) != 0;
    }

private:
    HANDLE FHandle;
};

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsMissingCode(DWORD Code) {
    return Code == static_cast<DWORD>(ERROR_FILE_NOT_FOUND) || Code == ERROR_PATH_NOT_FOUND;
}

// The code for a name that is no regular file: a link (a reparse point) is never followed, a folder is no
// file, and neither is a device.
DWORD NotARegularFileCode(DWORD Attributes) {
    return (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ERROR_CANT_RESOLVE_FILENAME
           : (Attributes & FILE_ATTRIBUTE_DIRECTORY)   ? ERROR_ACCESS_DENIED
                                                       : ERROR_BAD_FILE_TYPE;
}

bool WriteAll(HANDLE Handle, const std::string& Content) {
    std::size_t Done = 0;
    while (Done < Content.size()) {
        const DWORD Chunk = static_cast<DWORD>(std::min<std::size_t>(Content.size() - Done, 1u << 30));
        DWORD Written = 0;
        if (!::WriteFile(Handle, Content.data() + Done, Chunk, &Written, nullptr)) {
            return false;
        }
        if (Written == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        Done += Written;
    }
    return true;
}

} // namespace

bool GetFileAttributesEx(const std::string& Path, TFileAttributeData& Data) {
    if (Path.empty()) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    WIN32_FILE_ATTRIBUTE_DATA Info{};
    if (!::GetFileAttributesExW(WidePath(Path).c_str(), GetFileExInfoStandard, &Info)) {
        return FailWithLastError();
    }
    Data.IsDirectory = (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    Data.Size =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(Info.nFileSizeHigh) << 32) | Info.nFileSizeLow);
    Data.LastWriteTime = win32::FileTimeToDateTime(Info.ftLastWriteTime);
    return true;
}

bool PathExists(const std::string& Path) {
    TFileAttributeData Data;
    return GetFileAttributesEx(Path, Data);
}

bool NameIsTaken(const std::string& Path) {
    // The attributes of a link are its own: one that points to nothing is found as well.
    if (::GetFileAttributesW(WidePath(Path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        return FailWithLastError();
    }
    return true;
}

bool SetFileWriteTime(const std::string& Path, TDateTime Time) {
    FILETIME FileTime{};
    if (!win32::DateTimeToFileTime(Time, FileTime)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    THandle File(::CreateFileW(WidePath(Path).c_str(), FILE_WRITE_ATTRIBUTES, ShareAll, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!File.Valid() || !::SetFileTime(File.Get(), nullptr, &FileTime, &FileTime)) {
        return FailWithLastError();
    }
    return true;
}

bool ForceDirectories(const std::string& Dir) {
    if (Dir.empty()) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    std::string Path = Dir;
    while (Path.size() > 1 && std::string(PathDelimiters).find(Path.back()) != std::string::npos) {
        Path.pop_back();
    }
    const DWORD Attributes = ::GetFileAttributesW(WidePath(Path).c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES) {
        return (Attributes & FILE_ATTRIBUTE_DIRECTORY) ? true : Fail(ERROR_DIRECTORY);
    }
    const std::string::size_type Slash = Path.find_last_of(PathDelimiters);
    if (Slash != std::string::npos && Slash > 0 && !ForceDirectories(Path.substr(0, Slash))) {
        return false;
    }
    if (!::CreateDirectoryW(WidePath(Path).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return FailWithLastError();
    }
    const DWORD Made = ::GetFileAttributesW(WidePath(Path).c_str());
    if (Made == INVALID_FILE_ATTRIBUTES || !(Made & FILE_ATTRIBUTE_DIRECTORY)) {
        return Fail(ERROR_DIRECTORY);
    }
    return true;
}

bool DeleteFile(const std::string& Path) {
    if (!::DeleteFileW(WidePath(Path).c_str())) {
        return FailWithLastError();
    }
    return true;
}

bool RenameFileNoReplace(const std::string& From, const std::string& To) {
    // Without MOVEFILE_REPLACE_EXISTING an existing name fails the move; write-through returns only once
    // the new name is on the disk.
    if (!::MoveFileExW(WidePath(From).c_str(), WidePath(To).c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD Code = ::GetLastError();
        return Fail(Code == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : Code);
    }
    return true;
}

bool IsRegularFileOrMissing(const std::string& Path) {
    const DWORD Attributes = ::GetFileAttributesW(WidePath(Path).c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD Code = ::GetLastError();
        return IsMissingCode(Code) ? true : Fail(Code);
    }
    if (!(Attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        return true;
    }
    return Fail(NotARegularFileCode(Attributes));
}

bool FlushFolder(const std::string& Dir) {
    THandle Folder(::CreateFileW(WidePath(Dir.empty() ? "." : Dir).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!Folder.Valid() || !::FlushFileBuffers(Folder.Get())) {
        return FailWithLastError();
    }
    return true;
}

bool ReplaceFileContent(const std::string& Path, const std::string& Content) {
    static std::atomic<unsigned> Counter{0};
    std::string Temp;
    HANDLE Created = INVALID_HANDLE_VALUE;
    for (int Attempt = 0; Attempt < 100 && Created == INVALID_HANDLE_VALUE; ++Attempt) {
        // A new file (CREATE_NEW): a link planted at the name is never followed.
        Temp = Path + "." + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(Counter++);
        Created = ::CreateFileW(WidePath(Temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (Created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
            return FailWithLastError();
        }
    }
    THandle File(Created);
    if (!File.Valid()) {
        return Fail(ERROR_FILE_EXISTS);
    }
    DWORD Error = 0;
    if (!WriteAll(File.Get(), Content) || !::FlushFileBuffers(File.Get())) {
        Error = ::GetLastError();
    }
    if (!File.Close() && Error == 0) {
        Error = ::GetLastError();
    }
    if (Error == 0 && !::MoveFileExW(WidePath(Temp).c_str(), WidePath(Path).c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Error = ::GetLastError();
    }
    if (Error != 0) {
        ::DeleteFileW(WidePath(Temp).c_str());
        return Fail(Error);
    }
    return true;
}

bool ReadRegularFile(const std::string& Path, std::string& Content, std::size_t Limit) {
    Content.clear();
    THandle File(::CreateFileW(WidePath(Path).c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!File.Valid()) {
        return FailWithLastError();
    }
    BY_HANDLE_FILE_INFORMATION Info{};
    if (!::GetFileInformationByHandle(File.Get(), &Info)) {
        return FailWithLastError();
    }
    if ((Info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        ::GetFileType(File.Get()) != FILE_TYPE_DISK) {
        return Fail(NotARegularFileCode(Info.dwFileAttributes));
    }
    const std::uint64_t Size = (static_cast<std::uint64_t>(Info.nFileSizeHigh) << 32) | Info.nFileSizeLow;
    if (Size > Limit) {
        return Fail(ERROR_FILE_TOO_LARGE);
    }
    char Buffer[8192];
    for (;;) {
        DWORD Read = 0;
        if (!::ReadFile(File.Get(), Buffer, sizeof Buffer, &Read, nullptr)) {
            const DWORD Code = ::GetLastError();
            Content.clear();
            return Fail(Code);
        }
        if (Read == 0) {
            return true;
        }
        if (Content.size() + Read > Limit) {
            Content.clear();
            return Fail(ERROR_FILE_TOO_LARGE); // grew while being read
        }
        Content.append(Buffer, Read);
    }
}

std::string AbsolutePath(const std::string& Path) {
    const std::wstring Wide = win32::Widen(Path);
    const DWORD Needed = ::GetFullPathNameW(Wide.c_str(), 0, nullptr, nullptr);
    if (Needed == 0) {
        return Path;
    }
    std::wstring Result(Needed, L'\0');
    const DWORD Length = ::GetFullPathNameW(Wide.c_str(), Needed, Result.data(), nullptr);
    if (Length == 0 || Length >= Needed) {
        return Path;
    }
    Result.resize(Length);
    return win32::Narrow(Result);
}

} // namespace platform
