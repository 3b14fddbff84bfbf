// How a download failed, as one value: what went wrong (the kind), the number that goes with it (the
// system's error code, or the HTTP status of a refusal) and the detail the text needs (a file name, a
// reason phrase). FailureText turns it into the text the reports and LastError carry, from one table.
#pragma once

#include <cstdint>
#include <string>

enum class TFailureKind : std::uint8_t {
    NoFileName,     // the target name is empty
    Connect,        // the URL is unusable or the session cannot be opened (Detail: the connection's text)
    ProbeFailed,    // the HEAD got no answer (Code: the Internet error)
    ProbeRefused,   // the HEAD was answered with a status other than 200 and 206 (Code, Detail: its line)
    TooLarge,       // above MaxFileSize
    NotAnInstaller, // a web page (text/html) for a target that is none
    InUse,          // another download holds the target's side files
    Headers,        // the request's header lines were refused
    RequestFailed,  // the GET got no answer (Code: the Internet error; Detail: LastError at the time)
    RequestRefused, // the GET was answered with another status than 200 and 206 (Code, Detail: its line)
    RangeMismatch,  // a 206 for another range than the one asked
    SizeMismatch,   // the answers disagree about the length, or the body ended short of it
    CreateFile,     // the temporary file cannot be opened, created or cut
    Buffer,         // the read buffer cannot be allocated
    Read,           // reading the body failed
    Write,          // writing the temporary file (or flushing it) failed
    DeleteTarget,   // the old target cannot be deleted (Detail: its name)
    Rename,         // the temporary file cannot take the target's name (Detail: the temporary name)
    Signature,      // no signature of the maker's holds for the file, or none could be had (Detail: why)
    Raised,         // an error was raised inside the call (Detail: its message); reported as dsError
};

struct TDownloadFailure {
    TFailureKind Kind = TFailureKind::Raised;
    int Code = 0;
    std::string Detail;
};

// The failure's text, such as "获取下载包信息失败:无法连接到服务器" or "[404]Not Found". Texts that end
// with the system's message for Code use the "!" variant without it when Code is 0.
std::string FailureText(const TDownloadFailure& Failure);
// Whether the server answered and refused: Code is the status and Detail the reason phrase.
bool IsRefusal(TFailureKind Kind);
// "[404]Not Found": the status line of a refusal, as the request texts write it.
std::string StatusText(int Status, const std::string& Reason);
