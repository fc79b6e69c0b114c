// Every test process gets its own KOBAL_HOME, so settings files and named objects of tests that
// run side by side never meet. At exit the home goes, and with it every named object of its
// scope (a failed or killed test never unlinks its own).
#include "TestSupport.h"

#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

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
    if (!std::getenv("KOBAL_KEEP_TEST_HOME")) {
        kobal::test::removeNamedObjects();
        std::filesystem::remove_all(home, ec);
    }
    return rc;
}
