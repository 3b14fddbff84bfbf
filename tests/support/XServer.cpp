#include "tests/support/XServer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace {

pid_t Spawn(const std::vector<std::string>& Argv, int KeepFd) {
    std::vector<char*> Args;
    for (const std::string& A : Argv) {
        Args.push_back(const_cast<char*>(A.c_str()));
    }
    Args.push_back(nullptr);
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        for (int Fd = 3; Fd < 256; ++Fd) {
            if (Fd != KeepFd) {
                ::close(Fd);
            }
        }
        ::execvp(Args[0], Args.data());
        ::_exit(127);
    }
    return Pid;
}

void StopPid(pid_t& Pid) {
    if (Pid <= 0) {
        return;
    }
    ::kill(Pid, SIGTERM);
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    Pid = -1;
}

} // namespace

TXServer::TXServer(const std::string& Screen) {
    char Dir[] = "/tmp/keltrima-x11-XXXXXX";
    if (::mkdtemp(Dir) == nullptr) {
        throw std::runtime_error("no temporary folder");
    }
    FLogDir = Dir;
    int Fds[2];
    if (::pipe(Fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    FXvfb = Spawn({"Xvfb", "-displayfd", std::to_string(Fds[1]), "-nolisten", "tcp", "-screen", "0", Screen},
                  Fds[1]);
    ::close(Fds[1]);
    std::string Number;
    char Ch = 0;
    while (::read(Fds[0], &Ch, 1) == 1 && Ch != '\n') {
        Number += Ch;
    }
    ::close(Fds[0]);
    if (FXvfb <= 0 || Number.empty()) {
        StopPid(FXvfb);
        throw std::runtime_error("Xvfb did not start");
    }
    FDisplay = ":" + Number;
    ::setenv("DISPLAY", FDisplay.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("WAYLAND_DISPLAY");
}

TXServer::~TXServer() {
    FWindowManager.Stop();
    FCompositor.Stop();
    StopPid(FXvfb);
    if (!FLogDir.empty()) {
        RunTool({"rm", "-rf", FLogDir});
    }
}

void TXServer::StartCompositor() {
    FCompositor.Start({"xcompmgr", "-n"}, FLogDir + "/xcompmgr.log");
}

void TXServer::StopCompositor() {
    FCompositor.Stop();
}

void TXServer::StartWindowManager() {
    FWindowManager.Start({"openbox", "--sm-disable"}, FLogDir + "/openbox.log");
    // openbox announces itself on the root window once it manages the screen.
    for (int I = 0; I < 100; ++I) {
        if (RunTool({"sh", "-c", "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"}) == 0) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw std::runtime_error("openbox did not start");
}

void TXServer::StopWindowManager() {
    FWindowManager.Stop();
}

int RunTool(const std::vector<std::string>& Argv) {
    pid_t Pid = Spawn(Argv, -1);
    if (Pid <= 0) {
        return -1;
    }
    int Status = 0;
    if (::waitpid(Pid, &Status, 0) != Pid) {
        return -1;
    }
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

} // namespace testsupport
