// The durable finish, seen in the system calls of a real run (strace on keltrima-get against nginx): the
// temporary file's data starts its way to the disk while it grows, reaches it before the rename, and the
// folder's entry reaches it after; the state file is replaced the same way, and only once the temporary file
// holds what the state will name.
#include "tests/download/DownloadFixture.h"

#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>

#ifndef KELTRIMA_GET_PATH
#error "KELTRIMA_GET_PATH must name the keltrima-get executable"
#endif

using namespace downloadtest;
using testsupport::BinaryPattern;
using testsupport::ReadFile;
using testsupport::TTempDir;

namespace {

// One file system call of the run: what it did ("open" is left out) and the path(s) it did it on.
struct TEvent {
    std::string Call;
    std::string Path;
    std::string To; // a rename's new name
};

// The calls of an strace log, with file descriptors turned back into the paths they were opened on.
std::vector<TEvent> ReadTrace(const std::string& Log) {
    static const std::regex Open(R"re(openat\(AT_FDCWD, "([^"]*)", [^)]*\) = (\d+))re");
    static const std::regex OnFd(R"re((fdatasync|fsync|sync_file_range|ftruncate|close)\((\d+)[,)].* = 0)re");
    static const std::regex Rename(
        R"re((?:rename|renameat2?)\((?:AT_FDCWD, )?"([^"]*)", (?:AT_FDCWD, )?"([^"]*)".* = 0)re");
    std::map<std::string, std::string> Paths;
    std::vector<TEvent> Events;
    std::istringstream In(Log);
    std::string Line;
    std::smatch M;
    while (std::getline(In, Line)) {
        if (std::regex_search(Line, M, Open)) {
            Paths[M[2]] = M[1];
        } else if (std::regex_search(Line, M, OnFd)) {
            if (M[1] == "close") {
                Paths.erase(M[2]);
            } else {
                Events.push_back({M[1], Paths[M[2]], ""});
            }
        } else if (std::regex_search(Line, M, Rename)) {
            Events.push_back({"rename", M[1], M[2]});
        }
    }
    return Events;
}

// The position of the first event after From that matches; -1 when none.
long Find(const std::vector<TEvent>& Events, const std::string& Call, const std::string& Path, long From = 0,
          const std::string& To = std::string()) {
    for (std::size_t i = static_cast<std::size_t>(std::max(From, 0L)); i < Events.size(); ++i) {
        if (Events[i].Call == Call && Events[i].Path.rfind(Path, 0) == 0 &&
            (To.empty() || Events[i].To == To)) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

} // namespace

TEST(Durability, FlushesBeforeAndAfterEachRename) {
    testsupport::TNginxServer Nginx;
    const std::string Bytes = BinaryPattern(20 * 1024 * 1024 + 5, 9);
    Nginx.AddFile("f.exe", Bytes);
    TTempDir Dir;
    const std::string Folder = Dir.File("dl") + "/";
    const std::string Target = Folder + "f.exe";
    const std::string Trace = Dir.File("trace.txt");
    // LeakSanitizer cannot run under ptrace: a sanitizer build leaves leak checking to the other tests.
    const std::string Command = "ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o '" + Trace +
                                "' -e trace=openat,close,fdatasync,fsync,sync_file_range,ftruncate,rename,"
                                "renameat,renameat2 '" KELTRIMA_GET_PATH "' '" +
                                Nginx.BaseUrl() + "/f.exe' '" + Target + "' >'" + Dir.File("out.txt") +
                                "' 2>'" + Dir.File("err.txt") + "'";
    ASSERT_EQ(std::system(Command.c_str()), 0) << ReadFile(Dir.File("err.txt"));
    ASSERT_EQ(Sha256OfFile(Target), Sha256OfText(Bytes));
    const std::vector<TEvent> Events = ReadTrace(ReadFile(Trace));
    const std::string Temp = Target + ".tmp";
    const std::string State = Target + ".sdc";

    // The state: the temporary file is emptied first, then the new state reaches the disk under a name of
    // its own, takes the state file's name, and the folder is flushed.
    const long Emptied = Find(Events, "ftruncate", Temp);
    const long StateRenamed = Find(Events, "rename", State + ".", 0, State);
    ASSERT_GE(Emptied, 0);
    ASSERT_GT(StateRenamed, Emptied);
    const long StateFlushed = Find(Events, "fdatasync", State + ".");
    EXPECT_GE(StateFlushed, 0);
    EXPECT_LT(StateFlushed, StateRenamed);
    EXPECT_GT(Find(Events, "fsync", Folder, StateRenamed), StateRenamed);

    // The data: written back in steps while it arrives, all on the disk before the rename, and the folder's
    // entry after it.
    int Steps = 0;
    for (const TEvent& E : Events) {
        Steps += E.Call == "sync_file_range" && E.Path == Temp;
    }
    EXPECT_GE(Steps, 2) << "20 MiB in steps of 8 MiB";
    const long Renamed = Find(Events, "rename", Temp, 0, Target);
    ASSERT_GE(Renamed, 0);
    const long Flushed = Find(Events, "fdatasync", Temp);
    ASSERT_GE(Flushed, 0);
    EXPECT_LT(Flushed, Renamed);
    EXPECT_EQ(Find(Events, "sync_file_range", Temp, Flushed), -1) << "nothing written after the flush";
    EXPECT_GT(Find(Events, "fsync", Folder, Renamed), Renamed);
}
