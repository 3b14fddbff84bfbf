// A loopback port that never answers a connection attempt: a listening socket whose accept queue is full,
// so the kernel drops every further SYN and a client's connect waits until its own time-out. The blackholed
// server of a test, without touching the firewall. Closed (and the port freed) when the object goes.
#pragma once

#include <vector>

namespace testsupport {

class TUnansweredPort {
public:
    // Throws std::runtime_error when the socket cannot be set up.
    TUnansweredPort();
    ~TUnansweredPort();
    TUnansweredPort(const TUnansweredPort&) = delete;
    TUnansweredPort& operator=(const TUnansweredPort&) = delete;

    unsigned short Port() const { return FPort; }

private:
    int FListener = -1;
    std::vector<int> FFillers; // connections that fill the accept queue, never accepted
    unsigned short FPort = 0;
};

} // namespace testsupport
