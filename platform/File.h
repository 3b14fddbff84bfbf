// An open file for writing, closed by its destructor. Failures leave errno as the last error code.
#pragma once

#include "platform/DateTime.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class TFile {
public:
    enum TCreation {
        CreateAlways, // create, or empty an existing file
        OpenAlways,   // open, or create a missing file; the content stays
    };

    TFile() = default;
    ~TFile();
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    TFile(TFile&& Other) noexcept;
    TFile& operator=(TFile&& Other) noexcept;

    // Opens Path for writing; others may read it meanwhile. A folder of that name fails (EISDIR).
    bool OpenForWrite(const std::string& Path, TCreation Creation);
    bool IsOpen() const { return FHandle >= 0; }
    // The current size of the open file; -1 on failure.
    std::int64_t Size() const;
    // Moves the write position to the end (returns the new position, -1 on failure).
    std::int64_t SeekToEnd();
    // Writes all Count bytes at the write position (a short write, ENOSPC or EFBIG, is a failure).
    bool Write(const void* Data, std::size_t Count);
    bool SetWriteTime(TDateTime Time);
    // Closes the file; false when the close reported a write-back failure.
    bool Close();

private:
    int FHandle = -1;
};

} // namespace platform
