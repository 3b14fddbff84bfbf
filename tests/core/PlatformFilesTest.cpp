// Files, folders and file times of the platform layer on POSIX.
#include "platform/DateTime.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform;
using testsupport::TTempDir;

TEST(FileSystem, AttributesOfFilesFoldersAndMissingPaths) {
    TTempDir Dir;
    const std::string File = Dir.Write("a.bin", std::string(12345, 'x'));
    TFileAttributeData Data;
    ASSERT_TRUE(GetFileAttributesEx(File, Data));
    EXPECT_FALSE(Data.IsDirectory);
    EXPECT_EQ(Data.Size, 12345);
    EXPECT_GT(Data.LastWriteTime, 40000.0);

    ASSERT_TRUE(GetFileAttributesEx(Dir.Path(), Data));
    EXPECT_TRUE(Data.IsDirectory);
    EXPECT_TRUE(PathExists(Dir.Path()));

    EXPECT_FALSE(GetFileAttributesEx(Dir.File("missing"), Data));
    EXPECT_EQ(GetLastError(), ENOENT);
    EXPECT_FALSE(PathExists(""));
}

TEST(FileSystem, SizesAbove4GiBAreKept) {
    TTempDir Dir;
    const std::string Path = Dir.File("sparse");
    TFile F;
    ASSERT_TRUE(F.OpenForWrite(Path, TFile::CreateAlways));
    ASSERT_EQ(::truncate(Path.c_str(), (5LL << 30) + 7), 0);
    EXPECT_EQ(F.Size(), (5LL << 30) + 7);
    TFileAttributeData Data;
    ASSERT_TRUE(GetFileAttributesEx(Path, Data));
    EXPECT_EQ(Data.Size, (5LL << 30) + 7);
}

TEST(FileSystem, SetsTheWriteTimeInUtc) {
    TTempDir Dir;
    const std::string File = Dir.Write("t", "x");
    TDateTime When;
    ASSERT_TRUE(EncodeDateTime({2001, 9, 0, 9, 1, 46, 40, 0}, When));
    ASSERT_TRUE(SetFileWriteTime(File, When));
    TFileAttributeData Data;
    ASSERT_TRUE(GetFileAttributesEx(File, Data));
    EXPECT_EQ(FormatDateTimeIso(Data.LastWriteTime), "2001-09-09 01:46:40");
    EXPECT_FALSE(SetFileWriteTime(File, -200000)); // before 1601
    EXPECT_FALSE(SetFileWriteTime(Dir.File("missing"), When));
}

TEST(FileSystem, ForceDirectoriesCreatesParentsAndReportsFailures) {
    TTempDir Dir;
    EXPECT_TRUE(ForceDirectories(Dir.File("a/b/c/")));
    EXPECT_TRUE(PathExists(Dir.File("a/b/c")));
    EXPECT_TRUE(ForceDirectories(Dir.File("a/b"))); // existing
    EXPECT_FALSE(ForceDirectories(""));
    EXPECT_EQ(GetLastError(), ENOENT);
    Dir.Write("file", "x");
    EXPECT_FALSE(ForceDirectories(Dir.File("file/sub")));
}

TEST(FileSystem, RenameNeverReplacesAndDeleteRemovesFilesOnly) {
    TTempDir Dir;
    const std::string A = Dir.Write("a", "first");
    const std::string B = Dir.Write("b", "second");
    EXPECT_FALSE(RenameFileNoReplace(A, B));
    EXPECT_EQ(GetLastError(), EEXIST);
    EXPECT_EQ(testsupport::ReadFile(B), "second");
    EXPECT_TRUE(RenameFileNoReplace(A, Dir.File("c")));
    EXPECT_FALSE(PathExists(A));
    EXPECT_EQ(testsupport::ReadFile(Dir.File("c")), "first");

    EXPECT_TRUE(DeleteFile(B));
    EXPECT_FALSE(PathExists(B));
    EXPECT_FALSE(DeleteFile(B));
    EXPECT_EQ(GetLastError(), ENOENT);
    EXPECT_FALSE(DeleteFile(Dir.Path()));
}

TEST(FileSystem, PathPieces) {
    struct TCase {
        const char* Path;
        const char* Folder;
        const char* Name;
        const char* WithSdc;
    } Cases[] = {
        {"/dl/setup.exe", "/dl/", "setup.exe", "/dl/setup.sdc"},
        {"/dl/setup.exe.tmp", "/dl/", "setup.exe.tmp", "/dl/setup.exe.sdc"},
        {"/dl.old/setup", "/dl.old/", "setup", "/dl.old/setup.sdc"},
        {"setup", "", "setup", "setup.sdc"},
        {"/", "/", "", "/.sdc"},
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(ExtractFilePath(C.Path), C.Folder) << C.Path;
        EXPECT_EQ(ExtractFileName(C.Path), C.Name) << C.Path;
        EXPECT_EQ(ChangeFileExt(C.Path, ".sdc"), C.WithSdc) << C.Path;
    }
}

TEST(File, OpenAlwaysKeepsContentAndCreateAlwaysEmpties) {
    TTempDir Dir;
    const std::string Path = Dir.Write("f", "abc");
    {
        TFile F;
        ASSERT_TRUE(F.OpenForWrite(Path, TFile::OpenAlways));
        EXPECT_EQ(F.SeekToEnd(), 3);
        ASSERT_TRUE(F.Write("def", 3));
    }
    EXPECT_EQ(testsupport::ReadFile(Path), "abcdef");
    {
        TFile F;
        ASSERT_TRUE(F.OpenForWrite(Path, TFile::CreateAlways));
        EXPECT_EQ(F.Size(), 0);
    }
    TFile F;
    EXPECT_FALSE(F.OpenForWrite(Dir.Path(), TFile::CreateAlways));
    EXPECT_EQ(GetLastError(), EISDIR);
}

// What stands at a side file's name decides whether it may be opened: only a regular file of its own (or
// nothing) is written; a link is never followed, whatever it points to.
TEST(File, OnlyARegularFileOfItsOwnIsOpened) {
    TTempDir Dir;
    const std::string Precious = Dir.Write("precious", "the user's file");
    struct TCase {
        const char* Name;
        std::function<void(const std::string&)> Plant;
        int Error; // 0: opens
    };
    const TCase Cases[] = {
        {"nothing: created", [](const std::string&) {}, 0},
        {"a regular file", [&](const std::string& P) { Dir.Write(P.substr(Dir.Path().size() + 1), "x"); }, 0},
        {"a link to a file",
         [&](const std::string& P) { ASSERT_EQ(::symlink(Precious.c_str(), P.c_str()), 0); }, ELOOP},
        {"a dangling link", [&](const std::string& P) { ASSERT_EQ(::symlink("/nowhere/x", P.c_str()), 0); },
         ELOOP},
        {"a second name of another file",
         [&](const std::string& P) { ASSERT_EQ(::link(Precious.c_str(), P.c_str()), 0); }, EMLINK},
        {"a pipe without a reader", [](const std::string& P) { ASSERT_EQ(::mkfifo(P.c_str(), 0600), 0); },
         ENXIO},
        {"a folder", [](const std::string& P) { ASSERT_EQ(::mkdir(P.c_str(), 0700), 0); }, EISDIR},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Path = Dir.File("side" + std::to_string(N++));
        C.Plant(Path);
        for (const TFile::TCreation Creation : {TFile::OpenAlways, TFile::CreateAlways}) {
            TFile F;
            EXPECT_EQ(F.OpenForWrite(Path, Creation), C.Error == 0);
            if (C.Error != 0) {
                EXPECT_EQ(GetLastError(), C.Error);
            } else {
                EXPECT_TRUE(F.Write("y", 1));
            }
        }
    }
    EXPECT_EQ(testsupport::ReadFile(Precious), "the user's file");
}

// The lock keeps a second open of the file out until the first is closed, in this process as in another;
// IsAt tells whether the name still names the open file.
TEST(File, LockAndName) {
    TTempDir Dir;
    const std::string Path = Dir.File("f.tmp");
    TFile First, Second;
    ASSERT_TRUE(First.OpenForWrite(Path, TFile::OpenAlways));
    EXPECT_TRUE(First.Created());
    ASSERT_TRUE(First.TryLock());
    ASSERT_TRUE(Second.OpenForWrite(Path, TFile::OpenAlways));
    EXPECT_FALSE(Second.Created());
    EXPECT_FALSE(Second.TryLock());
    EXPECT_EQ(GetLastError(), EWOULDBLOCK);
    EXPECT_TRUE(First.IsAt(Path));
    ASSERT_TRUE(RenameFileNoReplace(Path, Dir.File("f")));
    EXPECT_FALSE(First.IsAt(Path));
    EXPECT_TRUE(First.IsAt(Dir.File("f")));
    Dir.Write("f.tmp", "another file at the name");
    EXPECT_FALSE(First.IsAt(Path));
    First.Close();
    EXPECT_TRUE(Second.TryLock()) << "the lock goes with the close";
}

// SetEnd makes the size exact and writing go on from there; the flush and the write-back steps keep the
// data as written.
TEST(File, SetEndWriteBackAndFlush) {
    TTempDir Dir;
    const std::string Path = Dir.Write("f", "0123456789");
    TFile F;
    ASSERT_TRUE(F.OpenForWrite(Path, TFile::OpenAlways));
    ASSERT_TRUE(F.SetEnd(4));
    F.SetWriteBackStep(3);
    ASSERT_TRUE(F.Write("abcdefgh", 8));
    ASSERT_TRUE(F.Flush());
    EXPECT_EQ(F.Size(), 12);
    F.Close();
    EXPECT_EQ(testsupport::ReadFile(Path), "0123abcdefgh");
}

// A whole-file replacement never writes through a link at the name: the link itself is replaced. Reading a
// side file does not follow a link either.
TEST(FileSystem, ReplaceAndReadNeverFollowALink) {
    TTempDir Dir;
    const std::string Precious = Dir.Write("precious", "the user's file");
    const std::string State = Dir.File("f.sdc");
    ASSERT_EQ(::symlink(Precious.c_str(), State.c_str()), 0);
    std::string Text;
    EXPECT_FALSE(ReadRegularFile(State, Text, 1000));
    EXPECT_EQ(GetLastError(), ELOOP);
    ASSERT_TRUE(ReplaceFileContent(State, "[server]\r\n"));
    EXPECT_EQ(testsupport::ReadFile(Precious), "the user's file");
    ASSERT_TRUE(ReadRegularFile(State, Text, 1000));
    EXPECT_EQ(Text, "[server]\r\n");
    EXPECT_FALSE(ReadRegularFile(State, Text, 5));
    EXPECT_EQ(GetLastError(), EFBIG);
    int Entries = 0;
    for ([[maybe_unused]] const auto& E : std::filesystem::directory_iterator(Dir.Path())) {
        ++Entries;
    }
    EXPECT_EQ(Entries, 2) << "no file left beside it";
}

TEST(File, AWriteBeyondTheFileSizeLimitFails) {
    // RLIMIT_FSIZE stops root as well; run in a child so the limit stays there.
    TTempDir Dir;
    const std::string Path = Dir.File("limited");
    const pid_t Pid = ::fork();
    ASSERT_GE(Pid, 0);
    if (Pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit L{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &L);
        TFile F;
        if (!F.OpenForWrite(Path, TFile::CreateAlways)) {
            ::_exit(2);
        }
        const std::string Data(8192, 'z');
        const bool Ok = F.Write(Data.data(), Data.size());
        ::_exit(!Ok && GetLastError() == EFBIG ? 0 : 1);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 0);
}

TEST(LastError, IsKeptPerThreadWithChineseNetworkTexts) {
    SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
    int Other = -1;
    std::thread([&] {
        Other = GetLastError();
        SetLastError(5);
    }).join();
    EXPECT_EQ(Other, 0);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    EXPECT_EQ(SysErrorMessage(12029), "无法连接到服务器");
    EXPECT_EQ(SysErrorMessage(12002), "操作超时");
    EXPECT_EQ(SysErrorMessage(12007), "无法解析服务器的名称或地址");
    EXPECT_EQ(SysErrorMessage(ENOENT), "No such file or directory");
    EXPECT_EQ(SysErrorMessage(99999), "未知错误 99999");
}
