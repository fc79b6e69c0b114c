#pragma once
// The main window's reservations and alarms: reserv.ini loaded with the settings and saved
// with them, the start-up purge, the alarm that picks the start-up channel, the scheduled
// starts' failure message, the host side of the one-second recording check (timer 106), the
// reservation sheet "予約録画の設定" (made hidden with the window, fed the programme guide),
// the details dialog, the two-slot form 121 and the iEPG import.
#include "reservations/ProgrammeList.h"
#include "reservations/ReservationSheet.h"
#include "reservations/TimerRecording.h"

#include <QPointer>
#include <deque>

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

    // The sheet, made hidden once the settings are loaded; shown on a page on demand.
    void createSheet();
    CReservationSheet* sheet() const { return sheet_; }
    void showSheet(int page);
    // The menu's "予約録画設定表示": hides the sheet when it is visible, else shows it.
    void toggleSheet();
    // The engine's guide changed: the programme list is rebuilt for the tuned channel.
    void onGuide(const ProgrammeGuide& guide);
    // The channel panel's lines, and the tuned one.
    std::vector<ChannelChoice> channelLines() const;
    ChannelChoice tunedChannel() const;
    // The two-slot form, modally (the caller restarts timer 106).
    void runForm();
    // The reservation details dialog on an edit buffer: true on OK, the accepted values in
    // *buffer. Tests answer it through the modal-dialog hook.
    bool runDetails(int kind, Reservation* buffer, int editIndex);

    // Takes an iEPG file to import. Files are read and confirmed in the details dialog one at
    // a time from the event loop, so a relaying second start is answered at once and a file
    // arriving while a dialog is open waits for it (at most 16 wait; more are dropped).
    void importIepg(const std::string& path);
    // Reads one iEPG file now: a damaged one gets "iEPG エラー"; one the user accepts in the
    // details dialog joins the list with a new id and its scheduled start. A file that cannot
    // be opened is passed over silently.
    void importIepgNow(const std::string& path);

    // The program a scheduled start runs.
    static std::string playerProgram();
    static int64_t now();

    bool isRecording() const override;
    void stopRecording() override;
    bool tuneReservedSlot(int slot) override;
    bool readyToRecord() override;
    bool startRecording() override;
    void showMessage(const QString& text) override;
    void reservationsChanged() override;

private:
    void importQueued();

    QPointer<CPlayerDlg> window_;
    TimerRecording timer_;
    std::vector<std::string> messages_;
    QPointer<CReservationSheet> sheet_;
    std::deque<std::string> imports_;
    bool importing_ = false;
};

} // namespace kobal
