#include "tests/download/DownloadFixture.h"

#include "tests/support/TempDir.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef KELTRIMA_GET_PATH
#error "KELTRIMA_GET_PATH must name the keltrima-get executable"
#endif

namespace downloadtest {

THttpDownloadCallback TRecorder::Callback() {
    return [this](const THttpDownloadInfo& Info, bool& Stop) {
        TReport R;
        R.Status = Info.Status;
        R.Position = Info.Position;
        R.Size = Info.Size;
        R.Tag = Info.Tag;
        R.Message = Info.Message ? Info.Message : "(null)";
        R.RemainTime = Info.RemainTime;
        R.RemainTimeText = Info.RemainTimeText.Str();
        R.Speed = Info.Speed;
        R.SpeedText = Info.SpeedText.Str();
        R.ResultCode = Info.ResultCode;
        R.Reserved = Info.Reserved;
        Reports.push_back(R);
        if (Stop) {
            Reports.back().Message += " [Stop was not false]";
        }
        Stop = StopWhen && StopWhen(R);
    };
}

std::string TRecorder::Statuses() const {
    static const char Letters[] = "BPEFX";
    std::string S;
    for (const TReport& R : Reports) {
        S += Letters[R.Status];
    }
    return S;
}

std::string TRecorder::MessageOf(THttpDownloadStatus Status) const {
    for (const TReport& R : Reports) {
        if (R.Status == Status) {
            return R.Message;
        }
    }
    return std::string();
}

std::string Sha256OfFile(const std::string& Path) {
    const std::string Command = "sha256sum '" + Path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> Pipe(popen(Command.c_str(), "r"), pclose);
    if (!Pipe) {
        return std::string();
    }
    char Hex[65] = {};
    if (std::fscanf(Pipe.get(), "%64s", Hex) != 1) {
        return std::string();
    }
    return Hex;
}

std::string Sha256OfText(const std::string& Bytes) {
    testsupport::TTempDir Dir;
    return Sha256OfFile(Dir.Write("bytes", Bytes));
}

std::string HttpDate(std::int64_t UnixSeconds) {
    const std::time_t T = static_cast<std::time_t>(UnixSeconds);
    std::tm Tm{};
    gmtime_r(&T, &Tm);
    char Buffer[64];
    std::strftime(Buffer, sizeof Buffer, "%a, %d %b %Y %H:%M:%S GMT", &Tm);
    return Buffer;
}

TDateTime DateOf(std::int64_t UnixSeconds) {
    return platform::UnixTimeToDateTime(UnixSeconds);
}

std::shared_ptr<THttpClient> NewResumeClient() {
    auto Client = std::make_shared<THttpClient>();
    Client->SetResume(true);
    Client->SetTimeOut(10000);
    return Client;
}

std::string ReplaceAll(std::string S, const std::string& From, const std::string& To) {
    for (std::size_t P = S.find(From); P != std::string::npos; P = S.find(From, P + To.size())) {
        S.replace(P, From.size(), To);
    }
    return S;
}

std::string StateText(const std::string& ContentLen, const std::string& LastModified,
                      const std::string& ETag) {
    std::string Text = "[server]\r\nContentLen=" + ContentLen + "\r\nLastModified=" + LastModified + "\r\n";
    if (!ETag.empty()) {
        Text += "ETag=" + ETag + "\r\n";
    }
    return Text;
}

TKeltrimaGet::TKeltrimaGet(const std::vector<std::string>& Args, const testsupport::TTempDir& Dir,
                           const std::string& Name)
    : FOut(Dir.File(Name.empty() ? "out.txt" : Name + "-out.txt")),
      FErr(Dir.File(Name.empty() ? "err.txt" : Name + "-err.txt")) {
    std::vector<std::string> Copy = Args;
    std::string Program = KELTRIMA_GET_PATH;
    std::vector<char*> Argv{Program.data()};
    for (std::string& A : Copy) {
        Argv.push_back(A.data());
    }
    Argv.push_back(nullptr);
    FPid = ::fork();
    if (FPid == 0) {
        const int O = ::open(FOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int E = ::open(FErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(O, 1);
        ::dup2(E, 2);
        ::execv(Program.c_str(), Argv.data());
        ::_exit(127);
    }
}

TKeltrimaGet::~TKeltrimaGet() {
    if (FPid > 0 && !FDone) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
}

int TKeltrimaGet::Wait(int TimeoutMs) {
    for (int Waited = 0; Waited < TimeoutMs; Waited += 5) {
        int Status = 0;
        if (::waitpid(FPid, &Status, WNOHANG) == FPid) {
            FDone = true;
            return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

void TKeltrimaGet::Signal(int Sig) {
    ::kill(FPid, Sig);
}

std::string TKeltrimaGet::Out() const {
    return testsupport::ReadFile(FOut);
}

std::string TKeltrimaGet::Err() const {
    return testsupport::ReadFile(FErr);
}

bool WaitForFile(const std::string& Path, int TimeoutMs) {
    for (int Waited = 0; Waited < TimeoutMs; Waited += 10) {
        if (GetFileSize64(Path) > 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace downloadtest
