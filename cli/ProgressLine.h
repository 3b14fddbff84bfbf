// The progress display of keltrima-get: one line from a download report, redrawn in place on a terminal
// (at most ten times a second) and printed as a new line at most once a second anywhere else.
#pragma once

#include "public/HttpClientIntf.h"

#include <cstdint>
#include <cstdio>
#include <string>

// " 42.0%  440401920/1048576000 字节  112.50MB/s  剩余 00:00:05"; the percentage is "--" without a size,
// and speed and time left are left out until they have been measured.
std::string FormatProgressLine(const THttpDownloadInfo& Info);

class TProgressLine {
public:
    TProgressLine(std::FILE* Out, bool IsTerminal) : FOut(Out), FIsTerminal(IsTerminal) {}

    // Shows a dsProgress report when its turn has come (NowMs: a monotonic clock in milliseconds).
    void Show(const THttpDownloadInfo& Info, std::int64_t NowMs);
    // Shows the last report shown or held back, and ends the line on a terminal.
    void Finish();

private:
    void Print(const std::string& Line);

    std::FILE* FOut;
    bool FIsTerminal;
    bool FShownAny = false;
    std::int64_t FLastMs = 0;
    std::string FPending;     // a line not yet shown
    std::string FLastPrinted; // the line shown last
    bool FOpenLine = false;
};
