// The shared-memory link between two parties: roles, connecting, pacing, closing, and what
// happens when a party is killed outright.
#include "engine/SharedMemoryLink.h"
#include "platform/NamedObjects.h"
#include "platform/Paths.h"
#include "platform/SharedMemory.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kobal {
namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kSize = 64;

long msSince(Clock::time_point t) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// A LinkPeer process with its standard output on a pipe.
class Peer {
public:
    Peer(const std::string& name, int party, const std::string& mode, int count = 1) {
        const std::string program = test::binaryDir() + "/tests/engine/LinkPeer";
        std::vector<std::string> args = {program,
                                         name,
                                         std::to_string(kSize),
                                         std::to_string(party),
                                         mode,
                                         std::to_string(count)};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        pid_t pid = -1;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
            pid_ = pid;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Peer() {
        kill();
        if (out_ >= 0) ::close(out_);
    }

    // Next line of output, or "" when none came within timeoutMs.
    std::string line(int timeoutMs = 20000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string l = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return l;
            }
            const long left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0 || out_ < 0) return "";
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char buf[256];
            ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) return "";
            buffer_.append(buf, static_cast<size_t>(n));
        }
    }

    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // Exit status once it ends on its own (-1 when it had to be killed after timeoutMs).
    int finish(int timeoutMs = 20000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (pid_ > 0 && Clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill();
        return -1;
    }

    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

bool connectWithin(SharedMemoryLink& link, int ms = 20000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (link.connect()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool sendText(SharedMemoryLink& link, const std::string& text, bool wait) {
    return link.send(text.c_str(), text.size() + 1, wait);
}

// What the data area holds right now, read straight from the mapping.
std::string areaText(const std::string& name) {
    auto area = SharedMemory::open("FILEMAP_" + name, 0);
    if (!area || area->size() < SharedMemoryLink::kHeaderSize + 1) return "<none>";
    const char* p = reinterpret_cast<const char*>(area->data() + SharedMemoryLink::kHeaderSize);
    return std::string(p, strnlen(p, area->size() - SharedMemoryLink::kHeaderSize));
}

TEST(SharedMemoryLink, CreatorIsServerAndASecondOpenBecomesClient) {
    auto first = SharedMemoryLink::open("roles", kSize, false);
    EXPECT_TRUE(first->isServer());
    EXPECT_EQ(first->serverIdInHeader(), 2u);
    EXPECT_EQ(first->clientIdInHeader(), 0u);
    EXPECT_FALSE(first->connect()) << "only one party present";

    auto second = SharedMemoryLink::open("roles", kSize, false);
    EXPECT_FALSE(second->isServer());
    EXPECT_EQ(second->clientIdInHeader(), 2u);
    EXPECT_EQ(first->clientIdInHeader(), 2u) << "both see one area";

    ASSERT_TRUE(first->connect());
    ASSERT_TRUE(second->connect());
    EXPECT_TRUE(first->isServer());
    EXPECT_FALSE(second->isServer()) << "equal party ids must still give two roles";

    ASSERT_TRUE(sendText(*first, "hello", false));
    char buf[kSize] = {};
    EXPECT_EQ(second->receive(buf, sizeof buf, 1000), static_cast<long>(kSize));
    EXPECT_STREQ(buf, "hello");
}

TEST(SharedMemoryLink, ConnectNeedsThePeerAndSendFailsUntilThen) {
    auto link = SharedMemoryLink::open("missing", kSize, false);
    EXPECT_FALSE(link->connect());
    EXPECT_FALSE(link->connected());
    EXPECT_FALSE(sendText(*link, "x", false));

    Peer peer("missing", 7, "hold");
    ASSERT_TRUE(peer.started());
    EXPECT_EQ(peer.line(), "opened client");
    EXPECT_EQ(peer.line(), "connected");
    ASSERT_TRUE(link->connect());
    EXPECT_TRUE(link->isServer());
    EXPECT_EQ(link->clientIdInHeader(), 7u);
    EXPECT_TRUE(sendText(*link, "x", false));
}

TEST(SharedMemoryLink, BadArgumentsGiveAnUnconnectedLink) {
    auto longName = SharedMemoryLink::open(std::string(300, 'n'), kSize, false);
    ASSERT_NE(longName, nullptr);
    EXPECT_FALSE(longName->connect());
    EXPECT_FALSE(sendText(*longName, "x", false));
    auto huge = SharedMemoryLink::open("huge", size_t(1) << 40, false);
    EXPECT_FALSE(huge->connect());
    EXPECT_EQ(huge->serverIdInHeader(), 0u);
}

TEST(SharedMemoryLink, ReaderInAnotherProcessGetsEveryPacedMessage) {
    auto link = SharedMemoryLink::open("paced", kSize, false);
    Peer reader("paced", 9, "read", 3);
    EXPECT_EQ(reader.line(), "opened client");
    ASSERT_TRUE(connectWithin(*link));
    EXPECT_EQ(reader.line(), "connected");

    // The first send does not wait (the reader has taken nothing yet); each later one waits
    // for the reader's "taken", so nothing is overwritten unread.
    ASSERT_TRUE(sendText(*link, "one", false));
    EXPECT_EQ(reader.line(), "msg one");
    ASSERT_TRUE(sendText(*link, "two", true));
    ASSERT_TRUE(sendText(*link, "three", true));
    EXPECT_EQ(reader.line(), "msg two");
    EXPECT_EQ(reader.line(), "msg three");
    EXPECT_EQ(reader.line(), "left");
    EXPECT_EQ(reader.finish(), 0);
    EXPECT_EQ(link->clientIdInHeader(), 0u) << "the reader withdrew its id";
    EXPECT_FALSE(link->connect());
}

TEST(SharedMemoryLink, SilentReaderCostsOneSecondPerWaitingSendYetEachMessageLands) {
    auto writer = SharedMemoryLink::open("silent", kSize, false);
    auto reader = SharedMemoryLink::open("silent", kSize, false, 5);
    ASSERT_TRUE(writer->connect());
    ASSERT_TRUE(reader->connect());
    for (const char* text : {"first", "second"}) {
        const auto t0 = Clock::now();
        EXPECT_TRUE(sendText(*writer, text, true));
        const long ms = msSince(t0);
        EXPECT_GE(ms, 900) << text;
        EXPECT_LT(ms, 10000) << text;
        EXPECT_EQ(areaText("silent"), text);
    }
    // A send that does not wait is not held up by the silent reader.
    const auto t0 = Clock::now();
    EXPECT_TRUE(sendText(*writer, "third", false));
    EXPECT_LT(msSince(t0), 900);
    EXPECT_EQ(areaText("silent"), "third");
    // A reader that has left is not waited for: the send fails at once.
    reader->destroy();
    const auto t1 = Clock::now();
    EXPECT_FALSE(sendText(*writer, "fourth", true));
    EXPECT_LT(msSince(t1), 900);
}

TEST(SharedMemoryLink, SilentReaderInAnotherProcessCostsOneSecondPerWaitingSendYetEachLands) {
    auto writer = SharedMemoryLink::open("silent-peer", kSize, false);
    Peer reader("silent-peer", 7, "hold"); // connects, then never takes a message
    EXPECT_EQ(reader.line(), "opened client");
    ASSERT_TRUE(connectWithin(*writer));
    EXPECT_EQ(reader.line(), "connected");
    for (const char* text : {"first", "second"}) {
        const auto t0 = Clock::now();
        EXPECT_TRUE(sendText(*writer, text, true)) << text;
        // The protocol's 1000 ms wait for the reader, not a speed target: the range is wide.
        const long ms = msSince(t0);
        EXPECT_GE(ms, 800) << text;
        EXPECT_LE(ms, 3000) << text;
        EXPECT_EQ(areaText("silent-peer"), text);
    }
}

TEST(SharedMemoryLink, LongMessagesAreCutToTheDataArea) {
    auto writer = SharedMemoryLink::open("cut", kSize, false);
    auto reader = SharedMemoryLink::open("cut", kSize, false, 5);
    ASSERT_TRUE(writer->connect());
    ASSERT_TRUE(reader->connect());
    std::vector<char> big(kSize * 4, 'z');
    EXPECT_TRUE(writer->send(big.data(), big.size(), false));
    std::vector<char> out(kSize * 4, 0);
    EXPECT_EQ(reader->receive(out.data(), out.size(), 1000), static_cast<long>(kSize));
    EXPECT_EQ(out[kSize - 1], 'z');
    EXPECT_EQ(out[kSize], 0);
    EXPECT_FALSE(writer->send(nullptr, 4, false));
}

TEST(SharedMemoryLink, CloseWakesTheReaderAndStopsEveryPlayerLinkUntilTheNextOpen) {
    auto writer = SharedMemoryLink::open("closing", kSize, false);
    auto reader = SharedMemoryLink::open("closing", kSize, false, 5);
    ASSERT_TRUE(writer->connect());
    ASSERT_TRUE(reader->connect());
    auto other = SharedMemoryLink::open("closing-2", kSize, false);
    auto otherReader = SharedMemoryLink::open("closing-2", kSize, false, 5);
    ASSERT_TRUE(other->connect());
    ASSERT_TRUE(otherReader->connect());

    std::thread wake([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        writer->close();
    });
    const auto t0 = Clock::now();
    char buf[kSize];
    EXPECT_GT(reader->receive(buf, sizeof buf, 10000), 0) << "close must wake a waiting reader";
    EXPECT_LT(msSince(t0), 9000);
    wake.join();

    EXPECT_FALSE(sendText(*writer, "late", false));
    EXPECT_TRUE(SharedMemoryLink::playerClosed());
    EXPECT_FALSE(sendText(*other, "late", false)) << "the closed flag is process-wide";

    // The reader's side keeps its own flag: closing it stops neither player link.
    otherReader->close();
    EXPECT_FALSE(sendText(*otherReader, "x", false));

    auto fresh = SharedMemoryLink::open("closing-3", kSize, false);
    EXPECT_FALSE(SharedMemoryLink::playerClosed());
    EXPECT_TRUE(sendText(*other, "again", false)) << "a successful open clears the flag";
    EXPECT_FALSE(sendText(*writer, "late", false)) << "a closed link stays closed";
}

TEST(SharedMemoryLink, ClosingAPlayerLinkWhileThePlayerFlagIsSetDoesNothing) {
    auto closed = SharedMemoryLink::open("flag-a", kSize, false);
    auto closedReader = SharedMemoryLink::open("flag-a", kSize, false, 5);
    auto other = SharedMemoryLink::open("flag-b", kSize, false);
    auto otherReader = SharedMemoryLink::open("flag-b", kSize, false, 5);
    ASSERT_TRUE(closed->connect());
    ASSERT_TRUE(other->connect());
    ASSERT_TRUE(otherReader->connect());
    closed->close();
    ASSERT_TRUE(SharedMemoryLink::playerClosed());

    other->close(); // the flag is already set: no wake-up, and the link is left as it was
    char buf[kSize];
    EXPECT_EQ(otherReader->receive(buf, sizeof buf, 200), 0) << "no wake-up was sent";
    auto fresh = SharedMemoryLink::open("flag-c", kSize, false);
    EXPECT_FALSE(SharedMemoryLink::playerClosed());
    EXPECT_TRUE(sendText(*other, "still open", false));
    EXPECT_GT(otherReader->receive(buf, sizeof buf, 1000), 0);
    EXPECT_STREQ(buf, "still open");
    EXPECT_FALSE(sendText(*closed, "late", false)) << "the link that closed stays closed";
}

TEST(SharedMemoryLink, LastPartyToLeaveRemovesTheNames) {
    {
        auto a = SharedMemoryLink::open("names", kSize, false);
        auto b = SharedMemoryLink::open("names", kSize, false, 5);
        ASSERT_TRUE(a->connect());
        b->destroy();
        EXPECT_TRUE(SharedMemory::exists("FILEMAP_names")) << "one party is still there";
        EXPECT_EQ(a->clientIdInHeader(), 0u);
        EXPECT_FALSE(a->connect());
    }
    EXPECT_FALSE(SharedMemory::exists("FILEMAP_names"));
    EXPECT_EQ(NamedEvent::open("SERVEREVENT_names_2"), nullptr);
    EXPECT_EQ(NamedEvent::open("CLIENTEVENT_names_5"), nullptr);
}

TEST(SharedMemoryLink, NewPartyTakesTheServerWordTheCreatorLeft) {
    auto creator = SharedMemoryLink::open("handover", kSize, false);
    auto client = SharedMemoryLink::open("handover", kSize, false, 5);
    creator->destroy();
    auto next = SharedMemoryLink::open("handover", kSize, false);
    EXPECT_TRUE(next->isServer());
    EXPECT_EQ(next->serverIdInHeader(), 2u);
    EXPECT_EQ(next->clientIdInHeader(), 5u) << "the remaining client keeps its word";
    EXPECT_TRUE(next->connect());
    EXPECT_TRUE(client->connect());
}

TEST(SharedMemoryLink, KilledServerLeavesNothingThatBlocksAFreshStart) {
    {
        Peer creator("killed", 7, "lockdata");
        EXPECT_EQ(creator.line(), "opened server");
        EXPECT_EQ(creator.line(), "locked");
        creator.kill(); // dies holding the data lock, its id still in the header
    }
    auto link = SharedMemoryLink::open("killed", kSize, false);
    EXPECT_TRUE(link->isServer()) << "nobody alive: a fresh area";
    EXPECT_EQ(link->clientIdInHeader(), 0u);
    EXPECT_FALSE(link->connect());

    Peer reader("killed", 7, "read", 1);
    EXPECT_EQ(reader.line(), "opened client");
    ASSERT_TRUE(connectWithin(*link));
    const auto t0 = Clock::now();
    EXPECT_TRUE(sendText(*link, "after", false));
    EXPECT_LT(msSince(t0), 900) << "the dead holder's data lock is free";
    EXPECT_EQ(reader.line(), "connected");
    EXPECT_EQ(reader.line(), "msg after");
    EXPECT_EQ(reader.finish(), 0);
}

TEST(SharedMemoryLink, SurvivorSeesAKilledPeerGoneAndReconnectsToTheNextOne) {
    auto link = SharedMemoryLink::open("survivor", kSize, false);
    {
        Peer peer("survivor", 7, "hold");
        EXPECT_EQ(peer.line(), "opened client");
        ASSERT_TRUE(connectWithin(*link));
        peer.kill();
    }
    EXPECT_FALSE(link->connect()) << "a dead party's id is withdrawn";
    EXPECT_EQ(link->clientIdInHeader(), 0u);

    Peer next("survivor", 8, "read", 1);
    EXPECT_EQ(next.line(), "opened client");
    ASSERT_TRUE(connectWithin(*link));
    EXPECT_EQ(link->clientIdInHeader(), 8u);
    EXPECT_EQ(next.line(), "connected");
    EXPECT_TRUE(sendText(*link, "hi", false));
    EXPECT_EQ(next.line(), "msg hi");
    EXPECT_EQ(next.finish(), 0);
}

TEST(SharedMemoryLink, EmptyAreaLeftByACreatorKilledBeforeSizingItIsReplaced) {
    // What a creator killed between creating the area and sizing it leaves behind.
    const std::string posix = paths::posixName("FILEMAP_unsized");
    const int fd = shm_open(posix.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);

    auto link = SharedMemoryLink::open("unsized", kSize, false);
    EXPECT_TRUE(link->isServer());
    EXPECT_EQ(link->serverIdInHeader(), 2u);
    Peer reader("unsized", 7, "read", 1);
    EXPECT_EQ(reader.line(), "opened client");
    ASSERT_TRUE(connectWithin(*link));
    EXPECT_TRUE(sendText(*link, "sized", false));
    EXPECT_EQ(reader.line(), "connected");
    EXPECT_EQ(reader.line(), "msg sized");
    EXPECT_EQ(reader.finish(), 0);
}

TEST(SharedMemoryLink, KilledPeerOfALinkWithTheLongestNameIsWithdrawn) {
    // 259 characters and a ten-digit party id: the longest names a party can bring.
    const std::string name(SharedMemoryLink::kMaxNameLength, 'L');
    const int bigId = 2000000000;
    auto link = SharedMemoryLink::open(name, kSize, false);
    ASSERT_TRUE(link->isServer());
    {
        Peer peer(name, bigId, "hold");
        EXPECT_EQ(peer.line(), "opened client");
        ASSERT_TRUE(connectWithin(*link));
        EXPECT_EQ(link->clientIdInHeader(), static_cast<uint32_t>(bigId));
        EXPECT_EQ(peer.line(), "connected");
        peer.kill();
    }
    EXPECT_FALSE(link->connect()) << "a dead party's id is withdrawn";
    EXPECT_EQ(link->clientIdInHeader(), 0u);

    Peer next(name, bigId - 1, "read", 1);
    EXPECT_EQ(next.line(), "opened client");
    ASSERT_TRUE(connectWithin(*link));
    EXPECT_TRUE(sendText(*link, "long", false));
    EXPECT_EQ(next.line(), "connected");
    EXPECT_EQ(next.line(), "msg long");
    EXPECT_EQ(next.finish(), 0);
}

TEST(SharedMemoryLink, KilledHolderOfTheSetupLockDoesNotBlockOpen) {
    Peer holder("setup", 7, "locksetup");
    EXPECT_EQ(holder.line(), "locked");
    auto blocked = SharedMemoryLink::open("setup", kSize, false);
    EXPECT_EQ(blocked->serverIdInHeader(), 0u) << "setup lock held: open gives up after 1000 ms";
    holder.kill();
    auto link = SharedMemoryLink::open("setup", kSize, false);
    EXPECT_EQ(link->serverIdInHeader(), 2u);
}

TEST(SharedMemoryLink, WriterInAnotherProcessPacesOnOurReceive) {
    auto reader = SharedMemoryLink::open("upstream", kSize, false, 5);
    Peer writer("upstream", 2, "write", 2);
    EXPECT_EQ(writer.line(), "opened client");
    ASSERT_TRUE(connectWithin(*reader));
    char buf[kSize];
    for (const char* expect : {"peer-0", "peer-1"}) {
        long n = 0;
        for (int i = 0; i < 20 && n == 0; ++i) n = reader->receive(buf, sizeof buf, 1000);
        ASSERT_GT(n, 0);
        EXPECT_STREQ(buf, expect);
    }
    EXPECT_EQ(writer.line(), "connected");
    EXPECT_EQ(writer.line(), "sent 0");
    EXPECT_EQ(writer.line(), "sent 1");
}

} // namespace
} // namespace kobal
