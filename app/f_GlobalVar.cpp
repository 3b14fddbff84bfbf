#include "app/f_GlobalVar.h"

#include <exception>
#include <memory>

TLogger* GlobalLogger = nullptr;

namespace {

// Owns GlobalLogger; frees it at the program's normal end (static finalisation).
struct TGlobalLoggerOwner {
    std::unique_ptr<TLogger> Logger;
    TGlobalLoggerOwner() = default;
    ~TGlobalLoggerOwner() { GlobalLogger = nullptr; }
    TGlobalLoggerOwner(const TGlobalLoggerOwner&) = delete;
    TGlobalLoggerOwner& operator=(const TGlobalLoggerOwner&) = delete;
};

TGlobalLoggerOwner GlobalLoggerOwner;

} // namespace

std::string CreateGlobalLogger(const std::string& Folder) {
    try {
        GlobalLoggerOwner.Logger = std::make_unique<TLogger>(nullptr, Folder);
    } catch (const std::exception& Error) {
        return Error.what();
    }
    GlobalLogger = GlobalLoggerOwner.Logger.get();
    return std::string();
}
