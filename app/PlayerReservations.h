#pragma once
// The main window's reservations and alarms: reserv.ini loaded with the settings and saved
// with them, the start-up purge, the alarm that picks the start-up channel, the scheduled
// starts' failure message, and the host side of the one-second recording check (timer 106).
#include "reservations/TimerRecording.h"

#include <QPointer>

namespace kobal {

class CPlayerDlg;

class PlayerReservations : public TimerRecordingHost {
public:
    explicit PlayerReservations(CPlayerDlg* window);

    TimerRecording& timer() { return timer_; }
    // Inside LoadSettings / SaveSettings.
    void load();
    void save();
    // The alarm's slot when the player starts within an alarm's window, else -1 (alarm.ini).
    int requestedSlotAtStart();
    // Messages the load left for the user (shown once the window is up).
    std::vector<std::string> takeMessages() { return std::exchange(messages_, {}); }
    // Timer 106.
    void check();
    // The window's reserved recording stopped (the front reservation is finished).
    void reservedRecordingStopped();

    // The program a scheduled start runs.
    static std::string playerProgram();
    static int64_t now();

    bool isRecording() const override;
    void stopRecording() override;
    bool tuneReservedSlot(int slot) override;
    bool readyToRecord() override;
    bool startRecording() override;
    void showMessage(const QString& text) override;

private:
    QPointer<CPlayerDlg> window_;
    TimerRecording timer_;
    std::vector<std::string> messages_;
};

} // namespace kobal
