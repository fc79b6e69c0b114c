#include "platform/NamedObjects.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <semaphore.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kobal {
namespace {

using Clock = std::chrono::steady_clock;

// Wakes the waitAny() calls that hold a handle signalled in this process, so in-process signals
// are seen at once and only cross-process ones need the poll. Waking only the waiters of that
// handle keeps idle engine threads asleep while the others stream. Each waiter sleeps under a
// lock of its own: a woken thread that had to take the hub's lock, still held by its waker,
// would go back to sleep at once (two context switches for every signal).
struct Waiter {
    const std::vector<const void*>* keys = nullptr;
    std::mutex m;
    std::condition_variable cv;
    bool woken = false;
};

struct WakeHub {
    std::mutex m;
    std::vector<Waiter*> waiters;
};

WakeHub& hub() {
    static WakeHub h;
    return h;
}

void wakeWaiters(const void* key) {
    WakeHub& h = hub();
    std::lock_guard<std::mutex> lock(h.m);
    // The hub's lock keeps each waiter registered (alive) until its notify is done.
    for (Waiter* w : h.waiters) {
        if (std::find(w->keys->begin(), w->keys->end(), key) == w->keys->end()) continue;
        {
            std::lock_guard<std::mutex> own(w->m);
            w->woken = true;
        }
        w->cv.notify_one();
    }
}

Clock::time_point deadlineAfter(int timeoutMs) {
    return Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
}

sem_t* asSem(void* p) {
    return static_cast<sem_t*>(p);
}

// Opens the semaphore, creating it with count 0 when absent. existed tells which.
sem_t* openSemaphore(const std::string& posix, bool create, bool* existed) {
    *existed = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (create) {
            sem_t* s = sem_open(posix.c_str(), O_CREAT | O_EXCL, 0600, 0);
            if (s != SEM_FAILED) return s;
            if (errno != EEXIST) return nullptr;
        }
        sem_t* s = sem_open(posix.c_str(), 0);
        if (s != SEM_FAILED) {
            *existed = true;
            return s;
        }
        // Unlinked between the two calls: try creating again.
        if (errno != ENOENT || !create) return nullptr;
    }
    return nullptr;
}

// Raises the count to 1 but never above: a signal that is already pending is not doubled.
bool signalOnce(sem_t* s) {
    if (!s) return false;
    int value = 0;
    if (sem_getvalue(s, &value) == 0 && value > 0) return true;
    if (sem_post(s) != 0) return false;
    // Two setters racing past the check may both post; fold the extra one away.
    while (sem_getvalue(s, &value) == 0 && value > 1) {
        if (sem_trywait(s) != 0) break;
    }
    wakeWaiters(s);
    return true;
}

bool takeSemaphore(sem_t* s) {
    if (!s) return false;
    while (sem_trywait(s) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool waitSemaphore(sem_t* s, int timeoutMs) {
    if (!s) return false;
    if (timeoutMs == kInfinite) {
        while (sem_wait(s) != 0) {
            if (errno != EINTR) return false;
        }
        return true;
    }
    if (timeoutMs <= 0) return takeSemaphore(s);
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    ts.tv_sec += timeoutMs / 1000;
    ts.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    while (sem_clockwait(s, CLOCK_MONOTONIC, &ts) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

void closeSemaphore(void* p) {
    if (p) sem_close(asSem(p));
}

std::string lockFilePath(const std::string& name) {
    return paths::runtimeFolder() + paths::posixName(name) + ".lock";
}

} // namespace

// ---------------------------------------------------------------------------------------------
// NamedEvent

std::unique_ptr<NamedEvent> NamedEvent::openOrCreate(const std::string& name) {
    std::unique_ptr<NamedEvent> e(new NamedEvent());
    e->name_ = name;
    e->sem_ = openSemaphore(paths::posixName(name), true, &e->existed_);
    if (!e->sem_) return nullptr;
    return e;
}

std::unique_ptr<NamedEvent> NamedEvent::open(const std::string& name) {
    std::unique_ptr<NamedEvent> e(new NamedEvent());
    e->name_ = name;
    e->sem_ = openSemaphore(paths::posixName(name), false, &e->existed_);
    if (!e->sem_) return nullptr;
    return e;
}

NamedEvent::~NamedEvent() {
    closeSemaphore(sem_);
}

bool NamedEvent::set() {
    return signalOnce(asSem(sem_));
}
bool NamedEvent::tryTake() {
    return takeSemaphore(asSem(sem_));
}
bool NamedEvent::wait(int timeoutMs) {
    return waitSemaphore(asSem(sem_), timeoutMs);
}

void NamedEvent::unlink(const std::string& name) {
    sem_unlink(paths::posixName(name).c_str());
}

// ---------------------------------------------------------------------------------------------
// NamedSemaphore

std::unique_ptr<NamedSemaphore> NamedSemaphore::openOrCreate(const std::string& name,
                                                             Signallers signallers) {
    std::unique_ptr<NamedSemaphore> s(new NamedSemaphore());
    s->name_ = name;
    s->signallers_ = signallers;
    s->sem_ = openSemaphore(paths::posixName(name), true, &s->existed_);
    if (!s->sem_) return nullptr;
    return s;
}

NamedSemaphore::~NamedSemaphore() {
    closeSemaphore(sem_);
}

bool NamedSemaphore::release() {
    return signalOnce(asSem(sem_));
}
bool NamedSemaphore::tryTake() {
    return takeSemaphore(asSem(sem_));
}
bool NamedSemaphore::wait(int timeoutMs) {
    return waitSemaphore(asSem(sem_), timeoutMs);
}

void NamedSemaphore::unlink(const std::string& name) {
    sem_unlink(paths::posixName(name).c_str());
}

// ---------------------------------------------------------------------------------------------
// NamedMutex

std::unique_ptr<NamedMutex> NamedMutex::openOrCreate(const std::string& name) {
    std::unique_ptr<NamedMutex> m(new NamedMutex());
    m->name_ = name;
    m->path_ = lockFilePath(name);
    m->lockFd_ = ::open(m->path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (m->lockFd_ < 0 && errno == EEXIST) {
        m->existed_ = true;
        m->lockFd_ = ::open(m->path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    if (m->lockFd_ < 0) return nullptr;
    return m;
}

std::unique_ptr<NamedMutex> NamedMutex::open(const std::string& name) {
    std::unique_ptr<NamedMutex> m(new NamedMutex());
    m->name_ = name;
    m->path_ = lockFilePath(name);
    m->lockFd_ = ::open(m->path_.c_str(), O_RDWR | O_CLOEXEC);
    if (m->lockFd_ < 0) return nullptr;
    m->existed_ = true;
    return m;
}

NamedMutex::~NamedMutex() {
    unlock();
    if (lockFd_ >= 0) ::close(lockFd_);
}

// Polls a non-blocking flock until the deadline. After winning, makes sure the file still is
// the one at the path: a party that unlinked the name while we waited would otherwise leave
// us holding a lock nobody else can see.
bool NamedMutex::lockFile(Clock::time_point deadline, bool untilLocked) {
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        if (lockFd_ >= 0 && flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
            struct stat mine {
            }, named{};
            if (fstat(lockFd_, &mine) == 0 && stat(path_.c_str(), &named) == 0 &&
                mine.st_ino == named.st_ino && mine.st_dev == named.st_dev)
                return true;
            ::close(lockFd_);
            lockFd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            continue;
        }
        if (lockFd_ < 0) {
            lockFd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (lockFd_ < 0) return false;
            continue;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        auto now = Clock::now();
        if (!untilLocked && now >= deadline) return false;
        auto sleepFor = untilLocked ? pause : std::min<Clock::duration>(pause, deadline - now);
        std::this_thread::sleep_for(sleepFor);
        pause = std::min(pause * 2, std::chrono::microseconds(4000));
    }
}

bool NamedMutex::lock(int timeoutMs) {
    const bool untilLocked = timeoutMs == kInfinite;
    const auto deadline = deadlineAfter(timeoutMs);
    {
        std::unique_lock<std::mutex> guard(m_);
        if (untilLocked) {
            cv_.wait(guard, [this] { return !held_; });
        } else if (!cv_.wait_until(guard, deadline, [this] { return !held_; })) {
            return false;
        }
        held_ = true;
    }
    if (lockFile(deadline, untilLocked)) return true;
    {
        std::lock_guard<std::mutex> guard(m_);
        held_ = false;
    }
    cv_.notify_one();
    return false;
}

void NamedMutex::unlock() {
    {
        std::lock_guard<std::mutex> guard(m_);
        if (!held_) return;
        if (lockFd_ >= 0) flock(lockFd_, LOCK_UN);
        held_ = false;
    }
    cv_.notify_one();
}

bool NamedMutex::held() const {
    std::lock_guard<std::mutex> guard(m_);
    return held_;
}

void NamedMutex::unlink(const std::string& name) {
    ::unlink(lockFilePath(name).c_str());
}

// ---------------------------------------------------------------------------------------------
// Event

Event::Event(bool manualReset, bool initiallySet) : manual_(manualReset), set_(initiallySet) {}

void Event::set() {
    {
        std::lock_guard<std::mutex> lock(m_);
        set_ = true;
    }
    if (manual_)
        cv_.notify_all();
    else
        cv_.notify_one();
    wakeWaiters(this);
}

void Event::reset() {
    std::lock_guard<std::mutex> lock(m_);
    set_ = false;
}

bool Event::tryTake() {
    std::lock_guard<std::mutex> lock(m_);
    if (!set_) return false;
    if (!manual_) set_ = false;
    return true;
}

bool Event::wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_);
    if (timeoutMs == kInfinite) {
        cv_.wait(lock, [this] { return set_; });
    } else if (!cv_.wait_until(lock, deadlineAfter(timeoutMs), [this] { return set_; })) {
        return false;
    }
    if (!manual_) set_ = false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// WaitSet

int WaitSet::waitAny(const std::vector<Waitable*>& handles, int timeoutMs) {
    const bool noLimit = timeoutMs == kInfinite;
    const auto deadline = deadlineAfter(timeoutMs);
    std::vector<const void*> keys;
    keys.reserve(handles.size());
    for (Waitable* w : handles) keys.push_back(w ? w->wakeKey() : nullptr);
    Waiter self;
    self.keys = &keys;
    WakeHub& h = hub();
    {
        std::lock_guard<std::mutex> lock(h.m);
        h.waiters.push_back(&self);
    }
    struct Unregister {
        WakeHub& h;
        Waiter* w;
        ~Unregister() {
            std::lock_guard<std::mutex> lock(h.m);
            h.waiters.erase(std::find(h.waiters.begin(), h.waiters.end(), w));
        }
    } unregister{h, &self};
    // Cross-process signals do not reach the hub; look again at least this often. The cap
    // bounds how late a signal from another process (the renderer's events) is seen.
    constexpr auto kMaxPoll = std::chrono::milliseconds(8);
    auto poll = std::chrono::milliseconds(1);
    // Without such a handle every signal comes through the hub: sleep until it or the deadline.
    const bool polling = std::any_of(handles.begin(), handles.end(), [](const Waitable* w) {
        return w && w->signalledFromOtherProcesses();
    });
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(self.m);
            self.woken = false;
        }
        for (size_t i = 0; i < handles.size(); ++i) {
            if (handles[i] && handles[i]->tryTake()) return static_cast<int>(i);
        }
        auto now = Clock::now();
        if (!noLimit && now >= deadline) return WAIT_TIMEOUT_INDEX;
        std::unique_lock<std::mutex> lock(self.m);
        if (!polling && noLimit) {
            self.cv.wait(lock, [&] { return self.woken; });
            continue;
        }
        auto until = polling ? now + poll : deadline;
        if (!noLimit) until = std::min(until, deadline);
        self.cv.wait_until(lock, until, [&] { return self.woken; });
        poll = std::min(poll * 2, kMaxPoll);
    }
}

// ---------------------------------------------------------------------------------------------
// Reclaiming what dead processes left

namespace {

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    }
    closedir(d);
    return names;
}

// Inodes under /dev/shm that some process has mapped (semaphores and areas alike) or open (an
// area between shm_open and mmap). By inode, not by name: a semaphore is mapped under the
// temporary name it was made with before it was linked to its own.
std::set<ino_t> sharedMemoryInUse() {
    std::set<ino_t> used;
    const char* const shm = "/dev/shm/";
    for (const std::string& pid : folderEntries("/proc")) {
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        // Open files first: one that is closed by the time we look was mapped before.
        const std::string fds = "/proc/" + pid + "/fd/";
        for (const std::string& fd : folderEntries(fds)) {
            char target[PATH_MAX];
            const ssize_t n = readlink((fds + fd).c_str(), target, sizeof target - 1);
            if (n <= 0) continue;
            target[n] = 0;
            struct stat st;
            if (std::strncmp(target, shm, std::strlen(shm)) == 0 &&
                stat((fds + fd).c_str(), &st) == 0)
                used.insert(st.st_ino);
        }
        if (FILE* f = std::fopen(("/proc/" + pid + "/maps").c_str(), "r")) {
            char line[4096];
            while (std::fgets(line, sizeof line, f)) {
                unsigned long inode = 0;
                if (std::strstr(line, " /dev/shm/") &&
                    std::sscanf(line, "%*s %*s %*s %*s %lu", &inode) == 1)
                    used.insert(static_cast<ino_t>(inode));
            }
            std::fclose(f);
        }
    }
    return used;
}

// Removes the file when nobody holds an flock on it. Holders of our lock files check after
// locking that the file they hold still is the one at the path, so removing a free one is safe.
bool removeIfUnlocked(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    bool removed = false;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) removed = ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

uint64_t fnv64(const std::string& s) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

} // namespace

size_t reclaimAbandonedObjects() {
    const std::string mine = "kobal-" + std::to_string(getuid()) + "-";
    const std::string semMine = "sem." + mine;
    // The names first, then who uses them: an object made while we look is not among them.
    std::vector<std::pair<std::string, ino_t>> candidates;
    for (const std::string& name : folderEntries("/dev/shm")) {
        struct stat st;
        const bool ours = name.compare(0, mine.size(), mine) == 0 ||
                          name.compare(0, semMine.size(), semMine) == 0;
        if (ours && stat(("/dev/shm/" + name).c_str(), &st) == 0)
            candidates.emplace_back(name, st.st_ino);
    }
    const std::set<ino_t> used = sharedMemoryInUse();
    size_t removed = 0;
    std::set<uint64_t> liveAreas; // link areas still in use, by the hash presence files carry
    for (const auto& [name, inode] : candidates) {
        if (used.count(inode)) {
            liveAreas.insert(fnv64("/" + name));
            continue;
        }
        if (::unlink(("/dev/shm/" + name).c_str()) == 0) ++removed;
    }
    const std::string runtime = paths::runtimeFolder();
    for (const std::string& name : folderEntries(runtime)) {
        const std::string path = runtime + "/" + name;
        if (name.compare(0, mine.size(), mine) == 0 && name.size() > 5 &&
            name.compare(name.size() - 5, 5, ".lock") == 0) {
            removed += removeIfUnlocked(path);
        } else if (name.compare(0, 5, "link-") == 0 && name.size() > 21) {
            // "link-<hash of the area's name>.server.<id>": a party's presence. It still tells
            // the other party of a living area that this one died, so it stays with its area.
            const uint64_t area = std::strtoull(name.substr(5, 16).c_str(), nullptr, 16);
            if (!liveAreas.count(area)) removed += removeIfUnlocked(path);
        }
    }
    return removed;
}

} // namespace kobal
