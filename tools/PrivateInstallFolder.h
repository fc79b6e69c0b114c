#pragma once
// For the tools that run the engine and the renderer link (kobal_tsdump, kobal_grab). Named
// objects (the renderer link, its events, the engine's semaphores) are scoped by the install
// folder, so unless KOBAL_HOME is set the tool works in a temporary folder of its own and never
// meets a player running on the same account. The tuner chosen in the user's registry still
// applies: it is handed on through the environment before the folder changes.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tuner/CTDMBDll.h"

namespace kobal::tools {

class PrivateInstallFolder {
public:
    explicit PrivateInstallFolder(const std::string& tool) {
        if (std::getenv("KOBAL_HOME")) return;
        veltra::keepBackendChoice();
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
