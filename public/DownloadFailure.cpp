#include "public/DownloadFailure.h"

#include "public/HttpClientImpl.h"

#include <iterator>

namespace {

// What follows a text's fixed part.
enum class TTail : std::uint8_t {
    None,         // the fixed text alone
    SystemText,   // ":" and the system's message for the code, or "!" when the code is 0
    AlwaysSystem, // ":" and the system's message, whatever the code
};

struct TTextRow {
    TFailureKind Kind;
    const char* Text; // the fixed part; in "%s" the detail goes
    TTail Tail;
};

// One row per kind. "%s" stands for the detail; a refusal of the GET is its status line, and a GET without
// an answer keeps the send's own text when there is one (below).
constexpr TTextRow Texts[] = {
    {TFailureKind::NoFileName, "下载保存路径为空！", TTail::None},
    {TFailureKind::Connect, "%s", TTail::None},
    {TFailureKind::ProbeFailed, "获取下载包信息失败", TTail::SystemText},
    {TFailureKind::ProbeRefused, "获取下载包信息失败!", TTail::None},
    {TFailureKind::TooLarge, "超过下载文件大小限制！", TTail::None},
    {TFailureKind::NotAnInstaller, "服务器返回的不是安装包，请检查网络是否需要登录！", TTail::None},
    {TFailureKind::InUse, "该文件正在被另一个下载任务使用！", TTail::None},
    {TFailureKind::Headers, "组织请求头失败！", TTail::None},
    {TFailureKind::RequestFailed, "发送下载请求失败", TTail::SystemText},
    {TFailureKind::RequestRefused, "", TTail::None},
    {TFailureKind::RangeMismatch, "服务器返回的数据范围与请求不符！", TTail::None},
    {TFailureKind::SizeMismatch, "下载文件与服务器上记录的大小不一致，请重试!", TTail::None},
    {TFailureKind::CreateFile, "创建下载文件失败", TTail::SystemText},
    {TFailureKind::Buffer, "创建缓冲区失败", TTail::SystemText},
    {TFailureKind::Read, "从网络读取文件失败", TTail::SystemText},
    {TFailureKind::Write, "写文件失败", TTail::AlwaysSystem},
    {TFailureKind::DeleteTarget, "删除[%s]文件失败", TTail::AlwaysSystem},
    {TFailureKind::Rename, "重命名[%s]文件失败", TTail::AlwaysSystem},
    {TFailureKind::Signature, "安装包签名校验失败！", TTail::None},
    {TFailureKind::Raised, "[THttpClient.DownloadFile]%s", TTail::None},
};
static_assert(std::size(Texts) == static_cast<std::size_t>(TFailureKind::Raised) + 1, "one row per kind");

std::string WithDetail(const char* Text, const std::string& Detail) {
    std::string Out = Text;
    const std::string::size_type At = Out.find("%s");
    if (At != std::string::npos) {
        Out.replace(At, 2, Detail);
    }
    return Out;
}

} // namespace

std::string StatusText(int Status, const std::string& Reason) {
    return "[" + std::to_string(Status) + "]" + Reason;
}

bool IsRefusal(TFailureKind Kind) {
    return Kind == TFailureKind::ProbeRefused || Kind == TFailureKind::RequestRefused;
}

std::string FailureText(const TDownloadFailure& Failure) {
    const TTextRow* Row = std::begin(Texts);
    while (Row->Kind != Failure.Kind) {
        ++Row;
    }
    switch (Failure.Kind) {
    case TFailureKind::RequestRefused:
        return StatusText(Failure.Code, Failure.Detail);
    case TFailureKind::RequestFailed:
        if (!Failure.Detail.empty()) {
            return Failure.Detail; // the send's own text, such as "[12029]无法连接到服务器"
        }
        break;
    default:
        break;
    }
    const std::string Text = WithDetail(Row->Text, Failure.Detail);
    switch (Row->Tail) {
    case TTail::SystemText:
        return Failure.Code != 0 ? Text + ":" + SystemErrorText(Failure.Code) : Text + "!";
    case TTail::AlwaysSystem:
        return Text + ":" + SystemErrorText(Failure.Code);
    case TTail::None:
    default:
        return Text;
    }
}
