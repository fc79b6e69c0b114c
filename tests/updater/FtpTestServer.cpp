#include "FtpTestServer.h"

#include "../support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kobal::test {
namespace {

// Reads what is there within waitMs; false at end of output or time-out without data.
bool readSome(int fd, std::string& into, int waitMs) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) return false;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    into.append(buf, static_cast<size_t>(n));
    return true;
}

} // namespace

FtpTestServer::FtpTestServer(const std::string& root, const std::string& mode) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const std::string script = sourceDir() + "/tests/updater/ftp_server.py";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        // The system's Python has the Debian package pyftpdlib.
        if (mode.empty())
            ::execl("/usr/bin/python3", "python3", script.c_str(), root.c_str(), nullptr);
        else
            ::execl("/usr/bin/python3", "python3", script.c_str(), root.c_str(), mode.c_str(),
                    nullptr);
        ::_exit(127);
    }
    ::close(fds[1]);
    out_ = fds[0];
    pid_ = pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto eol = pending_.find('\n');
        if (eol != std::string::npos) {
            const std::string line = pending_.substr(0, eol);
            pending_.erase(0, eol + 1);
            if (line.rfind("PORT ", 0) == 0) port_ = std::stoi(line.substr(5));
            break;
        }
        if (!readSome(out_, pending_, 1000) && pending_.find('\n') == std::string::npos) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
        }
    }
}

FtpTestServer::~FtpTestServer() {
    if (pid_ > 0) {
        ::kill(static_cast<pid_t>(pid_), SIGKILL);
        ::waitpid(static_cast<pid_t>(pid_), nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
}

int FtpTestServer::countLines(const std::string& line, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        // Done once the server has been quiet for a moment.
        if (left <= 0 ||
            !readSome(out_, pending_, static_cast<int>(std::min<long long>(left, 300))))
            break;
    }
    int count = 0;
    for (size_t at = pending_.find(line + "\n"); at != std::string::npos;
         at = pending_.find(line + "\n", at + 1))
        ++count;
    return count;
}

void putFolder(const std::string& root, const std::string& relative) {
    std::filesystem::create_directories(root + "/" + relative);
}

void putFile(const std::string& root, const std::string& relative, const std::string& bytes) {
    const std::filesystem::path path(root + "/" + relative);
    std::filesystem::create_directories(path.parent_path());
    writeFile(path.string(), bytes);
}

} // namespace kobal::test
