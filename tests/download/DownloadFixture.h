// Pieces the download tests share: a recorder of progress reports, SHA-256 of a file, HTTP dates, a
// client in resume mode, and keltrima-get as a process.
#pragma once

#include "public/HttpClientImpl.h"
#include "tests/support/TempDir.h"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace downloadtest {

// One report as the callback saw it (the message copied, since it lives only for the call).
struct TReport {
    THttpDownloadStatus Status = dsBegin;
    std::int64_t Position = 0;
    std::int64_t Size = 0;
    std::int32_t Tag = 0;
    std::string Message;
    std::int64_t RemainTime = 0;
    std::string RemainTimeText;
    std::int64_t Speed = 0;
    std::string SpeedText;
    std::int32_t ResultCode = 0;
    std::uint8_t Reserved = 0;
};

// Records every report; StopWhen decides the Stop answer (none: never stop).
struct TRecorder {
    std::vector<TReport> Reports;
    std::function<bool(const TReport&)> StopWhen;

    THttpDownloadCallback Callback();
    // The statuses in order, as a text such as "BPPE" (B begin, P progress, E end, F fail, X error).
    std::string Statuses() const;
    // The message of the first report with this status ("" when none).
    std::string MessageOf(THttpDownloadStatus Status) const;
};

// The SHA-256 of a file in hex, by the sha256sum command; "" when it cannot be read.
std::string Sha256OfFile(const std::string& Path);
std::string Sha256OfText(const std::string& Bytes);

// An HTTP date (RFC 1123) and the same moment as a TDateTime, for Unix seconds.
std::string HttpDate(std::int64_t UnixSeconds);
TDateTime DateOf(std::int64_t UnixSeconds);

// A new client (not the shared one) in resume mode, with a short time-out.
std::shared_ptr<THttpClient> NewResumeClient();

// S with every From replaced by To (for the "@" placeholders of fault-server scripts).
std::string ReplaceAll(std::string S, const std::string& From, const std::string& To);

// The state file as written for a length and a date (and an entity tag when not empty), CR LF lines.
std::string StateText(const std::string& ContentLen, const std::string& LastModified,
                      const std::string& ETag = std::string());

// keltrima-get started as a process with its standard output and error in files below Dir (named
// "out.txt" and "err.txt", or Name + "-out.txt" and Name + "-err.txt" so that two runs can share a folder);
// killed by its PID if the test leaves it running.
class TKeltrimaGet {
public:
    TKeltrimaGet(const std::vector<std::string>& Args, const testsupport::TTempDir& Dir,
                 const std::string& Name = std::string());
    ~TKeltrimaGet();
    TKeltrimaGet(const TKeltrimaGet&) = delete;
    TKeltrimaGet& operator=(const TKeltrimaGet&) = delete;

    // The exit code; -1 when it ended by a signal or has not ended within the time.
    int Wait(int TimeoutMs = 60000);
    void Signal(int Sig);
    std::string Out() const;
    std::string Err() const;

private:
    std::string FOut, FErr;
    pid_t FPid = -1;
    bool FDone = false;
};

// Waits until the file exists and is not empty; false after TimeoutMs.
bool WaitForFile(const std::string& Path, int TimeoutMs);

} // namespace downloadtest
