#pragma once
// The Help menu's "ソフトウェアアップデート ": starts kobal_update beside the running player. The
// update program closes the player itself when it needs to; the player does not wait for it.
#include <functional>
#include <string>

namespace kobal {

// What the launch needs of the main window's recorder (UI thread).
struct UpdateLaunchRecorder {
    std::function<bool()> isRecording;
    // Marks the window as closing, so stopping does not ask again; cleared afterwards.
    std::function<void(bool closing)> setClosing;
    std::function<void()> stopRecording;
};

// kobal_update beside this program (in a build tree: in the updater folder beside app/).
std::string updaterProgramPath();

// While recording, asks first ("録画中です。プレーヤーを終了しますか。"); anything but Yes starts
// nothing. Returns the update program's process id, or -1 when it did not start (not reported).
long LaunchUpdater(const UpdateLaunchRecorder& recorder);

} // namespace kobal
