#include "platform/Process.h"

#include "platform/Paths.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kobal {
namespace {

bool writeAll(int fd, const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Reads until end of file or size bytes; returns the count read.
size_t readUpTo(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    size_t got = 0;
    while (got < size) {
        ssize_t r = read(fd, p + got, size - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
    }
    return got;
}

std::string lockName(const std::string& name) {
    std::string clean;
    for (unsigned char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        clean.push_back(ok ? static_cast<char>(c) : '_');
    }
    if (clean.empty() || clean == "." || clean == "..") clean = "_" + clean;
    return clean.substr(0, 200) + ".lock";
}

} // namespace

// Double fork: the intermediate child exits at once and is reaped here, so the program is
// adopted by init and never becomes our zombie. A close-on-exec pipe carries the grandchild's
// pid and, when exec fails, its errno.
long startDetached(const std::string& program, const std::vector<std::string>& args) {
    if (program.empty()) return -1;
    std::vector<std::string> argvStore;
    argvStore.reserve(args.size() + 1);
    argvStore.push_back(program);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    // One pipe carries the grandchild's pid, the other (closed by a successful exec) its
    // errno when exec fails; two pipes so the two writers never interleave.
    int pidPipe[2];
    int errPipe[2];
    if (pipe2(pidPipe, O_CLOEXEC) != 0) return -1;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(pidPipe[0]);
        ::close(pidPipe[1]);
        return -1;
    }
    pid_t child = fork();
    if (child < 0) {
        for (int fd : {pidPipe[0], pidPipe[1], errPipe[0], errPipe[1]}) ::close(fd);
        return -1;
    }
    if (child == 0) {
        ::close(pidPipe[0]);
        ::close(errPipe[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild < 0) _exit(1);
        if (grandchild == 0) {
            ::close(pidPipe[1]);
            // A program of its own: nothing of ours stays open in it. An inherited pipe (a
            // terminal's, a test runner's) would otherwise be held for the program's lifetime
            // and keep whoever reads its other end waiting.
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
                if (null > 2) ::close(null);
            }
            ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            execvp(argv[0], argv.data());
            int err = errno;
            writeAll(errPipe[1], &err, sizeof err);
            _exit(127);
        }
        ::close(errPipe[1]);
        long pid = grandchild;
        writeAll(pidPipe[1], &pid, sizeof pid);
        _exit(0);
    }
    ::close(pidPipe[1]);
    ::close(errPipe[1]);
    long pid = -1;
    int execError = 0;
    const bool gotPid = readUpTo(pidPipe[0], &pid, sizeof pid) == sizeof pid;
    const bool execFailed = readUpTo(errPipe[0], &execError, sizeof execError) > 0;
    ::close(pidPipe[0]);
    ::close(errPipe[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!gotPid || execFailed) return -1;
    return pid;
}

// A zombie (an exited child nobody reaped yet) counts as gone.
bool processAlive(long pid) {
    if (pid <= 0) return false;
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t paren = line.rfind(')');
    if (paren == std::string::npos || paren + 2 >= line.size()) return true;
    const char state = line[paren + 2];
    return state != 'Z' && state != 'X';
}

long currentProcessId() {
    return static_cast<long>(getpid());
}

SingleInstanceLock::SingleInstanceLock(const std::string& name)
    : path_(paths::runtimeFolder() + "/" + lockName(name)) {}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_); // closing drops the flock
}

bool SingleInstanceLock::acquire() {
    if (fd_ >= 0) return true;
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // The holder's pid, for people looking at the folder.
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0) writeAll(fd, pid.data(), pid.size());
    fd_ = fd;
    return true;
}

} // namespace kobal
