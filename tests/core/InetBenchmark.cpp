// Benchmark: a large GET from a local nginx through platform/inet (128 KiB reads written to a file)
// against the curl command line doing the same, in alternating rounds. Prints wall time, CPU time and
// peak memory of each; not a test, it asserts nothing.
//
//     keltrima_inet_bench [MiB=512] [rounds=5]
#include "platform/File.h"
#include "platform/Inet.h"
#include "platform/LastError.h"
#include "tests/support/NginxServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct TSample {
    double Wall = 0;
    double Cpu = 0;
    long MaxRssKiB = 0;
    int Status = -1;
};

double Seconds(const timeval& T) {
    return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_usec) / 1e6;
}

int FetchWithInet(const std::string& Host, unsigned short Port, const std::string& Path,
                  const std::string& Out) {
    using namespace platform::inet;
    HSession S = InternetOpen("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr);
    HConnection C = InternetConnect(*S, Host, Port, "", "", INTERNET_SERVICE_HTTP);
    HRequest R =
        HttpOpenRequest(*C, "GET", Path, "HTTP/1.1", INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE);
    if (!HttpSendRequest(*R, nullptr, 0)) {
        return 2;
    }
    platform::TFile File;
    if (!File.OpenForWrite(Out, platform::TFile::CreateAlways)) {
        return 3;
    }
    std::vector<char> Buffer(131072);
    for (;;) {
        std::size_t N = 0;
        if (!InternetReadFile(*R, Buffer.data(), Buffer.size(), N)) {
            return 4;
        }
        if (N == 0) {
            return 0;
        }
        if (!File.Write(Buffer.data(), N)) {
            return 5;
        }
    }
}

// Runs Body in a child process and measures it from outside.
template <typename F>
TSample Measure(F Body) {
    const auto Start = std::chrono::steady_clock::now();
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        ::_exit(Body());
    }
    int Status = 0;
    rusage Usage{};
    ::wait4(Pid, &Status, 0, &Usage);
    TSample S;
    S.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    S.Cpu = Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime);
    S.MaxRssKiB = Usage.ru_maxrss;
    S.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    return S;
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

} // namespace

int main(int Argc, char** Argv) {
    const long MiB = Argc > 1 ? std::atol(Argv[1]) : 512;
    const int Rounds = Argc > 2 ? std::atoi(Argv[2]) : 5;
    testsupport::TNginxServer Nginx;
    testsupport::TTempDir Out;
    {
        platform::TFile F;
        F.OpenForWrite(Nginx.Root() + "/big.bin", platform::TFile::CreateAlways);
        std::string Chunk = testsupport::BinaryPattern(1 << 20, 5);
        for (long i = 0; i < MiB; ++i) {
            Chunk[0] = static_cast<char>(i);
            F.Write(Chunk.data(), Chunk.size());
        }
    }
    const std::string Url = Nginx.BaseUrl() + "/big.bin";
    std::vector<double> InetWall, InetCpu, CurlWall, CurlCpu;
    long InetRss = 0, CurlRss = 0;
    for (int Round = 0; Round < Rounds; ++Round) {
        const TSample A =
            Measure([&] { return FetchWithInet("127.0.0.1", Nginx.Port(), "/big.bin", Out.File("a")); });
        const TSample B = Measure([&] {
            ::execlp("curl", "curl", "-s", "-o", Out.File("b").c_str(), Url.c_str(),
                     static_cast<char*>(nullptr));
            return 127;
        });
        if (A.Status != 0 || B.Status != 0) {
            std::fprintf(stderr, "round %d failed: inet %d, curl %d\n", Round, A.Status, B.Status);
            return 1;
        }
        InetWall.push_back(A.Wall);
        InetCpu.push_back(A.Cpu);
        CurlWall.push_back(B.Wall);
        CurlCpu.push_back(B.Cpu);
        InetRss = std::max(InetRss, A.MaxRssKiB);
        CurlRss = std::max(CurlRss, B.MaxRssKiB);
    }
    std::printf("%ld MiB from a local nginx, %d rounds, medians:\n", MiB, Rounds);
    std::printf("  inet: wall %.3f s, cpu %.3f s, peak RSS %ld KiB\n", Median(InetWall), Median(InetCpu),
                InetRss);
    std::printf("  curl: wall %.3f s, cpu %.3f s, peak RSS %ld KiB\n", Median(CurlWall), Median(CurlCpu),
                CurlRss);
    std::printf("  inet / curl: wall %.2f, cpu %.2f\n", Median(InetWall) / Median(CurlWall),
                Median(InetCpu) / Median(CurlCpu));
    return 0;
}
