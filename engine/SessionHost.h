#pragma once
// What the tuner session asks of the main window. The main window implements this; tests and
// kobal_tsdump use the defaults, which write config.ini in the install folder, send message
// boxes through kobal::messageBox and otherwise do nothing.
//
// Every call is made on the main window's thread except where noted.
#include <cstdint>
#include <string>

namespace kobal {

struct CaptionBlock;
class ProgrammeGuide;

// Timer ids the session arms and stops on the main window.
inline constexpr int kTimerSignalCheck = 106; // armed by the main window, stopped by the session
inline constexpr int kTimerTuneWaiting = 109; // 100 ms one-shot: tune the waiting key
inline constexpr int kTimerSignalPoll = 500;  // signal bar poll

class SessionHost {
public:
    virtual ~SessionHost() = default;

    // Native window handle passed to CTDMBDll::Open (may be null).
    virtual void* windowHandle() { return nullptr; }

    // Channel status line ("" clears it).
    virtual void setChannelStatus(const std::u16string& text) { (void)text; }
    // Broadcast text from the parse thread (an implementation copies what it keeps and moves
    // it to its own thread). setChannelStatus above is called from there too, with
    // "チャンネル : " and the service name on every SDT section start.
    // The programme ticker's new text; the ticker scrolls it from its beginning.
    virtual void setProgrammeTicker(const std::u16string& text) { (void)text; }
    // Clear the programme list and rebuild it from guide.events() (index 1 first, up to the
    // first empty title); the guide is valid only during the call.
    virtual void rebuildProgrammeList(const ProgrammeGuide& guide) { (void)guide; }
    // A decoded caption screen for the caption panel; valid only during the call.
    virtual void showCaption(const CaptionBlock& block) { (void)block; }

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

    // Channel panel: mark a slot's entry as receivable and redraw the panel. Called on the data
    // pump thread (announce formats), so an implementation posts it to its own thread.
    virtual void markChannelAvailable(int slot) { (void)slot; }
    // Channel panel: hide it and refresh (device removal).
    virtual void hideChannelPanel() {}
    // Re-open the tuner and rescan after the device came back.
    virtual void reopenAndRescan() {}

    // Recording control (the recorder lives in the main window).
    virtual bool recordingRunning() { return false; }
    // Stops a running recording; notify: tell the user the recording ended (renderer stopped).
    virtual void stopRecording(bool notify) { (void)notify; }

    // The stream is established (set on the data pump thread after the formats are announced).
    virtual void streamEstablished() {}

    // The player must end (the tuner could not be opened while tuning).
    virtual void requestQuit() {}

    // A message box; may be called from an engine thread (the caller waits for the answer).
    virtual int messageBox(const std::string& text, const std::string& title, unsigned flags);

    // config.ini (install folder). May be called from the data pump thread.
    virtual std::string readConfig(const std::string& section, const std::string& key,
                                   const std::string& def, int bufferLength);
    virtual void writeConfig(const std::string& section, const std::string& key,
                             const std::string& value);

private:
    int signalBars_ = 0;
};

} // namespace kobal
