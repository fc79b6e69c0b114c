#pragma once
// Processes and the single-instance lock.
#include <string>
#include <vector>

namespace kobal {

// Starts a program detached from this one (no wait). Returns the pid, or -1 on failure.
long startDetached(const std::string& program, const std::vector<std::string>& args = {});

// True when a process with this id exists.
bool processAlive(long pid);

long currentProcessId();

// flock on a lock file in the runtime folder; the kernel drops it when the holder dies.
class SingleInstanceLock {
public:
    explicit SingleInstanceLock(const std::string& name);
    ~SingleInstanceLock();
    // True when this process now holds the lock; false when another process holds it.
    bool acquire();
    bool held() const { return fd_ >= 0; }

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace kobal
