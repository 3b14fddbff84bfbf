// The system's codes and texts on POSIX: errno values and the C library's texts.
#include "platform/LastError.h"

#include <cerrno>
#include <cstring>

namespace platform {

const int ERROR_FILE_NOT_FOUND = ENOENT;
const int ERROR_INVALID_PARAMETER = EINVAL;
const int ERROR_NOT_ENOUGH_MEMORY = ENOMEM;
const int ERROR_LOCK_VIOLATION = EWOULDBLOCK;
const int ERROR_FILE_INVALID = ESTALE;

std::string OsErrorText(int Code) {
    if (Code <= 0 || Code >= 4096) {
        return std::string();
    }
    char Buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in our buffer.
    const char* Text = strerror_r(Code, Buffer, sizeof Buffer);
    return Text ? Text : "";
}

} // namespace platform
