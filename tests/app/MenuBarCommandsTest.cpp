// The skinned menu bar on the real main window: every item, reached by the keyboard alone
// (Alt, arrows, Enter), reaches its command; the options sheet, the key list and help.
#include "app/CPlayerDlg.h"
#include "app/HelpWindow.h"
#include "app/KeyListDlg.h"
#include "app/OptionSheet.h"
#include "app/PlayerCommands.h"
#include "app/PlayerHosts.h"
#include "platform/Dialogs.h"
#include "platform/Profile.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"
#include "ui/InfoPanels.h"
#include "ui/MenuDropDown.h"
#include "ui/SkinMenuBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTableWidget>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace kobal;
using namespace std::chrono_literals;

namespace {

void key(QWidget& w, QEvent::Type type, int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent e(type, k, mods);
    QApplication::sendEvent(&w, &e);
}

void press(QWidget& w, int k) {
    key(w, QEvent::KeyPress, k);
    key(w, QEvent::KeyRelease, k);
}

struct Step {
    int column;
    int item;    // in the column
    int subItem; // in its sub-menu, -1 none
    int command; // what onCommand must receive
};

} // namespace

TEST(MenuBarCommands, EveryItemByKeyboardReachesItsCommand) {
    ASSERT_TRUE(test::prepareApp());
    test::MessageBoxRecorder recorder;
    recorder.answer = IDNO;
    auto& boxes = recorder.texts;
    std::vector<std::string> dialogs;
    setModalHandler([&](QDialog& d) {
        dialogs.push_back(d.windowTitle().toStdString());
        return 0;
    });

    CPlayerDlg dlg;
    ASSERT_TRUE(dlg.initialise());
    std::vector<int> issued;
    QObject::connect(&dlg, &CPlayerDlg::commandIssued, [&](int id) { issued.push_back(id); });
    auto idle = [&] { return !dlg.state().scanning && !dlg.openInProgress(); };
    ASSERT_TRUE(test::pumpUntil([&] { return idle() && dlg.graph(); }, 20000ms));
    // The audio mode a dual-mono broadcast reports lets the audio sub-menu open.
    PlayerRendererHost(&dlg).audioModeChanged(1);
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.state().audioMode == 1; }, 5000ms));

    CSkinMenuBar* bar = dlg.menuBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->pos(), QPoint(19, 47));
    // Alt alone opens the bar at its first column and closes it again.
    key(dlg, QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    key(dlg, QEvent::KeyRelease, Qt::Key_Alt);
    ASSERT_TRUE(bar->isOpen());
    EXPECT_EQ(bar->dropDown()->list(), 0);
    key(dlg, QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    key(dlg, QEvent::KeyRelease, Qt::Key_Alt);
    EXPECT_FALSE(bar->isOpen());

    // The view column first (its size sub-menu needs the window out of full screen), the Start
    // column last (its last item ends the player).
    const Step steps[] = {
        {3, 0, -1, 32815}, {3, 1, -1, 32816}, {3, 0, -1, 32815},  {3, 2, -1, 32817},
        {3, 4, -1, 32810}, {3, 5, -1, 40010}, {3, 6, -1, 40011},  {3, 7, -1, 32812},
        {3, 8, -1, 32818}, {3, 9, -1, 40001}, {3, 10, -1, 32833}, {3, 11, 0, 32830},
        {3, 11, 1, 32831}, {3, 11, 2, 32832}, {3, 11, 0, 32830},  {1, 0, -1, 32800},
        {1, 1, -1, 32838}, {1, 3, -1, 32801}, {1, 3, -1, 32801},  {1, 4, 0, 40005},
        {1, 4, 1, 40006},  {4, 0, -1, 40012}, {4, 1, -1, 40013},  {5, 0, -1, 40003},
        {5, 1, -1, 40014}, {5, 2, -1, 40015}, {5, 3, -1, 40016},  {2, 0, -1, 32802},
        {2, 1, -1, 32803}, {2, 2, -1, 32804}, {2, 4, -1, 40007},  {0, 1, -1, 1066},
        {0, 0, -1, 1065},  {0, 3, -1, 32797}, {0, 4, -1, 32798},  {0, 5, -1, 32799},
        {0, 6, -1, 1082},  {0, 7, -1, 32829},
    };
    std::set<std::pair<int, int>> walked;
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message()
                     << "column " << s.column << " item " << s.item << " sub " << s.subItem);
        ASSERT_TRUE(test::pumpUntil(idle, 20000ms));
        if (dlg.state().fullScreen) press(dlg, Qt::Key_Escape); // leaves theater
        key(dlg, QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
        key(dlg, QEvent::KeyRelease, Qt::Key_Alt);
        ASSERT_TRUE(bar->isOpen());
        for (int c = 0; c < s.column; ++c) press(dlg, Qt::Key_Right);
        ASSERT_EQ(bar->dropDown()->list(), s.column);
        while (bar->dropDown()->hovered() != s.item) press(dlg, Qt::Key_Down);
        if (s.subItem >= 0) {
            ASSERT_TRUE(bar->subMenu()->isVisible());
            press(dlg, Qt::Key_Right);
            while (bar->subMenu()->hovered() != s.subItem) press(dlg, Qt::Key_Down);
        }
        if (s.column == 3 && s.item == 0 && !dlg.state().transparent) {
            EXPECT_TRUE(bar->dropDown()->checks()[0]); // "通常モード" marked in the normal view
        }
        if (s.column == 3 && s.item == 8) {
            // The playback panel was opened and the channel display switched off just before.
            EXPECT_TRUE(bar->dropDown()->checks()[5]);
            EXPECT_FALSE(bar->dropDown()->checks()[7]);
            EXPECT_FALSE(dlg.panels().messageLine().isVisible());
        }
        issued.clear();
        press(dlg, Qt::Key_Return);
        EXPECT_FALSE(bar->isOpen());
        ASSERT_FALSE(issued.empty());
        EXPECT_EQ(issued.front(), s.command);
        walked.insert({s.column, s.subItem >= 0 ? 100 + s.item * 10 + s.subItem : s.item});
    }
    // Every item once: 7 + 3 (+2 sub) + 4 + 10 (+3 sub) + 2 + 4, separators and openers aside.
    EXPECT_EQ(walked.size(), size_t(35));
    EXPECT_NE(std::find(dialogs.begin(), dialogs.end(), "オプション"), dialogs.end());
    EXPECT_NE(std::find(dialogs.begin(), dialogs.end(), "キー操作一覧"), dialogs.end());
    EXPECT_NE(std::find(dialogs.begin(), dialogs.end(), "アラーム"), dialogs.end());
    EXPECT_NE(std::find(dialogs.begin(), dialogs.end(), "バージョン情報"), dialogs.end());
    EXPECT_NE(std::find(dialogs.begin(), dialogs.end(), "チャンネルリストの設定"), dialogs.end());
    // Every item has its work now: none says it is still to come.
    EXPECT_EQ(std::find(boxes.begin(), boxes.end(), "この機能は準備中です。"), boxes.end());
    auto* help = dlg.findChild<CHelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Kobplay ヘルプ "));
    EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("目次")));
    EXPECT_TRUE(test::pumpUntil([&] { return !dlg.isVisible(); }, 10000ms)); // "終了"
    setModalHandler({});
}

TEST(MenuBarCommands, OptionsCancelChangesNothingOkStoresAndKeyListRows) {
    test::ensureQtApp();
    const std::string config = test::homeDir() + "/config.ini";
    CPlayerDlg dlg;
    // The window is not initialised (no tuner needed): its kept settings are set by hand.
    Settings& kept = const_cast<Settings&>(dlg.config().settings());
    kept.defaultView = 1;
    kept.startViewLast = 0;
    kept.useTrayMode = 1;
    bool accept = false;
    int runs = 0;
    setModalHandler([&](QDialog& d) {
        ++runs;
        if (auto* list = qobject_cast<CKeyListDlg*>(&d)) {
            QTableWidget* t = list->table();
            EXPECT_EQ(t->rowCount(), 16);
            EXPECT_EQ(t->columnWidth(0), 120);
            EXPECT_EQ(t->columnWidth(1), 100);
            EXPECT_EQ(t->item(2, 1)->text(), QStringLiteral("ctrl + T"));
            EXPECT_EQ(t->item(3, 1)->text(), QStringLiteral("ctrl + T"));
            EXPECT_EQ(t->item(3, 0)->text(), QStringLiteral("タイムシフト再生"));
            return 1;
        }
        auto* sheet = qobject_cast<COptionSheet*>(&d);
        EXPECT_NE(sheet, nullptr);
        if (!sheet) return 0;
        // The page shows what the window keeps, then everything is changed.
        EXPECT_TRUE(sheet->control(1087)->isChecked());
        EXPECT_TRUE(sheet->control(1083)->isChecked());
        EXPECT_TRUE(sheet->control(1085)->isChecked());
        sheet->control(1088)->click();
        sheet->control(1084)->click();
        sheet->control(1085)->click();
        return accept ? 1 : 0;
    });
    dlg.onCommand(cmd::kOptions);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(kept.defaultView, 1);
    EXPECT_EQ(kept.startViewLast, 0);
    EXPECT_EQ(kept.useTrayMode, 1);
    EXPECT_EQ(Profile::getString(config, "SETUP", "DEFAULT_VIEW", "none", 10), "none");

    accept = true;
    dlg.onCommand(cmd::kOptions);
    EXPECT_EQ(kept.defaultView, 2);
    EXPECT_EQ(kept.startViewLast, 1);
    EXPECT_EQ(kept.useTrayMode, 0);
    EXPECT_EQ(Profile::getString(config, "SETUP", "DEFAULT_VIEW", "", 10), "2");
    EXPECT_EQ(Profile::getString(config, "SETUP", "START_VIEW_LAST", "", 10), "1");
    EXPECT_EQ(Profile::getString(config, "SETUP", "USE_TRAYMODE", "", 10), "0");

    dlg.onCommand(cmd::kKeyList);
    EXPECT_EQ(runs, 3);
    setModalHandler({});
}
