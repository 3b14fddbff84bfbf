// The fault-injecting HTTP server (fault_server.py) for one test: started on a free loopback port with
// the test's script, stopped by its PID when the object goes. See README.md for the script.
#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A request as the server received it.
struct TRecordedRequest {
    std::string Method;
    std::string Target;                   // as on the request line (path and query, or a proxy's URL)
    std::vector<std::string> HeaderLines; // as received, without line ends
    std::string Body;

    // The value of the first header of that name (letter case ignored), blanks trimmed; "" if none.
    std::string Header(const std::string& Name) const;
    bool HasHeader(const std::string& Name) const;
};

// A self-signed certificate (usable as its own CA) for 127.0.0.1 and the name "localhost.test", written
// by the openssl command line into Dir; CertFile and KeyFile receive the paths.
void MakeSelfSignedCertificate(const TTempDir& Dir, std::string& CertFile, std::string& KeyFile);

class TFaultServer {
public:
    // Starts the server with a JSON script; throws std::runtime_error when it does not come up. With a
    // certificate and key it speaks HTTPS.
    explicit TFaultServer(const std::string& ScriptJson, const std::string& CertFile = std::string(),
                          const std::string& KeyFile = std::string());
    ~TFaultServer() = default;

    unsigned short Port() const { return FPort; }
    // "http://127.0.0.1:<port>" ("https://..." with TLS)
    std::string BaseUrl() const;
    // Every request received so far, in order.
    std::vector<TRecordedRequest> Requests() const;
    // A folder of the test's own, removed with the server (for body files).
    const TTempDir& Dir() const { return FDir; }

private:
    TTempDir FDir;
    TChildProcess FProcess;
    unsigned short FPort = 0;
    bool FTls = false;
};

} // namespace testsupport
