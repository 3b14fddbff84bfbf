#include "platform/LastError.h"

namespace platform {

namespace {

thread_local int LastErrorCode = 0;

const char* InternetErrorText(int Code) {
    switch (Code) {
    case ERROR_SUCCESS:
        return "操作成功完成";
    case ERROR_ALREADY_EXISTS:
        return "当文件已存在时，无法创建该文件";
    case ERROR_INTERNET_TIMEOUT:
        return "操作超时";
    case ERROR_INTERNET_INTERNAL_ERROR:
        return "发生了内部错误";
    case ERROR_INTERNET_INVALID_URL:
        return "URL 无效";
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
        return "无法识别 URL 的协议";
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return "无法解析服务器的名称或地址";
    case ERROR_INTERNET_INVALID_OPTION:
        return "请求的选项无效";
    case ERROR_INTERNET_OPERATION_CANCELLED:
        return "操作已取消";
    case ERROR_INTERNET_INCORRECT_HANDLE_TYPE:
        return "所提供的句柄类型不正确";
    case ERROR_INTERNET_INCORRECT_HANDLE_STATE:
        return "所提供的句柄状态不正确，无法执行此操作";
    case ERROR_INTERNET_CANNOT_CONNECT:
        return "无法连接到服务器";
    case ERROR_INTERNET_CONNECTION_ABORTED:
        return "与服务器的连接意外终止";
    case ERROR_INTERNET_CONNECTION_RESET:
        return "与服务器的连接已被重置";
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        return "服务器安全证书已过期或尚未生效";
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        return "服务器安全证书上的名称与主机名不符";
    case ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR:
        return "拒绝从安全连接重定向到非安全连接";
    case ERROR_INTERNET_INVALID_CA:
        return "证书颁发机构无效或不正确";
    case ERROR_INTERNET_SEC_CERT_ERRORS:
        return "服务器安全证书含有错误";
    case ERROR_HTTP_HEADER_NOT_FOUND:
        return "找不到请求的标头";
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
        return "服务器返回的响应无效";
    case ERROR_HTTP_INVALID_HEADER:
        return "提供的 HTTP 标头无效";
    case ERROR_HTTP_INVALID_QUERY_REQUEST:
        return "对 HTTP 服务器的查询请求无效";
    case ERROR_HTTP_REDIRECT_FAILED:
        return "HTTP 重定向失败";
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
        return "安全通道支持出错";
    default:
        return nullptr;
    }
}

} // namespace

int GetLastError() {
    return LastErrorCode;
}

void SetLastError(int Code) {
    LastErrorCode = Code;
}

std::string SysErrorMessage(int Code) {
    if (const char* Text = InternetErrorText(Code)) {
        return Text;
    }
    std::string Result = OsErrorText(Code);
    while (!Result.empty() &&
           (Result.back() == ' ' || Result.back() == '.' || Result.back() == '\r' || Result.back() == '\n')) {
        Result.pop_back();
    }
    if (!Result.empty()) {
        return Result;
    }
    return "未知错误 " + std::to_string(Code);
}

} // namespace platform
