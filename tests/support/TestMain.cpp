// Every test process gets its own KOBAL_HOME, so settings files and named objects of tests that
// run side by side never meet.
#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace kobal::test {
namespace {
std::string g_home;
}
std::string homeDir() {
    return g_home;
}
} // namespace kobal::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    char tmpl[] = "/tmp/kobal-test-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) return 2;
    kobal::test::g_home = dir;
    setenv("KOBAL_HOME", dir, 1);
    setenv("TZ", "Asia/Tokyo", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string runtime = std::string(dir) + "/run";
    std::filesystem::create_directories(runtime);
    setenv("KOBAL_RUNTIME_DIR", runtime.c_str(), 1);
    int rc = RUN_ALL_TESTS();
    if (!std::getenv("KOBAL_KEEP_TEST_HOME")) {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    return rc;
}
