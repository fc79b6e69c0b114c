// The update program as a starting player meets it: it closes the running player and signals
// the version event that makes the starting one quit.
#include "FtpTestServer.h"

#include "../support/TestSupport.h"
#include "platform/Messenger.h"
#include "platform/NamedObjects.h"
#include "platform/Registry.h"
#include "updater/UpdateCheck.h"

#include <future>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace kobal::update {
namespace {

TEST(UpdateProgram, StartingPlayerIsToldToQuitWhenAReleaseIsNewer) {
    test::ensureQtApp(test::QtApp::Core);

    const std::string root = test::makeTempDir("ftp");
    test::putFile(root, "FTP-1seg/UPDATE/1.10/setup.bin", "installer");
    test::FtpTestServer server(root);
    ASSERT_TRUE(server.running());
    Registry::write("Version", "1.9");
    Registry::write(kServerValue, server.url());

    // What a starting player holds while it waits for the verdict.
    auto recent = NamedEvent::openOrCreate(kRecentVersionEvent);
    auto old = NamedEvent::openOrCreate(kOldVersionEvent);
    int closes = 0;
    MessengerServer window(
        kPlayerWindowTitle, [](unsigned long, const std::string&) { return 0L; },
        [&] { ++closes; });
    ASSERT_TRUE(window.listening());

    // Offscreen, the dialog is turned down at once, so the program ends after its check.
    const std::string program = test::binaryDir() + "/updater/kobal_update";
    auto run = std::async(std::launch::async, [&] { return test::runCommand(program + " 2>&1"); });
    std::vector<Waitable*> verdict{old.get(), recent.get()};
    int fired = WAIT_TIMEOUT_INDEX;
    test::pumpUntil(
        [&] {
            fired = WaitSet::waitAny(verdict, 20);
            return fired != WAIT_TIMEOUT_INDEX;
        },
        30s);
    EXPECT_EQ(fired, 0); // OLD_VERSION_EVENT: the starting player quits
    EXPECT_EQ(run.get(), 0);
    test::pumpUntil([&] { return closes > 0; }, 5s);
    EXPECT_EQ(closes, 1); // the running player was asked to close
    EXPECT_FALSE(recent->tryTake());
}

} // namespace
} // namespace kobal::update
