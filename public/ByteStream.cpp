#include "public/ByteStream.h"

#include <algorithm>
#include <cstring>

bool TMemoryStream::GetSize(std::int64_t& Size) {
    Size = static_cast<std::int64_t>(FData.size());
    return true;
}

bool TMemoryStream::Read(void* Buffer, std::size_t Count, std::size_t& Done) {
    Done = FPosition < FData.size() ? std::min(Count, FData.size() - FPosition) : 0;
    if (Done > 0) {
        std::memcpy(Buffer, FData.data() + FPosition, Done);
        FPosition += Done;
    }
    return true;
}

bool TMemoryStream::Write(const void* Buffer, std::size_t Count, std::size_t& Done) {
    Done = 0;
    if (Count == 0) {
        return true;
    }
    if (FPosition > FData.size()) {
        FData.resize(FPosition);
    }
    const std::size_t Overlap = std::min(Count, FData.size() - FPosition);
    FData.replace(FPosition, Overlap, static_cast<const char*>(Buffer), Count);
    FPosition += Count;
    Done = Count;
    return true;
}

bool TMemoryStream::SetSize(std::int64_t Size) {
    if (Size < 0) {
        return false;
    }
    FData.resize(static_cast<std::size_t>(Size));
    if (FPosition > FData.size()) {
        FPosition = FData.size();
    }
    return true;
}

bool TMemoryStream::Seek(std::int64_t Position) {
    if (Position < 0) {
        return false;
    }
    FPosition = static_cast<std::size_t>(Position);
    return true;
}
