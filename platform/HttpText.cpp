#include "platform/HttpText.h"

#include "platform/Text.h"

namespace platform::http {

namespace {

// Reads digits at Pos into Value (at most 19 of them); false when there is none or too many.
bool ReadNumber(const std::string& S, std::string::size_type& Pos, std::uint64_t& Value) {
    const std::string::size_type Begin = Pos;
    while (Pos < S.size() && S[Pos] >= '0' && S[Pos] <= '9') {
        ++Pos;
    }
    return Pos > Begin && ParseLength(S.substr(Begin, Pos - Begin), Value);
}

} // namespace

bool ParseStatusLine(const std::string& Line, int& Code, std::string& Reason) {
    if (Line.compare(0, 5, "HTTP/") != 0) {
        return false;
    }
    Code = 0;
    Reason.clear();
    const std::string::size_type Sp = Line.find(' ');
    if (Sp == std::string::npos) {
        return true;
    }
    std::string::size_type P = Sp + 1;
    while (P < Line.size() && Line[P] >= '0' && Line[P] <= '9' && Code < 100000) {
        Code = Code * 10 + (Line[P] - '0');
        ++P;
    }
    if (P < Line.size() && Line[P] == ' ') {
        ++P;
    }
    Reason = Line.substr(P);
    return true;
}

bool SplitHeaderLine(const std::string& Line, std::string& Name, std::string& Value) {
    const std::string::size_type Colon = Line.find(':');
    if (Colon == std::string::npos) {
        return false;
    }
    Name = TrimBlanks(Line.substr(0, Colon));
    Value = TrimBlanks(Line.substr(Colon + 1));
    return true;
}

std::optional<std::string> FindHeader(const std::vector<std::string>& Lines, const std::string& Name) {
    for (const std::string& Line : Lines) {
        std::string LineName, Value;
        if (Line.compare(0, 5, "HTTP/") != 0 && SplitHeaderLine(Line, LineName, Value) &&
            SameText(LineName, Name)) {
            return Value;
        }
    }
    return std::nullopt;
}

bool ParseLength(const std::string& Text, std::uint64_t& Value) {
    if (Text.empty() || Text.size() > 19) {
        return false;
    }
    std::uint64_t N = 0;
    for (const char C : Text) {
        if (C < '0' || C > '9') {
            return false;
        }
        N = N * 10 + static_cast<std::uint64_t>(C - '0');
    }
    Value = N;
    return true;
}

bool ParseContentRange(const std::string& Text, TContentRange& Range) {
    const std::string S = TrimBlanks(Text);
    if (S.compare(0, 6, "bytes ") != 0) {
        return false;
    }
    std::string::size_type P = 6;
    TContentRange R;
    if (!ReadNumber(S, P, R.First) || P >= S.size() || S[P++] != '-' || !ReadNumber(S, P, R.Last) ||
        P >= S.size() || S[P++] != '/' || R.Last < R.First) {
        return false;
    }
    if (S.compare(P, std::string::npos, "*") != 0) {
        std::uint64_t Complete = 0;
        if (!ReadNumber(S, P, Complete) || P != S.size() || Complete <= R.Last) {
            return false;
        }
        R.Complete = Complete;
    }
    Range = R;
    return true;
}

bool IsHtmlMediaType(const std::string& ContentType) {
    return SameText(TrimBlanks(ContentType.substr(0, ContentType.find(';'))), "text/html");
}

} // namespace platform::http
