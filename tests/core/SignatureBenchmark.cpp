// A benchmark that prints figures (not run by CTest): the time to check a file's Ed25519 signature, and the
// memory the check takes.
//
//   keltrima_signature_bench FILE PUBLIC_KEY [ROUNDS]     (the signature in FILE.sig, base64)
//
// Each round checks the whole file once; the file is in the system's file cache after the first round (the
// figures of the first round and of the rest are printed apart). While a round runs, a second thread samples
// the process's anonymous memory and its mapped file pages (/proc/self/status) every 5 ms and the largest
// growth over the start is printed: the file is mapped, not copied, so the anonymous memory stays flat.
#include "platform/Signature.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

// A field of /proc/self/status in KiB ("RssAnon", "RssFile").
long StatusKiB(const std::string& Field) {
    std::ifstream Status("/proc/self/status");
    std::string Line;
    while (std::getline(Status, Line)) {
        if (Line.rfind(Field + ":", 0) == 0) {
            return std::strtol(Line.c_str() + Field.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

struct TRound {
    double Seconds = 0;
    long AnonGrowthKiB = 0;
    long FileGrowthKiB = 0;
    bool Valid = false;
};

TRound CheckOnce(const std::string& File, const platform::TEd25519Key& Key,
                 const platform::TEd25519Signature& Signature) {
    const long Anon0 = StatusKiB("RssAnon"), File0 = StatusKiB("RssFile");
    std::atomic<bool> Running{true};
    long AnonPeak = Anon0, FilePeak = File0;
    std::thread Sampler([&] {
        while (Running.load()) {
            AnonPeak = std::max(AnonPeak, StatusKiB("RssAnon"));
            FilePeak = std::max(FilePeak, StatusKiB("RssFile"));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const auto Start = std::chrono::steady_clock::now();
    const bool Valid =
        platform::VerifyFileSignature(File, Key, Signature) == platform::TSignatureCheck::Valid;
    const auto End = std::chrono::steady_clock::now();
    Running = false;
    Sampler.join();
    return {std::chrono::duration<double>(End - Start).count(), AnonPeak - Anon0, FilePeak - File0, Valid};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: keltrima_signature_bench FILE PUBLIC_KEY [ROUNDS]  (signature in FILE.sig)\n",
                   stderr);
        return 2;
    }
    const std::string File = argv[1];
    const int Rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const auto Key = platform::ParseEd25519Key(argv[2]);
    std::ifstream SigFile(File + ".sig");
    std::stringstream SigText;
    SigText << SigFile.rdbuf();
    const auto Signature = platform::ParseEd25519Signature(SigText.str());
    struct stat Status {};
    if (!Key || !Signature || stat(File.c_str(), &Status) != 0) {
        std::fputs("keltrima_signature_bench: no key, no signature in FILE.sig, or no FILE\n", stderr);
        return 2;
    }
    const double MiB = static_cast<double>(Status.st_size) / (1024.0 * 1024.0);
    std::vector<double> Warm;
    long AnonMax = 0, FileMax = 0;
    for (int Round = 1; Round <= Rounds; ++Round) {
        const TRound R = CheckOnce(File, *Key, *Signature);
        if (!R.Valid) {
            std::fputs("keltrima_signature_bench: the signature does not hold\n", stderr);
            return 1;
        }
        std::printf("round %d: %.3f s (%.0f MiB/s), anonymous memory +%ld KiB, mapped file pages +%ld KiB\n",
                    Round, R.Seconds, MiB / R.Seconds, R.AnonGrowthKiB, R.FileGrowthKiB);
        if (Round > 1) {
            Warm.push_back(R.Seconds);
        }
        AnonMax = std::max(AnonMax, R.AnonGrowthKiB);
        FileMax = std::max(FileMax, R.FileGrowthKiB);
    }
    if (!Warm.empty()) {
        std::sort(Warm.begin(), Warm.end());
        const double Median = Warm[Warm.size() / 2];
        std::printf("verify %.0f MiB: median %.3f s over %zu rounds after the first (%.0f MiB/s); "
                    "per GiB %.3f s\n",
                    MiB, Median, Warm.size(), MiB / Median, Median * 1024.0 / MiB);
    }
    std::printf("largest growth during a check: anonymous memory %ld KiB, mapped file pages %ld KiB\n",
                AnonMax, FileMax);
    return 0;
}
