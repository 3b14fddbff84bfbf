#include "app/f_DataFolders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

#include "platform/Process.h"

#ifndef KELTRIMA_INSTALLED_MARKER
#error "KELTRIMA_INSTALLED_MARKER must name the desktop entry relative to the executable's folder"
#endif

namespace {

constexpr const char* kSaveSubFolder = "Keltrima/";
constexpr const char* kLogSubFolder = "Keltrima/Log/";

bool IsAbsolute(const std::string& Path) {
    return !Path.empty() && Path.front() == '/';
}

std::string WithSlash(std::string Dir) {
    if (!Dir.empty() && Dir.back() != '/') {
        Dir += '/';
    }
    return Dir;
}

std::string WithoutSlash(std::string Dir) {
    while (Dir.size() > 1 && Dir.back() == '/') {
        Dir.pop_back();
    }
    return Dir;
}

// Makes the folder with its parents; true when it is a folder this process may create files in.
bool MakeWritableFolder(const std::string& Dir) {
    std::error_code ec;
    std::filesystem::create_directories(Dir, ec);
    return std::filesystem::is_directory(Dir, ec) && ::access(Dir.c_str(), W_OK | X_OK) == 0;
}

// The value of one double-quoted shell word as xdg-user-dirs writes it: backslash escapes the next
// character. Nothing when the text is not such a word.
std::optional<std::string> Unquote(const std::string& Text) {
    if (Text.size() < 2 || Text.front() != '"' || Text.back() != '"') {
        return std::nullopt;
    }
    std::string value;
    for (std::size_t i = 1; i + 1 < Text.size(); ++i) {
        if (Text[i] == '\\' && i + 2 < Text.size()) {
            ++i;
        } else if (Text[i] == '"') {
            return std::nullopt;
        }
        value += Text[i];
    }
    return value;
}

// XDG_DOWNLOAD_DIR of a user-dirs.dirs file: "$HOME/..." or an absolute path; the last line wins, as when
// the shell reads the file. Nothing when the file has no usable line.
std::optional<std::string> DownloadDirOfUserDirs(const std::string& File, const std::string& Home) {
    std::ifstream in(File);
    const std::string key = "XDG_DOWNLOAD_DIR=";
    std::optional<std::string> found;
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) {
            continue;
        }
        std::string word = line.substr(start + key.size());
        word.erase(word.find_last_not_of(" \t\r") + 1);
        const auto value = Unquote(word);
        if (!value) {
            continue;
        }
        if (value->rfind("$HOME", 0) == 0 && (value->size() == 5 || (*value)[5] == '/')) {
            found = Home + value->substr(5);
        } else if (IsAbsolute(*value)) {
            found = *value;
        }
    }
    return found;
}

} // namespace

std::string InstalledMarker() {
    return KELTRIMA_INSTALLED_MARKER;
}

TFolderContext CurrentFolderContext() {
    TFolderContext context;
    context.ProgramDir = platform::ExecutableDir();
    if (platform::ExecutablePath().empty()) {
        context.ProgramDir.clear();
    }
    context.GetEnv = [](const std::string& Name) {
        const char* value = std::getenv(Name.c_str());
        return value != nullptr ? std::string(value) : std::string();
    };
    if (const passwd* account = ::getpwuid(::getuid()); account != nullptr && account->pw_dir != nullptr) {
        context.AccountHome = account->pw_dir;
    }
    return context;
}

std::string UserHome(const TFolderContext& Context) {
    const std::string home = Context.GetEnv("HOME");
    if (IsAbsolute(home)) {
        return WithoutSlash(home);
    }
    return IsAbsolute(Context.AccountHome) ? WithoutSlash(Context.AccountHome) : std::string();
}

std::string UserDownloadDir(const TFolderContext& Context) {
    const std::string home = UserHome(Context);
    if (home.empty()) {
        return std::string();
    }
    const std::string configHome = Context.GetEnv("XDG_CONFIG_HOME");
    const std::string config = IsAbsolute(configHome) ? WithoutSlash(configHome) : home + "/.config";
    if (const auto fromFile = DownloadDirOfUserDirs(config + "/user-dirs.dirs", home)) {
        return WithoutSlash(*fromFile);
    }
    const std::string fromEnv = Context.GetEnv("XDG_DOWNLOAD_DIR");
    return IsAbsolute(fromEnv) ? WithoutSlash(fromEnv) : home + "/Downloads";
}

std::string UserStateDir(const TFolderContext& Context) {
    const std::string stateHome = Context.GetEnv("XDG_STATE_HOME");
    if (IsAbsolute(stateHome)) {
        return WithoutSlash(stateHome);
    }
    const std::string home = UserHome(Context);
    return home.empty() ? std::string() : home + "/.local/state";
}

bool IsInstalledProgram(const std::string& ProgramDir) {
    std::error_code ec;
    return !ProgramDir.empty() &&
           std::filesystem::is_regular_file(WithSlash(ProgramDir) + InstalledMarker(), ec);
}

TDataFolders DecideDataFolders(const TFolderContext& Context) {
    TDataFolders result;
    const std::string programDir = WithSlash(Context.ProgramDir);
    const bool installed = IsInstalledProgram(programDir);

    if (!programDir.empty() && !installed) {
        const std::string logDir = programDir + kLogSubFolder;
        const std::string saveDir = programDir + kSaveSubFolder;
        if (MakeWritableFolder(logDir) && MakeWritableFolder(saveDir)) {
            result.Place = TFolderPlace::BesideProgram;
            result.Reason = TFolderReason::Unpacked;
            result.SaveDir = saveDir;
            result.LogDir = logDir;
            return result;
        }
        result.Refused.push_back(logDir);
    }

    const std::string stateDir = UserStateDir(Context);
    if (!stateDir.empty()) {
        const std::string logDir = stateDir + "/" + kLogSubFolder;
        if (MakeWritableFolder(logDir)) {
            result.Place = TFolderPlace::UserFolders;
            result.Reason = installed ? TFolderReason::Installed : TFolderReason::ProgramDirNotWritable;
            result.LogDir = logDir;
            // A download folder that cannot be made shows up as a failed download, as a chosen one does.
            const std::string downloadDir = UserDownloadDir(Context);
            result.SaveDir = downloadDir.empty() ? std::string() : downloadDir + "/" + kSaveSubFolder;
            return result;
        }
        result.Refused.push_back(logDir);
    }
    result.Reason = TFolderReason::NoWritableFolder;
    return result;
}
