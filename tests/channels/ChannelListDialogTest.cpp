#include "channels/ChannelListDialog.h"
#include "channels/AreaSelectDialog.h"
#include "platform/Dialogs.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace kobal;

namespace {

// Stands in for the main window: records the scans OK asks for.
struct RecordingScanHost : ChannelListScanHost {
    struct Scan {
        std::vector<int> scannedSlots;
        std::vector<std::string> names;
    };
    std::vector<Scan> scans;
    void scanChannelListNow(const ChannelList& list) override {
        scans.push_back({list.enabledSlots(), list.enabledNames()});
    }
};

struct ModalReset {
    ~ModalReset() {
        setModalHandler({});
        setMessageBoxHandler({});
    }
};

ChannelLists sampleLists() {
    ChannelLists lists;
    for (int n = 0; n < 5; ++n) {
        lists[n].bind(n, "");
        lists[n].setListName("リスト" + std::to_string(n));
    }
    lists[1].set(2, "stored name", 1);
    lists[1].set(3, "", 1);
    return lists;
}

QString rowText(const ChannelListDialog& d, int row) {
    return d.table()->item(row, ChannelListDialog::kNameColumn)->text();
}

bool rowChecked(const ChannelListDialog& d, int row) {
    return d.table()->item(row, ChannelListDialog::kNameColumn)->checkState() == Qt::Checked;
}

// Ends an in-place edit of the row's name with the given text.
void editName(ChannelListDialog& d, int row, const QString& text) {
    QAbstractItemDelegate* delegate = d.table()->itemDelegateForColumn(0);
    const QModelIndex index = d.table()->model()->index(row, 0);
    QStyleOptionViewItem option;
    QWidget* editor = delegate->createEditor(d.table()->viewport(), option, index);
    delegate->setEditorData(editor, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    ASSERT_NE(line, nullptr);
    line->setText(text);
    delegate->setModelData(editor, d.table()->model(), index);
    delete editor;
}

} // namespace

TEST(ChannelListDialog, RowsShowStoredPresetOrDefaultNames) {
    test::ensureQtApp();
    ChannelLists lists = sampleLists();
    RecordingScanHost host;
    ChannelListDialog d(0, 1, lists, &host); // 北海道: slots 0, 2, 6, 8, 10, 12, 15
    EXPECT_EQ(d.windowTitle(), QStringLiteral("チャンネルリストの設定"));
    ASSERT_EQ(d.listCombo()->count(), 5);
    EXPECT_EQ(d.listCombo()->currentIndex(), 1);
    ASSERT_EQ(d.table()->rowCount(), 50);

    EXPECT_EQ(rowText(d, 2), QStringLiteral("stored name"));
    EXPECT_EQ(rowText(d, 0), QStringLiteral("ＮＨＫ教育"));
    EXPECT_EQ(rowText(d, 1), QStringLiteral("CH14"));
    EXPECT_EQ(d.table()->item(49, 1)->text(), QStringLiteral("62"));
    EXPECT_TRUE(rowChecked(d, 2));
    EXPECT_TRUE(rowChecked(d, 3));
    EXPECT_FALSE(rowChecked(d, 0)); // a preset name alone does not enable the slot
    EXPECT_EQ(d.table()->currentRow(), 0);
}

TEST(ChannelListDialog, EditsSurviveListSwitchesAndReachTheListsOnOk) {
    test::ensureQtApp();
    ModalReset reset;
    ChannelLists lists = sampleLists();
    RecordingScanHost host;
    ChannelListDialog d(7, 0, lists, &host);

    editName(d, 20, QStringLiteral("新しい名前"));
    EXPECT_EQ(rowText(d, 20), QStringLiteral("新しい名前"));
    // Ending an edit empty puts the previous name back.
    editName(d, 20, QString());
    EXPECT_EQ(rowText(d, 20), QStringLiteral("新しい名前"));

    d.table()->item(20, 0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(d.workingCopy().enabled(20));

    d.listCombo()->setCurrentIndex(1);
    EXPECT_EQ(rowText(d, 2), QStringLiteral("stored name"));
    EXPECT_FALSE(rowChecked(d, 20));
    d.table()->selectRow(2);
    d.disableButton()->click();
    EXPECT_FALSE(rowChecked(d, 2));
    EXPECT_FALSE(d.workingCopy().enabled(2));
    d.table()->selectRow(40);
    d.enableButton()->click();
    EXPECT_TRUE(rowChecked(d, 40));
    EXPECT_TRUE(d.table()->item(40, 0)->isSelected());

    d.listCombo()->setCurrentIndex(0);
    EXPECT_EQ(rowText(d, 20), QStringLiteral("新しい名前"));
    EXPECT_TRUE(rowChecked(d, 20));

    // Nothing reaches the owner's lists before OK.
    EXPECT_EQ(lists[0].enabledCount(), 0);
    EXPECT_EQ(lists[1].name(40), "");

    d.listCombo()->setCurrentIndex(1);
    d.okButton()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.listNumber(), 1);
    EXPECT_EQ(d.area(), 7);
    EXPECT_EQ(lists[0].name(20), "新しい名前");
    EXPECT_TRUE(lists[0].enabled(20));
    EXPECT_EQ(lists[1].enabledSlots(), (std::vector<int>{3, 40}));
    // Row texts become names: slot 3 had none and now carries what the row showed.
    EXPECT_EQ(lists[1].name(3), "CH16");
    EXPECT_EQ(lists[1].name(40), "CH53");
    EXPECT_EQ(lists[1].number(), 1); // bindings stay with the owner
    ASSERT_EQ(host.scans.size(), 1u);
    EXPECT_EQ(host.scans[0].scannedSlots, (std::vector<int>{3, 40}));
    EXPECT_EQ(host.scans[0].names, (std::vector<std::string>{"CH16", "CH53"}));
}

TEST(ChannelListDialog, OkCutsLongRowTextsAndCancelChangesNothing) {
    test::ensureQtApp();
    ChannelLists lists = sampleLists();
    lists[2].set(5, std::string(99, 'x'), 1);
    RecordingScanHost host;
    {
        ChannelListDialog d(0, 2, lists, &host);
        d.table()->item(6, 0)->setCheckState(Qt::Checked);
        d.cancelButton()->click();
        EXPECT_EQ(d.result(), QDialog::Rejected);
    }
    EXPECT_TRUE(host.scans.empty());
    EXPECT_FALSE(lists[2].enabled(6));

    ChannelListDialog d(0, 2, lists, &host);
    d.okButton()->click();
    EXPECT_EQ(lists[2].name(5), std::string(49, 'x'));
    ASSERT_EQ(host.scans.size(), 1u);
    EXPECT_EQ(host.scans[0].names, std::vector<std::string>{std::string(49, 'x')});
}

TEST(ChannelListDialog, RenameReplacesTheComboEntry) {
    test::ensureQtApp();
    ModalReset reset;
    ChannelLists lists = sampleLists();
    ChannelListDialog d(0, 3, lists, nullptr);
    QString prefilled;
    setModalHandler([&](QDialog& dialog) {
        auto* rename = dynamic_cast<ChannelListNameDialog*>(&dialog);
        if (!rename) return int(QDialog::Rejected);
        EXPECT_EQ(rename->windowTitle(), QStringLiteral("新しいチャンネルリスト名"));
        prefilled = rename->edit()->text();
        rename->edit()->setText(QStringLiteral("お出かけ"));
        rename->okButton()->click();
        return rename->result();
    });
    d.renameButton()->click();
    EXPECT_EQ(prefilled, QStringLiteral("リスト3"));
    EXPECT_EQ(d.listCombo()->itemText(3), QStringLiteral("お出かけ"));
    EXPECT_EQ(d.listCombo()->currentIndex(), 3);
    d.okButton()->click();
    EXPECT_EQ(lists[3].listName(), "お出かけ");
    EXPECT_EQ(lists[2].listName(), "リスト2");
}

TEST(ChannelListDialog, AreaButtonRefillsTheList) {
    test::ensureQtApp();
    ModalReset reset;
    ChannelLists lists = sampleLists();
    ChannelListDialog d(0, 1, lists, nullptr);
    int answer = 7;
    int preselected = -99;
    setModalHandler([&](QDialog& dialog) {
        auto* area = dynamic_cast<AreaSelectDialog*>(&dialog);
        if (!area) return int(QDialog::Rejected);
        preselected = area->areaList()->currentRow();
        area->areaList()->clearSelection();
        if (answer >= 0) area->areaList()->setCurrentRow(answer);
        area->okButton()->click();
        return area->result();
    });
    d.table()->selectRow(30);
    d.areaButton()->click();
    EXPECT_EQ(preselected, 0);
    EXPECT_EQ(d.area(), 7);
    EXPECT_EQ(d.workingCopy().enabledSlots(), (std::vector<int>{7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(rowText(d, 2), QStringLiteral("CH15")); // the stored name went with the refill
    EXPECT_EQ(rowText(d, 7), QStringLiteral("ＭＸテレビ"));
    EXPECT_TRUE(rowChecked(d, 14));
    EXPECT_FALSE(rowChecked(d, 3));
    EXPECT_EQ(d.table()->currentRow(), 0);

    // OK with no line selected keeps the area and the rows.
    answer = -1;
    d.areaButton()->click();
    EXPECT_EQ(preselected, 7);
    EXPECT_EQ(d.area(), 7);
    EXPECT_TRUE(rowChecked(d, 14));
}

TEST(ChannelListDialog, OpeningIsRefusedOrConfirmed) {
    test::ensureQtApp();
    ModalReset reset;
    test::MessageBoxRecorder recorder;
    recorder.answer = IDNO;
    auto& asked = recorder.shown;
    EXPECT_FALSE(ChannelListDialog::mayOpen(true, false, false));
    EXPECT_FALSE(ChannelListDialog::mayOpen(false, true, true));
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(ChannelListDialog::mayOpen(false, false, false));
    EXPECT_FALSE(ChannelListDialog::mayOpen(false, false, true));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "1seg Message");
    EXPECT_EQ(asked[0].text,
              "チャンネルサーチを行うと録画が停止します。チャンネルサーチを行いますか");
    EXPECT_EQ(asked[0].flags & 0xF, unsigned(MB_YESNO));
    recorder.answer = IDYES;
    EXPECT_TRUE(ChannelListDialog::mayOpen(false, false, true));
}
