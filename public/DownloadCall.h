// One call of THttpClient::DownloadFile, as an object with named steps:
//
//   Begin     the side files' names and folder, the begin report, the session and the connection
//   Lock      the temporary file opened (never through a link) and locked: one download per target
//   Probe     in resume mode the HEAD: the entity's length, date and tag; a web page refused; the size
//             limit; a target already complete (and, with the maker's key, signed)
//   Decide    whether the temporary file is continued: the hook, else DecideResume on the state file
//   Request   the GET, and what its answer says about the entity (status, range, length, type)
//   Open      the temporary file cut to where the body continues it, the state file naming the entity,
//             the read buffer
//   Transfer  the body into the temporary file with the progress reports, and the size check at its end
//   Finish    the complete file flushed, its signature checked (with the maker's key), and put in the
//             target's place (or the lock let go), the end report
//
// Each step says whether the call goes on; a failure is one TDownloadFailure, reported once.
//
// Threads: the call runs on the thread that called DownloadFile, and calls the callback and the hook on
// that thread; the client belongs to that thread until the call returns. Only the client's stop check is
// meant to read what other threads set.
#pragma once

#include "platform/File.h"
#include "platform/Inet.h"
#include "public/DownloadFailure.h"
#include "public/HttpClientIntf.h"
#include "public/InstallerSignature.h"
#include "public/ResumeDecision.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class THttpClient;
struct TSendOutcome;

class TDownloadCall {
public:
    TDownloadCall(THttpClient& Client, std::string URL, std::string FileName, THttpDownloadCallback Callback,
                  std::int32_t Tag, IHttpHeaders* Headers);
    TDownloadCall(const TDownloadCall&) = delete;
    TDownloadCall& operator=(const TDownloadCall&) = delete;

    // -1 failed, 0 the target is complete, 1 stopped.
    std::int32_t Run();

private:
    // How a step ends: the call goes on, or ends with the target complete, stopped, or as it stands
    // (a failure has been reported, or a stop came at the begin report).
    enum class TNext { Go, Done, Stopped, Ended };

    TNext Begin();
    TNext Lock();
    TNext Probe();
    TNext Decide();
    TNext Request();
    TNext Open();
    TNext Transfer();
    void Finish();

    TNext RunSteps();
    bool CallHook();
    bool AddValidator();
    TNext TakeAnswer();
    TNext TakePart(TEntityFacts& Answer);
    TNext TakeWhole(const TEntityFacts& Answer);
    TNext WrongRange();
    // The failure of a body that ran past where it may end; none while it has not.
    std::optional<TFailureKind> Overran() const;
    TNext EndOfBody(std::int64_t RemainTime, std::int64_t Speed);
    bool PutInPlace();
    TNext TakeCompleteTarget();
    bool SignatureHolds();
    TSignatureVerdict CheckSignature(const std::string& FileName);
    void ForgetState();

    TNext Unsent(const TSendOutcome& Sent, TFailureKind Failed, TFailureKind Refused);
    TNext Fail(TFailureKind Kind, int Code = 0, const std::string& Detail = std::string());
    TNext FailWithSystemError(TFailureKind Kind, const std::string& Detail = std::string());
    // Hands one report to the callback; returns its Stop answer (false without a callback).
    bool Report(THttpDownloadStatus Status, const std::string& Message = std::string(),
                std::int64_t Position = 0, std::int64_t Size = 0, std::int64_t RemainTime = 0,
                std::int64_t Speed = 0);
    bool StopRequested() const;
    bool TooLarge(std::uint64_t Length) const;
    bool TargetIsComplete(const TEntityFacts& Facts) const;
    std::int64_t Position() const { return static_cast<std::int64_t>(FStartPos + FReceived); }

    THttpClient& FClient;
    const std::string FURL;
    std::string FFileName; // the hook may change it
    const THttpDownloadCallback FCallback;
    std::int32_t FTag;      // the hook may change it
    IHttpHeaders* FHeaders; // the hook may change it
    const std::int32_t FAttempts;
    std::int32_t FResult = -1;
    bool FBeginReported = false;

    std::string FTempName;
    std::string FStateName;
    std::string FObjectName;
    bool FIsHttps = false;
    // The size of the temporary file an earlier run left; none when this call made the file.
    std::optional<std::uint64_t> FTempSize;
    bool FHeadAsked = false;
    TEntityFacts FHead;   // as the HEAD (and the hook) announced it
    TEntityFacts FEntity; // what the call fetches, and the state file names
    bool FIsResume = false;
    std::uint64_t FStartPos = 0;
    std::uint64_t FReceived = 0;
    bool FTargetFoundComplete = false;
    bool FTempInUse = false; // the temporary file was cut for this call's data
    // With the maker's key: the signature the server serves, fetched at the first check.
    std::optional<TInstallerSignature> FSignature;

    // Requests before connections before sessions: destroyed in the reverse order of declaration.
    platform::inet::HSession FSession;
    platform::inet::HConnection FConnection;
    platform::inet::HRequest FRequest;
    // Open and locked from before the resume decision to the end of the call.
    platform::TFile FFile;
    std::unique_ptr<char[]> FBuffer;
    std::size_t FBufferSize = 0;
};
