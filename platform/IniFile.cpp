#include "platform/IniFile.h"

#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "platform/Text.h"

namespace platform {

namespace {

// A profile is a small text; a longer file is not read.
constexpr std::size_t ProfileSizeLimit = 1024 * 1024;

// Cuts a UTF-8 text to at most Max bytes without splitting a character.
std::string CutUtf8(const std::string& S, std::size_t Max) {
    if (S.size() <= Max) {
        return S;
    }
    std::size_t End = Max;
    while (End > 0 && (static_cast<unsigned char>(S[End]) & 0xC0) == 0x80) {
        --End;
    }
    return S.substr(0, End);
}

} // namespace

void TIniDocument::Parse(const std::string& Text) {
    FLines.clear();
    std::string::size_type Pos = 0;
    while (Pos < Text.size()) {
        std::string::size_type End = Text.find('\n', Pos);
        if (End == std::string::npos) {
            End = Text.size();
        }
        TLine Line;
        Line.Text = Text.substr(Pos, End - Pos);
        if (!Line.Text.empty() && Line.Text.back() == '\r') {
            Line.Text.pop_back();
        }
        Pos = End + 1;
        const std::string T = TrimBlanks(Line.Text);
        if (!T.empty() && T.front() == '[') {
            const std::string::size_type Close = T.find(']');
            Line.IsSection = true;
            Line.Section =
                TrimBlanks(T.substr(1, Close == std::string::npos ? std::string::npos : Close - 1));
        } else if (!T.empty() && T.front() != ';') {
            const std::string::size_type Eq = T.find('=');
            if (Eq != std::string::npos) {
                Line.IsKey = true;
                Line.Key = TrimBlanks(T.substr(0, Eq));
            }
        }
        FLines.push_back(std::move(Line));
    }
}

std::optional<std::string> TIniDocument::Read(const std::string& Section, const std::string& Key) const {
    const std::string S = TrimBlanks(Section), K = TrimBlanks(Key);
    bool InSection = false, Seen = false;
    for (const TLine& Line : FLines) {
        if (Line.IsSection) {
            if (InSection) {
                // Only the first section of that name counts.
                return std::nullopt;
            }
            InSection = SameText(Line.Section, S);
            Seen = Seen || InSection;
        } else if (InSection && Line.IsKey && SameText(Line.Key, K)) {
            std::string Value = TrimBlanks(Line.Text.substr(Line.Text.find('=') + 1));
            if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
                Value.back() == Value.front()) {
                Value = Value.substr(1, Value.size() - 2);
            }
            return Value;
        }
    }
    return std::nullopt;
}

void TIniDocument::Write(const std::string& Section, const std::string& Key, const std::string& Value) {
    const std::string S = TrimBlanks(Section), K = TrimBlanks(Key);
    TLine NewKey;
    NewKey.Text = K + "=" + Value;
    NewKey.Key = K;
    NewKey.IsKey = true;
    bool InSection = false;
    std::vector<TLine>::size_type InsertAt = FLines.size(), SectionAt = FLines.size();
    for (std::vector<TLine>::size_type i = 0; i < FLines.size(); ++i) {
        TLine& Line = FLines[i];
        if (Line.IsSection) {
            if (InSection) {
                break;
            }
            InSection = SameText(Line.Section, S);
            if (InSection) {
                SectionAt = i;
                InsertAt = i + 1;
            }
        } else if (InSection) {
            if (Line.IsKey && SameText(Line.Key, K)) {
                Line = NewKey;
                return;
            }
            // New keys go after the last non-blank line of the section.
            if (!TrimBlanks(Line.Text).empty()) {
                InsertAt = i + 1;
            }
        }
    }
    if (SectionAt == FLines.size()) {
        TLine Head;
        Head.Text = "[" + S + "]";
        Head.Section = S;
        Head.IsSection = true;
        FLines.push_back(std::move(Head));
        FLines.push_back(std::move(NewKey));
        return;
    }
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(InsertAt), std::move(NewKey));
}

std::string TIniDocument::Serialize() const {
    std::string Text;
    for (const TLine& Line : FLines) {
        Text += Line.Text;
        Text += "\r\n";
    }
    return Text;
}

std::string GetPrivateProfileString(const std::string& Section, const std::string& Key,
                                    const std::string& Default, const std::string& FileName,
                                    std::size_t BufferChars) {
    const std::size_t Max = BufferChars == 0 ? 0 : BufferChars - 1;
    std::string Text;
    if (!ReadRegularFile(FileName, Text, ProfileSizeLimit)) {
        return CutUtf8(Default, Max);
    }
    TIniDocument Doc;
    Doc.Parse(Text);
    const std::optional<std::string> Value = Doc.Read(Section, Key);
    return CutUtf8(Value ? *Value : Default, Max);
}

bool WritePrivateProfileString(const std::string& Section, const std::string& Key, const std::string& Value,
                               const std::string& FileName) {
    std::string Text;
    if (!ReadRegularFile(FileName, Text, ProfileSizeLimit) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    TIniDocument Doc;
    Doc.Parse(Text);
    Doc.Write(Section, Key, Value);
    return ReplaceFileContent(FileName, Doc.Serialize());
}

} // namespace platform
