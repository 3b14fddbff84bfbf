#include "tests/support/NginxServer.h"

#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace {

std::string Config(const std::string& Dir, unsigned short Port) {
    const std::string P = std::to_string(Port);
    return "daemon off;\n"
           "master_process off;\n"
           "worker_processes 1;\n"
           "pid " +
           Dir +
           "/nginx.pid;\n"
           "error_log " +
           Dir +
           "/error.log warn;\n"
           "events { worker_connections 64; }\n"
           "http {\n"
           "  log_format connections '$connection $status $request_method $uri';\n"
           "  access_log " +
           Dir +
           "/access.log connections;\n"
           "  client_body_temp_path " +
           Dir +
           "/tmp/body;\n"
           "  proxy_temp_path " +
           Dir +
           "/tmp/proxy;\n"
           "  fastcgi_temp_path " +
           Dir +
           "/tmp/fastcgi;\n"
           "  uwsgi_temp_path " +
           Dir +
           "/tmp/uwsgi;\n"
           "  scgi_temp_path " +
           Dir +
           "/tmp/scgi;\n"
           "  default_type application/octet-stream;\n"
           "  sendfile on;\n"
           "  server {\n"
           "    listen 127.0.0.1:" +
           P +
           ";\n"
           "    root " +
           Dir +
           "/www;\n"
           "    location /dav/ {\n"
           "      dav_methods PUT DELETE;\n"
           "      create_full_put_path on;\n"
           "      client_max_body_size 0;\n"
           "    }\n"
           "  }\n"
           "}\n";
}

} // namespace

TNginxServer::TNginxServer() {
    std::filesystem::create_directories(FDir.File("www/dav"));
    std::filesystem::create_directories(FDir.File("tmp"));
    for (int Attempt = 0; Attempt < 5 && FPort == 0; ++Attempt) {
        const unsigned short Port = FreeLoopbackPort();
        FDir.Write("nginx.conf", Config(FDir.Path(), Port));
        FProcess.Start(
            {"nginx", "-p", FDir.Path(), "-e", FDir.File("error.log"), "-c", FDir.File("nginx.conf")},
            FDir.File("nginx.out"));
        if (WaitForPort(Port, 5000) && FProcess.Running()) {
            FPort = Port;
        } else {
            FProcess.Stop(); // the port was taken meanwhile: try another one
        }
    }
    if (FPort == 0) {
        throw std::runtime_error("nginx did not start: " + ErrorLog());
    }
}

std::string TNginxServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(FPort);
}

std::string TNginxServer::AddFile(const std::string& Name, const std::string& Content) const {
    return FDir.Write("www/" + Name, Content);
}

std::vector<TNginxServer::TLogEntry> TNginxServer::AccessLog() const {
    std::vector<TLogEntry> Entries;
    std::istringstream In(ReadFile(FDir.File("access.log")));
    std::string Line;
    while (std::getline(In, Line)) {
        std::istringstream Fields(Line);
        TLogEntry E;
        if (Fields >> E.Connection >> E.Status >> E.Method) {
            std::getline(Fields >> std::ws, E.Uri); // the path may hold blanks
            Entries.push_back(E);
        }
    }
    return Entries;
}

std::string TNginxServer::ErrorLog() const {
    try {
        return ReadFile(FDir.File("error.log"));
    } catch (...) {
        return std::string();
    }
}

} // namespace testsupport
