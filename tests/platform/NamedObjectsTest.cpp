// Named and unnamed kernel objects: signalling semantics, time-outs, wait sets, and locks
// whose holder is killed.
#include "platform/NamedObjects.h"
#include "platform/Paths.h"
#include "platform/SharedMemory.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kobal {
namespace {

using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point t) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// Runs body in a forked child that reports "ready" through a pipe and then stays alive until
// killed. Returns the child's pid once it is ready (or -1).
template <typename Body> pid_t forkReady(Body body) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        ::close(fds[0]);
        char ok = body() ? 1 : 0;
        if (write(fds[1], &ok, 1) != 1) _exit(1);
        for (;;) pause();
    }
    ::close(fds[1]);
    char ok = 0;
    const bool ready = pid > 0 && read(fds[0], &ok, 1) == 1 && ok == 1;
    ::close(fds[0]);
    if (!ready && pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

void killChild(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

TEST(NamedEvent, AutoResetAndSettingTwiceCountsOnce) {
    auto e = NamedEvent::openOrCreate("ev-auto");
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(e->tryTake()) << "created non-signalled";
    EXPECT_TRUE(e->set());
    EXPECT_TRUE(e->set());
    EXPECT_TRUE(e->wait(0));
    EXPECT_FALSE(e->wait(0)) << "a second set before the wait must not leave a signal";
    e->set();
    EXPECT_TRUE(e->tryTake());
    EXPECT_FALSE(e->tryTake());
}

TEST(NamedEvent, ExistenceIsReportedAndUnlinkForgetsTheName) {
    EXPECT_EQ(NamedEvent::open("ev-exists"), nullptr);
    auto a = NamedEvent::openOrCreate("ev-exists");
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->alreadyExisted());
    auto b = NamedEvent::openOrCreate("ev-exists");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->alreadyExisted());
    auto c = NamedEvent::open("ev-exists");
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->alreadyExisted());

    a->set();
    EXPECT_TRUE(c->wait(100)) << "all three are one object";
    NamedEvent::unlink("ev-exists");
    EXPECT_EQ(NamedEvent::open("ev-exists"), nullptr);
    auto d = NamedEvent::openOrCreate("ev-exists");
    EXPECT_FALSE(d->alreadyExisted());
    b->set();
    EXPECT_FALSE(d->tryTake()) << "a new object under the old name";
    NamedEvent::unlink("ev-exists");
}

TEST(NamedEvent, WaitTimesOutAndWakesFromAnotherProcess) {
    auto e = NamedEvent::openOrCreate("ev-cross");
    auto t0 = Clock::now();
    EXPECT_FALSE(e->wait(200));
    EXPECT_GE(msSince(t0), 180);

    pid_t child = fork();
    if (child == 0) {
        auto mine = NamedEvent::open("ev-cross");
        usleep(100 * 1000);
        _exit(mine && mine->set() ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    EXPECT_TRUE(e->wait(10000));
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    NamedEvent::unlink("ev-cross");
}

TEST(NamedSemaphore, MaximumCountIsOne) {
    auto s = NamedSemaphore::openOrCreate("sem-max");
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->alreadyExisted());
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(s->release());
    EXPECT_TRUE(s->wait(0));
    EXPECT_FALSE(s->wait(50)) << "five releases before a wait count as one";
    auto again = NamedSemaphore::openOrCreate("sem-max");
    EXPECT_TRUE(again->alreadyExisted());
    again->release();
    EXPECT_TRUE(s->tryTake());
    NamedSemaphore::unlink("sem-max");
}

TEST(NamedSemaphore, ConcurrentReleasesNeverStackUp) {
    auto s = NamedSemaphore::openOrCreate("sem-race");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) s->release();
        });
    for (auto& t : threads) t.join();
    EXPECT_TRUE(s->tryTake());
    EXPECT_FALSE(s->tryTake());
    NamedSemaphore::unlink("sem-race");
}

TEST(Event, AutoAndManualReset) {
    Event automatic;
    EXPECT_FALSE(automatic.tryTake());
    automatic.set();
    automatic.set();
    EXPECT_TRUE(automatic.wait(0));
    EXPECT_FALSE(automatic.wait(20));

    Event manual(true, true);
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.tryTake()) << "manual reset stays set";
    manual.reset();
    EXPECT_FALSE(manual.wait(20));

    Event later;
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        later.set();
    });
    EXPECT_TRUE(later.wait(10000));
    t.join();
}

TEST(WaitSet, LowestSignalledIndexWinsAndOnlyItsSignalIsTaken) {
    Event a, b;
    auto named = NamedEvent::openOrCreate("ws-named");
    b.set();
    named->set();
    std::vector<Waitable*> handles{&a, &b, named.get()};
    EXPECT_EQ(WaitSet::waitAny(handles, 0), 1);
    EXPECT_EQ(WaitSet::waitAny(handles, 0), 2) << "the named event's signal was kept";
    EXPECT_EQ(WaitSet::waitAny(handles, 0), WAIT_TIMEOUT_INDEX);

    auto t0 = Clock::now();
    EXPECT_EQ(WaitSet::waitAny(handles, 150), WAIT_TIMEOUT_INDEX);
    EXPECT_GE(msSince(t0), 130);
    EXPECT_EQ(WaitSet::waitAny({}, 10), WAIT_TIMEOUT_INDEX);
    EXPECT_EQ(WaitSet::waitAny({nullptr, &a}, 10), WAIT_TIMEOUT_INDEX);
    NamedEvent::unlink("ws-named");
}

TEST(WaitSet, WakesForSignalsFromAnotherThreadAndAnotherProcess) {
    Event stop;
    auto sem = NamedSemaphore::openOrCreate("ws-cross");
    std::vector<Waitable*> handles{&stop, sem.get()};

    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.set();
    });
    EXPECT_EQ(WaitSet::waitAny(handles, 10000), 0);
    t.join();

    pid_t child = fork();
    if (child == 0) {
        auto mine = NamedSemaphore::openOrCreate("ws-cross");
        usleep(100 * 1000);
        _exit(mine && mine->release() ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    EXPECT_EQ(WaitSet::waitAny(handles, 10000), 1);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(WaitSet::waitAny(handles, 0), WAIT_TIMEOUT_INDEX);
    NamedSemaphore::unlink("ws-cross");
}

TEST(WaitSet, HandlesOfThisProcessOnlyWakeWithoutPollingAndStillTimeOut) {
    Event stop;
    auto sem =
        NamedSemaphore::openOrCreate("ws-local", NamedSemaphore::Signallers::ThisProcessOnly);
    ASSERT_NE(sem, nullptr);
    EXPECT_FALSE(sem->signalledFromOtherProcesses());
    EXPECT_FALSE(stop.signalledFromOtherProcesses());
    std::vector<Waitable*> handles{&stop, sem.get()};

    auto t0 = Clock::now();
    EXPECT_EQ(WaitSet::waitAny(handles, 120), WAIT_TIMEOUT_INDEX);
    EXPECT_GE(msSince(t0), 110);

    // Without polling, only the wake-up of the release itself can end these waits early.
    for (int round = 0; round < 3; ++round) {
        std::thread t([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            sem->release();
        });
        t0 = Clock::now();
        EXPECT_EQ(WaitSet::waitAny(handles, round == 2 ? kInfinite : 20000), 1);
        EXPECT_LT(msSince(t0), 10000);
        t.join();
    }
    // A second handle opened on the same name shares the wake-up.
    auto other = NamedSemaphore::openOrCreate("ws-local");
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        other->release();
    });
    t0 = Clock::now();
    EXPECT_EQ(WaitSet::waitAny(handles, 20000), 1);
    EXPECT_LT(msSince(t0), 10000);
    t.join();
    NamedSemaphore::unlink("ws-local");
}

TEST(NamedMutex, ExcludesOtherHoldersAndThreadsSharingOneObject) {
    EXPECT_EQ(NamedMutex::open("mx-basic"), nullptr);
    auto a = NamedMutex::openOrCreate("mx-basic");
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->alreadyExisted());
    auto b = NamedMutex::openOrCreate("mx-basic");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->alreadyExisted());

    ASSERT_TRUE(a->lock(1000));
    auto t0 = Clock::now();
    EXPECT_FALSE(b->lock(100));
    EXPECT_GE(msSince(t0), 90);

    // The same object used from a second thread must wait too.
    std::atomic<bool> got{false};
    std::thread t([&] { got = a->lock(100); });
    t.join();
    EXPECT_FALSE(got);

    // A holder that lets go while we wait hands the lock over.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        a->unlock();
    });
    EXPECT_TRUE(b->lock(10000));
    release.join();
    EXPECT_FALSE(a->held());
    EXPECT_TRUE(b->held());
    b->unlock();
    b->unlock(); // unlocking when not held does nothing
    EXPECT_TRUE(a->lock(0));
    a->unlock();
    NamedMutex::unlink("mx-basic");
}

TEST(NamedMutex, HolderKilledWhileHoldingNeverBlocksTheNextLock) {
    pid_t holder = forkReady([] {
        static auto m = NamedMutex::openOrCreate("mx-killed");
        return m && m->lock(1000);
    });
    ASSERT_GT(holder, 0);
    auto m = NamedMutex::openOrCreate("mx-killed");
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->alreadyExisted());
    EXPECT_FALSE(m->lock(100)) << "held by a live process";
    killChild(holder);
    auto t0 = Clock::now();
    EXPECT_TRUE(m->lock(1000));
    EXPECT_LT(msSince(t0), 900);
    m->unlock();
}

// What a killed process held (an event, a semaphore, an area, a held lock) is reclaimed at the
// next start; what a living process holds, and this process's own objects, stay.
TEST(Reclaim, ObjectsOfKilledProcessesGoThoseOfLivingOnesStay) {
    auto objects = [](const std::string& tag) {
        static std::unique_ptr<NamedEvent> e;
        static std::unique_ptr<NamedSemaphore> s;
        static std::unique_ptr<SharedMemory> m;
        static std::unique_ptr<NamedMutex> x;
        e = NamedEvent::openOrCreate("ev-" + tag);
        s = NamedSemaphore::openOrCreate("sem-" + tag);
        m = SharedMemory::create("map-" + tag, 4096);
        x = NamedMutex::openOrCreate("mx-" + tag);
        return e && s && m && x && x->lock(1000);
    };
    const pid_t dead = forkReady([&] { return objects("dead"); });
    const pid_t alive = forkReady([&] { return objects("alive"); });
    ASSERT_GT(dead, 0);
    ASSERT_GT(alive, 0);
    auto own = NamedEvent::openOrCreate("ev-own");
    killChild(dead);
    EXPECT_GE(reclaimAbandonedObjects(), 4u);
    EXPECT_EQ(NamedEvent::open("ev-dead"), nullptr);
    EXPECT_FALSE(SharedMemory::exists("map-dead"));
    EXPECT_EQ(NamedMutex::open("mx-dead"), nullptr);
    EXPECT_NE(NamedEvent::open("ev-alive"), nullptr);
    EXPECT_TRUE(SharedMemory::exists("map-alive"));
    EXPECT_NE(NamedMutex::open("mx-alive"), nullptr);
    EXPECT_NE(NamedEvent::open("ev-own"), nullptr);
    killChild(alive);
}

TEST(NamedMutex, UnlinkWhileSomeoneWaitsLeavesOneHolder) {
    auto a = NamedMutex::openOrCreate("mx-unlink");
    auto b = NamedMutex::openOrCreate("mx-unlink");
    ASSERT_TRUE(a->lock(1000));
    std::atomic<bool> bGot{false};
    std::thread waiter([&] { bGot = b->lock(10000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    NamedMutex::unlink("mx-unlink");
    a->unlock();
    waiter.join();
    ASSERT_TRUE(bGot);
    // b moved to the file now under the name, so a newcomer sees b's lock.
    auto c = NamedMutex::openOrCreate("mx-unlink");
    EXPECT_FALSE(c->lock(100));
    b->unlock();
    EXPECT_TRUE(c->lock(1000));
    c->unlock();
}

TEST(SharedMemory, CreateOpenAndSizes) {
    EXPECT_EQ(SharedMemory::open("shm-a", 16), nullptr);
    EXPECT_FALSE(SharedMemory::exists("shm-a"));
    EXPECT_EQ(SharedMemory::create("shm-a", 0), nullptr);
    auto a = SharedMemory::create("shm-a", 4096);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(SharedMemory::exists("shm-a"));
    for (size_t i = 0; i < a->size(); ++i) ASSERT_EQ(a->data()[i], 0) << "zero-filled";
    EXPECT_EQ(SharedMemory::create("shm-a", 4096), nullptr) << "exists already";

    std::memcpy(a->data() + 100, "abc", 3);
    auto b = SharedMemory::open("shm-a", 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->size(), 4096u);
    EXPECT_EQ(std::memcmp(b->data() + 100, "abc", 3), 0);
    auto part = SharedMemory::open("shm-a", 200);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->size(), 200u);
    EXPECT_EQ(SharedMemory::open("shm-a", 8192), nullptr) << "never map past the end";

    SharedMemory::unlink("shm-a");
    EXPECT_FALSE(SharedMemory::exists("shm-a"));
    EXPECT_EQ(std::memcmp(b->data() + 100, "abc", 3), 0) << "mappings outlive the name";
}

TEST(SharedMemory, OnlyAnUnsizedLeftoverIsRemovedAsStale) {
    // A creator killed between creating and sizing leaves a name of size 0.
    const std::string posix = paths::posixName("shm-unsized");
    const int fd = shm_open(posix.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(SharedMemory::create("shm-unsized", 64), nullptr) << "the leftover blocks creation";
    EXPECT_TRUE(SharedMemory::removeIfSmaller("shm-unsized", 8));
    auto fresh = SharedMemory::create("shm-unsized", 64);
    ASSERT_NE(fresh, nullptr);

    // A sized mapping in use is never taken for a leftover, nor is a missing name.
    EXPECT_FALSE(SharedMemory::removeIfSmaller("shm-unsized", 8));
    EXPECT_TRUE(SharedMemory::exists("shm-unsized"));
    SharedMemory::unlink("shm-unsized");
    EXPECT_FALSE(SharedMemory::removeIfSmaller("shm-unsized", 8));
}

} // namespace
} // namespace kobal
