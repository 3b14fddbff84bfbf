#include "app/f_GlobalVar.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

TLogger* GlobalLogger = nullptr;

namespace {

// Creates GlobalLogger at static initialisation and frees it at static finalisation.
class TGlobalLoggerOwner {
public:
    TGlobalLoggerOwner() {
        try {
            GlobalLogger = new TLogger(nullptr, std::string());
        } catch (const std::exception& Error) {
            std::fprintf(stderr, "Keltrima: 程序初始化失败：%s\n", Error.what());
            std::exit(EXIT_FAILURE);
        }
    }
    ~TGlobalLoggerOwner() {
        delete GlobalLogger;
        GlobalLogger = nullptr;
    }
    TGlobalLoggerOwner(const TGlobalLoggerOwner&) = delete;
    TGlobalLoggerOwner& operator=(const TGlobalLoggerOwner&) = delete;
};

const TGlobalLoggerOwner GlobalLoggerOwner;

} // namespace
