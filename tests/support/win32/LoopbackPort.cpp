// Loopback ports over Winsock.
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <winsock2.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

// Winsock wants a start before the first socket; once for the test program.
void StartWinsock() {
    static const bool Started = [] {
        WSADATA Data;
        return WSAStartup(MAKEWORD(2, 2), &Data) == 0;
    }();
    if (!Started) {
        throw std::runtime_error("Winsock did not start");
    }
}

sockaddr_in Loopback(unsigned short Port) {
    sockaddr_in A{};
    A.sin_family = AF_INET;
    A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    A.sin_port = htons(Port);
    return A;
}

} // namespace

unsigned short FreeLoopbackPort() {
    StartWinsock();
    const SOCKET S = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in A = Loopback(0);
    int Len = sizeof A;
    const bool Ok = S != INVALID_SOCKET && ::bind(S, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0 &&
                    ::getsockname(S, reinterpret_cast<sockaddr*>(&A), &Len) == 0;
    if (S != INVALID_SOCKET) {
        ::closesocket(S);
    }
    if (!Ok) {
        throw std::runtime_error("no free port");
    }
    return ntohs(A.sin_port);
}

bool WaitForPort(unsigned short Port, int TimeoutMs) {
    StartWinsock();
    const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (std::chrono::steady_clock::now() < End) {
        const SOCKET S = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in A = Loopback(Port);
        const bool Ok = S != INVALID_SOCKET && ::connect(S, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0;
        if (S != INVALID_SOCKET) {
            ::closesocket(S);
        }
        if (Ok) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace testsupport
