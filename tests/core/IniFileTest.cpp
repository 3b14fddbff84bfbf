// The INI profile reader and writer.
#include "platform/IniFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace platform;
using testsupport::TTempDir;

TEST(IniFile, ReadsWhatTheStateFileNeedsInEveryLayout) {
    struct TCase {
        const char* Text;
        const char* Section;
        const char* Key;
        const char* Expected; // nullptr: the default
    } Cases[] = {
        {"[server]\r\nContentLen=123\r\n", "server", "ContentLen", "123"},
        {"[server]\nContentLen=123\n", "server", "ContentLen", "123"},
        {"[server]\nContentLen=123", "server", "ContentLen", "123"},
        {"  [ SERVER ]  \n  contentlen  =  123  \n", "server", "ContentLen", "123"},
        {"[server]\nLastModified=2024-01-02 03:04:05\n", "server", "LastModified", "2024-01-02 03:04:05"},
        {"[server]\nName=\"quoted value\"\n", "server", "Name", "quoted value"},
        {"[server]\nEmpty=\n", "server", "Empty", ""},
        {"[other]\nContentLen=1\n[server]\nContentLen=2\n", "server", "ContentLen", "2"},
        {"[server]\nContentLen=1\n[server]\nContentLen=2\n", "server", "ContentLen", "1"},
        {"[server]\n;ContentLen=1\n", "server", "ContentLen", nullptr},
        {"ContentLen=1\n[server]\n", "server", "ContentLen", nullptr},
        {"[server]\nContentLen=1\n", "client", "ContentLen", nullptr},
        {"", "server", "ContentLen", nullptr},
        {"[server\nContentLen=7\n", "server", "ContentLen", "7"},
    };
    for (const TCase& C : Cases) {
        TTempDir Dir;
        const std::string File = Dir.Write("s.sdc", C.Text);
        EXPECT_EQ(GetPrivateProfileString(C.Section, C.Key, "dflt", File), C.Expected ? C.Expected : "dflt")
            << C.Text;
    }
}

TEST(IniFile, MissingFileGivesTheDefaultAndLongValuesAreCut) {
    TTempDir Dir;
    EXPECT_EQ(GetPrivateProfileString("server", "ContentLen", "0", Dir.File("none.sdc")), "0");
    const std::string Long(300, 'a');
    const std::string File = Dir.Write("long.sdc", "[s]\nk=" + Long + "\n");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", File), std::string(255, 'a'));
    // The cut never splits a character: 100 three-byte characters cut to 255 bytes keep 85 of them.
    std::string Chinese;
    for (int i = 0; i < 100; ++i) {
        Chinese += "中";
    }
    const std::string File2 = Dir.Write("cjk.sdc", "[s]\nk=" + Chinese + "\n");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", File2), Chinese.substr(0, 255));
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", File2, 11), Chinese.substr(0, 9));
}

TEST(IniFile, WritesCrLfAndKeepsEverythingElse) {
    TTempDir Dir;
    const std::string File = Dir.File("state.sdc");
    ASSERT_TRUE(WritePrivateProfileString("server", "ContentLen", "1048576", File));
    ASSERT_TRUE(WritePrivateProfileString("server", "LastModified", "2024-01-02 03:04:05", File));
    EXPECT_EQ(testsupport::ReadFile(File),
              "[server]\r\nContentLen=1048576\r\nLastModified=2024-01-02 03:04:05\r\n");

    // Replacing a value, in another letter case, leaves the other lines alone.
    ASSERT_TRUE(WritePrivateProfileString("SERVER", "contentlen", "5", File));
    EXPECT_EQ(testsupport::ReadFile(File),
              "[server]\r\ncontentlen=5\r\nLastModified=2024-01-02 03:04:05\r\n");
    EXPECT_EQ(GetPrivateProfileString("server", "ContentLen", "0", File), "5");

    // A hand-written file with LF ends, comments and a second section.
    const std::string Other = Dir.Write("other.ini", "; note\n[a]\nx=1\n\n[b]\ny=2\n");
    ASSERT_TRUE(WritePrivateProfileString("a", "z", "3", Other));
    EXPECT_EQ(testsupport::ReadFile(Other), "; note\r\n[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n");
}

TEST(IniFile, AFailedWriteLeavesTheOldFileWhole) {
    TTempDir Dir;
    // A folder where the file should be: the write fails for root too, and nothing is left behind.
    const std::string Folder = Dir.File("state.sdc");
    ASSERT_TRUE(std::filesystem::create_directory(Folder));
    EXPECT_FALSE(WritePrivateProfileString("server", "ContentLen", "1", Folder));
    EXPECT_TRUE(std::filesystem::is_directory(Folder));
    int Entries = 0;
    for ([[maybe_unused]] const auto& E : std::filesystem::directory_iterator(Dir.Path())) {
        ++Entries;
    }
    EXPECT_EQ(Entries, 1);
    // A folder that does not exist.
    EXPECT_FALSE(WritePrivateProfileString("server", "ContentLen", "1", Dir.File("no/such/state.sdc")));
}
