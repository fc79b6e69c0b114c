// The alarm dialog on a real alarm.ini: the rows it shows, adding (the refusals, and a daily
// alarm whose time of day has passed), deleting, OK writing the file byte for byte, Cancel
// writing nothing, and a damaged file told and kept aside.
#include "platform/Dialogs.h"
#include "reservations/AlarmDlg.h"
#include "reservations/Reservation.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <filesystem>
#include <gtest/gtest.h>

using namespace kobal;

namespace {

QString text(const CAlarmPage* page, int row, int column) {
    const QTableWidgetItem* item = page->list()->item(row, column);
    return item ? item->text() : QString();
}

void addAlarm(CAlarmPage* page, int repeat, QDate date, QTime time, int channel) {
    page->repeatCombo()->setCurrentIndex(repeat);
    page->datePicker()->setDate(date);
    page->timePicker()->setTime(time);
    page->channelCombo()->setCurrentIndex(channel);
    page->addButton()->click();
}

} // namespace

TEST(AlarmDialog, ShowsAddsDeletesAndWritesAlarmIni) {
    test::ensureQtApp();
    const std::string path = test::homeDir() + "/alarm.ini";
    const int64_t now = localTime(2026, 12, 10, 12, 0);
    const Alarm once{u"ＮＨＫ総合", 14, localTime(2027, 1, 1, 7, 0), Alarm::kOnce};
    const Alarm daily{u"テレビ東京", 10, localTime(2026, 6, 1, 6, 30), Alarm::kDaily};
    const Alarm other{u"ＭＸテレビ", 7, localTime(2026, 6, 2, 21, 0), 2};
    ASSERT_TRUE(AlarmFile::save(path, {once, daily, other}));
    test::MessageBoxRecorder recorder;
    auto& boxes = recorder.titled;
    const std::vector<AlarmChannel> channels = {{u"ＮＨＫ総合", 14}, {u"テレビ東京", 10}};
    {
        CAlarmDlg dlg(path, channels, [now] { return now; });
        CAlarmPage* page = dlg.page();
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("アラーム"));
        EXPECT_EQ(page->windowTitle(), QStringLiteral("アラート"));
        ASSERT_EQ(page->list()->rowCount(), 3);
        EXPECT_EQ(text(page, 0, 2), QStringLiteral("2027/01/01 07:00"));
        EXPECT_EQ(text(page, 1, 1), QStringLiteral("毎日"));
        EXPECT_EQ(text(page, 1, 2), QStringLiteral("06:30"));
        EXPECT_EQ(text(page, 2, 1), QStringLiteral("everyweek"));
        EXPECT_EQ(text(page, 2, 3), QStringLiteral("ＭＸテレビ"));
        EXPECT_EQ(page->timePicker()->displayFormat().count(QLatin1Char('s')), 0);

        // A once alarm in the past or beyond 2037 is refused; a daily one at a time of day
        // already gone today is taken (it rings tomorrow), whatever the hidden date holds.
        addAlarm(page, 0, QDate(2026, 12, 10), QTime(11, 59), 0);
        addAlarm(page, 0, QDate(2038, 1, 1), QTime(7, 0), 0);
        EXPECT_EQ(boxes, (std::vector<std::string>{"エラー: 誤った時間を入力しました。",
                                                   "エラー: 入力範囲を超過しました。"}));
        addAlarm(page, 1, QDate(2026, 12, 1), QTime(5, 45), 1);
        EXPECT_TRUE(page->datePicker()->isHidden());
        addAlarm(page, 0, QDate(2027, 1, 2), QTime(8, 15), 0);
        ASSERT_EQ(page->list()->rowCount(), 5);
        EXPECT_EQ(text(page, 3, 2), QStringLiteral("05:45"));
        EXPECT_EQ(text(page, 4, 0), QStringLiteral("5"));

        // Deleting the first and third rows renumbers the rest.
        page->list()->selectRow(0);
        page->list()->setSelectionMode(QAbstractItemView::MultiSelection);
        page->list()->selectRow(2);
        page->deleteButton()->click();
        ASSERT_EQ(page->list()->rowCount(), 3);
        EXPECT_EQ(text(page, 0, 3), QStringLiteral("テレビ東京"));
        EXPECT_EQ(text(page, 2, 0), QStringLiteral("3"));
        if (const char* dir = std::getenv("KOBAL_ALARM_SHOTS")) {
            // The dialog, and its page as a tab of a skinned sheet.
            dlg.grab().save(QString::fromUtf8(dir) + "/alarm-dialog.png");
            CSkinnedDialog sheet(0, QStringLiteral("ツール"), nullptr);
            auto* tabs = new QTabWidget(&sheet);
            tabs->addTab(new CAlarmPage(path, channels, [now] { return now; }),
                         QStringLiteral("アラート"));
            sheet.body()->addWidget(tabs);
            sheet.resize(390, 400);
            sheet.grab().save(QString::fromUtf8(dir) + "/alarm-page.png");
        }
        dlg.okButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    // Daily alarms are written on today's date; each row keeps its channel's slot.
    const std::string written =
        AlarmFile::encode({{u"テレビ東京", 10, localTime(2026, 12, 10, 6, 30), Alarm::kDaily},
                           {u"テレビ東京", 10, localTime(2026, 12, 10, 5, 45), Alarm::kDaily},
                           {u"ＮＨＫ総合", 14, localTime(2027, 1, 2, 8, 15), Alarm::kOnce}});
    EXPECT_EQ(test::readFile(path), written);

    // Cancel writes nothing.
    {
        CAlarmDlg dlg(path, channels, [now] { return now; });
        dlg.page()->list()->selectAll();
        dlg.page()->deleteButton()->click();
        dlg.reject();
    }
    EXPECT_EQ(test::readFile(path), written);

    // A damaged file is told, kept aside and never replaced: OK writes a new alarm.ini beside it.
    const std::string damaged("9\0\0\0\0\0\0\0\0\0short", 15);
    ASSERT_TRUE(test::writeFile(path, damaged));
    boxes.clear();
    {
        CAlarmDlg dlg(path, channels, [now] { return now; });
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].find("alarm.ini.broken"), std::string::npos) << boxes[0];
        EXPECT_EQ(dlg.page()->list()->rowCount(), 0);
        dlg.okButton()->click();
    }
    EXPECT_EQ(test::readFile(path + ".broken"), damaged);
    EXPECT_EQ(test::readFile(path), AlarmFile::encode({}));
}
