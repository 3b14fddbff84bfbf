// Where the program keeps its downloads and its daily log.
//
// Unpacked into a folder its user can write, the program keeps both beside itself: "Keltrima/" for the
// downloads and "Keltrima/Log/" for the log. Installed (its desktop entry lies in the prefix it was
// installed into) or where its folder cannot be written, it keeps them in the user's own folders: the
// downloads in "Keltrima/" under the user's download folder (xdg-user-dirs, "~/Downloads" by default), the
// log in "Keltrima/Log/" under the user's state folder ($XDG_STATE_HOME, "~/.local/state" by default).
#pragma once

#include <functional>
#include <string>
#include <vector>

enum class TFolderPlace {
    BesideProgram, // "Keltrima/" beside the executable
    UserFolders,   // the user's download and state folders
    Nowhere,       // no log folder could be made and written
};

// Why the folders are where they are.
enum class TFolderReason {
    Unpacked,              // the program's own folder can be written
    Installed,             // the program lies in an installed prefix, whoever may write there
    ProgramDirNotWritable, // "Keltrima/Log/" beside the program could not be made or written
    NoWritableFolder,      // neither the program's folder nor the user's state folder will take the log
};

struct TDataFolders {
    TFolderPlace Place = TFolderPlace::Nowhere;
    TFolderReason Reason = TFolderReason::NoWritableFolder;
    // The default save folder, ending in "/"; made when the main window is first shown. Empty for Nowhere.
    std::string SaveDir;
    // The log folder, ending in "/"; made and writable. Empty for Nowhere.
    std::string LogDir;
    // Log folders that were tried and could not be made or written, in the order tried.
    std::vector<std::string> Refused;
};

// What the decision looks at. The program takes it from the running process; tests give their own.
struct TFolderContext {
    // The executable's folder, ending in "/"; empty when it is not known.
    std::string ProgramDir;
    // The value of an environment variable, empty when it is not set.
    std::function<std::string(const std::string& Name)> GetEnv;
    // The home folder of the user's account (passwd), for a process started without HOME.
    std::string AccountHome;
};

// The desktop entry that marks an installed program, relative to the executable's folder
// (for example "../share/applications/<id>.desktop").
std::string InstalledMarker();

// The running process's context.
TFolderContext CurrentFolderContext();

// Decides the two folders and makes the log folder (with its parents). Never throws.
TDataFolders DecideDataFolders(const TFolderContext& Context);

// The parts of the decision, for tests and for the message that explains a failed start.
// The user's home: HOME when it is an absolute path, else the account's home; empty when neither is.
std::string UserHome(const TFolderContext& Context);
// The user's download folder, without a trailing "/": XDG_DOWNLOAD_DIR of
// "$XDG_CONFIG_HOME/user-dirs.dirs" ("~/.config/user-dirs.dirs"), else the variable itself when it is an
// absolute path, else "~/Downloads". Empty without a home.
std::string UserDownloadDir(const TFolderContext& Context);
// The user's state folder, without a trailing "/": XDG_STATE_HOME when absolute, else "~/.local/state".
std::string UserStateDir(const TFolderContext& Context);
// True when the executable lies in an installed prefix: InstalledMarker() exists beside it.
bool IsInstalledProgram(const std::string& ProgramDir);
