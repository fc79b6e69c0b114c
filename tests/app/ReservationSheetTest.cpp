// Reserving from the programme list on the real player: the simulator's guide fills the list,
// "予約" runs the details dialog (accepted through the dialog hook with its own OK), and the
// reservation is in the reservation list, registered as a scheduled start. Removing it
// deletes that start again.
#include "app/CPlayerDlg.h"
#include "engine/TunerSession.h"
#include "platform/Dialogs.h"
#include "platform/Scheduler.h"
#include "reservations/ProgrammeListPage.h"
#include "reservations/ReservationListPage.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"
#include "ui/AribSymbols.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>

using namespace kobal;

TEST(ReservationSheet, AProgrammeOfTheGuideIsReservedAndListed) {
    ASSERT_TRUE(test::prepareApp());
    const std::string home = test::homeDir();

    std::vector<std::string> dialogs;
    setModalHandler([&](QDialog& d) {
        dialogs.push_back(d.windowTitle().toStdString());
        // The dialog's own OK, so its checks and its writing of the values run.
        for (QPushButton* b : d.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("OK")) b->click();
        return d.result();
    });
    test::MessageBoxRecorder recorder;
    auto& boxes = recorder.texts;
    CPlayerDlg dlg;
    ASSERT_TRUE(dlg.initialise());
    CReservationSheet* sheet = dlg.reservationSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(sheet->isVisible());

    // The guide arrives with the tuned channel: present and following programmes at least.
    ASSERT_TRUE(test::waitUntil([&] { return sheet->programmes().size() >= 2; },
                                std::chrono::seconds(30), true));
    const QTableWidget* rows = sheet->programmePage()->table();
    EXPECT_EQ(rows->rowCount(), int(sheet->programmes().size()));
    const std::string tuned = dlg.session()->currentKey();
    EXPECT_EQ(sheet->programmes()[1].slot, ChannelScan::slotOfKey(tuned));
    EXPECT_FALSE(sheet->programmePage()->channelEdit()->text().isEmpty());

    // The following programme starts ahead of now: reserve it.
    const Reservation wanted = sheet->programmes()[1];
    ASSERT_GT(wanted.start, std::time(nullptr));
    sheet->programmePage()->table()->selectRow(1);
    sheet->programmePage()->reserveButton()->click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], "予約録画の詳細設定");
    EXPECT_TRUE(boxes.empty()) << boxes[0];

    // In the list and on the list page, which the sheet now shows.
    ReservationList& list = dlg.reservations().timer().list();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.items()[0].title, wanted.title);
    EXPECT_EQ(list.items()[0].start, wanted.start);
    EXPECT_EQ(list.items()[0].slot, wanted.slot);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->pages()->currentIndex(), 1);
    const QTableWidget* listed = sheet->reservationPage()->table();
    ASSERT_EQ(listed->rowCount(), 1);
    EXPECT_EQ(listed->item(0, 1)->text(), showableText(QString::fromStdU16String(wanted.title)));
    const std::string unit = Scheduler::unitFolder() + "/" + list.items()[0].taskName() + ".timer";
    EXPECT_TRUE(std::filesystem::exists(unit)) << unit;

    // "削除" removes it and its scheduled start.
    sheet->reservationPage()->table()->selectRow(0);
    sheet->reservationPage()->deleteButton()->click();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(listed->rowCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(unit));

    dlg.requestClose();
    EXPECT_TRUE(test::waitUntil([&] { return !dlg.isVisible() && !dlg.graph(); },
                                std::chrono::seconds(10), true));
    setModalHandler({});
}
