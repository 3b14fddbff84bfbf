#include "tests/support/UnansweredPort.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

TUnansweredPort::TUnansweredPort() {
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in Address{};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t Length = sizeof Address;
    if (FListener < 0 || ::bind(FListener, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0 ||
        ::listen(FListener, 0) != 0 ||
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&Address), &Length) != 0) {
        if (FListener >= 0) {
            ::close(FListener);
        }
        throw std::runtime_error("cannot set up a listening socket");
    }
    FPort = ntohs(Address.sin_port);
    // A backlog of 0 takes one connection; a few more attempts make sure the queue stays full.
    for (int i = 0; i < 4; ++i) {
        const int Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (Fd < 0) {
            continue;
        }
        ::connect(Fd, reinterpret_cast<sockaddr*>(&Address), sizeof Address); // EINPROGRESS
        FFillers.push_back(Fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

TUnansweredPort::~TUnansweredPort() {
    for (const int Fd : FFillers) {
        ::close(Fd);
    }
    ::close(FListener);
}

} // namespace testsupport
