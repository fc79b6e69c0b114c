#pragma once
// Processes and the single-instance lock.
#include <string>
#include <vector>

namespace kobal {

// Starts a program detached from this one (no wait, own session, never our zombie). The
// program is looked up in PATH when it has no slash; args are passed as they are. Returns the
// program's pid, or -1 when it could not be started (also when exec failed).
long startDetached(const std::string& program, const std::vector<std::string>& args = {});

// True when a process with this id exists and has not ended (a zombie counts as ended).
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
