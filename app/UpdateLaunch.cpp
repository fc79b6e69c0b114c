#include "app/UpdateLaunch.h"

#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "platform/Process.h"

namespace kobal {

std::string updaterProgramPath() {
    return paths::programFolder() + "/kobal_update";
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
