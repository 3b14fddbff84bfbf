// The resumable file download of THttpClient: DownloadFile with its progress reports, the resume decision
// over the ".tmp" and ".sdc" side files, the transfer loop and the finish sequence.
#include "public/HttpClientImpl.h"

#include "platform/DateTime.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/LastError.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <strings.h>
#include <system_error>

namespace inet = platform::inet;

namespace {

const char* const StateSection = "server";
const char* const StateContentLen = "ContentLen";
const char* const StateLastModified = "LastModified";
const char* const StateETag = "ETag";

// The temporary file's data starts its way to the disk every 8 MiB, so the flush at the end is short.
constexpr std::size_t WriteBackStep = 8 * 1024 * 1024;

// A failure text with the system's message appended, or the "!" variant when the last error code is 0.
std::string TextWithSystemError(const char* Text) {
    if (platform::GetLastError() != 0) {
        return std::string(Text) + ":" + SystemErrorText();
    }
    return std::string(Text) + "!";
}

std::int64_t TickCount() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// An HTTP date (RFC 1123) of a UTC date and time.
std::string FormatHttpDate(TDateTime Value) {
    static const char* const Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const platform::TSystemTime T = platform::DecodeDateTime(Value);
    char Buffer[64];
    std::snprintf(Buffer, sizeof Buffer, "%s, %02u %s %04u %02u:%02u:%02u GMT", Days[T.DayOfWeek % 7], T.Day,
                  Months[(T.Month + 11) % 12], T.Year, T.Hour, T.Minute, T.Second);
    return Buffer;
}

// An entity tag that a server may compare byte for byte (not a weak "W/" one).
bool IsStrongETag(const std::string& ETag) {
    return ETag.size() >= 2 && ETag.front() == '"' && ETag.back() == '"';
}

// The first and last byte and the complete length of "bytes FIRST-LAST/COMPLETE" (COMPLETE may be "*":
// -1).
bool ParseContentRange(const std::string& Text, std::uint64_t& First, std::uint64_t& Last,
                       std::int64_t& Complete) {
    unsigned long long F = 0, L = 0;
    int Used = 0;
    if (std::sscanf(Text.c_str(), " bytes %llu-%llu/%n", &F, &L, &Used) != 2 || Used == 0 || L < F) {
        return false;
    }
    const std::string Rest = Text.substr(static_cast<std::size_t>(Used));
    if (Rest == "*") {
        Complete = -1;
    } else {
        char* End = nullptr;
        errno = 0;
        const unsigned long long C = std::strtoull(Rest.c_str(), &End, 10);
        if (Rest.empty() || errno != 0 || *End != '\0' || C <= L ||
            C > static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max())) {
            return false;
        }
        Complete = static_cast<std::int64_t>(C);
    }
    First = F;
    Last = L;
    return true;
}

// The state file: the server's length, date and entity tag the temporary file belongs to. It is replaced
// as a whole (platform::ReplaceFileContent), so a crash leaves the old state or the new one, never a
// mixture. A failed write of the state is not reported: the old state stays as it was.
void WriteStateFile(const std::string& StateName, std::uint64_t ContentLength, TDateTime LastModified,
                    const std::string& ETag) {
    platform::TIniDocument Doc;
    Doc.Write(StateSection, StateContentLen, std::to_string(ContentLength));
    Doc.Write(StateSection, StateLastModified, platform::FormatDateTimeIso(LastModified));
    if (!ETag.empty()) {
        Doc.Write(StateSection, StateETag, ETag);
    }
    platform::ReplaceFileContent(StateName, Doc.Serialize());
}

// Whether the state file names the length, date and entity tag the server announces now. The texts are
// compared exactly; a date of 0 is not compared, nor an entity tag that one side lacks. A state file that
// is a link or no regular file is no state.
bool StateMatches(const std::string& StateName, std::uint64_t ContentLength, TDateTime LastModified,
                  const std::string& ETag) {
    std::string Text;
    if (!platform::ReadRegularFile(StateName, Text, 64 * 1024)) {
        return false;
    }
    platform::TIniDocument Doc;
    Doc.Parse(Text);
    if (Doc.Read(StateSection, StateContentLen).value_or("0") != std::to_string(ContentLength)) {
        return false;
    }
    if (LastModified != 0 &&
        Doc.Read(StateSection, StateLastModified).value_or("") != platform::FormatDateTimeIso(LastModified)) {
        return false;
    }
    // The profile reader drops a pair of quotes around a value, and an entity tag comes in quotes.
    std::string Expected = ETag;
    if (Expected.size() >= 2 && Expected.front() == Expected.back() &&
        (Expected.front() == '"' || Expected.front() == '\'')) {
        Expected = Expected.substr(1, Expected.size() - 2);
    }
    const std::string StoredETag = Doc.Read(StateSection, StateETag).value_or("");
    return ETag.empty() || StoredETag.empty() || StoredETag == Expected;
}

// A media type of text/html (parameters such as a charset aside, letter case ignored).
bool IsHtmlContentType(const std::string& ContentType) {
    std::string Type = ContentType.substr(0, ContentType.find(';'));
    while (!Type.empty() && (Type.back() == ' ' || Type.back() == '\t')) {
        Type.pop_back();
    }
    while (!Type.empty() && (Type.front() == ' ' || Type.front() == '\t')) {
        Type.erase(0, 1);
    }
    return strcasecmp(Type.c_str(), "text/html") == 0;
}

// A target that is itself a web page may be one.
bool IsHtmlFileName(const std::string& FileName) {
    const std::string Name = platform::ExtractFileName(FileName);
    const std::string::size_type Dot = Name.find_last_of('.');
    const std::string Ext = Dot == std::string::npos ? std::string() : Name.substr(Dot);
    return strcasecmp(Ext.c_str(), ".html") == 0 || strcasecmp(Ext.c_str(), ".htm") == 0;
}

bool AnswersHtml(platform::inet::TRequest& Request) {
    std::string Type;
    return inet::HttpQueryInfo(Request, inet::HTTP_QUERY_CONTENT_TYPE, Type) && IsHtmlContentType(Type);
}

bool Cancelled() {
    return platform::GetLastError() == platform::ERROR_INTERNET_OPERATION_CANCELLED;
}

std::uint32_t Clamp32(std::uint64_t Value) {
    return Value > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                             : static_cast<std::uint32_t>(Value);
}

} // namespace

bool THttpClient::ReportProgress(const TDownloadReportTarget& Target, THttpDownloadStatus Status,
                                 const std::string& Message, std::int64_t Position, std::int64_t Size,
                                 std::int64_t RemainTime, std::int64_t Speed) {
    if (!Target.Callback) {
        return false;
    }
    THttpDownloadInfo Info;
    Info.Reserved = 1;
    Info.Status = Status;
    Info.Position = Position;
    Info.Size = Size;
    Info.Tag = Target.Tag;
    Info.Message = Message.c_str();
    Info.RemainTime = RemainTime;
    Info.RemainTimeText.Assign(FormatRemainTime(RemainTime));
    Info.Speed = Speed;
    Info.SpeedText.Assign(FormatSpeed(static_cast<double>(Speed)));
    Info.ResultCode = Target.Result;
    if (Status == dsFail || Status == dsError) {
        FLastError = Message;
    }
    bool Stop = false;
    Target.Callback(Info, Stop);
    return Stop;
}

void THttpClient::QueryContentInfo(inet::TRequest& Request, std::uint64_t& ContentLength,
                                   TDateTime& LastModified) {
    ContentLength = 0;
    LastModified = 0;
    std::uint64_t Length = 0;
    if (inet::HttpQueryInfoNumber(Request, inet::HTTP_QUERY_CONTENT_LENGTH | inet::HTTP_QUERY_FLAG_NUMBER,
                                  Length)) {
        ContentLength = Length;
    }
    platform::TSystemTime Time;
    TDateTime Date = 0;
    if (inet::HttpQueryInfoSystemTime(
            Request, inet::HTTP_QUERY_LAST_MODIFIED | inet::HTTP_QUERY_FLAG_SYSTEMTIME, Time) &&
        platform::EncodeDateTime(Time, Date)) {
        LastModified = Date;
    }
}

std::int32_t THttpClient::DownloadFile(const std::string& URL, const std::string& FileNameArg,
                                       THttpDownloadCallback Callback, std::int32_t TagArg,
                                       IHttpHeaders* HeadersArg) {
    TDownloadReportTarget Report;
    Report.Callback = std::move(Callback);
    Report.Tag = TagArg;
    Report.Result = -1;
    std::int32_t& Result = Report.Result;
    FLastRefusal.clear();

    if (FileNameArg.empty()) {
        ReportProgress(Report, dsFail, "下载保存路径为空！", 0, 0, 0, 0);
        return -1;
    }

    std::string FileName = FileNameArg;
    IHttpHeaders* Headers = HeadersArg;
    std::string TempName;
    std::string StateName;
    std::uint64_t ContentLength = 0;
    // The entity's length as the HEAD announced it (0: no length, or not asked).
    std::uint64_t HeadLength = 0;
    std::uint64_t StartPos = 0;
    std::uint64_t Received = 0;
    bool IsResume = false;
    TDateTime LastModified = 0;
    std::string ETag;
    std::int32_t Attempts = FRetryCount;
    bool BeginReported = false;
    // The target was found complete: a temporary file left beside it belongs to another transfer and
    // must not replace it.
    bool TargetFoundComplete = false;
    // The temporary file was opened for this transfer's data (not only held for the lock).
    bool Transferring = false;

    // Requests before connections before sessions: destroyed in the reverse order of declaration.
    inet::HSession Session;
    inet::HConnection Connection;
    inet::HRequest Request;
    // The temporary file, open and locked from before the resume decision to the end of the call.
    platform::TFile File;
    std::unique_ptr<char[]> Buffer;

    auto Fail = [&](const std::string& Text) { ReportProgress(Report, dsFail, Text, 0, 0, 0, 0); };
    auto StopRequested = [&] { return FStopCheck && FStopCheck(); };

    // Opens the temporary file without following a link and takes its lock: one download per target at a
    // time. The name must still name the locked file (another run may have renamed it to the target).
    auto LockTempFile = [&]() -> bool {
        for (int Attempt = 0; Attempt < 3; ++Attempt) {
            if (!File.OpenForWrite(TempName, platform::TFile::OpenAlways)) {
                Fail(TextWithSystemError("创建下载文件失败"));
                return false;
            }
            if (!File.TryLock()) {
                const bool InUse = platform::GetLastError() == EWOULDBLOCK;
                File.Close();
                Fail(InUse ? "该文件正在被另一个下载任务使用！" : TextWithSystemError("创建下载文件失败"));
                return false;
            }
            if (File.IsAt(TempName)) {
                return true;
            }
            File.Close();
        }
        Fail("该文件正在被另一个下载任务使用！");
        return false;
    };

    // The call proper; every return after the begin report goes on to the finish sequence.
    auto Run = [&] {
        TempName = GetTempFileName(FileName);
        StateName = GetStateFileName(TempName);
        const std::string Folder = platform::ExtractFilePath(TempName);
        if (Folder.empty()) {
            // No folder part: there is no folder to create the temporary file in.
            throw std::runtime_error("无法创建目录");
        }
        platform::ForceDirectories(Folder); // its outcome shows in the file steps below

        const bool StopAtBegin = ReportProgress(Report, dsBegin, "", 0, 0, 0, 0);
        BeginReported = true;

        std::string ObjectName = EncodeURL(URL);
        bool IsHttps = false;
        std::string ErrorText;
        if (!_CreateInternetConnect(ObjectName, Session, Connection, ErrorText, IsHttps)) {
            Fail(ErrorText);
            return;
        }
        if (StopAtBegin) {
            return;
        }
        if (!LockTempFile()) {
            return;
        }
        const bool TempWasThere = !File.Created();
        const std::uint32_t Flags = IsHttps ? HttpsRequestFlags : HttpRequestFlags;

        if (FResume) {
            Request = inet::HttpOpenRequest(*Connection, "HEAD", ObjectName, "HTTP/1.1", Flags);
            if (!Request || !_SendRequest(Request.get(), Attempts, nullptr)) {
                if (Cancelled()) {
                    Result = 1;
                    return;
                }
                if (!FLastRefusal.empty()) {
                    platform::SetLastError(0); // the server answered, and refused: no system text
                }
                Fail(TextWithSystemError("获取下载包信息失败"));
                return;
            }
            if (AnswersHtml(*Request) && !IsHtmlFileName(FileName)) {
                Fail("服务器返回的不是安装包，请检查网络是否需要登录！");
                return;
            }
            QueryContentInfo(*Request, ContentLength, LastModified);
            HeadLength = ContentLength;
            std::string Value;
            if (inet::HttpQueryHeader(*Request, "ETag", Value)) {
                ETag = Value;
            }
            if (ContentLength > static_cast<std::uint64_t>(std::max<std::int64_t>(FMaxFileSize, 0))) {
                Fail("超过下载文件大小限制！");
                return;
            }
            if (IsFilePresent(FileName) &&
                static_cast<std::uint64_t>(GetFileSize64(FileName)) == ContentLength &&
                GetFileWriteTime(FileName) == LastModified) {
                Result = 0;
                TargetFoundComplete = true;
                return;
            }
            Request.reset();

            bool Handled = false;
            if (FOnBeforeDownload) {
                std::uint32_t HookStart = 0;
                const std::uint32_t PassedLength = Clamp32(ContentLength);
                std::uint32_t HookLength = PassedLength;
                std::int32_t HookTag = Report.Tag;
                FOnBeforeDownload(weak_from_this().lock(), ObjectName, FileName, HookTag, "GET", Headers,
                                  HookStart, HookLength, IsResume, Handled);
                Report.Tag = HookTag;
                StartPos = HookStart;
                if (HookLength != PassedLength) {
                    ContentLength = HookLength; // only a value the hook changed replaces the 64-bit one
                    HeadLength = ContentLength;
                }
            }
            const std::uint64_t TempSize = static_cast<std::uint64_t>(std::max<std::int64_t>(File.Size(), 0));
            if (!Handled && ContentLength > 0 && TempWasThere) {
                // The resume decision: continue the temporary file only while the server still
                // announces what the state file recorded for it.
                IsResume = false;
                if (StateMatches(StateName, ContentLength, LastModified, ETag)) {
                    StartPos = TempSize;
                    if (StartPos == ContentLength) {
                        Result = 0; // already complete: it becomes the target, no transfer
                        return;
                    }
                    IsResume = StartPos < ContentLength;
                }
            }
            if (IsResume && StartPos > TempSize) {
                IsResume = false; // the hook named more than the temporary file holds
            }
            if (!IsResume) {
                StartPos = 0;
            }
        } else {
            StartPos = 0;
            if (IsFilePresent(StateName)) {
                platform::DeleteFile(StateName);
            }
        }

        Request = inet::HttpOpenRequest(*Connection, "GET", ObjectName, "HTTP/1.1", Flags);
        bool HeadersAdded = Request && AddRequestHeaders(*Request, Headers, IsResume, StartPos);
        if (HeadersAdded && IsResume && StartPos > 0) {
            // The server sends the rest only while the file is still the one the decision was made on;
            // a changed file comes back whole with 200.
            const std::string Validator = IsStrongETag(ETag)  ? ETag
                                          : LastModified != 0 ? FormatHttpDate(LastModified)
                                                              : std::string();
            if (!Validator.empty()) {
                HeadersAdded =
                    inet::HttpAddRequestHeaders(*Request, "If-Range:" + Validator,
                                                inet::HTTP_ADDREQ_FLAG_ADD | inet::HTTP_ADDREQ_FLAG_REPLACE);
            }
        }
        if (!HeadersAdded) {
            Fail("组织请求头失败！");
            return;
        }
        if (!_SendRequest(Request.get(), Attempts, nullptr)) {
            if (Cancelled()) {
                Result = 1;
                return;
            }
            if (FLastError.empty()) {
                FLastError = TextWithSystemError("发送下载请求失败");
            }
            Fail(FLastError);
            return;
        }
        if (AnswersHtml(*Request) && !IsHtmlFileName(FileName)) {
            Fail("服务器返回的不是安装包，请检查网络是否需要登录！");
            return;
        }

        // What the GET says about the entity: its length (of a 206: the complete length of its
        // Content-Range), its date and its entity tag.
        std::uint64_t Status = 0;
        inet::HttpQueryInfoNumber(*Request, inet::HTTP_QUERY_STATUS_CODE | inet::HTTP_QUERY_FLAG_NUMBER,
                                  Status);
        std::uint64_t GetLength = 0;
        TDateTime GetDate = 0;
        QueryContentInfo(*Request, GetLength, GetDate);
        std::string GetETag;
        inet::HttpQueryHeader(*Request, "ETag", GetETag);
        const std::uint64_t Asked = IsResume ? StartPos : 0;
        if (Status == 206) {
            // The part must begin where the temporary file ends, run to the end of the entity and belong
            // to the same file; a 206 to a request without a range must hold the whole entity.
            std::string Range;
            std::uint64_t First = 0, Last = 0;
            std::int64_t Complete = -1;
            const std::uint64_t Known = IsResume || HeadLength > 0 ? ContentLength : 0;
            if (!inet::HttpQueryHeader(*Request, "Content-Range", Range) ||
                !ParseContentRange(Range, First, Last, Complete) || First != Asked ||
                (Complete < 0 && (Known == 0 || Last + 1 != Known)) ||
                (Complete >= 0 && (Last + 1 != static_cast<std::uint64_t>(Complete) ||
                                   (Known > 0 && static_cast<std::uint64_t>(Complete) != Known)))) {
                Fail("服务器返回的数据范围与请求不符！");
                return;
            }
            if (GetLength > 0 && GetLength != Last - First + 1) {
                Fail("下载文件与服务器上记录的大小不一致，请重试!");
                return;
            }
            GetLength = Last + 1;
        } else if (IsResume) {
            // A 200: the server ignored the range or the file changed; the body is the whole file, so the
            // temporary file starts over below.
            IsResume = false;
            StartPos = 0;
        }

        if (!IsResume) {
            // The whole entity comes. When the GET names the same version as the HEAD (the same date and
            // entity tag), both lengths must agree; a new version brings its own length, date and tag.
            const bool SameVersion = !FResume || (GetDate == LastModified && GetETag == ETag);
            if (SameVersion && HeadLength > 0 && GetLength > 0 && GetLength != HeadLength) {
                Fail("下载文件与服务器上记录的大小不一致，请重试!");
                return;
            }
            if (!SameVersion || HeadLength == 0) {
                ContentLength = GetLength;
            }
            LastModified = GetDate;
            ETag = GetETag;
            if (FResume &&
                ContentLength > static_cast<std::uint64_t>(std::max<std::int64_t>(FMaxFileSize, 0))) {
                Fail("超过下载文件大小限制！");
                return;
            }
            if (IsFilePresent(FileName) && ContentLength > 0 &&
                static_cast<std::uint64_t>(GetFileSize64(FileName)) == ContentLength &&
                GetFileWriteTime(FileName) == LastModified) {
                Result = 0;
                TargetFoundComplete = true;
                return;
            }
        }

        // The temporary file holds exactly what precedes the first byte of the body (nothing when it
        // starts over) before the state file names the entity it belongs to.
        if (!File.SetEnd(static_cast<std::int64_t>(StartPos))) {
            Fail(TextWithSystemError("创建下载文件失败"));
            return;
        }
        Transferring = true;
        File.SetWriteBackStep(WriteBackStep);
        if (FResume) {
            WriteStateFile(StateName, ContentLength, LastModified, ETag);
        }

        const std::size_t BufferSize = FBufferSize > 0 ? static_cast<std::size_t>(FBufferSize) : 0;
        if (BufferSize > 0) {
            Buffer.reset(new (std::nothrow) char[BufferSize]);
            if (!Buffer) {
                platform::SetLastError(ENOMEM);
            }
        } else {
            platform::SetLastError(EINVAL);
        }
        if (!Buffer) {
            Fail(TextWithSystemError("创建缓冲区失败"));
            return;
        }

        // The transfer loop. Speed and remaining time are measured over windows of about a second; a
        // report goes out with each chunk that arrives more than 500 ms into a window.
        Received = 0;
        std::uint64_t WindowBytes = 0;
        std::int64_t Speed = 0;
        std::int64_t RemainTime = 0;
        bool WindowRunning = false;
        std::int64_t WindowStart = 0;
        const auto Position = [&] { return static_cast<std::int64_t>(StartPos + Received); };
        const std::int64_t Size = static_cast<std::int64_t>(ContentLength);
        if (ReportProgress(Report, dsProgress, "", Position(), Size, 0, 0)) {
            Result = 1;
            return;
        }
        for (;;) {
            if (!WindowRunning) {
                WindowStart = TickCount();
                WindowRunning = true;
            }
            std::size_t Count = 0;
            if (!inet::InternetReadFile(*Request, Buffer.get(), BufferSize, Count)) {
                if (Cancelled()) {
                    Result = 1;
                    return;
                }
                Fail(TextWithSystemError("从网络读取文件失败"));
                return;
            }
            if (Count == 0) {
                ReportProgress(Report, dsProgress, "", Position(), Size, RemainTime, Speed);
                if (ContentLength != 0 && static_cast<std::uint64_t>(File.Size()) != ContentLength) {
                    Fail("下载文件与服务器上记录的大小不一致，请重试!");
                    return;
                }
                Result = 0;
                if (IsFilePresent(StateName)) {
                    platform::DeleteFile(StateName);
                }
                return;
            }
            Received += Count;
            if (!File.Write(Buffer.get(), Count)) {
                Fail("写文件失败:" + SystemErrorText());
                return;
            }
            if (StopRequested()) {
                Result = 1;
                return;
            }
            WindowBytes += Count;
            const std::int64_t Elapsed = TickCount() - WindowStart;
            if (Elapsed >= 1000) {
                const double Bytes = static_cast<double>(WindowBytes);
                const double Ms = static_cast<double>(Elapsed);
                if (ContentLength > 0 && StartPos + Received <= ContentLength) {
                    RemainTime = static_cast<std::int64_t>(std::nearbyint(
                        static_cast<double>(ContentLength - StartPos - Received) / Bytes * Ms));
                } else {
                    RemainTime = -1;
                }
                Speed = static_cast<std::int64_t>(std::nearbyint(Bytes / Ms * 1000.0));
                WindowBytes = 0;
                WindowRunning = false;
            }
            if (Elapsed > 500) {
                if (ReportProgress(Report, dsProgress, "", Position(), Size, RemainTime, Speed)) {
                    Result = 1;
                    return;
                }
            }
        }
    };

    // Puts the complete temporary file in the target's place: its data on the disk first, then the
    // rename, then the folder's entry on the disk. The lock is still held, and the name must still be the
    // file this call holds.
    auto PutInPlace = [&] {
        if (!File.Flush()) {
            Fail("写文件失败:" + SystemErrorText());
            Result = -1;
            return;
        }
        if (!File.IsAt(TempName)) {
            platform::SetLastError(ESTALE); // something else took the name meanwhile
            Fail("重命名[" + TempName + "]文件失败:" + SystemErrorText());
            Result = -1;
            return;
        }
        if (IsFilePresent(FileName) && !platform::DeleteFile(FileName)) {
            Fail("删除[" + FileName + "]文件失败:" + SystemErrorText());
            Result = -1;
            return;
        }
        if (!platform::RenameFileNoReplace(TempName, FileName)) {
            // Success with no target would be a lie; the temporary file keeps its name.
            Fail("重命名[" + TempName + "]文件失败:" + SystemErrorText());
            Result = -1;
            return;
        }
        platform::FlushFolder(
            platform::ExtractFilePath(FileName)); // the rename is done; a failed flush changes nothing
    };

    // The finish sequence, each part only for what was opened.
    auto Finish = [&] {
        Buffer.reset();
        if (File.IsOpen()) {
            if (Result == 0 && Transferring) {
                File.SetWriteTime(LastModified); // fails, and is skipped, for dates before 1601 (0 too)
            }
            if (Result == 0 && !TargetFoundComplete && TempName != FileName) {
                PutInPlace();
            } else if (File.Created() && !Transferring && File.IsAt(TempName)) {
                // A temporary file made only to hold the lock is not left behind.
                platform::DeleteFile(TempName);
            }
            if (!File.Close() && Result == 0) {
                Fail("写文件失败:" + SystemErrorText());
                Result = -1;
            }
        }
        Request.reset();
        ReportProgress(Report, dsEnd, "", static_cast<std::int64_t>(StartPos + Received),
                       static_cast<std::int64_t>(ContentLength), 0, 0);
        Connection.reset();
        Session.reset();
    };

    std::string Raised;
    bool WasRaised = false;
    auto Catching = [&](auto&& Step) {
        try {
            Step();
        } catch (const std::exception& E) {
            if (!WasRaised) {
                WasRaised = true;
                Raised = E.what();
            }
        } catch (...) {
            if (!WasRaised) {
                WasRaised = true;
                Raised = "未知错误";
            }
        }
    };
    Catching(Run);
    if (BeginReported) {
        Catching(Finish);
    }
    Request.reset();
    Connection.reset();
    Session.reset();
    if (WasRaised) {
        Catching([&] { ReportProgress(Report, dsError, "[THttpClient.DownloadFile]" + Raised, 0, 0, 0, 0); });
    }
    return Result;
}
