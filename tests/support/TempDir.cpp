#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

TTempDir::TTempDir() {
    const char* Base = std::getenv("TMPDIR");
    std::string Template = std::string(Base && *Base ? Base : "/tmp") + "/keltrima-test-XXXXXX";
    if (!::mkdtemp(Template.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    FPath = Template;
}

TTempDir::~TTempDir() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
}

std::string TTempDir::Write(const std::string& Name, const std::string& Content) const {
    const std::string Path = File(Name);
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(Content.data(), static_cast<std::streamsize>(Content.size()));
    if (!Out) {
        throw std::runtime_error("cannot write " + Path);
    }
    return Path;
}

std::string ReadFile(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    if (!In) {
        throw std::runtime_error("cannot read " + Path);
    }
    std::ostringstream S;
    S << In.rdbuf();
    return S.str();
}

unsigned short FreeLoopbackPort() {
    const int Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in A{};
    A.sin_family = AF_INET;
    A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t Len = sizeof A;
    if (Fd < 0 || ::bind(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0 ||
        ::getsockname(Fd, reinterpret_cast<sockaddr*>(&A), &Len) != 0) {
        if (Fd >= 0) {
            ::close(Fd);
        }
        throw std::runtime_error("no free port");
    }
    ::close(Fd);
    return ntohs(A.sin_port);
}

std::string BinaryPattern(std::size_t N, unsigned Seed) {
    std::string S(N, '\0');
    unsigned X = Seed * 2654435761u + 1;
    for (std::size_t i = 0; i < N; ++i) {
        X = X * 1103515245u + 12345u;
        S[i] = static_cast<char>((X >> 16) ^ i);
    }
    return S;
}

} // namespace testsupport
