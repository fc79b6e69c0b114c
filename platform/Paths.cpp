#include "platform/Paths.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace kobal::paths {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string homeFolder() {
    std::string h = env("HOME");
    return h.empty() ? std::string("/tmp") : h;
}

uint32_t fnv1a(std::string_view s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

std::string hex8(uint32_t v) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

// The user's Videos folder as xdg-user-dirs records it ("XDG_VIDEOS_DIR="$HOME/Videos"").
std::string xdgVideos() {
    std::string cfg = env("XDG_CONFIG_HOME");
    if (cfg.empty()) cfg = homeFolder() + "/.config";
    std::ifstream in(cfg + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_VIDEOS_DIR=";
        if (line.rfind(key, 0) != 0) continue;
        std::string v = line.substr(key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0) v = homeFolder() + v.substr(5);
        if (!v.empty() && v.front() == '/') return v;
    }
    return {};
}

} // namespace

bool makeFolders(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

std::string installFolder() {
    std::string dir = env("KOBAL_HOME");
    if (dir.empty()) {
        std::string cfg = env("XDG_CONFIG_HOME");
        if (cfg.empty()) cfg = homeFolder() + "/.config";
        dir = cfg + "/kobal";
    }
    // Every process must spell the same folder the same way: the object names hash it, so a
    // relative or symlinked KOBAL_HOME would otherwise split one installation in two.
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(dir, ec);
    if (!ec) dir = abs.string();
    makeFolders(dir);
    std::filesystem::path canon = std::filesystem::weakly_canonical(dir, ec);
    if (!ec) dir = canon.string();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::string runtimeFolder() {
    std::string dir = env("KOBAL_RUNTIME_DIR");
    if (dir.empty()) {
        std::string xdg = env("XDG_RUNTIME_DIR");
        dir = xdg.empty() ? "/tmp/kobal-" + std::to_string(getuid()) : xdg + "/kobal";
    }
    makeFolders(dir);
    chmod(dir.c_str(), 0700);
    return dir;
}

std::string siblingProgram(const std::string& name, const std::string& buildFolder) {
    const std::string beside = programFolder() + "/" + name;
    if (::access(beside.c_str(), X_OK) == 0) return beside;
    const std::string built =
        std::filesystem::path(programFolder() + "/../" + buildFolder + "/" + name)
            .lexically_normal();
    return ::access(built.c_str(), X_OK) == 0 ? built : beside;
}

std::string programFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

std::string cacheFolder() {
    std::string cache = env("XDG_CACHE_HOME");
    if (cache.empty()) cache = homeFolder() + "/.cache";
    std::string dir = cache + "/kobal";
    makeFolders(dir);
    return dir;
}

std::string videosFolder() {
    std::string v = xdgVideos();
    return v.empty() ? homeFolder() + "/Videos" : v;
}

std::string inInstall(const std::string& name) {
    return installFolder() + "/" + name;
}

std::string objectScope() {
    return std::to_string(getuid()) + "-" + hex8(fnv1a(installFolder()));
}

std::string posixName(const std::string& windowsName) {
    std::string clean;
    clean.reserve(windowsName.size());
    for (unsigned char c : windowsName) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        clean.push_back(ok ? static_cast<char>(c) : '_');
    }
    std::string name = "/kobal-" + objectScope() + "-";
    // Named semaphores add "sem." to the name, and NAME_MAX is 255.
    constexpr size_t kMax = 240;
    if (name.size() + clean.size() > kMax) {
        clean = clean.substr(0, kMax - name.size() - 9) + "-" + hex8(fnv1a(windowsName));
    }
    return name + clean;
}

} // namespace kobal::paths
