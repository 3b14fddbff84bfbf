// The port that never answers, over Winsock (Wine's sockets are the host's, with the same full queue).
#include "tests/support/UnansweredPort.h"
#include "tests/support/TempDir.h"

#include <winsock2.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace testsupport {

TUnansweredPort::TUnansweredPort() {
    FreeLoopbackPort(); // starts Winsock
    const SOCKET Listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in Address{};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int Length = sizeof Address;
    if (Listener == INVALID_SOCKET ||
        ::bind(Listener, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0 ||
        ::listen(Listener, 0) != 0 ||
        ::getsockname(Listener, reinterpret_cast<sockaddr*>(&Address), &Length) != 0) {
        if (Listener != INVALID_SOCKET) {
            ::closesocket(Listener);
        }
        throw std::runtime_error("cannot set up a listening socket");
    }
    // Socket handles are kernel handles, whose significant bits fit in an int.
    FListener = static_cast<int>(Listener);
    FPort = ntohs(Address.sin_port);
    for (int i = 0; i < 4; ++i) {
        const SOCKET Filler = ::socket(AF_INET, SOCK_STREAM, 0);
        if (Filler == INVALID_SOCKET) {
            continue;
        }
        u_long NonBlocking = 1;
        ::ioctlsocket(Filler, FIONBIO, &NonBlocking);
        ::connect(Filler, reinterpret_cast<sockaddr*>(&Address), sizeof Address); // would block
        FFillers.push_back(static_cast<int>(Filler));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

TUnansweredPort::~TUnansweredPort() {
    for (const int Filler : FFillers) {
        ::closesocket(static_cast<SOCKET>(Filler));
    }
    ::closesocket(static_cast<SOCKET>(FListener));
}

} // namespace testsupport
