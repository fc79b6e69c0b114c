// The details dialog's OK: what the list cannot take is refused with the dialog left open,
// a change keeps its id, a cancelled change leaves the entry as it was, and an iEPG import
// whose start has passed never opens.
#include "reservations/ReservationDetailDlg.h"
#include "platform/Dialogs.h"
#include "reservations/TimerRecording.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTimeEdit>
#include <gtest/gtest.h>

using namespace kobal;

TEST(ReservationDetailDlg, RefusesWhatTheListCannotTakeAndKeepsTheEntryUntilAccepted) {
    test::ensureQtApp();
    test::MessageBoxRecorder recorder;
    auto& boxes = recorder.titled;
    const std::tm t = localTm(TimerRecording::now() + 2 * 86400);
    auto at = [&](int hour, int minute) {
        return localTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, hour, minute);
    };
    ReservationList list;
    Reservation a = Reservation::fresh(0);
    a.channelName = u"ＮＨＫ総合";
    a.title = u"朝";
    a.start = at(20, 0);
    a.end = at(21, 0);
    a.slot = 14;
    a.id = 5;
    Reservation b = a;
    b.start = at(22, 0);
    b.end = at(23, 0);
    b.id = 6;
    list.add(a);
    list.add(b);
    const ReservationList before = list;

    // Changing a onto b's time is refused and the dialog stays open; touching times are fine.
    CReservationDetailDlg change(edit::kChange, a, list, 0);
    EXPECT_FALSE(change.channelBox()->isEnabled());
    change.titleEdit()->setText(QStringLiteral("夜"));
    change.startTime()->setTime(QTime(22, 30));
    change.endTime()->setTime(QTime(23, 30));
    change.accept();
    ASSERT_EQ(boxes, std::vector<std::string>{"エラー: 他の予約と時間が重なっています。"});
    EXPECT_EQ(change.result(), a);
    EXPECT_NE(change.QDialog::result(), QDialog::Accepted);
    change.startTime()->setTime(QTime(21, 0));
    change.endTime()->setTime(QTime(22, 0));
    change.accept();
    EXPECT_EQ(change.QDialog::result(), QDialog::Accepted);
    EXPECT_EQ(change.result().title, u"夜");
    EXPECT_EQ(change.result().start, at(21, 0));
    EXPECT_EQ(change.result().id, 5);
    EXPECT_EQ(change.result().channelName, u"ＮＨＫ総合");
    EXPECT_EQ(change.result().slot, 14);
    // Nothing reached the list: the caller takes the result (a cancel would drop it).
    EXPECT_EQ(list.items(), before.items());

    // A new one lists the channels and takes the chosen one's slot; an end before the start
    // and a start in the past are refused.
    boxes.clear();
    CReservationDetailDlg fresh(edit::kNew, Reservation::fresh(at(8, 0)), list, -1,
                                {{u"ＮＨＫ総合", 14}, {u"ＴＢＳ", 15}});
    ASSERT_EQ(fresh.channelBox()->count(), 2);
    EXPECT_EQ(fresh.channelBox()->currentIndex(), 0);
    fresh.channelBox()->setCurrentIndex(1);
    fresh.endTime()->setTime(QTime(7, 0));
    fresh.accept();
    fresh.endTime()->setTime(QTime(9, 0));
    fresh.startDate()->setDate(QDate(2001, 1, 1));
    fresh.accept();
    fresh.startDate()->setDate(QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday));
    fresh.accept();
    EXPECT_EQ(boxes, (std::vector<std::string>{"エラー: 誤った時間範囲を入力しました。",
                                               "エラー: 誤った時間を入力しました。"}));
    EXPECT_EQ(fresh.result().slot, 15);
    EXPECT_EQ(fresh.result().channelName, u"ＴＢＳ");

    // An import whose start has passed is told and never shown.
    boxes.clear();
    int shown = 0;
    setModalHandler([&](QDialog&) { return ++shown; });
    Reservation old = a;
    old.start = TimerRecording::now() - 60;
    CReservationDetailDlg import(edit::kIepg, old, list);
    EXPECT_FALSE(import.run());
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(boxes, std::vector<std::string>{"iEPG エラー: 誤った時間を入力しました。"});
    setModalHandler({});
}
