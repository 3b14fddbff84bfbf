// The INI reader on any text: never crashes, and a value written is read back unchanged.
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);
    platform::TIniDocument Doc;
    Doc.Parse(Text);
    (void)Doc.Read("server", "ContentLen");
    (void)Doc.Read("", "");

    // The section and key names come from the input too, as long as they can stand in a file.
    const std::string::size_type Cut = Text.find('|');
    std::string Section = "server", Key = "ContentLen";
    if (Cut != std::string::npos && Cut < 40) {
        Section = Text.substr(0, Cut);
        if (Section.find_first_of("[]=;\r\n \t\v\f") != std::string::npos || Section.empty()) {
            Section = "server";
        }
    }
    const std::string Value = "1048576";
    Doc.Write(Section, Key, Value);
    platform::TIniDocument Again;
    Again.Parse(Doc.Serialize());
    const auto Read = Again.Read(Section, Key);
    if (!Read || *Read != Value) {
        __builtin_trap();
    }
    return 0;
}
