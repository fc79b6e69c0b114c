#pragma once
// For the tools that run the engine and the renderer link (kobal_tsdump, kobal_grab). Named
// objects (the renderer link, its events, the engine's semaphores) are scoped by the install
// folder, so unless KOBAL_HOME is set the tool works in a temporary folder of its own and never
// meets a player running on the same account. The tuner chosen in the user's registry still
// applies: it is handed on through the environment before the folder changes.
//
// At start it also clears what killed runs left: named objects nobody holds, and the private
// folders of runs that died (each run holds an flock on a file in its folder while it lives).
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/NamedObjects.h"
#include "tuner/CTDMBDll.h"

namespace kobal::tools {

class PrivateInstallFolder {
public:
    explicit PrivateInstallFolder(const std::string& tool) {
        removeFoldersOfDeadRuns();
        kobal::reclaimAbandonedObjects();
        if (std::getenv("KOBAL_HOME")) return;
        veltra::keepBackendChoice();
        std::string pattern = "/tmp/kobal-" + tool + "-XXXXXX";
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        alive_ = ::open((folder_ + "/" + kAliveFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (alive_ >= 0) flock(alive_, LOCK_EX | LOCK_NB);
        setenv("KOBAL_HOME", folder_.c_str(), 1);
    }
    ~PrivateInstallFolder() {
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
        if (alive_ >= 0) ::close(alive_);
    }
    PrivateInstallFolder(const PrivateInstallFolder&) = delete;
    PrivateInstallFolder& operator=(const PrivateInstallFolder&) = delete;

private:
    static constexpr const char* kAliveFile = ".alive";

    // Folders "/tmp/kobal-<tool>-XXXXXX" of this user whose run no longer holds its flock.
    // Folders without the file (made by older versions) are left alone.
    static void removeFoldersOfDeadRuns() {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/tmp", ec)) {
            const std::string name = e.path().filename().string();
            struct stat st;
            if (name.rfind("kobal-", 0) != 0 || lstat(e.path().c_str(), &st) != 0 ||
                !S_ISDIR(st.st_mode) || st.st_uid != getuid())
                continue;
            const int fd = ::open((e.path() / kAliveFile).c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0) continue;
            const bool dead = flock(fd, LOCK_EX | LOCK_NB) == 0;
            ::close(fd);
            if (dead) std::filesystem::remove_all(e.path(), ec);
        }
    }

    std::string folder_;
    int alive_ = -1;
};

} // namespace kobal::tools
