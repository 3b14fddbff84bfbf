// The byte stream the request operations read bodies from and write responses into, and a stream in
// memory. The stream has a position: Read and Write work from it and move it on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class IByteStream {
public:
    virtual ~IByteStream() = default;
    // The total size in bytes (the stream's status); false when it cannot be told.
    virtual bool GetSize(std::int64_t& Size) = 0;
    // Reads up to Count bytes from the position; Done receives the number read (0 at the end).
    virtual bool Read(void* Buffer, std::size_t Count, std::size_t& Done) = 0;
    // Writes Count bytes at the position; Done receives the number written.
    virtual bool Write(const void* Buffer, std::size_t Count, std::size_t& Done) = 0;
    // Sets the size; the position stays, but not beyond the new end.
    virtual bool SetSize(std::int64_t Size) = 0;
    // Moves the position (from the start).
    virtual bool Seek(std::int64_t Position) = 0;
};

class TMemoryStream : public IByteStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string Data) : FData(std::move(Data)) {}

    bool GetSize(std::int64_t& Size) override;
    bool Read(void* Buffer, std::size_t Count, std::size_t& Done) override;
    bool Write(const void* Buffer, std::size_t Count, std::size_t& Done) override;
    bool SetSize(std::int64_t Size) override;
    bool Seek(std::int64_t Position) override;

    const std::string& Data() const { return FData; }
    std::int64_t Position() const { return static_cast<std::int64_t>(FPosition); }

private:
    std::string FData;
    std::size_t FPosition = 0;
};
