// nginx from Debian as the well-behaved peer of a test: a minimal configuration in a temporary folder,
// started in the foreground on a free loopback port, serving the files below Root(), stopped by its PID
// when the object goes. Below "/dav/" it also takes PUT and DELETE (files land below Root()/dav/).
#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <string>
#include <vector>

namespace testsupport {

class TNginxServer {
public:
    // Throws std::runtime_error when nginx does not come up.
    TNginxServer();
    ~TNginxServer() = default;

    unsigned short Port() const { return FPort; }
    // "http://127.0.0.1:<port>"
    std::string BaseUrl() const;
    // The folder served as "/".
    std::string Root() const { return FDir.File("www"); }
    // Writes a file to be served at "/" + Name and returns its path on disk.
    std::string AddFile(const std::string& Name, const std::string& Content) const;
    // nginx's error log, for a failing test's message.
    std::string ErrorLog() const;

    // One line of the access log: nginx's number of the TCP connection the request came on, the method,
    // the path (decoded) and the status.
    struct TLogEntry {
        unsigned long Connection = 0;
        std::string Method;
        std::string Uri;
        int Status = 0;
    };
    // The requests answered so far, in order (nginx writes a line when it has answered).
    std::vector<TLogEntry> AccessLog() const;

private:
    TTempDir FDir;
    TChildProcess FProcess;
    unsigned short FPort = 0;
};

} // namespace testsupport
