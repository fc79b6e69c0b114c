// Every test process gets its own KOBAL_HOME, so settings files and named objects of tests that
// run side by side never meet. At exit the home goes, and with it every named object of its
// scope (a failed or killed test never unlinks its own) and every program still running in it.
#include "TestSupport.h"

#include "platform/Paths.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kobal::test {
namespace {
std::string g_home;

// Named semaphores and shared memory of this home's scope (see paths::posixName).
void removeNamedObjects() {
    setenv("KOBAL_HOME", g_home.c_str(), 1); // a test may have pointed it elsewhere
    const std::string prefix = "kobal-" + paths::objectScope() + "-";
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/dev/shm", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0 || name.rfind("sem." + prefix, 0) == 0) {
            std::error_code ignored;
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

// True when the process's environment puts KOBAL_HOME in this test's home or below it.
bool runsInHome(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    const std::string env((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string key = "KOBAL_HOME=" + g_home;
    for (size_t at = 0; at < env.size();) {
        const size_t end = std::min(env.find('\0', at), env.size());
        const std::string_view entry(env.data() + at, end - at);
        if (entry == key || (entry.substr(0, key.size()) == key && entry.size() > key.size() &&
                             entry[key.size()] == '/'))
            return true;
        at = end + 1;
    }
    return false;
}

bool gone(pid_t pid) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return true; // a child of ours, now reaped
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    if (!(stat >> pidText >> name >> state)) return true;
    return state == "Z"; // ended, waiting for a parent that is not us
}

// Programs the tests started, directly or through one another, that still run in this home:
// a player closed in tray mode leaves the timer program, say. They end with the test process.
void endProgramsLeftInHome() {
    std::vector<pid_t> left;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = pid_t(std::stol(name));
        if (pid != getpid() && runsInHome(pid)) left.push_back(pid);
    }
    for (pid_t pid : left) {
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string what;
        std::getline(comm, what);
        std::cerr << "ending " << what << " (" << pid << "), still running in the test's home\n";
        kill(pid, SIGTERM);
    }
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (pid_t pid : left) {
        while (!gone(pid) && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!gone(pid)) kill(pid, SIGKILL);
    }
}

} // namespace
std::string homeDir() {
    return g_home;
}
} // namespace kobal::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    char tmpl[] = "/tmp/kobal-test-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) return 2;
    // Spelled as the platform layer spells the install folder (no symlinks), so tests can
    // compare paths with it.
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(dir, ec);
    kobal::test::g_home = ec ? std::string(dir) : canonical.string();
    const std::string home = kobal::test::g_home;
    setenv("KOBAL_HOME", home.c_str(), 1);
    setenv("TZ", "Asia/Tokyo", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string runtime = home + "/run";
    std::filesystem::create_directories(runtime);
    setenv("KOBAL_RUNTIME_DIR", runtime.c_str(), 1);
    // Scheduled starts go to a folder of the test home, never to the user's systemd folder.
    setenv("KOBAL_SCHEDULER_DIR", (home + "/systemd").c_str(), 1);
    int rc = RUN_ALL_TESTS();
    kobal::test::endProgramsLeftInHome();
    if (!std::getenv("KOBAL_KEEP_TEST_HOME")) {
        kobal::test::removeNamedObjects();
        std::filesystem::remove_all(home, ec);
    }
    return rc;
}
