// Start-up of the real kobal_player program: one player per session, the relay of a second
// start's argument, "+x" in both roles, and a stale verdict of the updater.
#include "app/CPlayerApp.h"
#include "platform/Messenger.h"
#include "platform/NamedObjects.h"
#include "platform/Profile.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kobal;
using namespace std::chrono_literals;

namespace {

std::string player() {
    return test::binaryDir() + "/app/kobal_player";
}

// Starts the player in the background with its stderr in a file.
pid_t startPlayer(const std::vector<std::string>& args, const std::string& log) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen(log.c_str(), "w", stderr);
        std::vector<char*> argv{const_cast<char*>("kobal_player")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(player().c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

bool exited(pid_t pid, int* status = nullptr) {
    int st = 0;
    if (waitpid(pid, &st, WNOHANG) != pid) return false;
    if (status) *status = st;
    return true;
}

class PlayerStartup : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KOBAL_VERSION_WAIT_MS", "300", 1);
        ASSERT_TRUE(test::prepareApp("AREA_NUM=7\nUSE_TRAYMODE=1\n"));
        config = test::homeDir() + "/config.ini";
    }
    void TearDown() override {
        if (first > 0 && !exited(first)) {
            kill(first, SIGKILL);
            waitpid(first, nullptr, 0);
        }
    }
    bool tuned() {
        return !Profile::getString(config, "DMBControl", "CurrentChannel", "", 30).empty();
    }
    std::string config;
    pid_t first = -1;
};

} // namespace

TEST_F(PlayerStartup, ASecondStartRelaysItsArgumentAndPlusXClosesTheFirst) {
    first = startPlayer({}, test::homeDir() + "/first.log");
    ASSERT_TRUE(test::waitUntil([&] { return tuned(); }, 20000ms))
        << "the first player never tuned";

    // A second start with a file: the running player takes it (this one is no iEPG, which
    // it says); the second one ends at once.
    const std::string path = test::homeDir() + "/番組.tvpi";
    ASSERT_TRUE(test::writeFile(path, "<html></html>\n"));
    EXPECT_EQ(test::runCommand("'" + player() + "' '" + path + "'"), 0);
    EXPECT_TRUE(test::waitUntil(
        [&] {
            return test::readFile(test::homeDir() + "/first.log").find(path + ": no iEPG file") !=
                   std::string::npos;
        },
        3000ms));
    EXPECT_FALSE(exited(first));

    // "+x": the first closes, leaving tray mode (so the timer program is not started).
    EXPECT_EQ(test::runCommand("'" + player() + "' +x"), 0);
    int status = -1;
    ASSERT_TRUE(test::waitUntil([&] { return exited(first, &status); }, 10000ms));
    first = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Profile::getString(config, "SETUP", "USE_TRAYMODE", "", 10), "0");
    EXPECT_FALSE(Messenger::windowExists(kPlayerTitle));
}

TEST_F(PlayerStartup, AFirstPlusXEndsAtOnceWithoutTouchingTheSettings) {
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(test::runCommand("'" + player() + "' +x"), 0);
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(test::readFile(config), "[SETUP]\nAREA_NUM=7\nUSE_TRAYMODE=1\n");
}

TEST_F(PlayerStartup, AStaleOldVersionVerdictDoesNotEndTheStartAndIsRemovedAtExit) {
    {
        auto old = NamedEvent::openOrCreate(kOldVersionEvent);
        ASSERT_TRUE(old);
        old->set(); // left by an updater whose player was killed
    }
    first = startPlayer({}, test::homeDir() + "/first.log");
    EXPECT_TRUE(test::waitUntil([&] { return tuned(); }, 20000ms))
        << "the stale verdict ended the start";
    ASSERT_TRUE(Messenger::postClose(kPlayerTitle));
    ASSERT_TRUE(test::waitUntil([&] { return exited(first); }, 10000ms));
    first = -1;
    // Closed in tray mode: the timer program's tray stands in for the player; closed here.
    EXPECT_TRUE(test::waitUntil([] { return Messenger::windowExists(kTimerTitle); }, 5000ms));
    Messenger::postClose(kTimerTitle);
    EXPECT_TRUE(test::waitUntil([] { return !Messenger::windowExists(kTimerTitle); }, 5000ms));
    EXPECT_EQ(NamedEvent::open(kOldVersionEvent), nullptr);
    EXPECT_EQ(NamedEvent::open(kRecentVersionEvent), nullptr);
}

TEST_F(PlayerStartup, AFreshOldVersionVerdictEndsTheStartDuringTheSplash) {
    setenv("KOBAL_VERSION_WAIT_MS", "5000", 1);
    first = startPlayer({}, test::homeDir() + "/first.log");
    // The updater's verdict arrives while the splash waits.
    std::unique_ptr<NamedEvent> verdict;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            verdict = NamedEvent::open(kOldVersionEvent);
            return verdict != nullptr;
        },
        5000ms));
    verdict->set();
    int status = -1;
    ASSERT_TRUE(test::waitUntil([&] { return exited(first, &status); }, 3000ms));
    first = -1;
    EXPECT_FALSE(tuned());
}

TEST_F(PlayerStartup, ACloseDuringTheSplashLeavesTheVerdictToTheVersionEvents) {
    setenv("KOBAL_VERSION_WAIT_MS", "3000", 1);
    first = startPlayer({}, test::homeDir() + "/first.log");
    // The update program closes "a running player" as it starts; this one is still in its
    // splash wait, which then ends without a verdict.
    ASSERT_TRUE(test::waitUntil([&] { return Messenger::windowExists(kPlayerTitle); }, 5000ms));
    ASSERT_TRUE(Messenger::postClose(kPlayerTitle));
    EXPECT_TRUE(test::waitUntil([&] { return tuned(); }, 20000ms))
        << "the close ended the start: " << test::readFile(test::homeDir() + "/first.log");
    ASSERT_TRUE(Messenger::postClose(kPlayerTitle));
    ASSERT_TRUE(test::waitUntil([&] { return exited(first); }, 10000ms));
    first = -1;
}
