// The INI profile files: "[section]" lines and "key=value" lines, written with CR LF, read with CR LF or
// LF. Section and key names match without regard to letter case (ASCII); blanks around names and values
// are ignored; lines starting with ";" and lines without "=" are kept but mean nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class TIniDocument {
public:
    // Replaces the content with the parsed text. Never fails: any byte sequence is a document.
    void Parse(const std::string& Text);
    // The value of the first such key in the first such section; none when absent. A value in matching
    // double or single quotes loses them.
    std::optional<std::string> Read(const std::string& Section, const std::string& Key) const;
    // Sets a key, adding the section (at the end) and the key (at the end of its section) when missing.
    void Write(const std::string& Section, const std::string& Key, const std::string& Value);
    // The document as text, every line ended by CR LF.
    std::string Serialize() const;

private:
    struct TLine {
        std::string Text;    // the line as read (without its end)
        std::string Section; // for a section line: its name
        std::string Key;     // for a key line: its name
        bool IsSection = false;
        bool IsKey = false;
    };
    std::vector<TLine> FLines;
};

// The value of Key in Section of the file, Default when the file, the section or the key is missing (a
// symbolic link, anything but a regular file, or a file above 1 MiB counts as missing); cut
// to BufferChars - 1 bytes (on a character boundary) as the fixed buffer of a caller would cut it.
std::string GetPrivateProfileString(const std::string& Section, const std::string& Key,
                                    const std::string& Default, const std::string& FileName,
                                    std::size_t BufferChars = 256);
// Sets Key in Section of the file, creating the file when missing. The file is replaced as a whole
// (platform::ReplaceFileContent), so neither a failure nor a crash leaves half a file. False with errno on
// failure.
bool WritePrivateProfileString(const std::string& Section, const std::string& Key, const std::string& Value,
                               const std::string& FileName);

} // namespace platform
