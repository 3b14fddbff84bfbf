// The Windows pieces of the platform layer, run under Wine: names reach the disk in UTF-16 as written, the
// lock of a side file keeps a second download out but lets readers in, a locked file can still take its
// new name, and the system's codes and texts are Win32's.
#include "platform/win32/WindowsApi.h"

#include "platform/Console.h"
#include "platform/DateTime.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/LastError.h"
#include "platform/Process.h"
#include "platform/Signature.h"
#include "platform/win32/WideText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace platform;
using testsupport::TTempDir;

namespace {

const std::string Installer = "Keltrima（山东）（完整安装包）.exe";

// The names in a folder as the wide listing gives them.
std::vector<std::wstring> WideNames(const std::string& Folder) {
    std::vector<std::wstring> Names;
    WIN32_FIND_DATAW Found{};
    const HANDLE Find = ::FindFirstFileW((win32::WidePath(Folder) + L"\\*").c_str(), &Found);
    if (Find == INVALID_HANDLE_VALUE) {
        return Names;
    }
    do {
        const std::wstring Name = Found.cFileName;
        if (Name != L"." && Name != L"..") {
            Names.push_back(Name);
        }
    } while (::FindNextFileW(Find, &Found));
    ::FindClose(Find);
    return Names;
}

} // namespace

TEST(WindowsFiles, ChineseNamesReachTheDiskAsWritten) {
    TTempDir Dir;
    const std::string Folder = Dir.File("下载") + "\\日志";
    ASSERT_TRUE(ForceDirectories(Folder + "\\"));
    const std::string Target = Folder + "\\" + Installer;
    {
        TFile F;
        ASSERT_TRUE(F.OpenForWrite(Target, TFile::CreateAlways));
        EXPECT_TRUE(F.Created());
        ASSERT_TRUE(F.Write("MZ", 2));
        ASSERT_TRUE(F.Close());
    }
    EXPECT_EQ(WideNames(Folder), std::vector<std::wstring>{L"Keltrima（山东）（完整安装包）.exe"});
    EXPECT_EQ(WideNames(Dir.Path()), std::vector<std::wstring>{L"下载"});
    TFileAttributeData Data;
    ASSERT_TRUE(GetFileAttributesEx(Target, Data));
    EXPECT_EQ(Data.Size, 2);
    EXPECT_EQ(testsupport::ReadFile(Target), "MZ");

    // The state file beside it: written whole, read back, and its INI keys in UTF-8.
    const std::string State = ChangeFileExt(Target, ".sdc");
    ASSERT_TRUE(WritePrivateProfileString("server", "名称", "山东", State));
    EXPECT_EQ(GetPrivateProfileString("server", "名称", "", State), "山东");
    std::string Content;
    ASSERT_TRUE(ReadRegularFile(State, Content, 1024));
    EXPECT_EQ(Content, "[server]\r\n名称=山东\r\n");
    EXPECT_EQ(WideNames(Folder).size(), 2u); // no temporary file of the replacement is left

    ASSERT_TRUE(RenameFileNoReplace(Target, Folder + "/安装包.exe"));
    EXPECT_FALSE(PathExists(Target));
    EXPECT_TRUE(PathExists(Folder + "/安装包.exe"));
}

TEST(WindowsFiles, PathPiecesTakeBothDelimiters) {
    struct TCase {
        const char* Path;
        const char* Folder;
        const char* Name;
        const char* WithSdc;
    } Cases[] = {
        {"C:\\d\\f.exe", "C:\\d\\", "f.exe", "C:\\d\\f.sdc"},
        {"C:\\d.x\\f", "C:\\d.x\\", "f", "C:\\d.x\\f.sdc"},
        {"C:/d\\e/f.exe.tmp", "C:/d\\e/", "f.exe.tmp", "C:/d\\e/f.exe.sdc"},
        {"f.exe", "", "f.exe", "f.sdc"},
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(ExtractFilePath(C.Path), C.Folder) << C.Path;
        EXPECT_EQ(ExtractFileName(C.Path), C.Name) << C.Path;
        EXPECT_EQ(ChangeFileExt(C.Path, ".sdc"), C.WithSdc) << C.Path;
    }
    const std::string Absolute = AbsolutePath(Installer);
    EXPECT_EQ(Absolute.substr(1, 2), ":\\") << Absolute;
    EXPECT_EQ(ExtractFileName(Absolute), Installer);
}

TEST(WindowsFiles, FailuresCarryWin32Codes) {
    TTempDir Dir;
    const std::string A = Dir.Write("a", "first");
    const std::string B = Dir.Write("b", "second");
    EXPECT_FALSE(RenameFileNoReplace(A, B));
    EXPECT_EQ(platform::GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(testsupport::ReadFile(B), "second");

    EXPECT_FALSE(DeleteFile(Dir.File("missing")));
    EXPECT_EQ(platform::GetLastError(), ERROR_FILE_NOT_FOUND);
    TFileAttributeData Data;
    EXPECT_FALSE(GetFileAttributesEx(Dir.File("missing"), Data));
    EXPECT_EQ(platform::GetLastError(), ERROR_FILE_NOT_FOUND);

    // A folder is no file to write, and a file is no folder to make.
    TFile F;
    EXPECT_FALSE(F.OpenForWrite(Dir.Path(), TFile::OpenAlways));
    EXPECT_FALSE(F.IsOpen());
    EXPECT_TRUE(IsRegularFileOrMissing(A));
    EXPECT_TRUE(IsRegularFileOrMissing(Dir.File("missing")));
    EXPECT_TRUE(IsRegularFileOrMissing(Dir.File("missing\\below")));
    EXPECT_FALSE(IsRegularFileOrMissing(Dir.Path()));
    EXPECT_FALSE(ForceDirectories(A + "\\sub"));
    EXPECT_FALSE(ForceDirectories(""));

    std::string Content;
    EXPECT_FALSE(ReadRegularFile(B, Content, 3)); // longer than the limit
    EXPECT_EQ(platform::GetLastError(), static_cast<int>(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(Content.empty());
}

TEST(WindowsFiles, WriteTimesAndSizesAbove4GiB) {
    TTempDir Dir;
    const std::string Path = Dir.File("big");
    TDateTime When;
    ASSERT_TRUE(EncodeDateTime({2001, 9, 0, 9, 1, 46, 40, 0}, When));
    {
        TFile F;
        ASSERT_TRUE(F.OpenForWrite(Path, TFile::CreateAlways));
        ASSERT_TRUE(F.SetEnd((5LL << 30) + 7));
        EXPECT_EQ(F.Size(), (5LL << 30) + 7);
        EXPECT_EQ(F.SeekToEnd(), (5LL << 30) + 7);
        ASSERT_TRUE(F.SetEnd(3));
        ASSERT_TRUE(F.Write("abc", 3));
        EXPECT_EQ(F.Size(), 6);
        ASSERT_TRUE(F.SetWriteTime(When));
        EXPECT_FALSE(F.SetWriteTime(-200000)); // before 1601
    }
    TFileAttributeData Data;
    ASSERT_TRUE(GetFileAttributesEx(Path, Data));
    EXPECT_EQ(Data.Size, 6);
    EXPECT_EQ(FormatDateTimeIso(Data.LastWriteTime), "2001-09-09 01:46:40");
    EXPECT_EQ(testsupport::ReadFile(Path), std::string("\0\0\0abc", 6));

    ASSERT_TRUE(EncodeDateTime({2023, 11, 0, 14, 22, 13, 20, 0}, When));
    ASSERT_TRUE(SetFileWriteTime(Path, When));
    ASSERT_TRUE(GetFileAttributesEx(Path, Data));
    EXPECT_EQ(FormatDateTimeIso(Data.LastWriteTime), "2023-11-14 22:13:20");
    EXPECT_FALSE(SetFileWriteTime(Dir.File("missing"), When));
}

// A second download of the same target is refused at the lock; readers still read the growing file, and the
// finished file takes its new name while it is open and locked.
TEST(WindowsFiles, TheLockKeepsASecondWriterOutButNotReadersOrTheRename) {
    TTempDir Dir;
    const std::string Temp = Dir.File(Installer + ".tmp");
    TFile First;
    ASSERT_TRUE(First.OpenForWrite(Temp, TFile::OpenAlways));
    ASSERT_TRUE(First.TryLock());
    ASSERT_TRUE(First.Write("data", 4));
    EXPECT_TRUE(First.IsAt(Temp));

    TFile Second;
    ASSERT_TRUE(Second.OpenForWrite(Temp, TFile::OpenAlways));
    EXPECT_FALSE(Second.Created());
    EXPECT_FALSE(Second.TryLock());
    EXPECT_EQ(platform::GetLastError(), ERROR_LOCK_VIOLATION);
    Second.Close();

    std::string Content;
    ASSERT_TRUE(ReadRegularFile(Temp, Content, 1024));
    EXPECT_EQ(Content, "data");
    ASSERT_TRUE(First.Flush());

    const std::string Target = Dir.File(Installer);
    ASSERT_TRUE(RenameFileNoReplace(Temp, Target));
    EXPECT_TRUE(First.IsAt(Target));
    EXPECT_FALSE(First.IsAt(Temp));
    ASSERT_TRUE(First.Close());
    EXPECT_EQ(testsupport::ReadFile(Target), "data");

    // With the first one closed, the lock is free again.
    ASSERT_TRUE(Second.OpenForWrite(Target, TFile::OpenAlways));
    EXPECT_TRUE(Second.TryLock());
}

TEST(WindowsProcess, SingleInstanceMutexExecutableAndConnectionState) {
    const std::string Name = "Keltrima_Test_" + std::to_string(::GetCurrentProcessId());
    EXPECT_EQ(CreateSingleInstanceLock(Name), 0);
    EXPECT_EQ(CreateSingleInstanceLock(Name), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(platform::GetLastError(), ERROR_ALREADY_EXISTS);

    const std::string Exe = ExecutablePath();
    EXPECT_EQ(ExtractFileName(Exe), "keltrima_core_tests.exe");
    EXPECT_EQ(ExecutableDir(), ExtractFilePath(Exe));
    EXPECT_EQ(ExecutableDir().back(), '\\');

    const std::vector<std::string> Args = CommandLineArguments(0, nullptr);
    ASSERT_FALSE(Args.empty());
    EXPECT_EQ(ExtractFileName(Args[0]).find("keltrima_core_tests"), 0u) << Args[0];

    InternetGetConnectedState(); // answers without failing; what it answers depends on the machine
}

TEST(WindowsProcess, SystemTextsAreWin32sAndTheNetworkTextsOurs) {
    EXPECT_EQ(SysErrorMessage(ERROR_INTERNET_TIMEOUT), "操作超时");
    EXPECT_EQ(SysErrorMessage(ERROR_INTERNET_CANNOT_CONNECT), "无法连接到服务器");
    for (const int Code :
         {static_cast<int>(ERROR_ACCESS_DENIED), ERROR_FILE_NOT_FOUND, ERROR_LOCK_VIOLATION}) {
        const std::string Text = SysErrorMessage(Code);
        EXPECT_EQ(Text, OsErrorText(Code).substr(0, Text.size())) << Code;
        ASSERT_FALSE(Text.empty()) << Code;
        EXPECT_EQ(Text.find("未知错误"), std::string::npos) << Text;
        EXPECT_NE(Text.back(), '.') << Text;
        EXPECT_NE(Text.back(), '\n') << Text;
    }
    EXPECT_EQ(SysErrorMessage(99999), "未知错误 99999");
}

// Away from a console (a pipe, a file) the text goes out as the UTF-8 bytes it is.
TEST(WindowsConsole, TextToAFileStaysUtf8) {
    TTempDir Dir;
    const std::string Path = Dir.File("out.txt");
    std::FILE* Out = ::_wfopen(win32::WidePath(Path).c_str(), L"wb");
    ASSERT_NE(Out, nullptr);
    WriteText(Out, "已中断\n");
    std::fclose(Out);
    EXPECT_EQ(testsupport::ReadFile(Path), "已中断\n");
}

// The Windows build has no Ed25519: the check says so for every file, the key and signature texts still
// parse.
TEST(WindowsSignature, TheCheckIsUnavailableAndNeverValid) {
    TTempDir Dir;
    const std::string File = Dir.Write("setup.exe", "MZ");
    const std::optional<TEd25519Key> Key = ParseEd25519Key(std::string(43, 'A') + "=");
    const std::optional<TEd25519Signature> Signature = ParseEd25519Signature(std::string(86, 'A') + "==");
    ASSERT_TRUE(Key && Signature);
    EXPECT_EQ(VerifyFileSignature(File, *Key, *Signature), TSignatureCheck::Unavailable);
    EXPECT_EQ(VerifyFileSignature(Dir.File("missing"), *Key, *Signature), TSignatureCheck::Unavailable);
}
