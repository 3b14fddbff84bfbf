// The process pieces: executable path, single-instance lock, immediate end, connection state.
#include "platform/Process.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

TEST(Process, ExecutablePathAndFolder) {
    const std::string Path = ExecutablePath();
    ASSERT_FALSE(Path.empty());
    EXPECT_EQ(Path.front(), '/');
    EXPECT_NE(Path.find("keltrima_core_tests"), std::string::npos);
    const std::string Dir = ExecutableDir();
    EXPECT_EQ(Dir.back(), '/');
    EXPECT_EQ(Path.rfind(Dir, 0), 0u);
}

namespace {

// Runs Body in a forked child and returns its exit status.
template <typename F>
int InChild(F Body) {
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        ::_exit(Body());
    }
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

} // namespace

TEST(Process, SingleInstanceLockIsHeldUntilTheProcessEnds) {
    testsupport::TTempDir Dir;
    ::setenv("XDG_RUNTIME_DIR", Dir.Path().c_str(), 1);
    const std::string Name = "Keltrima_LockTest";
    // A first process takes the lock and hands over to a grandchild that checks while it is held.
    const int Status = InChild([&] {
        if (CreateSingleInstanceLock(Name) != 0) {
            return 10;
        }
        // The same process asking again gets a second descriptor: flock refuses it as well.
        const int Second = InChild([&] { return CreateSingleInstanceLock(Name) == 183 ? 0 : 1; });
        return Second;
    });
    EXPECT_EQ(Status, 0);
    // The holder has ended: the lock is free again.
    EXPECT_EQ(InChild([&] { return CreateSingleInstanceLock(Name); }), 0);

    // Without XDG_RUNTIME_DIR the lock lives in /tmp/<name>-<uid>.
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(InChild([&] { return CreateSingleInstanceLock(Name); }), 0);
    const std::string Fallback = "/tmp/" + Name + "-" + std::to_string(::getuid());
    EXPECT_EQ(::access(Fallback.c_str(), F_OK), 0);
    ::unlink(Fallback.c_str());

    // A folder that cannot hold the lock file gives the errno.
    ::setenv("XDG_RUNTIME_DIR", Dir.File("missing/folder").c_str(), 1);
    EXPECT_EQ(InChild([&] { return CreateSingleInstanceLock(Name); }), ENOENT);
    ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(Process, TerminateEndsAtOnceWithoutFinalisation) {
    testsupport::TTempDir Dir;
    const std::string Marker = Dir.File("atexit-ran");
    static std::string MarkerPath;
    MarkerPath = Marker;
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        std::atexit([] {
            FILE* F = std::fopen(MarkerPath.c_str(), "w");
            if (F) {
                std::fclose(F);
            }
        });
        TerminateCurrentProcess(-1);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 255);
    EXPECT_NE(::access(Marker.c_str(), F_OK), 0) << "atexit handlers must not run";
}

TEST(Process, ConnectedStateDoesNotCountLoopback) {
    // Whatever the machine has, the answer must agree with a look at the interfaces that ignores lo.
    const bool Connected = InternetGetConnectedState();
    // Interfaces that are up with a carrier (LOWER_UP), not loopback, and hold an address.
    FILE* P = ::popen("command -v ip >/dev/null || { echo -1; exit; }; n=0; for i in $(ip -o link show up | "
                      "grep LOWER_UP | grep -v LOOPBACK | awk -F': ' '{print $2}' | cut -d@ -f1); do "
                      "ip -o addr show dev \"$i\" | grep -q inet && n=$((n+1)); done; echo $n",
                      "r");
    ASSERT_NE(P, nullptr);
    int Count = -1;
    if (std::fscanf(P, "%d", &Count) != 1) {
        Count = -1;
    }
    ::pclose(P);
    if (Count < 0) {
        GTEST_SKIP() << "no ip command to compare with";
    }
    EXPECT_EQ(Connected, Count > 0);
}

TEST(Process, OnlyLoopbackMeansNotConnected) {
    // A fresh network namespace holds nothing but lo; with lo up and addressed the answer is still no.
    const int Status = InChild([] {
        if (::unshare(CLONE_NEWNET) != 0) {
            return 77;
        }
        if (std::system("ip link set lo up >/dev/null 2>&1") != 0) {
            return 77;
        }
        return InternetGetConnectedState() ? 1 : 0;
    });
    if (Status == 77) {
        GTEST_SKIP() << "no network namespace here";
    }
    EXPECT_EQ(Status, 0);
}
