// Child processes of a test under Wine: the servers are Linux programs, which Wine starts from a Windows
// program but gives no handle for. So a child is started through /bin/sh, which writes its PID beside the
// log; it is watched through /proc and stopped with /bin/kill, by that PID.
#include "tests/support/ChildProcess.h"

#include <windows.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

std::string Quoted(const std::string& Text) {
    std::string Out = "'";
    for (char C : Text) {
        Out += C == '\'' ? std::string("'\\''") : std::string(1, C);
    }
    return Out + "'";
}

// Starts "/bin/sh Script" without waiting for it.
void StartShell(const std::string& Script) {
    std::string CommandLine = "/bin/sh " + Script;
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Info{};
    if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup,
                        &Info)) {
        throw std::runtime_error("cannot start /bin/sh: " + std::to_string(GetLastError()));
    }
    // A Unix program comes without handles; a Windows one's are not needed.
    if (Info.hThread) {
        CloseHandle(Info.hThread);
    }
    if (Info.hProcess) {
        CloseHandle(Info.hProcess);
    }
}

std::string ReadWhole(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream S;
    S << In.rdbuf();
    return S.str();
}

// Whether the process is there and not a zombie.
bool Alive(pid_t Pid) {
    const std::string Stat = ReadWhole("/proc/" + std::to_string(Pid) + "/stat");
    const std::string::size_type Close = Stat.rfind(')');
    return Close != std::string::npos && Close + 2 < Stat.size() && Stat[Close + 2] != 'Z';
}

// Waits for a file to have content.
std::string WaitForFile(const std::string& Path, int TimeoutMs) {
    const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    for (;;) {
        const std::string Content = ReadWhole(Path);
        if (!Content.empty() && Content.back() == '\n') {
            return Content;
        }
        if (std::chrono::steady_clock::now() >= End) {
            return std::string();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void Kill(const char* Signal, pid_t Pid) {
    const std::string Script = "/tmp/keltrima-kill-" + std::to_string(Pid) + "-" + Signal + ".sh";
    {
        std::ofstream Out(Script, std::ios::binary | std::ios::trunc);
        Out << "rm -f " << Script << "\nexec /bin/kill -" << Signal << " " << Pid << "\n";
    }
    StartShell(Script);
}

} // namespace

void TChildProcess::Start(const std::vector<std::string>& Argv, const std::string& LogFile) {
    Stop();
    const std::string PidFile = LogFile + ".pid";
    const std::string Script = LogFile + ".sh";
    std::remove(PidFile.c_str());
    {
        std::ofstream Out(Script, std::ios::binary | std::ios::trunc);
        Out << "echo $$ > " << Quoted(PidFile) << "\nexec";
        for (const std::string& A : Argv) {
            Out << " " << Quoted(A);
        }
        Out << " >> " << Quoted(LogFile) << " 2>&1\n";
        if (!Out) {
            throw std::runtime_error("cannot write " + Script);
        }
    }
    StartShell(Script);
    const std::string Pid = WaitForFile(PidFile, 10000);
    if (Pid.empty()) {
        throw std::runtime_error("the child did not start: " + Argv.front());
    }
    FPid = static_cast<pid_t>(std::stol(Pid));
}

bool TChildProcess::Running() {
    if (FPid <= 0) {
        return false;
    }
    if (!Alive(FPid)) {
        FPid = -1;
        return false;
    }
    return true;
}

void TChildProcess::Stop() {
    if (FPid <= 0) {
        return;
    }
    Kill("TERM", FPid);
    for (int i = 0; i < 200 && Alive(FPid); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (Alive(FPid)) {
        Kill("KILL", FPid);
        for (int i = 0; i < 200 && Alive(FPid); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    FPid = -1;
}

int RunCommand(const std::string& ShellCommand) {
    static int Serial = 0;
    const std::string Base =
        "/tmp/keltrima-run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++Serial);
    {
        std::ofstream Out(Base + ".sh", std::ios::binary | std::ios::trunc);
        Out << "(" << ShellCommand << ")\necho $? > " << Base << ".status.tmp\nmv " << Base << ".status.tmp "
            << Base << ".status\nrm -f " << Base << ".sh\n";
    }
    StartShell(Base + ".sh");
    const std::string Status = WaitForFile(Base + ".status", 120000);
    std::remove((Base + ".status").c_str());
    return Status.empty() ? -1 : std::stoi(Status);
}

} // namespace testsupport
