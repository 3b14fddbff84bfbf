// What TFile does alike on every system: it closes its file when it goes, and a move hands the open file
// over.
#include "platform/File.h"

#include <utility>

namespace platform {

TFile::~TFile() {
    Close();
}

TFile::TFile(TFile&& Other) noexcept
    : FHandle(std::exchange(Other.FHandle, -1)), FCreated(Other.FCreated), FPosition(Other.FPosition),
      FWriteBackFrom(Other.FWriteBackFrom), FWriteBackStep(Other.FWriteBackStep) {}

TFile& TFile::operator=(TFile&& Other) noexcept {
    if (this != &Other) {
        Close();
        FHandle = std::exchange(Other.FHandle, -1);
        FCreated = Other.FCreated;
        FPosition = Other.FPosition;
        FWriteBackFrom = Other.FWriteBackFrom;
        FWriteBackStep = Other.FWriteBackStep;
    }
    return *this;
}

} // namespace platform
