#include "channels/ChannelStartup.h"
#include "channels/AreaSelectDialog.h"
#include "platform/Dialogs.h"
#include "tests/support/TestSupport.h"

#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace kobal;

namespace {

// Answers every modal dialog with the given area rows in turn (-1: OK with no line selected,
// -2: cancel) and counts how often it was asked.
struct AreaAnswers {
    std::vector<int> rows;
    int asked = 0;
    int lastInitialRow = -99;

    void install() {
        setModalHandler([this](QDialog& d) {
            auto* dialog = dynamic_cast<AreaSelectDialog*>(&d);
            if (!dialog) return int(QDialog::Rejected);
            lastInitialRow = dialog->areaList()->currentRow();
            const int row = asked < int(rows.size()) ? rows[size_t(asked)] : -2;
            ++asked;
            if (row == -2) {
                dialog->cancelButton()->click();
            } else {
                dialog->areaList()->clearSelection();
                if (row >= 0) dialog->areaList()->setCurrentRow(row);
                dialog->okButton()->click();
            }
            return dialog->result();
        });
    }
    ~AreaAnswers() { setModalHandler({}); }
};

ChannelLists freshLists() {
    ChannelLists lists;
    loadChannelLists(lists, test::makeTempDir("startup") + "/chlist.ini");
    return lists;
}

} // namespace

TEST(AreaSelectDialog, ListsTheAreasAndReturnsTheSelection) {
    test::ensureQtApp();
    AreaSelectDialog dialog(12);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("地域選択"));
    ASSERT_EQ(dialog.areaList()->count(), 47);
    EXPECT_EQ(dialog.areaList()->currentRow(), 12);

    AreaAnswers answers{{30}};
    answers.install();
    EXPECT_EQ(selectArea(3), 30);
    EXPECT_EQ(answers.lastInitialRow, 3);
    int area = 5;
    EXPECT_FALSE(AreaSelectDialog::run(3, &area)); // cancelled
    EXPECT_EQ(area, -1);
}

TEST(ChannelStartup, FirstStartCancelledGivesHokkaidoInListZero) {
    test::ensureQtApp();
    AreaAnswers answers{{-2}};
    answers.install();
    ChannelLists lists = freshLists();
    const ChannelStartup s = prepareChannelStartup(-1, -1, lists);
    EXPECT_EQ(answers.asked, 1);
    EXPECT_EQ(s.scanKind, ScanArea);
    EXPECT_EQ(s.listNumber, 0);
    EXPECT_EQ(s.area, 0);
    EXPECT_TRUE(s.askedForArea);
    EXPECT_EQ(lists[0].enabledCount(), 7);
    EXPECT_EQ(lists[0].name(15), "ＴＶＨテレビ");
    EXPECT_EQ(lists[1].enabledCount(), 0);
}

TEST(ChannelStartup, AreaDialogRepeatsUntilAnAreaIsChosen) {
    test::ensureQtApp();
    AreaAnswers answers{{-1, -1, 7}};
    answers.install();
    ChannelLists lists = freshLists();
    const ChannelStartup s = prepareChannelStartup(-1, -1, lists);
    EXPECT_EQ(answers.asked, 3);
    EXPECT_EQ(answers.lastInitialRow, -1); // nothing is preselected before an area exists
    EXPECT_EQ(s.area, 7);
    EXPECT_EQ(lists[0].enabledSlots(), (std::vector<int>{7, 8, 9, 10, 11, 12, 13, 14}));
}

TEST(ChannelStartup, StoredListAndAreaDecideTheScan) {
    test::ensureQtApp();
    AreaAnswers answers;
    answers.install();

    // A list with channels is scanned as it is.
    ChannelLists lists = freshLists();
    lists[2].set(20, "x", 1);
    ChannelStartup s = prepareChannelStartup(2, 5, lists);
    EXPECT_EQ(s.scanKind, ScanArbitrary);
    EXPECT_EQ(s.listNumber, 2);
    EXPECT_EQ(s.area, 5);

    // A chosen list with nothing enabled scans the stored area, without asking.
    lists = freshLists();
    s = prepareChannelStartup(3, 5, lists);
    EXPECT_EQ(s.scanKind, ScanArea);
    EXPECT_EQ(s.listNumber, 3);
    EXPECT_EQ(s.area, 5);
    EXPECT_FALSE(s.askedForArea);
    EXPECT_EQ(lists[0].enabledCount(), 0);

    // First run with an area already stored: no question either.
    s = prepareChannelStartup(-1, 9, lists);
    EXPECT_EQ(s.scanKind, ScanArea);
    EXPECT_EQ(s.listNumber, 0);
    EXPECT_EQ(answers.asked, 0);
}

TEST(ChannelStartup, OutOfRangeStoredNumbersAreTreatedAsUnset) {
    test::ensureQtApp();
    AreaAnswers answers{{20}};
    answers.install();
    ChannelLists lists = freshLists();
    lists[0].set(1, "x", 1);
    const ChannelStartup s = prepareChannelStartup(9, 60, lists);
    EXPECT_EQ(s.listNumber, 0);
    EXPECT_EQ(s.scanKind, ScanArea);
    EXPECT_EQ(answers.asked, 1);
    EXPECT_EQ(s.area, 20);
    EXPECT_EQ(lists[0].enabledCount(), 7);
}
