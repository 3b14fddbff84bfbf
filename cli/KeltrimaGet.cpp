// keltrima-get URL FILE [--key BASE64 | --key-file PATH]: downloads one file with the download client in
// resume mode and its default settings, for unattended use. Progress goes to standard error. Exit codes: 0
// the file is complete, 1 interrupted by SIGINT or SIGTERM (the side files stay, so the same command
// continues later), 2 failure (the failure text on standard error) or wrong use. With the maker's public key,
// the file is complete only when the signature served beside it (URL with ".sig" appended to its path) holds.
//
// A first SIGINT or SIGTERM asks the client's stop check, which the client asks at least every 100 ms
// while it waits for the network, so the run ends within moments even while connecting or while the
// server is silent. A second one ends the process at once.
#include "cli/ProgressLine.h"
#include "platform/Console.h"
#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"
#include "platform/LastError.h"
#include "platform/Process.h"
#include "platform/Signature.h"
#include "public/HttpClientImpl.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const InterruptedText = "keltrima-get: 已中断；再次运行同一命令即可继续下载\n";

const char* const UsageText =
    "用法: keltrima-get URL FILE [--key BASE64 | --key-file PATH]（--help 显示说明）\n";

const char* const HelpText =
    "用法: keltrima-get URL FILE [--key BASE64 | --key-file PATH]\n"
    "\n"
    "从 URL 下载一个文件并保存为 FILE（HTTP 或 HTTPS）。\n"
    "\n"
    "FILE 是要保存的文件名，不能是文件夹。\n"
    "下载中的数据先写入 FILE.tmp，断点信息写入 FILE.sdc；传输完整后 FILE.tmp 才改名为 FILE，\n"
    "并带上服务器的修改时间。中断后再次运行同一命令，只要服务器上的文件大小和日期未变，\n"
    "就从中断处继续下载。FILE 已完整时不再传输。\n"
    "\n"
    "给出厂商的公钥时，只有通过签名校验的文件才会成为 FILE：签名从 URL 的路径加 \".sig\" 处下载\n"
    "（文件字节的 Ed25519 签名，base64 文本）。校验失败时报告“安装包签名校验失败！”，不会出现 FILE。\n"
    "\n"
    "进度（百分比、字节数、速度、剩余时间）写到标准错误：在终端上原地刷新，否则每秒一行。\n"
    "\n"
    "退出码:\n"
    "  0  文件已完整\n"
    "  1  被 SIGINT 或 SIGTERM 中断（临时文件保留，可继续下载）；第二次信号立即结束\n"
    "  2  下载失败（原因写到标准错误）或用法错误\n"
    "\n"
    "选项:\n"
    "  --key BASE64     厂商的 Ed25519 公钥（32 字节的 base64 文本）\n"
    "  --key-file PATH  从文件读取该公钥（base64 文本）\n"
    "  --help           显示本说明\n";

// A public key file holds one line of base64 text.
constexpr std::size_t KeyFileSizeLimit = 4096;

struct TArguments {
    std::string URL;
    std::string File;
    std::optional<platform::TEd25519Key> Key;
};

// The key named by --key or --key-file; none (after a message on standard error) when it cannot be had.
std::optional<platform::TEd25519Key> KeyFrom(const std::string& Option, const std::string& Value) {
    std::string Text = Value;
    if (Option == "--key-file" && !platform::ReadRegularFile(Value, Text, KeyFileSizeLimit)) {
        platform::WriteText(stderr, "keltrima-get: 无法读取公钥文件 " + Value + ": " +
                                        SystemErrorText(platform::GetLastError()) + "\n");
        return std::nullopt;
    }
    std::optional<platform::TEd25519Key> Key = platform::ParseEd25519Key(Text);
    if (!Key) {
        platform::WriteText(stderr, "keltrima-get: " + Option +
                                        " 给出的不是有效的公钥：应为 32 字节 Ed25519 公钥的 base64 文本\n");
    }
    return Key;
}

// The options and the two names; none (after a message) when the command is used wrongly.
std::optional<TArguments> ParseArguments(const std::vector<std::string>& Argv) {
    TArguments Arguments;
    std::vector<std::string> Names;
    bool KeyGiven = false;
    for (std::size_t At = 1; At < Argv.size(); ++At) {
        const std::string& Arg = Argv[At];
        if (Arg == "--key" || Arg == "--key-file") {
            if (KeyGiven || At + 1 >= Argv.size()) {
                platform::WriteText(stderr, UsageText);
                return std::nullopt;
            }
            if (!platform::CanVerifySignatures()) {
                platform::WriteText(stderr,
                                    "keltrima-get: 此系统上的 keltrima-get 无法校验安装包签名，不能使用 " +
                                        Arg + "\n");
                return std::nullopt;
            }
            KeyGiven = true;
            Arguments.Key = KeyFrom(Arg, Argv[++At]);
            if (!Arguments.Key) {
                return std::nullopt;
            }
        } else if (Arg.empty() || Arg[0] == '-' || Names.size() == 2) {
            platform::WriteText(stderr, UsageText);
            return std::nullopt;
        } else {
            Names.push_back(Arg);
        }
    }
    if (Names.size() != 2) {
        platform::WriteText(stderr, UsageText);
        return std::nullopt;
    }
    Arguments.URL = Names[0];
    Arguments.File = Names[1];
    return Arguments;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> Args = platform::CommandLineArguments(argc, argv);
    if (Args.size() == 2 && (Args[1] == "--help" || Args[1] == "-h")) {
        platform::WriteText(stdout, HelpText);
        return 0;
    }
    const std::optional<TArguments> Arguments = ParseArguments(Args);
    if (!Arguments) {
        return 2;
    }
    const std::string& URL = Arguments->URL;
    // The client saves into the folder part of the name: a bare name means the current folder.
    const std::string FileName = platform::AbsolutePath(Arguments->File);
    // A folder cannot take the file's name: refused now, not after the whole transfer, and without side
    // files left beside or inside it.
    platform::TFileAttributeData Target;
    if (std::strchr(platform::PathDelimiters, FileName.back()) != nullptr ||
        (platform::GetFileAttributesEx(FileName, Target) && Target.IsDirectory)) {
        platform::WriteText(stderr, "keltrima-get: FILE 不能是文件夹: " + Arguments->File + "\n");
        return 2;
    }

    // A second signal ends the run at once; the side files are then as a stop leaves them.
    platform::InstallInterruptHandlers(InterruptedText, 1);

    auto Client = std::make_shared<THttpClient>();
    Client->SetResume(true);
    Client->SetStopCheck(platform::Interrupted);
    Client->SetInstallerKey(Arguments->Key);

    TProgressLine Progress(stderr, platform::StandardErrorIsTerminal());
    std::vector<std::string> Failures;
    const std::int32_t Result = Client->DownloadFile(
        URL, FileName,
        [&](const THttpDownloadInfo& Info, bool&) {
            if (Info.Status == dsProgress) {
                Progress.Show(Info, platform::TickCount());
            } else if ((Info.Status == dsFail || Info.Status == dsError) && Info.Message) {
                const char* const Message = Info.Message; // a packed field: copied, never bound to
                Failures.emplace_back(Message);
            }
        },
        0, nullptr);
    Progress.Finish();

    if (Result == 0) {
        return 0;
    }
    // A refusal by the server is named with its status line, and a failed signature check with its reason
    // (the signature's request refused, or the file not the one signed), so that an administrator sees why.
    const std::optional<TDownloadFailure> Failure = Client->GetLastFailure();
    const std::string Refusal = !Failure                   ? std::string()
                                : IsRefusal(Failure->Kind) ? StatusText(Failure->Code, Failure->Detail)
                                : Failure->Kind == TFailureKind::Signature ? Failure->Detail
                                                                           : std::string();
    for (std::string Text : Failures) {
        if (!Refusal.empty() && Text.find(Refusal) == std::string::npos) {
            Text += " " + Refusal;
        }
        platform::WriteText(stderr, "keltrima-get: " + Text + "\n");
    }
    if (platform::Interrupted()) {
        platform::WriteText(stderr, InterruptedText);
        return 1;
    }
    return 2;
}
