#pragma once
// For the tools that run the engine and the renderer link (kobal_tsdump, kobal_grab). Named
// objects (the renderer link, its events, the engine's semaphores) are scoped by the install
// folder, so unless KOBAL_HOME is set the tool works in a temporary folder of its own and never
// meets a player running on the same account. The tuner chosen in the user's registry still
// applies: it is handed on through the environment before the folder changes.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Registry.h"

namespace kobal::tools {

class PrivateInstallFolder {
public:
    explicit PrivateInstallFolder(const std::string& tool) {
        if (std::getenv("KOBAL_HOME")) return;
        if (!std::getenv("KOBAL_TUNER")) {
            if (auto tuner = Registry::read("tuner")) setenv("KOBAL_TUNER", tuner->c_str(), 1);
        }
        if (!std::getenv("KOBAL_REPLAY_DIR")) {
            if (auto dir = Registry::read("replay_Dir", 4096))
                setenv("KOBAL_REPLAY_DIR", dir->c_str(), 1);
        }
        std::string pattern = "/tmp/kobal-" + tool + "-XXXXXX";
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        setenv("KOBAL_HOME", folder_.c_str(), 1);
    }
    ~PrivateInstallFolder() {
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
    }
    PrivateInstallFolder(const PrivateInstallFolder&) = delete;
    PrivateInstallFolder& operator=(const PrivateInstallFolder&) = delete;

private:
    std::string folder_;
};

} // namespace kobal::tools
