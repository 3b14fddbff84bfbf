#include "cli/ProgressLine.h"

#include "platform/Console.h"

std::string FormatProgressLine(const THttpDownloadInfo& Info) {
    char Percent[16] = "   --";
    if (Info.Size > 0) {
        std::snprintf(Percent, sizeof Percent, "%5.1f%%",
                      100.0 * static_cast<double>(Info.Position) / static_cast<double>(Info.Size));
    }
    std::string Line = std::string(Percent) + "  " + std::to_string(Info.Position);
    if (Info.Size > 0) {
        Line += "/" + std::to_string(Info.Size);
    }
    Line += " 字节  " + Info.SpeedText.Str() + "  剩余 " + Info.RemainTimeText.Str();
    return Line;
}

void TProgressLine::Show(const THttpDownloadInfo& Info, std::int64_t NowMs) {
    const std::int64_t Interval = FIsTerminal ? 100 : 1000;
    FPending = FormatProgressLine(Info);
    if (FShownAny && NowMs - FLastMs < Interval) {
        return;
    }
    FShownAny = true;
    FLastMs = NowMs;
    Print(FPending);
    FPending.clear();
}

void TProgressLine::Finish() {
    if (!FPending.empty() && FPending != FLastPrinted) {
        Print(FPending);
        FPending.clear();
    }
    if (FOpenLine) {
        platform::WriteText(FOut, "\n");
        FOpenLine = false;
    }
    std::fflush(FOut);
}

void TProgressLine::Print(const std::string& Line) {
    FLastPrinted = Line;
    if (FIsTerminal) {
        // Back to the start of the line, the new text, the rest of the old one cleared.
        platform::WriteText(FOut, "\r" + Line + "\033[K");
        FOpenLine = true;
    } else {
        platform::WriteText(FOut, Line + "\n");
    }
}
