#include "public/DownloadCall.h"

#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "platform/HttpText.h"
#include "platform/LastError.h"
#include "platform/Text.h"
#include "public/HttpClientImpl.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <stdexcept>
#include <utility>

namespace inet = platform::inet;

namespace {

// The temporary file's data starts its way to the disk every 8 MiB, so the flush at the end is short.
constexpr std::size_t WriteBackStep = 8 * 1024 * 1024;
// A state file is a few short lines; anything longer is no state of ours.
constexpr std::size_t StateSizeLimit = 64 * 1024;
constexpr std::uint32_t AddAndReplace = inet::HTTP_ADDREQ_FLAG_ADD | inet::HTTP_ADDREQ_FLAG_REPLACE;

// An entity tag that a server may compare byte for byte (not a weak "W/" one).
bool IsStrongETag(const std::string& ETag) {
    return ETag.size() >= 2 && ETag.front() == '"' && ETag.back() == '"';
}

// A target that is itself a web page may be one.
bool IsHtmlFileName(const std::string& FileName) {
    const std::string Name = platform::ExtractFileName(FileName);
    const std::string::size_type Dot = Name.find_last_of('.');
    const std::string Ext = Dot == std::string::npos ? std::string() : Name.substr(Dot);
    return platform::SameText(Ext, ".html") || platform::SameText(Ext, ".htm");
}

bool AnswersHtml(inet::TRequest& Request) {
    std::string Type;
    return inet::HttpQueryInfo(Request, inet::HTTP_QUERY_CONTENT_TYPE, Type) &&
           platform::http::IsHtmlMediaType(Type);
}

bool Cancelled() {
    return platform::GetLastError() == platform::ERROR_INTERNET_OPERATION_CANCELLED;
}

std::uint64_t StatusOf(inet::TRequest& Request) {
    std::uint64_t Status = 0;
    inet::HttpQueryInfoNumber(Request, inet::HTTP_QUERY_STATUS_CODE | inet::HTTP_QUERY_FLAG_NUMBER, Status);
    return Status;
}

// What an answer says about the entity: its Content-Length (0 when none), Last-Modified (0 when none or not
// a date) and ETag.
TEntityFacts FactsOf(inet::TRequest& Request) {
    TEntityFacts Facts;
    inet::HttpQueryInfoNumber(Request, inet::HTTP_QUERY_CONTENT_LENGTH | inet::HTTP_QUERY_FLAG_NUMBER,
                              Facts.Length);
    platform::TSystemTime Time;
    if (!inet::HttpQueryInfoSystemTime(
            Request, inet::HTTP_QUERY_LAST_MODIFIED | inet::HTTP_QUERY_FLAG_SYSTEMTIME, Time) ||
        !platform::EncodeDateTime(Time, Facts.LastModified)) {
        Facts.LastModified = 0;
    }
    inet::HttpQueryHeader(Request, "ETag", Facts.ETag);
    return Facts;
}

std::uint32_t Clamp32(std::uint64_t Value) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(Value, std::numeric_limits<std::uint32_t>::max()));
}

// The measuring window of the progress reports: speed and remaining time over windows of about a second. A
// report is due with each chunk that arrives more than 500 ms into a window, the chunk that closes it
// included; speed and remaining time change only when a window closes.
class TSpeedWindow {
public:
    void StartIfIdle() {
        if (!FRunning) {
            FStart = platform::TickCount();
            FRunning = true;
        }
    }
    // Counts a chunk; Remaining: the bytes still to come, none when not known. True when a report is due.
    bool Add(std::uint64_t Bytes, std::optional<std::uint64_t> Remaining) {
        FBytes += Bytes;
        const std::int64_t Elapsed = platform::TickCount() - FStart;
        if (Elapsed >= 1000) {
            const double Window = static_cast<double>(FBytes), Ms = static_cast<double>(Elapsed);
            FRemainTime =
                Remaining
                    ? static_cast<std::int64_t>(std::nearbyint(static_cast<double>(*Remaining) / Window * Ms))
                    : -1;
            FSpeed = static_cast<std::int64_t>(std::nearbyint(Window / Ms * 1000.0));
            FBytes = 0;
            FRunning = false;
        }
        return Elapsed > 500;
    }
    std::int64_t RemainTime() const { return FRemainTime; }
    std::int64_t Speed() const { return FSpeed; }

private:
    bool FRunning = false;
    std::int64_t FStart = 0;
    std::uint64_t FBytes = 0;
    std::int64_t FRemainTime = 0;
    std::int64_t FSpeed = 0;
};

} // namespace

TDownloadCall::TDownloadCall(THttpClient& Client, std::string URL, std::string FileName,
                             THttpDownloadCallback Callback, std::int32_t Tag, IHttpHeaders* Headers)
    : FClient(Client), FURL(std::move(URL)), FFileName(std::move(FileName)), FCallback(std::move(Callback)),
      FTag(Tag), FHeaders(Headers), FAttempts(Client.FRetryCount) {}

std::int32_t TDownloadCall::Run() {
    if (FFileName.empty()) {
        Fail(TFailureKind::NoFileName);
        return FResult;
    }
    // An error raised anywhere (the callback's and the hook's included) runs the finish sequence when the
    // begin report was made, and is reported last; the result stays as it was.
    std::string Raised;
    bool WasRaised = false;
    const auto Catching = [&](auto&& Step) {
        try {
            Step();
        } catch (const std::exception& E) {
            Raised = WasRaised ? Raised : E.what();
            WasRaised = true;
        } catch (...) {
            Raised = WasRaised ? Raised : "未知错误";
            WasRaised = true;
        }
    };
    Catching([&] {
        const TNext Next = RunSteps();
        FResult = Next == TNext::Done ? 0 : Next == TNext::Stopped ? 1 : -1;
    });
    if (FBeginReported) {
        Catching([&] { Finish(); });
    }
    FRequest.reset();
    FConnection.reset();
    FSession.reset();
    if (WasRaised) {
        Catching([&] { Fail(TFailureKind::Raised, 0, Raised); });
    }
    return FResult;
}

TDownloadCall::TNext TDownloadCall::RunSteps() {
    TNext Next = Begin();
    for (const auto Step : {&TDownloadCall::Lock, &TDownloadCall::Probe, &TDownloadCall::Decide,
                            &TDownloadCall::Request, &TDownloadCall::Open, &TDownloadCall::Transfer}) {
        if (Next != TNext::Go) {
            break;
        }
        Next = (this->*Step)();
    }
    return Next;
}

TDownloadCall::TNext TDownloadCall::Begin() {
    FTempName = FClient.GetTempFileName(FFileName);
    FStateName = FClient.GetStateFileName(FTempName);
    const std::string Folder = platform::ExtractFilePath(FTempName);
    if (Folder.empty()) {
        // No folder part: there is no folder to create the temporary file in.
        throw std::runtime_error("无法创建目录");
    }
    platform::ForceDirectories(Folder); // its outcome shows in the file steps
    const bool StopAtBegin = Report(dsBegin);
    FBeginReported = true;
    FObjectName = EncodeURL(FURL);
    std::string ErrorText;
    if (!FClient._CreateInternetConnect(FObjectName, FSession, FConnection, ErrorText, FIsHttps)) {
        return Fail(TFailureKind::Connect, 0, ErrorText);
    }
    return StopAtBegin ? TNext::Ended : TNext::Go;
}

// The temporary file, opened without following a link and locked for the whole call. The name must still
// name the locked file: another run may have renamed it to its target meanwhile. The state file's name
// holds a regular file or nothing, like the temporary file's.
TDownloadCall::TNext TDownloadCall::Lock() {
    if (!platform::IsRegularFileOrMissing(FStateName)) {
        return FailWithSystemError(TFailureKind::CreateFile);
    }
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        if (!FFile.OpenForWrite(FTempName, platform::TFile::OpenAlways)) {
            return FailWithSystemError(TFailureKind::CreateFile);
        }
        if (!FFile.TryLock()) {
            const int Code = platform::GetLastError();
            FFile.Close();
            return Code == platform::ERROR_LOCK_VIOLATION ? Fail(TFailureKind::InUse)
                                                          : Fail(TFailureKind::CreateFile, Code);
        }
        if (FFile.IsAt(FTempName)) {
            if (!FFile.Created()) {
                FTempSize = static_cast<std::uint64_t>(std::max<std::int64_t>(FFile.Size(), 0));
            }
            return TNext::Go;
        }
        FFile.Close();
    }
    return Fail(TFailureKind::InUse);
}

TDownloadCall::TNext TDownloadCall::Probe() {
    if (!FClient.FResume) {
        return TNext::Go;
    }
    FRequest = inet::HttpOpenRequest(*FConnection, "HEAD", FObjectName, "HTTP/1.1",
                                     FIsHttps ? HttpsRequestFlags : HttpRequestFlags);
    TSendOutcome Sent;
    if (!FRequest || !FClient._SendRequest(FRequest.get(), FAttempts, nullptr, &Sent)) {
        return Unsent(Sent, TFailureKind::ProbeFailed, TFailureKind::ProbeRefused);
    }
    if (AnswersHtml(*FRequest) && !IsHtmlFileName(FFileName)) {
        return Fail(TFailureKind::NotAnInstaller);
    }
    FHeadAsked = true;
    FHead = FEntity = FactsOf(*FRequest);
    if (TooLarge(FEntity.Length)) {
        return Fail(TFailureKind::TooLarge);
    }
    if (TargetIsComplete(FEntity)) {
        const TNext Next = TakeCompleteTarget();
        if (Next != TNext::Go) {
            return Next;
        }
    }
    FRequest.reset();
    return TNext::Go;
}

TDownloadCall::TNext TDownloadCall::Decide() {
    if (!FClient.FResume) {
        if (IsFilePresent(FStateName)) {
            platform::DeleteFile(FStateName);
        }
        return TNext::Go;
    }
    const bool Handled = FClient.FOnBeforeDownload && CallHook();
    if (!Handled && FEntity.Length > 0 && FTempSize) {
        std::string State;
        const bool HasState = platform::ReadRegularFile(FStateName, State, StateSizeLimit);
        const TResumeDecision Decision =
            DecideResume(HasState ? std::optional<std::string>(State) : std::nullopt, FEntity, FTempSize);
        if (Decision.Kind == TResumeDecision::Complete) {
            return TNext::Done; // the temporary file becomes the target as it is
        }
        FIsResume = Decision.Kind == TResumeDecision::Resume;
        FStartPos = Decision.StartPos;
    }
    if (!FIsResume || FStartPos > FTempSize.value_or(0)) {
        // Not resumed, or the hook named more than the temporary file holds.
        FIsResume = false;
        FStartPos = 0;
    }
    return TNext::Go;
}

// The hook sees the request before the decision; the values it leaves govern the rest. True when it made
// the decision itself.
bool TDownloadCall::CallHook() {
    std::uint32_t Start = 0;
    const std::uint32_t Passed = Clamp32(FEntity.Length);
    std::uint32_t Length = Passed;
    bool Handled = false;
    FClient.FOnBeforeDownload(FClient.weak_from_this().lock(), FObjectName, FFileName, FTag, "GET", FHeaders,
                              Start, Length, FIsResume, Handled);
    FStartPos = Start;
    if (Length != Passed) {
        FHead.Length = FEntity.Length = Length; // only a value the hook changed replaces the 64-bit one
    }
    return Handled;
}

TDownloadCall::TNext TDownloadCall::Request() {
    FRequest = inet::HttpOpenRequest(*FConnection, "GET", FObjectName, "HTTP/1.1",
                                     FIsHttps ? HttpsRequestFlags : HttpRequestFlags);
    if (!FRequest || !AddRequestHeaders(*FRequest, FHeaders, FIsResume, FStartPos) || !AddValidator()) {
        return Fail(TFailureKind::Headers);
    }
    TSendOutcome Sent;
    if (!FClient._SendRequest(FRequest.get(), FAttempts, nullptr, &Sent)) {
        return Unsent(Sent, TFailureKind::RequestFailed, TFailureKind::RequestRefused);
    }
    if (AnswersHtml(*FRequest) && !IsHtmlFileName(FFileName)) {
        return Fail(TFailureKind::NotAnInstaller);
    }
    return TakeAnswer();
}

// A resumed request names the version it continues: the server sends the rest only while the file is still
// that one, and the whole (changed) file with 200 otherwise.
bool TDownloadCall::AddValidator() {
    if (!FIsResume || FStartPos == 0) {
        return true;
    }
    const std::string Validator = IsStrongETag(FEntity.ETag)  ? FEntity.ETag
                                  : FEntity.LastModified != 0 ? platform::FormatHttpDate(FEntity.LastModified)
                                                              : std::string();
    return Validator.empty() ||
           inet::HttpAddRequestHeaders(*FRequest, "If-Range:" + Validator, AddAndReplace);
}

// What the GET's answer says about the entity. A 200 to a resumed request starts the temporary file over:
// the server ignored the range, or the file changed.
TDownloadCall::TNext TDownloadCall::TakeAnswer() {
    TEntityFacts Answer = FactsOf(*FRequest);
    if (StatusOf(*FRequest) == 206) {
        const TNext Next = TakePart(Answer);
        if (Next != TNext::Go || FIsResume) {
            return Next;
        }
    } else {
        FIsResume = false;
        FStartPos = 0;
    }
    return TakeWhole(Answer);
}

// A 206 must begin where the temporary file ends (at 0 when nothing was asked), run to the entity's end, and
// be as long as its range says; its complete length is the entity's.
TDownloadCall::TNext TDownloadCall::TakePart(TEntityFacts& Answer) {
    const std::uint64_t Asked = FIsResume ? FStartPos : 0;
    const std::uint64_t Known = FIsResume || FHead.Length > 0 ? FEntity.Length : 0;
    std::string Text;
    platform::http::TContentRange Range;
    if (!inet::HttpQueryHeader(*FRequest, "Content-Range", Text) ||
        !platform::http::ParseContentRange(Text, Range) || Range.First != Asked) {
        return WrongRange();
    }
    const std::uint64_t End = Range.Last + 1;
    const std::uint64_t Complete = Range.Complete.value_or(Known);
    if (Complete == 0 || End != Complete || (Known > 0 && Complete != Known)) {
        return WrongRange();
    }
    if (Answer.Length > 0 && Answer.Length != End - Range.First) {
        return Fail(TFailureKind::SizeMismatch);
    }
    Answer.Length = Complete;
    if (FIsResume) {
        FEntity.Length = Complete; // the same, unless a hook resumed without a length
    }
    return TNext::Go;
}

// A part this server does not continue as asked is not asked for again: without its state the next run
// fetches the whole file instead of failing on the same range for ever. The part itself stays until then.
TDownloadCall::TNext TDownloadCall::WrongRange() {
    if (FIsResume && IsFilePresent(FStateName)) {
        platform::DeleteFile(FStateName);
    }
    return Fail(TFailureKind::RangeMismatch);
}

// The whole entity comes. When the answer names the same version as the HEAD (the same date and entity tag,
// or none of its own), both lengths must agree, and the HEAD's holds where the answer has none; a new version
// brings its own length. A body that announces no length is held to the HEAD's all the same: its early end
// (a closed connection) must never pass for the whole file.
TDownloadCall::TNext TDownloadCall::TakeWhole(const TEntityFacts& Answer) {
    const bool NamesNoVersion = Answer.LastModified == 0 && Answer.ETag.empty();
    const bool SameVersion =
        FHeadAsked &&
        (NamesNoVersion || (Answer.LastModified == FHead.LastModified && Answer.ETag == FHead.ETag));
    if (SameVersion && FHead.Length > 0 && Answer.Length > 0 && Answer.Length != FHead.Length) {
        return Fail(TFailureKind::SizeMismatch);
    }
    const std::uint64_t Length =
        (SameVersion || Answer.Length == 0) && FHead.Length > 0 ? FHead.Length : Answer.Length;
    FEntity = SameVersion ? FHead : Answer;
    FEntity.Length = Length;
    if (FClient.FResume && TooLarge(FEntity.Length)) {
        return Fail(TFailureKind::TooLarge);
    }
    if (FEntity.Length > 0 && TargetIsComplete(FEntity)) {
        return TakeCompleteTarget();
    }
    return TNext::Go;
}

// A target found complete by its size and date counts only when the maker's signature holds for it. One whose
// bytes fail it is no installer of the maker's: it is removed, so that nobody starts it by mistake, and the
// transfer goes on to fetch the real one. Without a signature to check against, it neither counts nor goes.
TDownloadCall::TNext TDownloadCall::TakeCompleteTarget() {
    switch (CheckSignature(FFileName)) {
    case TSignatureVerdict::Valid:
        FTargetFoundComplete = true;
        return TNext::Done;
    case TSignatureVerdict::Invalid:
        platform::DeleteFile(FFileName); // should that fail, the rename at the end fails on it
        return TNext::Go;
    case TSignatureVerdict::Stopped:
        return TNext::Stopped;
    default:
        return Fail(TFailureKind::Signature, 0, FSignature->Reason());
    }
}

// The temporary file holds exactly what precedes the body's first byte (nothing when it starts over) before
// the state file names the entity it belongs to.
TDownloadCall::TNext TDownloadCall::Open() {
    if (!FFile.SetEnd(static_cast<std::int64_t>(FStartPos))) {
        return FailWithSystemError(TFailureKind::CreateFile);
    }
    FTempInUse = true;
    FFile.SetWriteBackStep(WriteBackStep);
    if (FClient.FResume) {
        platform::ReplaceFileContent(FStateName, StateFileText(FEntity)); // a failed write is not reported
    }
    if (!FClient._AllocateReadBuffer(FBuffer, FBufferSize)) {
        return FailWithSystemError(TFailureKind::Buffer);
    }
    return TNext::Go;
}

TDownloadCall::TNext TDownloadCall::Transfer() {
    const std::int64_t Size = static_cast<std::int64_t>(FEntity.Length);
    if (Report(dsProgress, "", Position(), Size)) {
        return TNext::Stopped;
    }
    TSpeedWindow Window;
    for (;;) {
        Window.StartIfIdle();
        std::size_t Count = 0;
        if (!inet::InternetReadFile(*FRequest, FBuffer.get(), FBufferSize, Count)) {
            return Cancelled() ? TNext::Stopped : FailWithSystemError(TFailureKind::Read);
        }
        if (Count == 0) {
            return EndOfBody(Window.RemainTime(), Window.Speed());
        }
        FReceived += Count;
        if (!FFile.Write(FBuffer.get(), Count)) {
            return FailWithSystemError(TFailureKind::Write);
        }
        if (const std::optional<TFailureKind> Overrun = Overran()) {
            return Fail(*Overrun);
        }
        if (StopRequested()) {
            return TNext::Stopped;
        }
        const std::uint64_t Done = FStartPos + FReceived;
        const bool Known = FEntity.Length > 0 && Done <= FEntity.Length;
        if (Window.Add(Count, Known ? std::optional<std::uint64_t>(FEntity.Length - Done) : std::nullopt) &&
            Report(dsProgress, "", Position(), Size, Window.RemainTime(), Window.Speed())) {
            return TNext::Stopped;
        }
    }
}

// A body that runs past the entity's length is no copy of it, and one without a length may not run past
// MaxFileSize in resume mode: either ends the transfer at once rather than when the disk is full. The part
// is longer than the entity then, so the next run starts over.
std::optional<TFailureKind> TDownloadCall::Overran() const {
    const std::uint64_t Done = FStartPos + FReceived;
    if (FEntity.Length > 0 && Done > FEntity.Length) {
        return TFailureKind::SizeMismatch;
    }
    if (FEntity.Length == 0 && FClient.FResume && TooLarge(Done)) {
        return TFailureKind::TooLarge;
    }
    return std::nullopt;
}

// The body has ended: the last report repeats the last measurement (its Stop answer comes too late to
// matter), and the file is complete only at the entity's length.
TDownloadCall::TNext TDownloadCall::EndOfBody(std::int64_t RemainTime, std::int64_t Speed) {
    Report(dsProgress, "", Position(), static_cast<std::int64_t>(FEntity.Length), RemainTime, Speed);
    if (FEntity.Length != 0 && static_cast<std::uint64_t>(FFile.Size()) != FEntity.Length) {
        return Fail(TFailureKind::SizeMismatch);
    }
    if (!FClient.FInstallerKey) {
        ForgetState(); // else when the signature holds
    }
    return TNext::Done;
}

// Each part only for what was opened. A target found complete keeps its name and a temporary file beside it
// (another transfer's); one made by this call only to hold the lock is not left behind.
void TDownloadCall::Finish() {
    FBuffer.reset();
    if (FFile.IsOpen()) {
        if (FResult == 0 && FTempInUse && FEntity.LastModified != 0) {
            // Without a Last-Modified (the date 0) the file keeps the time of its last write; a date before
            // 1601 fails here and is skipped.
            FFile.SetWriteTime(FEntity.LastModified);
        }
        if (FResult == 0 && !FTargetFoundComplete && FTempName != FFileName) {
            PutInPlace();
        } else if (FFile.Created() && !FTempInUse && FFile.IsAt(FTempName)) {
            platform::DeleteFile(FTempName);
        }
        if (!FFile.Close() && FResult == 0) {
            FResult = -1;
            FailWithSystemError(TFailureKind::Write);
        }
    }
    FRequest.reset();
    Report(dsEnd, "", Position(), static_cast<std::int64_t>(FEntity.Length));
    FConnection.reset();
    FSession.reset();
}

// Puts the complete temporary file in the target's place while the lock is held: its data on the disk first,
// then the rename, then the folder's entry on the disk.
bool TDownloadCall::PutInPlace() {
    FResult = -1; // until the target is in place
    if (!FFile.Flush()) {
        FailWithSystemError(TFailureKind::Write);
        return false;
    }
    if (!SignatureHolds()) {
        return false;
    }
    if (!FFile.IsAt(FTempName)) {
        // Something else took the name meanwhile.
        Fail(TFailureKind::Rename, platform::ERROR_FILE_INVALID, FTempName);
        return false;
    }
    // A link at the target's name gives way like a file, also one that points to nothing.
    if (platform::NameIsTaken(FFileName) && !platform::DeleteFile(FFileName)) {
        FailWithSystemError(TFailureKind::DeleteTarget, FFileName);
        return false;
    }
    if (!platform::RenameFileNoReplace(FTempName, FFileName)) {
        // Success with no target would be a lie; the temporary file keeps its name.
        FailWithSystemError(TFailureKind::Rename, FTempName);
        return false;
    }
    FResult = 0;
    platform::FlushFolder(
        platform::ExtractFilePath(FFileName)); // the rename is done; a failed flush changes nothing
    return true;
}

// The finished file takes the target's name only when the maker's signature holds for it (always, without a
// key); its data is on the disk by now. A file whose bytes fail the signature goes with its state: the next
// run fetches it anew. When no signature could be had (a mirror that serves it only later, no answer), the
// complete file and its state stay, so that the next run asks for the signature alone.
bool TDownloadCall::SignatureHolds() {
    switch (CheckSignature(FTempName)) {
    case TSignatureVerdict::Valid:
        if (FTempInUse) {
            ForgetState(); // as the end of the body does without a key
        }
        return true;
    case TSignatureVerdict::Stopped:
        FResult = 1;
        return false;
    case TSignatureVerdict::Invalid:
        platform::DeleteFile(FTempName);
        ForgetState();
        break;
    default:
        break;
    }
    Fail(TFailureKind::Signature, 0, FSignature->Reason());
    return false;
}

TSignatureVerdict TDownloadCall::CheckSignature(const std::string& FileName) {
    if (!FClient.FInstallerKey) {
        return TSignatureVerdict::Valid;
    }
    if (!FSignature) {
        FSignature.emplace(FClient, FURL, *FClient.FInstallerKey, [this] { return StopRequested(); });
    }
    return FSignature->Check(FileName);
}

void TDownloadCall::ForgetState() {
    if (IsFilePresent(FStateName)) {
        platform::DeleteFile(FStateName);
    }
}

TDownloadCall::TNext TDownloadCall::Unsent(const TSendOutcome& Sent, TFailureKind Failed,
                                           TFailureKind Refused) {
    switch (Sent.Kind) {
    case TSendOutcome::Cancelled:
        return TNext::Stopped;
    case TSendOutcome::Refused:
        return Fail(Refused, Sent.Code, Sent.Reason);
    default:
        // No answer: the HEAD's text carries the system's message, the GET's the send's own text.
        return Fail(Failed, Sent.Code,
                    Failed == TFailureKind::RequestFailed ? FClient.FLastError : std::string());
    }
}

TDownloadCall::TNext TDownloadCall::Fail(TFailureKind Kind, int Code, const std::string& Detail) {
    const TDownloadFailure Failure{Kind, Code, Detail};
    FClient.FLastFailure = Failure;
    Report(Kind == TFailureKind::Raised ? dsError : dsFail, FailureText(Failure));
    return TNext::Ended;
}

TDownloadCall::TNext TDownloadCall::FailWithSystemError(TFailureKind Kind, const std::string& Detail) {
    return Fail(Kind, platform::GetLastError(), Detail);
}

bool TDownloadCall::Report(THttpDownloadStatus Status, const std::string& Message, std::int64_t Position,
                           std::int64_t Size, std::int64_t RemainTime, std::int64_t Speed) {
    if (!FCallback) {
        return false;
    }
    THttpDownloadInfo Info = MakeDownloadInfo(Status, FTag);
    Info.Position = Position;
    Info.Size = Size;
    Info.Message = Message.c_str();
    Info.RemainTime = RemainTime;
    Info.RemainTimeText.Assign(FormatRemainTime(RemainTime));
    Info.Speed = Speed;
    Info.SpeedText.Assign(FormatSpeed(static_cast<double>(Speed)));
    Info.ResultCode = FResult;
    if (Status == dsFail || Status == dsError) {
        FClient.FLastError = Message;
    }
    bool Stop = false;
    FCallback(Info, Stop);
    return Stop;
}

bool TDownloadCall::StopRequested() const {
    return FClient.FStopCheck && FClient.FStopCheck();
}

bool TDownloadCall::TooLarge(std::uint64_t Length) const {
    return Length > static_cast<std::uint64_t>(std::max<std::int64_t>(FClient.FMaxFileSize, 0));
}

bool TDownloadCall::TargetIsComplete(const TEntityFacts& Facts) const {
    return IsFilePresent(FFileName) && static_cast<std::uint64_t>(GetFileSize64(FFileName)) == Facts.Length &&
           GetFileWriteTime(FFileName) == Facts.LastModified;
}
