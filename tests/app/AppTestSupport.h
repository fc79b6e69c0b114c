#pragma once
// The surroundings every test of the whole player starts from.
#include "app/CPlayerDlg.h"
#include "renderer/MediaGraph.h"
#include "renderer/Presenter.h"
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

// The player on area 7, started and watching: live pictures with the stream established.
[[nodiscard]] inline bool startLive(CPlayerDlg& dlg) {
    using namespace std::chrono_literals;
    if (!prepareApp() || !dlg.initialise()) return false;
    return pumpUntil(
        [&] {
            auto g = dlg.graph();
            return g && g->presenter() && g->presenter()->picturesShown() > 10 &&
                   dlg.state().signalLevel > 0;
        },
        20000ms);
}

} // namespace kobal::test
