#pragma once
// The reservations of a running player: the list loaded at start and saved at exit, their
// scheduled starts, and the one-second check that records the first reservation.
//
// The check works on time ranges rather than on the exact minute, so a start or an end that
// the clock jumped over (suspend, a clock set by hand) is still acted on:
//   arm    from 9 s before the start until 60 s before the end: stop a manual recording, make
//          sure the channel is receivable and tune it;
//   start  once armed and the start has come: start the recorder (never a second recording);
//   stop   from 19 s before the end: stop it, then drop a once reservation or move a daily or
//          weekly one by a day or a week;
//   missed a reservation whose end came without a recording is dropped or moved the same way.
// UI thread only; the host's calls must not block.
#include "Reservation.h"

#include <QString>

#include <string>

namespace kobal {

class TimerRecordingHost {
public:
    virtual ~TimerRecordingHost() = default;
    virtual bool isRecording() const = 0;
    virtual void stopRecording() = 0;
    // Tuner present, the slot receivable (after rescans) and tuned; false when it cannot be.
    virtual bool tuneReservedSlot(int slot) = 0;
    // The link is ready and the free-space rule passes.
    virtual bool readyToRecord() = 0;
    virtual bool startRecording() = 0;
    virtual void showMessage(const QString& text) = 0;
    // The list changed (the reservation list page redraws).
    virtual void reservationsChanged() {}
};

class TimerRecording {
public:
    TimerRecording();

    // Loads reserv.ini and purges passed reservations. The texts for the user (a damaged file,
    // the purge message) are returned in *messages.
    void loadAtStart(const std::string& path, int64_t now, std::vector<std::string>* messages);
    // Saves the list (an empty one deletes reserv.ini; a damaged file was already moved to
    // ".broken" by the load, so nothing here can replace it).
    bool saveAtExit(const std::string& path) const;

    ReservationList& list() { return list_; }
    bool armed() const { return armed_; }

    // The reservations' clock: the system's, moved by KOBAL_CLOCK_OFFSET seconds when set (so
    // tests reach a start or an alarm minute without waiting for it).
    static int64_t now();

    // The one-second check (timer 106).
    void check(int64_t now, TimerRecordingHost& host);
    // The reserved recording stopped, whoever stopped it (the user after the question, the
    // close of the player, a source change): the front reservation is finished at once (a once
    // one dropped, a daily or weekly one moved), so the list saved at exit is already right.
    // Nothing happens when the front is not recording.
    void recordingStopped(int64_t now, TimerRecordingHost& host);

    // Registers (or replaces) the scheduled start of r; false when scheduled starts are not
    // available (the reservation is still recorded while the player runs).
    static bool registerReservation(const Reservation& r, const std::string& program);
    static void unregisterReservation(const Reservation& r);

private:
    void finishFront(int64_t now, TimerRecordingHost& host);

    ReservationList list_;
    bool armed_ = false;
};

} // namespace kobal
