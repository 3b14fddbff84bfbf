#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

unsigned short FreeLoopbackPort() {
    const int Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in A{};
    A.sin_family = AF_INET;
    A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t Len = sizeof A;
    if (Fd < 0 || ::bind(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0 ||
        ::getsockname(Fd, reinterpret_cast<sockaddr*>(&A), &Len) != 0) {
        if (Fd >= 0) {
            ::close(Fd);
        }
        throw std::runtime_error("no free port");
    }
    ::close(Fd);
    return ntohs(A.sin_port);
}

bool WaitForPort(unsigned short Port, int TimeoutMs) {
    const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (std::chrono::steady_clock::now() < End) {
        const int Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in A{};
        A.sin_family = AF_INET;
        A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        A.sin_port = htons(Port);
        const bool Ok = Fd >= 0 && ::connect(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0;
        if (Fd >= 0) {
            ::close(Fd);
        }
        if (Ok) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace testsupport
