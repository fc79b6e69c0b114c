#pragma once
// The surroundings every test of the whole player starts from.
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <string>

namespace kobal::test {

// No sound device, a quick channel scan, the Qt application, and a config.ini whose [SETUP]
// section holds `setup` (area 7 unless told). False when the file cannot be written.
[[nodiscard]] inline bool prepareApp(const std::string& setup = "AREA_NUM=7\n") {
    setenv("KOBAL_AUDIO", "null", 1);
    setenv("KOBAL_SCAN_SLOT_MS", "20", 1);
    ensureQtApp();
    return writeFile(homeDir() + "/config.ini", "[SETUP]\n" + setup);
}

} // namespace kobal::test
