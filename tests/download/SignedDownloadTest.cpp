// Downloads with the maker's key: the file takes the target's name only when the signature the mirror serves
// beside it holds for all of its bytes. nginx serves the file and its ".sig"; the fault server cuts a body
// so that the second run resumes it.
#include "tests/download/DownloadFixture.h"

#include "platform/Base64.h"
#include "platform/FileSystem.h"
#include "platform/Signature.h"
#include "tests/support/FaultServer.h"
#include "tests/support/NginxServer.h"
#include "tests/support/Signing.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

using namespace downloadtest;
using testsupport::BinaryPattern;
using testsupport::ReadFile;
using testsupport::TFaultServer;
using testsupport::TNginxServer;
using testsupport::TSigningKey;
using testsupport::TTempDir;

namespace {

const std::string SignatureFailed = "安装包签名校验失败！";
constexpr std::int64_t ServerTime = 1700000000;
const std::string Bytes = BinaryPattern(1024 * 1024 + 5, 21);

std::string Flipped(std::string Data, std::size_t At) {
    Data[At] = static_cast<char>(Data[At] ^ 0x01);
    return Data;
}

std::shared_ptr<THttpClient> SigningClient(const TSigningKey& Signer) {
    auto Client = NewResumeClient();
    Client->SetInstallerKey(platform::ParseEd25519Key(Signer.PublicKeyBase64()));
    return Client;
}

// A mirror on nginx: the installer at /uploads/setup.exe with the server's date, its signature file beside it
// (none: a 404).
struct TMirror {
    TNginxServer Nginx;
    std::string Url = Nginx.BaseUrl() + "/uploads/setup.exe";

    void Serve(const std::string& Data, const std::optional<std::string>& SignatureFile) {
        const std::string Source = Nginx.AddFile("uploads/setup.exe", Data);
        platform::SetFileWriteTime(Source, DateOf(ServerTime));
        if (SignatureFile) {
            Nginx.AddFile("uploads/setup.exe.sig", *SignatureFile);
        } else {
            std::remove((Nginx.Root() + "/uploads/setup.exe.sig").c_str());
        }
    }
    // How many requests of this method for this path nginx has answered.
    int Count(const std::string& Method, const std::string& Path) const {
        int N = 0;
        for (const auto& Entry : Nginx.AccessLog()) {
            N += Entry.Method == Method && Entry.Uri == Path ? 1 : 0;
        }
        return N;
    }
};

} // namespace

// Each wrong file, or a signature that is not to be had, is refused with the text; no target appears. A file
// whose bytes fail the signature goes; a complete file whose signature is missing or unreadable stays with
// its state for the next run.
TEST(SignedDownload, OnlyTheFileTheMakerSignedTakesTheTargetsName) {
    const TSigningKey Signer, Stranger;
    const std::string Other = BinaryPattern(Bytes.size(), 22);
    struct TCase {
        const char* Name;
        std::string Served;
        std::optional<std::string> SignatureFile;
        bool Accepted;
        bool PartKept; // the complete temporary file and its state stay
    } Cases[] = {
        {"signed, the signature file ending in a line end", Bytes, Signer.SignatureFile(Bytes), true, false},
        {"one byte flipped", Flipped(Bytes, Bytes.size() / 3), Signer.SignatureFile(Bytes), false, false},
        {"the last byte flipped", Flipped(Bytes, Bytes.size() - 1), Signer.SignatureFile(Bytes), false,
         false},
        {"another file's signature", Bytes, Signer.SignatureFile(Other), false, false},
        {"another key's signature", Bytes, Stranger.SignatureFile(Bytes), false, false},
        {"no signature served (404)", Bytes, std::nullopt, false, true},
        {"a garbled signature", Bytes, "c2lnbmF0dXJl*not base64*\n", false, true},
        {"a signature one byte short", Bytes, Signer.SignatureFile(Bytes).substr(0, 84) + "\n", false, true},
        {"a web page in place of the signature", Bytes, "<html><body>log in first</body></html>", false,
         true},
    };
    TMirror Mirror;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Mirror.Serve(C.Served, C.SignatureFile);
        TTempDir Dir;
        const std::string Target = Dir.File("setup.exe");
        TRecorder R;
        const std::int32_t Result =
            SigningClient(Signer)->DownloadFile(Mirror.Url, Target, R.Callback(), 0, nullptr);
        EXPECT_EQ(platform::PathExists(Target + ".tmp"), C.PartKept);
        EXPECT_EQ(platform::PathExists(Target + ".sdc"), C.PartKept);
        if (C.Accepted) {
            ASSERT_EQ(Result, 0) << R.MessageOf(dsFail);
            EXPECT_EQ(ReadFile(Target), Bytes);
            EXPECT_EQ(R.Statuses().find('F'), std::string::npos);
        } else {
            EXPECT_EQ(Result, -1);
            EXPECT_EQ(R.MessageOf(dsFail), SignatureFailed);
            EXPECT_FALSE(platform::PathExists(Target));
            ASSERT_FALSE(R.Reports.empty());
            EXPECT_EQ(R.Reports.back().Status, dsEnd);
            EXPECT_EQ(R.Reports.back().ResultCode, -1);
        }
    }
}

// A mirror that serves the file before its signature: the first run fails with the text and keeps the
// complete file; once the signature is there, the next run asks for it alone and finishes.
TEST(SignedDownload, ASignatureServedLateCostsOnlyItsOwnRequest) {
    const TSigningKey Signer;
    TMirror Mirror;
    Mirror.Serve(Bytes, std::nullopt);
    TTempDir Dir;
    const std::string Target = Dir.File("setup.exe");
    auto Client = SigningClient(Signer);
    TRecorder First;
    ASSERT_EQ(Client->DownloadFile(Mirror.Url, Target, First.Callback(), 0, nullptr), -1);
    EXPECT_EQ(First.MessageOf(dsFail), SignatureFailed);
    EXPECT_EQ(Mirror.Count("GET", "/uploads/setup.exe"), 1);

    Mirror.Serve(Bytes, Signer.SignatureFile(Bytes));
    TRecorder Second;
    ASSERT_EQ(Client->DownloadFile(Mirror.Url, Target, Second.Callback(), 0, nullptr), 0)
        << Second.MessageOf(dsFail);
    EXPECT_EQ(ReadFile(Target), Bytes);
    EXPECT_EQ(Mirror.Count("GET", "/uploads/setup.exe"), 1); // the file was not fetched again
    EXPECT_EQ(Mirror.Count("GET", "/uploads/setup.exe.sig"), 2);
    EXPECT_FALSE(platform::PathExists(Target + ".tmp"));
}

// Without a key nothing is asked for beyond the file, and a file without a signature is complete as before.
TEST(SignedDownload, WithoutAKeyNoSignatureIsAskedFor) {
    TMirror Mirror;
    Mirror.Serve(Bytes, std::nullopt);
    TTempDir Dir;
    TRecorder R;
    ASSERT_EQ(NewResumeClient()->DownloadFile(Mirror.Url, Dir.File("setup.exe"), R.Callback(), 0, nullptr),
              0);
    EXPECT_EQ(Mirror.Count("GET", "/uploads/setup.exe.sig"), 0);
}

// A target found complete by its size and date counts only when it is signed: a good one costs the signature
// alone; one with a changed byte is replaced by the real file; one whose signature is not to be had is no
// success, and is left as it is (nothing says it is wrong).
TEST(SignedDownload, ATargetFoundCompleteIsCheckedToo) {
    const TSigningKey Signer;
    struct TCase {
        const char* Name;
        std::string OnDisk;
        bool SignatureServed;
        std::int32_t Result;
        int FileGets; // GETs of the installer itself
    } Cases[] = {
        {"the signed file", Bytes, true, 0, 0},
        {"a changed byte", Flipped(Bytes, 12345), true, 0, 1},
        {"no signature served", Bytes, false, -1, 0},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TMirror Mirror;
        Mirror.Serve(Bytes, C.SignatureServed ? std::optional<std::string>(Signer.SignatureFile(Bytes))
                                              : std::nullopt);
        TTempDir Dir;
        const std::string Target = Dir.Write("setup.exe", C.OnDisk);
        ASSERT_TRUE(platform::SetFileWriteTime(Target, DateOf(ServerTime)));
        TRecorder R;
        EXPECT_EQ(SigningClient(Signer)->DownloadFile(Mirror.Url, Target, R.Callback(), 0, nullptr), C.Result)
            << R.MessageOf(dsFail);
        EXPECT_EQ(Mirror.Count("GET", "/uploads/setup.exe"), C.FileGets);
        if (C.Result == 0) {
            EXPECT_EQ(ReadFile(Target), Bytes);
        } else {
            EXPECT_EQ(R.MessageOf(dsFail), SignatureFailed);
            EXPECT_EQ(ReadFile(Target), C.OnDisk);
        }
    }
}

// The first run's body is cut short; the second resumes it. The signature is checked over the whole file, the
// part of the first run included: a first part that came wrong fails it.
TEST(SignedDownload, AResumedDownloadIsVerifiedAsAWhole) {
    const TSigningKey Signer;
    const std::string Date = HttpDate(ServerTime);
    const std::size_t Cut = Bytes.size() / 2;
    for (const bool FirstPartWrong : {false, true}) {
        SCOPED_TRACE(FirstPartWrong ? "the first part came wrong" : "both parts right");
        TTempDir Files;
        const std::string Good = Files.Write("good", Bytes);
        const std::string First = Files.Write("first", FirstPartWrong ? Flipped(Bytes, 1000) : Bytes);
        const std::string Sig = Files.Write("sig", Signer.SignatureFile(Bytes));
        const auto Answer = [&](const std::string& Body, const std::string& Extra) {
            return R"({"body_file": ")" + Body + R"(", "last_modified": ")" + Date + "\"" + Extra + "}";
        };
        TFaultServer Server(R"({"routes": {"/f.exe": [)" + Answer(Good, "") + ", " +
                            Answer(First, ", \"close_after\": " + std::to_string(Cut)) + ", " +
                            Answer(Good, "") + R"(], "/f.exe.sig": [{"body_file": ")" + Sig + R"("}]}})");
        TTempDir Dir;
        const std::string Target = Dir.File("f.exe");
        auto Client = SigningClient(Signer);
        TRecorder Cut1, Rest;
        ASSERT_EQ(Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, Cut1.Callback(), 0, nullptr), -1);
        ASSERT_EQ(platform::PathExists(Target + ".tmp"), true);
        const std::int32_t Result =
            Client->DownloadFile(Server.BaseUrl() + "/f.exe", Target, Rest.Callback(), 0, nullptr);
        bool Resumed = false;
        for (const auto& Request : Server.Requests()) {
            Resumed = Resumed || Request.Header("Range") == "bytes=" + std::to_string(Cut) + "-";
        }
        EXPECT_TRUE(Resumed);
        if (FirstPartWrong) {
            EXPECT_EQ(Result, -1);
            EXPECT_EQ(Rest.MessageOf(dsFail), SignatureFailed);
            EXPECT_FALSE(platform::PathExists(Target));
            EXPECT_FALSE(platform::PathExists(Target + ".tmp"));
        } else {
            ASSERT_EQ(Result, 0) << Rest.MessageOf(dsFail);
            EXPECT_EQ(ReadFile(Target), Bytes);
        }
    }
}

// keltrima-get takes the key on the command line or from a file: the signed file arrives; a changed one, or
// one without a signature, is refused with the text and the reason after it, and never takes FILE's name.
TEST(SignedDownload, KeltrimaGetChecksWithTheKeyGiven) {
    const TSigningKey Signer;
    TMirror Mirror;
    TTempDir Dir;
    const std::string KeyFile = Dir.Write("maker.pub", Signer.PublicKeyBase64() + "\n");
    struct TCase {
        const char* Name;
        std::string Served;
        std::vector<std::string> KeyArgs;
        int Exit;
        std::string Says = {}; // the failure line
        bool Signed = true;    // the signature file is served
    } Cases[] = {
        {"--key, signed", Bytes, {"--key", Signer.PublicKeyBase64()}, 0},
        {"--key-file, signed", Bytes, {"--key-file", KeyFile}, 0},
        {"--key, one byte flipped",
         Flipped(Bytes, 777),
         {"--key", Signer.PublicKeyBase64()},
         2,
         SignatureFailed + " 文件与签名不符"},
        {"--key-file, one byte flipped",
         Flipped(Bytes, 777),
         {"--key-file", KeyFile},
         2,
         SignatureFailed + " 文件与签名不符"},
        {"--key, no signature",
         Bytes,
         {"--key", Signer.PublicKeyBase64()},
         2,
         SignatureFailed + " [404]Not Found",
         false},
    };
    int Runs = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Mirror.Serve(C.Served,
                     C.Signed ? std::optional<std::string>(Signer.SignatureFile(Bytes)) : std::nullopt);
        const std::string File = Dir.File("out" + std::to_string(++Runs) + ".exe");
        std::vector<std::string> Args = {Mirror.Url, File};
        Args.insert(Args.end(), C.KeyArgs.begin(), C.KeyArgs.end());
        TKeltrimaGet Run(Args, Dir, "run" + std::to_string(Runs));
        EXPECT_EQ(Run.Wait(), C.Exit) << Run.Err();
        if (C.Exit == 0) {
            EXPECT_EQ(ReadFile(File), Bytes);
        } else {
            EXPECT_NE(Run.Err().find("keltrima-get: " + C.Says + "\n"), std::string::npos) << Run.Err();
            EXPECT_FALSE(platform::PathExists(File));
        }
    }
}

// A key that is not base64 of 32 bytes, or a key file that cannot be read, is refused at once: nothing is
// sent.
TEST(SignedDownload, KeltrimaGetRefusesAKeyOfNoUseBeforeAnyTraffic) {
    TMirror Mirror;
    Mirror.Serve(Bytes, std::nullopt);
    TTempDir Dir;
    const std::string ShortKey = platform::EncodeBase64(std::string(31, 'k'));
    const std::string WrongKeyFile = Dir.Write("wrong.pub", "-----BEGIN PUBLIC KEY-----\n");
    const struct {
        std::vector<std::string> KeyArgs;
        const char* Says;
    } Cases[] = {
        {{"--key", "not base64!"}, "--key 给出的不是有效的公钥"},
        {{"--key", ShortKey}, "--key 给出的不是有效的公钥"},
        {{"--key-file", WrongKeyFile}, "--key-file 给出的不是有效的公钥"},
        {{"--key-file", Dir.File("missing.pub")}, "无法读取公钥文件"},
        {{"--key"}, "用法: keltrima-get URL FILE"},
    };
    int Runs = 0;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Says);
        std::vector<std::string> Args = {Mirror.Url, Dir.File("f.exe")};
        Args.insert(Args.end(), C.KeyArgs.begin(), C.KeyArgs.end());
        TKeltrimaGet Run(Args, Dir, "bad" + std::to_string(++Runs));
        EXPECT_EQ(Run.Wait(), 2);
        EXPECT_NE(Run.Err().find(C.Says), std::string::npos) << Run.Err();
    }
    EXPECT_TRUE(Mirror.Nginx.AccessLog().empty());
    EXPECT_FALSE(platform::PathExists(Dir.File("f.exe.tmp")));
}

// What tools/sign-installer makes (over the openssl command line) is what the client checks: its public key
// and its signature file let the signed file through and stop a changed one.
TEST(SignedDownload, TheSigningToolsKeyAndSignatureAreAccepted) {
    TTempDir Tool;
    const auto Sign = [&](const std::string& Args) {
        const std::string Out = Tool.File("out.txt");
        const std::string Command = "bash '" KELTRIMA_SIGN_TOOL "' " + Args + " > '" + Out + "'";
        EXPECT_EQ(std::system(Command.c_str()), 0) << Command;
        return ReadFile(Out);
    };
    const std::string PublicKey = Sign("keygen '" + Tool.File("maker.pem") + "'");
    Tool.Write("setup.exe", Bytes);
    Sign("sign '" + Tool.File("maker.pem") + "' '" + Tool.File("setup.exe") + "'");
    const std::string SignatureFile = ReadFile(Tool.File("setup.exe.sig"));
    ASSERT_TRUE(platform::ParseEd25519Key(PublicKey)) << PublicKey;

    TMirror Mirror;
    for (const bool Changed : {false, true}) {
        SCOPED_TRACE(Changed ? "changed" : "as signed");
        Mirror.Serve(Changed ? Flipped(Bytes, 4242) : Bytes, SignatureFile);
        TTempDir Dir;
        auto Client = NewResumeClient();
        Client->SetInstallerKey(platform::ParseEd25519Key(PublicKey));
        TRecorder R;
        EXPECT_EQ(Client->DownloadFile(Mirror.Url, Dir.File("setup.exe"), R.Callback(), 0, nullptr),
                  Changed ? -1 : 0)
            << R.MessageOf(dsFail);
        EXPECT_EQ(platform::PathExists(Dir.File("setup.exe")), !Changed);
    }
}
