#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace {

// Our UTF-8 names as paths: on Windows a narrow name would be read in the ANSI code page.
std::filesystem::path Utf8Path(const std::string& Name) {
    return std::filesystem::path(std::u8string(Name.begin(), Name.end()));
}

} // namespace

TTempDir::TTempDir() {
    // TMPDIR when it is a path both sides agree on; under Wine the servers are Unix programs and read the
    // same "/tmp/..." names the tests write.
    const char* Base = std::getenv("TMPDIR");
    const std::string Parent = Base && *Base == '/' ? Base : "/tmp";
    std::random_device Random;
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        std::string Name = "/keltrima-test-";
        for (int i = 0; i < 8; ++i) {
            Name += "abcdefghijklmnopqrstuvwxyz0123456789"[Random() % 36];
        }
        std::error_code Error;
        if (std::filesystem::create_directory(Parent + Name, Error)) {
            FPath = Parent + Name;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder below " + Parent);
}

TTempDir::~TTempDir() {
    std::error_code Ignored;
    std::filesystem::remove_all(Utf8Path(FPath), Ignored);
}

std::string TTempDir::Write(const std::string& Name, const std::string& Content) const {
    const std::string Path = File(Name);
    std::filesystem::create_directories(Utf8Path(Path).parent_path());
    std::ofstream Out(Utf8Path(Path), std::ios::binary | std::ios::trunc);
    Out.write(Content.data(), static_cast<std::streamsize>(Content.size()));
    if (!Out) {
        throw std::runtime_error("cannot write " + Path);
    }
    return Path;
}

std::string ReadFile(const std::string& Path) {
    std::ifstream In(Utf8Path(Path), std::ios::binary);
    if (!In) {
        throw std::runtime_error("cannot read " + Path);
    }
    std::ostringstream S;
    S << In.rdbuf();
    return S.str();
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
