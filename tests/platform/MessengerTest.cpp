// Finding a window by its title and talking to it over the local socket, with a real
// QLocalServer on this thread's event loop and senders on other threads.
#include "platform/Messenger.h"
#include "platform/Paths.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace kobal {
namespace {

// Runs the event loop until the future is ready (the sender runs on another thread).
template <typename T> T pump(std::future<T>& f) {
    test::pumpUntil([&] { return f.wait_for(0ms) == std::future_status::ready; }, 20s);
    return f.get();
}

TEST(Messenger, CopyDataRoundTripAndClose) {
    test::ensureQtApp(test::QtApp::Core);
    EXPECT_FALSE(Messenger::windowExists("KOBAL_PLAYER"));
    EXPECT_EQ(Messenger::sendCopyData("KOBAL_PLAYER", 16, "x"), -1);
    EXPECT_FALSE(Messenger::postClose("KOBAL_PLAYER"));

    unsigned long gotN = 0;
    std::string gotText;
    int closes = 0;
    auto server = std::make_unique<MessengerServer>(
        "KOBAL_PLAYER",
        [&](unsigned long n, const std::string& text) {
            gotN = n;
            gotText = text;
            return 1234L;
        },
        [&] { ++closes; });
    ASSERT_TRUE(server->listening());
    EXPECT_TRUE(Messenger::windowExists("KOBAL_PLAYER"));

    const std::string text = "\"/home/user/番組 表.tvpid\"\nline two \\ end";
    auto reply = std::async(std::launch::async,
                            [&] { return Messenger::sendCopyData("KOBAL_PLAYER", 16, text); });
    EXPECT_EQ(pump(reply), 1234L);
    EXPECT_EQ(gotN, 16u);
    EXPECT_EQ(gotText, text) << "spaces, newlines, backslashes and UTF-8 arrive unchanged";

    auto empty = std::async(std::launch::async,
                            [&] { return Messenger::sendCopyData("KOBAL_PLAYER", 10, ""); });
    EXPECT_EQ(pump(empty), 1234L);
    EXPECT_EQ(gotN, 10u);
    EXPECT_EQ(gotText, "");

    EXPECT_TRUE(Messenger::postClose("KOBAL_PLAYER"));
    test::pumpFor(300ms);
    EXPECT_EQ(closes, 1);

    server.reset();
    test::pumpFor(50ms);
    EXPECT_FALSE(Messenger::windowExists("KOBAL_PLAYER"));
}

TEST(Messenger, SlowReceiverCountsAsNoAnswerAfterTheTimeLimit) {
    test::ensureQtApp(test::QtApp::Core);
    MessengerServer server(
        "SLOW",
        [](unsigned long, const std::string&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            return 1L;
        },
        nullptr);
    ASSERT_TRUE(server.listening());
    auto reply = std::async(std::launch::async, [] {
        auto t0 = std::chrono::steady_clock::now();
        long r = Messenger::sendCopyData("SLOW", 16, "x", 1000);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - t0)
                      .count();
        return std::make_pair(r, static_cast<long>(ms));
    });
    auto [result, ms] = pump(reply);
    EXPECT_EQ(result, -1);
    EXPECT_GE(ms, 900);
    test::pumpFor(100ms); // the late answer goes to a closed socket without harm
}

TEST(Messenger, StaleSocketFileIsTakenOverButALiveWindowKeepsItsName) {
    test::ensureQtApp(test::QtApp::Core);
    // A socket file left behind by a program that crashed: bound, never unlinked.
    const std::string path = paths::runtimeFolder() + "/TRAYICONTIMER";
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    EXPECT_FALSE(Messenger::windowExists("TRAYICONTIMER"));

    int firstCloses = 0;
    MessengerServer first("TRAYICONTIMER", nullptr, [&] { ++firstCloses; });
    EXPECT_TRUE(first.listening());
    MessengerServer second("TRAYICONTIMER", nullptr, nullptr);
    EXPECT_FALSE(second.listening());
    EXPECT_TRUE(Messenger::postClose("TRAYICONTIMER"));
    test::pumpFor(300ms);
    EXPECT_EQ(firstCloses, 1);
}

TEST(Messenger, GarbageFromASenderDoesNotHurtTheReceiver) {
    test::ensureQtApp(test::QtApp::Core);
    std::atomic<int> calls{0};
    MessengerServer server(
        "GARBAGE",
        [&](unsigned long n, const std::string&) {
            ++calls;
            return static_cast<long>(n);
        },
        nullptr);
    ASSERT_TRUE(server.listening());
    auto junk = std::async(std::launch::async, [] {
        const std::string path = paths::runtimeFolder() + "/GARBAGE";
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
        const std::string lines =
            "hello\ncopydata\ncopydata x y\ncopydata 99999999999999999999 z\n";
        ssize_t w = send(fd, lines.data(), lines.size(), MSG_NOSIGNAL);
        std::string flood(200 * 1024, 'a'); // one endless line
        send(fd, flood.data(), flood.size(), MSG_NOSIGNAL);
        ::close(fd);
        return w == static_cast<ssize_t>(lines.size());
    });
    EXPECT_TRUE(pump(junk));
    test::pumpFor(200ms);
    EXPECT_EQ(calls.load(), 0) << "malformed lines are ignored";
    auto reply =
        std::async(std::launch::async, [] { return Messenger::sendCopyData("GARBAGE", 42, "ok"); });
    EXPECT_EQ(pump(reply), 42L);
}

} // namespace
} // namespace kobal
