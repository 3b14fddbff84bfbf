#include "tests/support/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
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
