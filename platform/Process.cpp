#include "platform/Process.h"

#include "platform/LastError.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <ifaddrs.h>
#include <limits.h>
#include <net/if.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string ExecutablePath() {
    char Buffer[PATH_MAX + 1];
    const ssize_t N = ::readlink("/proc/self/exe", Buffer, PATH_MAX);
    if (N <= 0) {
        SetLastError(errno);
        return std::string();
    }
    return std::string(Buffer, static_cast<std::size_t>(N));
}

std::string ExecutableDir() {
    const std::string Path = ExecutablePath();
    const std::string::size_type Slash = Path.find_last_of('/');
    return Slash == std::string::npos ? std::string("/") : Path.substr(0, Slash + 1);
}

int CreateSingleInstanceLock(const std::string& name) {
    std::string Path;
    const char* RuntimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (RuntimeDir && *RuntimeDir) {
        Path = std::string(RuntimeDir) + "/" + name;
    } else {
        Path = "/tmp/" + name + "-" + std::to_string(::getuid());
    }
    const int Fd = ::open(Path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (Fd < 0) {
        const int Error = errno;
        SetLastError(Error);
        return Error;
    }
    if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
        const int Error = errno;
        ::close(Fd);
        const int Result = Error == EWOULDBLOCK ? ERROR_ALREADY_EXISTS : Error;
        SetLastError(Result);
        return Result;
    }
    // The descriptor is left open on purpose: the lock lasts as long as the process.
    SetLastError(0);
    return 0;
}

void TerminateCurrentProcess(int exitCode) {
    std::_Exit(exitCode);
}

bool InternetGetConnectedState() {
    ifaddrs* List = nullptr;
    if (::getifaddrs(&List) != 0) {
        SetLastError(errno);
        return false;
    }
    bool Connected = false;
    for (ifaddrs* A = List; A && !Connected; A = A->ifa_next) {
        const unsigned Flags = A->ifa_flags;
        Connected = A->ifa_addr &&
                    (A->ifa_addr->sa_family == AF_INET || A->ifa_addr->sa_family == AF_INET6) &&
                    (Flags & IFF_UP) && (Flags & IFF_RUNNING) && !(Flags & IFF_LOOPBACK);
    }
    ::freeifaddrs(List);
    return Connected;
}

} // namespace platform
