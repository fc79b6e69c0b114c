// Detached processes, liveness and the single-instance lock.
#include "platform/Process.h"
#include "platform/Paths.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kobal {
namespace {

using test::waitUntil;

TEST(Process, StartDetachedRunsTheProgramWithItsArgumentsAndLeavesNoZombie) {
    const std::string dir = test::makeTempDir("detached");
    const std::string out = dir + "/out.txt";
    // The shell reports its own pid and its arguments; "a b" must arrive as one argument.
    const long pid = startDetached(
        "/bin/sh", {"-c", "echo $$ \"$#\" \"$1\" > \"$2\"; sleep 0.3", "sh", "a b", out});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitUntil([&] { return test::readFile(out).find('\n') != std::string::npos; }));
    EXPECT_EQ(test::readFile(out), std::to_string(pid) + " 2 a b\n");
    // Not our child: waitpid cannot reap it, and once it ends it is gone, not a zombie.
    EXPECT_EQ(waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG), -1);
    EXPECT_TRUE(waitUntil([&] { return !processAlive(pid); }));
}

TEST(Process, StartDetachedReportsAProgramThatCannotRun) {
    EXPECT_EQ(startDetached("/nonexistent/kobal-program"), -1);
    EXPECT_EQ(startDetached("kobal-no-such-program-on-path"), -1);
    EXPECT_EQ(startDetached(""), -1);
}

TEST(Process, LivenessOfProcesses) {
    EXPECT_TRUE(processAlive(currentProcessId()));
    EXPECT_EQ(currentProcessId(), static_cast<long>(getpid()));
    EXPECT_FALSE(processAlive(0));
    EXPECT_FALSE(processAlive(-1));

    pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(waitUntil([&] { return !processAlive(child); })) << "a zombie is not alive";
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(processAlive(child));
}

TEST(SingleInstanceLock, OneHolderAtATimeAndAKilledHolderFreesIt) {
    {
        SingleInstanceLock first("KOBAL_PLAYER{instance}");
        EXPECT_TRUE(first.acquire());
        EXPECT_TRUE(first.held());
        EXPECT_TRUE(first.acquire()) << "acquiring again keeps it";
        SingleInstanceLock second("KOBAL_PLAYER{instance}");
        EXPECT_FALSE(second.acquire());
        EXPECT_FALSE(second.held());
        SingleInstanceLock other("another");
        EXPECT_TRUE(other.acquire());
    }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t holder = fork();
    if (holder == 0) {
        static SingleInstanceLock lock("KOBAL_PLAYER{instance}");
        char ok = lock.acquire() ? 1 : 0;
        if (write(fds[1], &ok, 1) != 1) _exit(1);
        for (;;) pause();
    }
    char ok = 0;
    ASSERT_EQ(read(fds[0], &ok, 1), 1);
    ASSERT_EQ(ok, 1);
    SingleInstanceLock mine("KOBAL_PLAYER{instance}");
    EXPECT_FALSE(mine.acquire());
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(mine.acquire());
    ::close(fds[0]);
    ::close(fds[1]);
}

} // namespace
} // namespace kobal
