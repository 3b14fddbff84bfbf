// File queries and whole-file operations on paths (UTF-8, "/" as the delimiter). Every function that
// fails leaves the errno of the failure as the thread's last error code (platform/LastError.h).
#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <string>

namespace platform {

constexpr char PathDelim = '/';

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
// Sets the last-write (and last-access) time of a file, in UTC. False for dates before 1601.
bool SetFileWriteTime(const std::string& Path, TDateTime Time);
// Creates a folder with every missing parent; true when it exists as a folder afterwards. An empty
// name fails with ENOENT.
bool ForceDirectories(const std::string& Dir);
// Deletes a file (not a folder).
bool DeleteFile(const std::string& Path);
// Renames a file; fails with EEXIST when the new name exists already (nothing is replaced).
bool RenameFileNoReplace(const std::string& From, const std::string& To);

// The folder part of a path, ending with its delimiter ("" when there is none).
std::string ExtractFilePath(const std::string& Path);
// The name after the last delimiter.
std::string ExtractFileName(const std::string& Path);
// The path with its extension (from the last "." after the last delimiter) replaced by Ext; a name
// without an extension gets Ext appended.
std::string ChangeFileExt(const std::string& Path, const std::string& Ext);

} // namespace platform
