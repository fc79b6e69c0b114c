// The timer program runs until a starting player says "close" on its socket.
#include "platform/Messenger.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

TEST(TrayTimer, ListensUntilClosedAndRunsOnce) {
    const std::string program = kobal::test::binaryDir() + "/timer/kobal_timer";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        up = kobal::Messenger::windowExists("TRAYICONTIMER");
        if (!up) std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(up);
    // A second one sees the first and ends at once.
    EXPECT_EQ(kobal::test::runCommand("'" + program + "'"), 0);

    ASSERT_TRUE(kobal::Messenger::postClose("TRAYICONTIMER"));
    int status = -1;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) break;
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(kobal::Messenger::windowExists("TRAYICONTIMER"));
}
