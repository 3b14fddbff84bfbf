#include "tests/support/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

void TChildProcess::Start(const std::vector<std::string>& Argv, const std::string& LogFile) {
    Stop();
    std::vector<char*> Args;
    for (const std::string& A : Argv) {
        Args.push_back(const_cast<char*>(A.c_str()));
    }
    Args.push_back(nullptr);
    const pid_t Pid = ::fork();
    if (Pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (Pid == 0) {
        const int Fd = ::open(LogFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (Fd >= 0) {
            ::dup2(Fd, 1);
            ::dup2(Fd, 2);
        }
        ::execvp(Args[0], Args.data());
        ::_exit(127);
    }
    FPid = Pid;
}

bool TChildProcess::Running() {
    if (FPid <= 0) {
        return false;
    }
    int Status = 0;
    if (::waitpid(FPid, &Status, WNOHANG) == FPid) {
        FPid = -1;
        return false;
    }
    return true;
}

void TChildProcess::Stop() {
    if (FPid <= 0) {
        return;
    }
    ::kill(FPid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        int Status = 0;
        if (::waitpid(FPid, &Status, WNOHANG) == FPid) {
            FPid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(FPid, SIGKILL);
    int Status = 0;
    ::waitpid(FPid, &Status, 0);
    FPid = -1;
}

int RunCommand(const std::string& ShellCommand) {
    const int Status = std::system(ShellCommand.c_str());
    return Status >= 0 && WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

} // namespace testsupport
