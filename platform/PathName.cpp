// The parts of a path, taken apart at this system's delimiters.
#include "platform/FileSystem.h"

namespace platform {

std::string ExtractFilePath(const std::string& Path) {
    const std::string::size_type Slash = Path.find_last_of(PathDelimiters);
    return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

std::string ExtractFileName(const std::string& Path) {
    const std::string::size_type Slash = Path.find_last_of(PathDelimiters);
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

std::string ChangeFileExt(const std::string& Path, const std::string& Ext) {
    const std::string::size_type Slash = Path.find_last_of(PathDelimiters);
    const std::string::size_type Dot = Path.find_last_of('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash)) {
        return Path + Ext;
    }
    return Path.substr(0, Dot) + Ext;
}

} // namespace platform
