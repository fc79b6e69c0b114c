#include "app/UpdateLaunch.h"

#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <filesystem>
#include <unistd.h>

namespace kobal {

std::string updaterProgramPath() {
    const std::string beside = paths::programFolder() + "/kobal_update";
    // A build tree keeps each program in its own folder (app/, updater/).
    const std::string built =
        std::filesystem::path(paths::programFolder() + "/../updater/kobal_update")
            .lexically_normal();
    return ::access(beside.c_str(), X_OK) != 0 && ::access(built.c_str(), X_OK) == 0 ? built
                                                                                     : beside;
}

long LaunchUpdater(const UpdateLaunchRecorder& recorder) {
    if (recorder.isRecording && recorder.isRecording()) {
        if (messageBox("録画中です。プレーヤーを終了しますか。", "Kobal メッセージ", MB_YESNO) !=
            IDYES)
            return -1;
        if (recorder.setClosing) recorder.setClosing(true);
        if (recorder.stopRecording) recorder.stopRecording();
        if (recorder.setClosing) recorder.setClosing(false);
    }
    // Started detached, without arguments; a missing program is not reported.
    return startDetached(updaterProgramPath());
}

} // namespace kobal
