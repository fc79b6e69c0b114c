#pragma once
// Kernel objects with the Windows meanings the engine and the link rely on, on POSIX named
// semaphores (names from paths::posixName, so users and test homes never collide).
//
//  NamedEvent      auto-reset event: set() wakes exactly one wait; setting it while already set
//                  changes nothing; a wait consumes the signal.
//  NamedSemaphore  a semaphore whose maximum count is 1: several releases before a wait count
//                  as one.
//  NamedMutex      a binary lock between processes with timed waits.
//  Event           unnamed auto-reset or manual-reset event inside one process.
//  WaitSet         waits for the first of several handles (in order: the lowest index wins
//                  when several are signalled), with a time-out; says which fired.
//
// A process killed while holding an object must not block later users: named semaphores have
// no owner, so open() of an object whose creator died works as usual; NamedMutex is an flock
// on a lock file in the runtime folder, which the kernel drops when its holder dies.
//
// Every set()/release() in this process also wakes WaitSet::waitAny at once; a signal from
// another process is seen within a few milliseconds.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kobal {

constexpr int kInfinite = -1;
constexpr int WAIT_TIMEOUT_INDEX = -1;

class Waitable {
public:
    virtual ~Waitable() = default;
    // Identity of the underlying object, so a signal wakes only the wait sets that hold it
    // (two handles opened on one name in this process share the key).
    virtual const void* wakeKey() const { return this; }
    // Non-blocking: takes the signal if present (auto-reset) and returns true.
    virtual bool tryTake() = 0;
    // Blocks up to timeoutMs (kInfinite: forever). True when signalled (and taken).
    virtual bool wait(int timeoutMs) = 0;
    // Whether another process may signal it. WaitSet looks for such signals by polling; a set
    // without any such handle sleeps until a signal of this process or its time-out.
    virtual bool signalledFromOtherProcesses() const { return false; }
};

class NamedEvent : public Waitable {
public:
    // Opens the event of that name, creating it (non-signalled) when it does not exist.
    // alreadyExisted() tells which happened. valid() false when neither worked.
    static std::unique_ptr<NamedEvent> openOrCreate(const std::string& name);
    // Opens only; nullptr when no such event exists.
    static std::unique_ptr<NamedEvent> open(const std::string& name);
    ~NamedEvent() override;
    const void* wakeKey() const override { return sem_; }
    bool signalledFromOtherProcesses() const override { return true; }

    bool set();
    bool tryTake() override;
    bool wait(int timeoutMs) override;
    bool alreadyExisted() const { return existed_; }
    const std::string& name() const { return name_; }
    // Removes the name from the system (the last party does this).
    static void unlink(const std::string& name);

private:
    NamedEvent() = default;
    void* sem_ = nullptr;
    bool existed_ = false;
    std::string name_;
};

class NamedSemaphore : public Waitable {
public:
    enum class Signallers { AnyProcess, ThisProcessOnly };
    // ThisProcessOnly promises that no other process releases it (the engine's own
    // semaphores), so wait sets holding it need not poll for it.
    static std::unique_ptr<NamedSemaphore>
    openOrCreate(const std::string& name, Signallers signallers = Signallers::AnyProcess);
    ~NamedSemaphore() override;
    const void* wakeKey() const override { return sem_; }
    bool signalledFromOtherProcesses() const override {
        return signallers_ == Signallers::AnyProcess;
    }
    bool release(); // count becomes 1 (stays 1 when already 1)
    bool tryTake() override;
    bool wait(int timeoutMs) override;
    bool alreadyExisted() const { return existed_; }
    const std::string& name() const { return name_; }
    static void unlink(const std::string& name);

private:
    NamedSemaphore() = default;
    void* sem_ = nullptr;
    Signallers signallers_ = Signallers::AnyProcess;
    bool existed_ = false;
    std::string name_;
};

// Not recursive: a second lock() through the same object (from any thread) waits like a lock
// through another object. unlock() may come from any thread; it does nothing when not held.
class NamedMutex {
public:
    // nullptr when the lock file can neither be opened nor created.
    static std::unique_ptr<NamedMutex> openOrCreate(const std::string& name);
    // Opens only; nullptr when no such mutex exists.
    static std::unique_ptr<NamedMutex> open(const std::string& name);
    ~NamedMutex();            // unlocks when held
    bool lock(int timeoutMs); // false on time-out
    void unlock();
    bool held() const;
    bool alreadyExisted() const { return existed_; }
    const std::string& name() const { return name_; }
    static void unlink(const std::string& name);

private:
    NamedMutex() = default;
    bool lockFile(std::chrono::steady_clock::time_point deadline, bool untilLocked);
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool held_ = false; // this object holds the lock (guards against threads sharing the fd)
    int lockFd_ = -1;
    bool existed_ = false;
    std::string name_;
    std::string path_;
};

// In-process event (auto-reset by default, manual-reset on request).
class Event : public Waitable {
public:
    explicit Event(bool manualReset = false, bool initiallySet = false);
    void set();
    void reset();
    bool tryTake() override;
    bool wait(int timeoutMs) override;

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool manual_;
    bool set_;
};

class WaitSet {
public:
    // Index of the first handle that was signalled (its signal taken; the others keep theirs),
    // or WAIT_TIMEOUT_INDEX. nullptr entries are skipped. Signals from this process wake it at
    // once; cross-process ones are polled for with a back-off of at most 8 ms, and only when a
    // handle of the set can be signalled from another process.
    static int waitAny(const std::vector<Waitable*>& handles, int timeoutMs);
};

// Removes the named objects of this user that no living process holds: semaphores and
// shared-memory areas nobody has mapped or open (on Windows they would have vanished with their
// last handle), lock files nobody has locked, and link presence files of areas that are gone.
// What a killed process left behind would otherwise collect for ever, since every install
// folder (every test and tool run) has names of its own. Objects of living processes, whatever
// their version, are never touched. Programs call it once at start; returns how many names
// went.
size_t reclaimAbandonedObjects();

} // namespace kobal
