#include "public/ResumeDecision.h"

#include "platform/IniFile.h"

namespace {

const char* const Section = "server";
const char* const KeyContentLen = "ContentLen";
const char* const KeyLastModified = "LastModified";
const char* const KeyETag = "ETag";

// An entity tag as the profile reader returns it: a value in matching quotes loses them.
std::string AsStored(const std::string& ETag) {
    if (ETag.size() >= 2 && ETag.front() == ETag.back() && (ETag.front() == '"' || ETag.front() == '\'')) {
        return ETag.substr(1, ETag.size() - 2);
    }
    return ETag;
}

bool StateMatches(const std::string& StateText, const TEntityFacts& Server) {
    platform::TIniDocument State;
    State.Parse(StateText);
    if (State.Read(Section, KeyContentLen).value_or("0") != std::to_string(Server.Length)) {
        return false;
    }
    if (Server.LastModified != 0 && State.Read(Section, KeyLastModified).value_or("") !=
                                        platform::FormatDateTimeIso(Server.LastModified)) {
        return false;
    }
    const std::string Stored = State.Read(Section, KeyETag).value_or("");
    return Server.ETag.empty() || Stored.empty() || Stored == AsStored(Server.ETag);
}

} // namespace

std::string StateFileText(const TEntityFacts& Facts) {
    platform::TIniDocument State;
    State.Write(Section, KeyContentLen, std::to_string(Facts.Length));
    State.Write(Section, KeyLastModified, platform::FormatDateTimeIso(Facts.LastModified));
    if (!Facts.ETag.empty()) {
        State.Write(Section, KeyETag, Facts.ETag);
    }
    return State.Serialize();
}

TResumeDecision DecideResume(const std::optional<std::string>& StateText, const TEntityFacts& Server,
                             std::optional<std::uint64_t> TempSize) {
    if (Server.Length == 0 || !TempSize || !StateText || !StateMatches(*StateText, Server)) {
        return {TResumeDecision::StartOver, 0};
    }
    if (*TempSize == Server.Length) {
        return {TResumeDecision::Complete, *TempSize};
    }
    if (*TempSize > 0 && *TempSize < Server.Length) {
        return {TResumeDecision::Resume, *TempSize};
    }
    return {TResumeDecision::StartOver, 0};
}
