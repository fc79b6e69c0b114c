#pragma once
// What the tuner session tells the main window to do: the second of the two contracts between
// the engine and the window (the first is EngineOutputSink, the engine threads' outputs).
//
// Every call is made on the UI thread, by TunerSession, while it handles a copy-data command,
// a device change or a tune; never from an engine thread and never under an engine lock. The
// main window implements it and outlives the session. The defaults do nothing (no file, no
// dialog), so tools and tests override only what they look at.
//
// Status lines are not here: they go through the sink, in order with the parse thread's.
#include <string>

namespace kobal {

// Timer ids the session arms and stops on the main window.
inline constexpr int kTimerSignalCheck = 106; // armed by the main window, stopped by the session
inline constexpr int kTimerTuneWaiting = 109; // 100 ms one-shot: tune the waiting key
inline constexpr int kTimerSignalPoll = 500;  // signal bar poll

class SessionWindow {
public:
    virtual ~SessionWindow() = default;

    // Native window handle passed to CTDMBDll::Open (may be null).
    virtual void* windowHandle() { return nullptr; }

    // On-screen message in the ticker panel, shown until replaced.
    virtual void showMessage(const std::u16string& text) { (void)text; }

    // Signal bar: the count shown, and a redraw.
    virtual int signalBars() { return signalBars_; }
    virtual void setSignalBars(int count) { signalBars_ = count; }

    // Main window timers by id (106, 109, 500).
    virtual void startTimer(int id, int intervalMs) { (void)id, (void)intervalMs; }
    virtual void stopTimer(int id) { (void)id; }
    virtual bool timerArmed(int id) { return (void)id, false; }

    // Busy cursor: clear the flag and restore the normal cursor.
    virtual void restoreCursor() {}

    // Channel panel: hide it and refresh (device removal).
    virtual void hideChannelPanel() {}
    // Re-open the tuner and rescan after the device came back.
    virtual void reopenAndRescan() {}

    // Recording control (the recorder lives in the main window).
    virtual bool recordingRunning() { return false; }
    // Stops a running recording; notify: tell the user the recording ended (renderer stopped).
    virtual void stopRecording(bool notify) { (void)notify; }

    // The player must end (the tuner could not be opened while tuning).
    virtual void requestQuit() {}

private:
    int signalBars_ = 0;
};

} // namespace kobal
