// File queries and whole-file operations on paths (UTF-8, "/" as the delimiter; on Windows "\\" too).
// Every function that fails leaves the system's code of the failure as the thread's last error code
// (platform/LastError.h): errno values here, Win32 codes on Windows.
#pragma once

#include "platform/DateTime.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The delimiter the layers put between a folder and a name (Windows takes it as well).
constexpr char PathDelim = '/';
// Every character that ends a folder part of a path on this system: "/", and on Windows "\\" as well.
extern const char* const PathDelimiters;

// What the attribute query of a path yields (files and folders alike).
struct TFileAttributeData {
    bool IsDirectory = false;
    std::int64_t Size = 0;       // 64-bit size; a folder reports its own (st_size)
    TDateTime LastWriteTime = 0; // UTC
};

// The attributes of a path; false when it cannot be queried (missing, bad name, ...).
bool GetFileAttributesEx(const std::string& Path, TFileAttributeData& Data);
// True when the attributes of the path can be read: files and folders both count.
bool PathExists(const std::string& Path);
// True when anything stands at the name: a file, a folder, or a symbolic link (not followed, so one that
// points to nothing counts as well).
bool NameIsTaken(const std::string& Path);
// Sets the last-write (and last-access) time of a file, in UTC. False for dates before 1601.
bool SetFileWriteTime(const std::string& Path, TDateTime Time);
// Creates a folder with every missing parent; true when it exists as a folder afterwards. An empty
// name fails with ENOENT.
bool ForceDirectories(const std::string& Dir);
// Deletes a file (not a folder).
bool DeleteFile(const std::string& Path);
// Renames a file; fails with EEXIST when the new name exists already (nothing is replaced).
bool RenameFileNoReplace(const std::string& From, const std::string& To);
// True when nothing stands at Path or a regular file does; false otherwise, with ELOOP for a symbolic
// link (not followed), EISDIR for a folder and EINVAL for anything else (a pipe, a device, a socket).
bool IsRegularFileOrMissing(const std::string& Path);
// Waits until the folder's entries (a rename or a deletion in it) are on the disk.
bool FlushFolder(const std::string& Dir);
// Replaces the file's content as a whole: the text goes into a new file beside it, reaches the disk, and
// takes the name (a link at the name is replaced, not followed); the folder is flushed after. A crash
// leaves the old content or the new one, never a mixture. The new file has mode 0644.
bool ReplaceFileContent(const std::string& Path, const std::string& Content);
// The whole content of a regular file of at most Limit bytes, read without following a link at Path;
// ELOOP for a link, EINVAL for what is no regular file, EFBIG for a longer file.
bool ReadRegularFile(const std::string& Path, std::string& Content, std::size_t Limit);

// The path made absolute against the current folder (not resolved further); the path as given when that
// fails.
std::string AbsolutePath(const std::string& Path);

// The folder part of a path, ending with its delimiter ("" when there is none).
std::string ExtractFilePath(const std::string& Path);
// The name after the last delimiter.
std::string ExtractFileName(const std::string& Path);
// The path with its extension (from the last "." after the last delimiter) replaced by Ext; a name
// without an extension gets Ext appended.
std::string ChangeFileExt(const std::string& Path, const std::string& Ext);

} // namespace platform
