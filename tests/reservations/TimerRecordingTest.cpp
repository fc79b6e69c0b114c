// The one-second reservation check on the seconds around its edges: arming 9 s before the start,
// recording from the start, stopping 19 s before the end, and the daily or weekly move that
// follows, across a year's and a month's end. The host stands in for the main window's recorder
// and tuner and only notes what it is asked to do.
#include "reservations/TimerRecording.h"

#include <gtest/gtest.h>

using namespace kobal;

namespace {

struct Recorder : TimerRecordingHost {
    bool recording = false;
    bool receivable = true;
    std::vector<int> tuned;
    int starts = 0, stops = 0;
    std::vector<QString> messages;

    bool isRecording() const override { return recording; }
    void stopRecording() override {
        recording = false;
        ++stops;
    }
    bool tuneReservedSlot(int slot) override {
        tuned.push_back(slot);
        return receivable;
    }
    bool readyToRecord() override { return true; }
    bool startRecording() override {
        recording = true;
        ++starts;
        return true;
    }
    void showMessage(const QString& text) override { messages.push_back(text); }
};

Reservation reservation(int64_t start, int64_t end, int repeat, int slot, int id) {
    Reservation r;
    r.start = start;
    r.end = end;
    r.repeat = repeat;
    r.slot = slot;
    r.id = id;
    return r;
}

} // namespace

TEST(TimerRecording, ArmsStartsAndStopsOnTheEdgeSecondsAndMovesADailyOneIntoTheNewYear) {
    const int64_t start = localTime(2026, 12, 31, 23, 30), end = localTime(2027, 1, 1, 0, 30);
    TimerRecording check;
    check.list().add(reservation(start, end, Reservation::kDaily, 14, 1));
    Recorder host;
    host.recording = true; // a recording the user started

    check.check(start - 10, host);
    EXPECT_TRUE(host.tuned.empty());
    EXPECT_EQ(host.stops, 0);
    check.check(start - 9, host);
    EXPECT_EQ(host.tuned, std::vector<int>{14});
    EXPECT_TRUE(check.armed());
    EXPECT_EQ(host.stops, 1);
    check.check(start - 1, host);
    EXPECT_EQ(host.starts, 0);
    EXPECT_EQ(host.tuned.size(), 1u); // armed once
    check.check(start, host);
    EXPECT_EQ(host.starts, 1);
    EXPECT_EQ(check.list().items()[0].recording, 1);
    check.check(start + 1, host);
    check.check(end - 20, host);
    EXPECT_EQ(host.starts, 1); // never a second recording
    EXPECT_EQ(host.stops, 1);
    check.check(end - 19, host);
    EXPECT_EQ(host.stops, 2);
    EXPECT_FALSE(check.armed());
    EXPECT_EQ(host.messages,
              (std::vector<QString>{QStringLiteral("予約録画のため、現在の録画を停止します。"),
                                    QStringLiteral("予約録画を開始します。"),
                                    QStringLiteral("予約録画を停止します。")}));
    ASSERT_EQ(check.list().size(), 1u);
    EXPECT_EQ(check.list().items()[0].start, localTime(2027, 1, 1, 23, 30));
    EXPECT_EQ(check.list().items()[0].end, localTime(2027, 1, 2, 0, 30));
    EXPECT_EQ(check.list().items()[0].recording, 0);
}

TEST(TimerRecording, MissedOrUnreceivableReservationsMoveOnAndTheNextIsArmedAfresh) {
    // A weekly one at the end of January, a once one after it, and one of an unknown station.
    const int64_t weekly = localTime(2027, 1, 28, 22, 0), once = localTime(2027, 2, 1, 6, 0);
    TimerRecording check;
    check.list().add(reservation(weekly, weekly + 3600, Reservation::kWeekly, 14, 1));
    check.list().add(reservation(once, once + 600, Reservation::kOnce, 20, 2));
    check.list().add(reservation(once + 3600, once + 7200, Reservation::kOnce, -1, 3));
    Recorder host;

    check.check(weekly - 5, host);
    ASSERT_TRUE(check.armed());
    // The machine slept through the whole programme: nothing is recorded, the weekly one moves
    // into February and the once one comes to the front, not armed.
    check.check(weekly + 3600 - 10, host);
    EXPECT_EQ(host.starts, 0);
    EXPECT_FALSE(check.armed());
    ASSERT_EQ(check.list().items()[0].id, 2);
    EXPECT_EQ(check.list().items()[1].start, localTime(2027, 2, 4, 22, 0));

    // The once one's channel cannot be received: tried again through its window, never armed,
    // never recorded, and dropped at its end.
    host.receivable = false;
    host.tuned.clear();
    for (int64_t t = once - 9; t < once + 600 - 19; t += 60) check.check(t, host);
    EXPECT_EQ(host.tuned, std::vector<int>(10, 20));
    EXPECT_FALSE(check.armed());
    EXPECT_EQ(host.starts, 0);
    check.check(once + 600 - 19, host);
    ASSERT_EQ(check.list().size(), 2u);
    EXPECT_EQ(check.list().items()[0].id, 3);

    // No slot: nothing is ever tuned for it.
    const size_t tunes = host.tuned.size();
    host.receivable = true;
    check.check(once + 3600, host);
    EXPECT_EQ(host.tuned.size(), tunes);
    EXPECT_EQ(host.starts, 0);
}
