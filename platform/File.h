// An open file for writing, closed by its destructor. Failures leave the system's code as the last error
// code (platform/LastError.h).
//
// The download's side files go through here: a name that is a symbolic link is never followed and a name
// that is no regular file is never written, the file can be locked against a second download of the same
// target, and its data can be written back to the disk while it grows and flushed before it takes the
// target's place.
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

    // Opens Path for writing; others may read it meanwhile. A symbolic link at Path is not followed (ELOOP),
    // and a name that is no regular file fails without a byte written (a folder EISDIR, a pipe or a device
    // EINVAL, a pipe without a reader ENXIO). The write position is the start of the file.
    bool OpenForWrite(const std::string& Path, TCreation Creation);
    bool IsOpen() const { return FHandle != -1; }
    // Whether the last OpenForWrite made the file (it did not exist before).
    bool Created() const { return FCreated; }
    // Takes the exclusive advisory lock of the file without waiting; false with EWOULDBLOCK while another
    // open of the file (in this process or another) holds it. The lock goes with the close.
    bool TryLock();
    // True when Path names this open file (not a file put in its place or a name it was renamed away from).
    bool IsAt(const std::string& Path) const;
    // The current size of the open file; -1 on failure.
    std::int64_t Size() const;
    // Moves the write position to the end (returns the new position, -1 on failure).
    std::int64_t SeekToEnd();
    // Makes Size the file's size (cutting or extending it) and the write position.
    bool SetEnd(std::int64_t Size);
    // Writes all Count bytes at the write position (a short write, ENOSPC or EFBIG, is a failure).
    bool Write(const void* Data, std::size_t Count);
    // From now on, every Step bytes written start their write-back to the disk without waiting for it, so
    // that a later Flush finds little left to do. 0 (the default) leaves the write-back to the system.
    void SetWriteBackStep(std::size_t Step) { FWriteBackStep = Step; }
    // Waits until the file's data (and its size) are on the disk.
    bool Flush();
    bool SetWriteTime(TDateTime Time);
    // Closes the file; false when the close reported a write-back failure.
    bool Close();

private:
    std::intptr_t FHandle = -1; // the file descriptor, or the Windows HANDLE; -1 when closed
    bool FCreated = false;
    std::int64_t FPosition = 0;      // the write position
    std::int64_t FWriteBackFrom = 0; // the first byte whose write-back has not been started
    std::size_t FWriteBackStep = 0;
};

} // namespace platform
