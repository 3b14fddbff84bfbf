// The resume decision on any state file, server length and temporary file size: never crashes, resumes
// only inside the file at the temporary file's size, calls complete only what has the whole length, and
// always resumes from a state file it wrote itself.
#include "public/ResumeDecision.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace {

std::uint64_t Take64(const std::uint8_t*& Data, std::size_t& Size) {
    std::uint64_t Value = 0;
    const std::size_t N = Size < 8 ? Size : 8;
    std::memcpy(&Value, Data, N);
    Data += N;
    Size -= N;
    return Value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    // Small numbers are the interesting ones: keep them near the lengths a state file can name.
    const std::uint64_t TempSize = Take64(Data, Size) % 1000003;
    TEntityFacts Server;
    Server.Length = Take64(Data, Size) % 1000003;
    const std::uint8_t Flags = Size > 0 ? Data[0] : 0;
    if (Size > 0) {
        ++Data;
        --Size;
    }
    Server.LastModified = (Flags & 1) ? platform::UnixTimeToDateTime(1700000000) : 0;
    Server.ETag = (Flags & 2) ? "\"v1\"" : "";
    const std::optional<std::uint64_t> Temp =
        (Flags & 4) ? std::optional<std::uint64_t>(TempSize) : std::nullopt;
    const std::string State(reinterpret_cast<const char*>(Data), Size);

    const TResumeDecision D = DecideResume(State, Server, Temp);
    switch (D.Kind) {
    case TResumeDecision::Resume:
        if (!Temp || D.StartPos != *Temp || D.StartPos == 0 || D.StartPos >= Server.Length) {
            __builtin_trap();
        }
        break;
    case TResumeDecision::Complete:
        if (!Temp || *Temp != Server.Length || Server.Length == 0) {
            __builtin_trap();
        }
        break;
    case TResumeDecision::StartOver:
        if (D.StartPos != 0) {
            __builtin_trap();
        }
        break;
    }
    if (Server.Length >= 2 &&
        DecideResume(StateFileText(Server), Server, Server.Length - 1).Kind != TResumeDecision::Resume) {
        __builtin_trap();
    }
    return 0;
}
