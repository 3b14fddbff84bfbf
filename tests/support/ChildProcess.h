// A child process started by a test and stopped by its PID (SIGTERM, then SIGKILL) when the object goes.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class TChildProcess {
public:
    TChildProcess() = default;
    ~TChildProcess() { Stop(); }
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Starts Argv[0] (searched in PATH) with its output sent to LogFile; throws on failure.
    void Start(const std::vector<std::string>& Argv, const std::string& LogFile);
    // True while the child has not ended.
    bool Running();
    void Stop();
    pid_t Pid() const { return FPid; }

private:
    pid_t FPid = -1;
};

// Runs a command line of /bin/sh and waits for it; its exit status (-1 when it did not end normally).
int RunCommand(const std::string& ShellCommand);
// Waits up to TimeoutMs for a TCP connection to 127.0.0.1:Port to succeed.
bool WaitForPort(unsigned short Port, int TimeoutMs);

} // namespace testsupport
