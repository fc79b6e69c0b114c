// The update program as a starting player meets it: it closes the running player and signals
// the version event that makes the starting one quit.
#include "FtpTestServer.h"

#include "../support/TestSupport.h"
#include "platform/Messenger.h"
#include "platform/NamedObjects.h"
#include "platform/Registry.h"
#include "updater/UpdateCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <future>
#include <gtest/gtest.h>

namespace kobal::update {
namespace {

TEST(UpdateProgram, StartingPlayerIsToldToQuitWhenAReleaseIsNewer) {
    int argc = 1;
    char name[] = "updater_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

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
    QElapsedTimer timer;
    timer.start();
    while (fired == WAIT_TIMEOUT_INDEX && timer.elapsed() < 30000) {
        fired = WaitSet::waitAny(verdict, 20);
        app.processEvents();
    }
    EXPECT_EQ(fired, 0); // OLD_VERSION_EVENT: the starting player quits
    EXPECT_EQ(run.get(), 0);
    while (closes == 0 && timer.elapsed() < 35000) app.processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(closes, 1); // the running player was asked to close
    EXPECT_FALSE(recent->tryTake());
}

} // namespace
} // namespace kobal::update
