// Where the downloads and the log go, decided on real folders: a program unpacked into a folder it may
// write, one whose folder is blocked, an installed one, and the user's XDG folders in their variations.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/f_DataFolders.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A small world below a temporary folder: "prog/" holds the program, "home/" is the user's home.
class DataFoldersTest : public ::testing::Test {
protected:
    std::string Root() const { return FRoot.Path(); }
    std::string Home() const { return FRoot.File("home"); }

    TFolderContext Context(const std::string& ProgramDir) const {
        TFolderContext context;
        context.ProgramDir = ProgramDir;
        const auto env = FEnv;
        context.GetEnv = [env](const std::string& Name) {
            const auto found = env.find(Name);
            return found == env.end() ? std::string() : found->second;
        };
        context.AccountHome = FAccountHome;
        return context;
    }

    // The program's folder below the root, made, ending in "/".
    std::string ProgramDir(const std::string& Name = "prog") const {
        fs::create_directories(FRoot.File(Name));
        return FRoot.File(Name) + "/";
    }

    // A plain file where a folder is needed: no folder can be made below it, not even by root.
    std::string Blocker(const std::string& Name) const { return FRoot.Write(Name, "in the way"); }

    testsupport::TTempDir FRoot;
    std::map<std::string, std::string> FEnv{{"HOME", FRoot.File("home")}};
    std::string FAccountHome;
};

TEST_F(DataFoldersTest, UnpackedIntoAWritableFolderKeepsBothBesideTheProgram) {
    const std::string prog = ProgramDir();
    const TDataFolders folders = DecideDataFolders(Context(prog));
    EXPECT_EQ(folders.Place, TFolderPlace::BesideProgram);
    EXPECT_EQ(folders.Reason, TFolderReason::Unpacked);
    EXPECT_EQ(folders.SaveDir, prog + "Keltrima/");
    EXPECT_EQ(folders.LogDir, prog + "Keltrima/Log/");
    EXPECT_TRUE(fs::is_directory(folders.LogDir));
    EXPECT_TRUE(folders.Refused.empty());
    EXPECT_FALSE(fs::exists(Home())) << "the user's folders were touched";
    // A folder given without its trailing "/" is the same folder.
    EXPECT_EQ(DecideDataFolders(Context(FRoot.File("prog"))).LogDir, prog + "Keltrima/Log/");
}

TEST_F(DataFoldersTest, AProgramFolderThatCannotTakeTheLogSendsBothToTheUsersFolders) {
    const std::string prog = ProgramDir();
    for (const char* blocked : {"prog/Keltrima", "prog/Keltrima/Log"}) {
        SCOPED_TRACE(blocked);
        fs::remove_all(FRoot.File("prog/Keltrima"));
        Blocker(blocked);
        const TDataFolders folders = DecideDataFolders(Context(prog));
        EXPECT_EQ(folders.Place, TFolderPlace::UserFolders);
        EXPECT_EQ(folders.Reason, TFolderReason::ProgramDirNotWritable);
        EXPECT_EQ(folders.LogDir, Home() + "/.local/state/Keltrima/Log/");
        EXPECT_TRUE(fs::is_directory(folders.LogDir));
        EXPECT_EQ(folders.SaveDir, Home() + "/Downloads/Keltrima/");
        EXPECT_FALSE(fs::exists(folders.SaveDir)) << "the save folder is the window's to make";
        EXPECT_EQ(folders.Refused, std::vector<std::string>{prog + "Keltrima/Log/"});
    }
}

TEST_F(DataFoldersTest, AnInstalledProgramUsesTheUsersFoldersEvenWhereItsFolderIsWritable) {
    // The layout of an installed prefix: bin/ with the program, the desktop entry under share/.
    const std::string bin = ProgramDir("prefix/bin");
    FRoot.Write("prefix/bin/" + InstalledMarker(), "[Desktop Entry]\n");
    ASSERT_EQ(fs::canonical(bin + InstalledMarker()).string().rfind(FRoot.File("prefix/share/"), 0), 0u);
    EXPECT_TRUE(IsInstalledProgram(bin));

    const TDataFolders folders = DecideDataFolders(Context(bin));
    EXPECT_EQ(folders.Place, TFolderPlace::UserFolders);
    EXPECT_EQ(folders.Reason, TFolderReason::Installed);
    EXPECT_EQ(folders.LogDir, Home() + "/.local/state/Keltrima/Log/");
    EXPECT_TRUE(folders.Refused.empty());
    EXPECT_FALSE(fs::exists(bin + "Keltrima")) << "an installed program wrote into its prefix";

    // The same program copied out of the prefix is an unpacked one again.
    const std::string copy = ProgramDir("copy");
    EXPECT_FALSE(IsInstalledProgram(copy));
    EXPECT_EQ(DecideDataFolders(Context(copy)).Place, TFolderPlace::BesideProgram);
}

TEST_F(DataFoldersTest, TheUsersFoldersFollowTheXdgVariables) {
    const std::string prog = ProgramDir();
    Blocker("prog/Keltrima");
    struct TCase {
        const char* What;
        std::map<std::string, std::string> Env;   // added to HOME; "@" stands for the root
        std::map<std::string, std::string> Files; // below the root
        std::string Log;                          // "@" stands for the root
        std::string Save;
    };
    const std::vector<TCase> cases = {
        {"the defaults", {}, {}, "@/home/.local/state/Keltrima/Log/", "@/home/Downloads/Keltrima/"},
        {"an absolute XDG_STATE_HOME",
         {{"XDG_STATE_HOME", "@/state/"}},
         {},
         "@/state/Keltrima/Log/",
         "@/home/Downloads/Keltrima/"},
        {"a relative XDG_STATE_HOME is ignored",
         {{"XDG_STATE_HOME", "state"}},
         {},
         "@/home/.local/state/Keltrima/Log/",
         "@/home/Downloads/Keltrima/"},
        {"the download folder of user-dirs.dirs",
         {},
         {{"home/.config/user-dirs.dirs",
           "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\n"
           "XDG_DOWNLOAD_DIR=\"$HOME/下载\"\n"}},
         "@/home/.local/state/Keltrima/Log/",
         "@/home/下载/Keltrima/"},
        {"user-dirs.dirs in XDG_CONFIG_HOME, an absolute folder, the last line winning",
         {{"XDG_CONFIG_HOME", "@/config"}},
         {{"config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/first\"\n  XDG_DOWNLOAD_DIR=\"@/dl/\"  \n"},
          {"home/.config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/not this one\"\n"}},
         "@/home/.local/state/Keltrima/Log/",
         "@/dl/Keltrima/"},
        {"escaped characters",
         {},
         {{"home/.config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/a \\\"b\\\" \\$c\"\n"}},
         "@/home/.local/state/Keltrima/Log/",
         "@/home/a \"b\" $c/Keltrima/"},
        {"\"$HOME/\" is the home itself",
         {},
         {{"home/.config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/\"\n"}},
         "@/home/.local/state/Keltrima/Log/",
         "@/home/Keltrima/"},
        {"so is \"$HOME\"",
         {},
         {{"home/.config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME\"\n"}},
         "@/home/.local/state/Keltrima/Log/",
         "@/home/Keltrima/"},
        {"lines the format does not allow are skipped: then the environment",
         {{"XDG_DOWNLOAD_DIR", "@/from-env"}},
         {{"home/.config/user-dirs.dirs",
           "XDG_DOWNLOAD_DIR=$HOME/unquoted\nXDG_DOWNLOAD_DIR=\"relative\"\nXDG_DOWNLOAD_DIR=\"$HOMEWORK/"
           "x\"\n"
           "#XDG_DOWNLOAD_DIR=\"$HOME/comment\"\nXDG_DOWNLOAD_DIR=\"$HOME/open\n"}},
         "@/home/.local/state/Keltrima/Log/",
         "@/from-env/Keltrima/"},
        {"a relative XDG_DOWNLOAD_DIR in the environment is ignored",
         {{"XDG_DOWNLOAD_DIR", "from-env"}},
         {},
         "@/home/.local/state/Keltrima/Log/",
         "@/home/Downloads/Keltrima/"},
        {"no HOME: the account's home",
         {{"HOME", ""}},
         {},
         "@/account/.local/state/Keltrima/Log/",
         "@/account/Downloads/Keltrima/"},
        {"a relative HOME: the account's home",
         {{"HOME", "home"}},
         {},
         "@/account/.local/state/Keltrima/Log/",
         "@/account/Downloads/Keltrima/"},
    };
    auto rooted = [this](std::string Text) {
        if (const auto at = Text.find('@'); at != std::string::npos) {
            Text.replace(at, 1, Root());
        }
        return Text;
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        fs::remove_all(FRoot.File("home"));
        fs::remove_all(FRoot.File("config"));
        FEnv = {{"HOME", Home()}};
        FAccountHome = FRoot.File("account");
        for (const auto& [name, value] : c.Env) {
            FEnv[name] = rooted(value);
        }
        for (const auto& [name, content] : c.Files) {
            FRoot.Write(name, rooted(content));
        }
        const TDataFolders folders = DecideDataFolders(Context(prog));
        EXPECT_EQ(folders.Place, TFolderPlace::UserFolders);
        EXPECT_EQ(folders.LogDir, rooted(c.Log));
        EXPECT_TRUE(fs::is_directory(folders.LogDir));
        EXPECT_EQ(folders.SaveDir, rooted(c.Save));
    }
}

TEST_F(DataFoldersTest, NoFolderThatTakesTheLogIsNowhereAndNamesWhatWasTried) {
    const std::string prog = ProgramDir();
    Blocker("prog/Keltrima");
    Blocker("state");
    FEnv["XDG_STATE_HOME"] = FRoot.File("state");
    TDataFolders folders = DecideDataFolders(Context(prog));
    EXPECT_EQ(folders.Place, TFolderPlace::Nowhere);
    EXPECT_EQ(folders.Reason, TFolderReason::NoWritableFolder);
    EXPECT_TRUE(folders.SaveDir.empty());
    EXPECT_TRUE(folders.LogDir.empty());
    EXPECT_EQ(folders.Refused,
              (std::vector<std::string>{prog + "Keltrima/Log/", FRoot.File("state") + "/Keltrima/Log/"}));

    // Without any home and any state folder there is only the program's folder to try.
    FEnv = {};
    FAccountHome.clear();
    folders = DecideDataFolders(Context(prog));
    EXPECT_EQ(folders.Place, TFolderPlace::Nowhere);
    EXPECT_EQ(folders.Refused, std::vector<std::string>{prog + "Keltrima/Log/"});

    // An unknown program folder is not tried at all.
    FEnv = {{"HOME", Home()}};
    folders = DecideDataFolders(Context(""));
    EXPECT_EQ(folders.Place, TFolderPlace::UserFolders);
    EXPECT_TRUE(folders.Refused.empty());
}

} // namespace
