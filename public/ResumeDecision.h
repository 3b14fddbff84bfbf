// The resume decision and the state file it rests on, without files or a server: the state file's text,
// the server's facts and the temporary file's size go in, the decision comes out.
#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>

// What a server announces about the file at a URL: the entity's length, its date and its entity tag. The
// state file records these for the temporary file beside the target.
struct TEntityFacts {
    std::uint64_t Length = 0;             // 0: no length announced
    platform::TDateTime LastModified = 0; // 0: no date
    std::string ETag;                     // empty: none
};

// The state file's text for these facts: section "server" with "ContentLen" (the length in decimal),
// "LastModified" ("yyyy-mm-dd hh:nn:ss", 1899-12-30 00:00:00 for no date) and, when there is one, "ETag";
// CR LF line ends.
std::string StateFileText(const TEntityFacts& Facts);

struct TResumeDecision {
    enum TKind {
        StartOver, // fetch the whole file into an emptied temporary file
        Resume,    // ask for the rest from StartPos
        Complete,  // the temporary file is the whole file already: it becomes the target as it is
    };
    TKind Kind = StartOver;
    std::uint64_t StartPos = 0;
};

// Continue the temporary file only while the server announces what the state file recorded for it:
// - with no length from the server, or no temporary file from an earlier run (TempSize none), start over;
// - the state matches when its "ContentLen" text is the length in decimal (a leading zero is another text),
//   its "LastModified" text is the date (not compared when the server sends none) and its "ETag" is the
//   server's (not compared when either side has none); a missing state (StateText none) never matches;
// - a match with a shorter temporary file resumes at its size, with one of exactly the length is complete,
//   and with an empty or a longer one starts over.
TResumeDecision DecideResume(const std::optional<std::string>& StateText, const TEntityFacts& Server,
                             std::optional<std::uint64_t> TempSize);
