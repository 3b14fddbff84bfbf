// keltrima-get URL FILE: downloads one file with the download client in resume mode and its default
// settings, for unattended use. Progress goes to standard error. Exit codes: 0 the file is complete,
// 1 interrupted by SIGINT or SIGTERM (the side files stay, so the same command continues later),
// 2 failure (the failure text on standard error) or wrong use.
//
// A first SIGINT or SIGTERM asks the client's stop check, which the client asks at least every 100 ms
// while it waits for the network, so the run ends within moments even while connecting or while the
// server is silent. A second one ends the process at once.
#include "cli/ProgressLine.h"
#include "platform/Console.h"
#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"
#include "platform/Process.h"
#include "public/HttpClientImpl.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const InterruptedText = "keltrima-get: 已中断；再次运行同一命令即可继续下载\n";

const char* const HelpText =
    "用法: keltrima-get URL FILE\n"
    "\n"
    "从 URL 下载一个文件并保存为 FILE（HTTP 或 HTTPS）。\n"
    "\n"
    "FILE 是要保存的文件名，不能是文件夹。\n"
    "下载中的数据先写入 FILE.tmp，断点信息写入 FILE.sdc；传输完整后 FILE.tmp 才改名为 FILE，\n"
    "并带上服务器的修改时间。中断后再次运行同一命令，只要服务器上的文件大小和日期未变，\n"
    "就从中断处继续下载。FILE 已完整时不再传输。\n"
    "\n"
    "进度（百分比、字节数、速度、剩余时间）写到标准错误：在终端上原地刷新，否则每秒一行。\n"
    "\n"
    "退出码:\n"
    "  0  文件已完整\n"
    "  1  被 SIGINT 或 SIGTERM 中断（临时文件保留，可继续下载）；第二次信号立即结束\n"
    "  2  下载失败（原因写到标准错误）或用法错误\n"
    "\n"
    "选项:\n"
    "  --help  显示本说明\n";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> Args = platform::CommandLineArguments(argc, argv);
    if (Args.size() == 2 && (Args[1] == "--help" || Args[1] == "-h")) {
        platform::WriteText(stdout, HelpText);
        return 0;
    }
    if (Args.size() != 3 || Args[1].empty() || Args[1][0] == '-' || Args[2].empty()) {
        platform::WriteText(stderr, "用法: keltrima-get URL FILE（--help 显示说明）\n");
        return 2;
    }
    const std::string URL = Args[1];
    // The client saves into the folder part of the name: a bare name means the current folder.
    const std::string FileName = platform::AbsolutePath(Args[2]);
    // A folder cannot take the file's name: refused now, not after the whole transfer, and without side
    // files left beside or inside it.
    platform::TFileAttributeData Target;
    if (std::strchr(platform::PathDelimiters, FileName.back()) != nullptr ||
        (platform::GetFileAttributesEx(FileName, Target) && Target.IsDirectory)) {
        platform::WriteText(stderr, "keltrima-get: FILE 不能是文件夹: " + Args[2] + "\n");
        return 2;
    }

    // A second signal ends the run at once; the side files are then as a stop leaves them.
    platform::InstallInterruptHandlers(InterruptedText, 1);

    auto Client = std::make_shared<THttpClient>();
    Client->SetResume(true);
    Client->SetStopCheck(platform::Interrupted);

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
    // A refusal by the server is named with its status line, so that an administrator sees why.
    const std::optional<TDownloadFailure> Failure = Client->GetLastFailure();
    const std::string Refusal =
        Failure && IsRefusal(Failure->Kind) ? StatusText(Failure->Code, Failure->Detail) : std::string();
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
