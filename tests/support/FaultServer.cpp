#include "tests/support/FaultServer.h"

#include "platform/HttpText.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#ifndef KELTRIMA_FAULT_SERVER_PY
#error "KELTRIMA_FAULT_SERVER_PY must name tests/support/fault_server.py"
#endif

namespace testsupport {

namespace {

std::string FromHex(const std::string& Hex) {
    std::string Out;
    for (std::string::size_type i = 0; i + 1 < Hex.size(); i += 2) {
        Out += static_cast<char>(std::stoi(Hex.substr(i, 2), nullptr, 16));
    }
    return Out;
}

} // namespace

std::string TRecordedRequest::Header(const std::string& Name) const {
    return platform::http::FindHeader(HeaderLines, Name).value_or(std::string());
}

bool TRecordedRequest::HasHeader(const std::string& Name) const {
    return platform::http::FindHeader(HeaderLines, Name).has_value();
}

void MakeSelfSignedCertificate(const TTempDir& Dir, std::string& CertFile, std::string& KeyFile) {
    CertFile = Dir.File("cert.pem");
    KeyFile = Dir.File("key.pem");
    const std::string Command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
                                " -addext subjectAltName=IP:127.0.0.1,DNS:localhost.test"
                                " -addext basicConstraints=critical,CA:TRUE -keyout '" +
                                KeyFile + "' -out '" + CertFile + "' >'" + Dir.File("openssl.out") + "' 2>&1";
    if (RunCommand(Command) != 0) {
        throw std::runtime_error("openssl could not make a certificate");
    }
}

TFaultServer::TFaultServer(const std::string& ScriptJson, const std::string& CertFile,
                           const std::string& KeyFile)
    : FTls(!CertFile.empty()) {
    const std::string Script = FDir.Write("script.json", ScriptJson);
    const std::string PortFile = FDir.File("port");
    std::vector<std::string> Argv = {
        "python3", KELTRIMA_FAULT_SERVER_PY, "--script", Script, "--port-file", PortFile,
        "--log",   FDir.File("requests.log")};
    if (FTls) {
        Argv.insert(Argv.end(), {"--tls-cert", CertFile, "--tls-key", KeyFile});
    }
    FProcess.Start(Argv, FDir.File("server.out"));
    for (int i = 0; i < 500 && FPort == 0; ++i) {
        std::ifstream In(PortFile);
        unsigned Port = 0;
        if (In >> Port) {
            FPort = static_cast<unsigned short>(Port);
            break;
        }
        if (!FProcess.Running()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (FPort == 0) {
        std::string Out;
        try {
            Out = ReadFile(FDir.File("server.out"));
        } catch (...) {
        }
        throw std::runtime_error("the fault server did not start: " + Out);
    }
}

std::string TFaultServer::BaseUrl() const {
    return std::string(FTls ? "https" : "http") + "://127.0.0.1:" + std::to_string(FPort);
}

std::vector<TRecordedRequest> TFaultServer::Requests() const {
    std::vector<TRecordedRequest> Result;
    std::ifstream In(FDir.File("requests.log"), std::ios::binary);
    std::string Line;
    TRecordedRequest Current;
    while (std::getline(In, Line)) {
        if (Line.rfind("REQUEST ", 0) == 0) {
            Current = TRecordedRequest();
            const std::string Rest = Line.substr(8);
            const std::string::size_type Sp = Rest.find(' ');
            Current.Method = Rest.substr(0, Sp);
            Current.Target = Sp == std::string::npos ? std::string() : Rest.substr(Sp + 1);
        } else if (Line.rfind("H ", 0) == 0) {
            Current.HeaderLines.push_back(Line.substr(2));
        } else if (Line.rfind("B ", 0) == 0) {
            Current.Body = FromHex(Line.substr(2));
        } else if (Line == "END") {
            Result.push_back(Current);
        }
    }
    return Result;
}

} // namespace testsupport
