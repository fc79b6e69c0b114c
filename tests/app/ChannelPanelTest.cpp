// The channel panel end to end, offscreen: the simulator tuner, the real engine and renderer.
// A scan fills the panel, a click tunes, up/down/back/forward walk, a saved ".chl" file and an
// opened one scan exactly their channels, a damaged one changes nothing.
#include "app/ChannelPanel.h"
#include "app/CPlayerDlg.h"
#include "app/PlayerCommands.h"
#include "broadcast/AreaPresetTable.h"
#include "channels/ChannelListFile.h"
#include "engine/TunerSession.h"
#include "platform/Dialogs.h"
#include "renderer/MediaGraph.h"
#include "renderer/Presenter.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"
#include "tuner/StationCard.h"
#include "ui/ChannelListBox.h"
#include "ui/ChannelPopup.h"
#include "ui/InfoPanels.h"
#include "ui/SkinFonts.h"
#include "ui/TextLinePanel.h"

#include <QApplication>
#include <QGlyphRun>
#include <QMouseEvent>
#include <QRawFont>
#include <QTextLayout>
#include <gtest/gtest.h>
#include <set>

using namespace kobal;
using namespace std::chrono_literals;

namespace {

bool showsCard(CPlayerDlg& dlg, int area, int slot) {
    const QImage shot = dlg.grab().toImage();
    const QRect pic = dlg.pictureRect();
    const QRgb p = shot.pixel(pic.x() + pic.width() / 16, pic.y() + pic.height() / 12);
    const veltra::CardColour want = veltra::stationCardColour(area, slot);
    return std::abs(qRed(p) - want.r) < 20 && std::abs(qGreen(p) - want.g) < 20 &&
           std::abs(qBlue(p) - want.b) < 20;
}

std::string current(CPlayerDlg& dlg) {
    return dlg.session() ? dlg.session()->currentKey() : std::string();
}

void clickLine(CChannelPanel& panel, int row) {
    CChannelListBox* list = panel.list();
    const QPointF at(20, (row - list->topIndex()) * kChannelItemHeight + 11);
    QMouseEvent press(QEvent::MouseButtonPress, at, list->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &press);
}

// The fonts the list's lines are set in (lower case), and that each name starts at one x.
std::set<std::string> fontsOfLines(const QStringList& lines) {
    std::set<std::string> fonts;
    std::set<double> nameAt;
    for (const QString& line : lines) {
        QTextLayout layout(line, skinFont(kFontMincho, 9));
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun& run : layout.glyphRuns())
            fonts.insert(run.rawFont().familyName().toLower().toStdString());
        nameAt.insert(layout.lineAt(0).cursorToX(line.indexOf(QLatin1String("    ")) + 4));
    }
    if (nameAt.size() != 1) fonts.insert("(names start at different places)");
    return fonts;
}

// Settled: no scan, no open under way (commands arriving meanwhile are dropped).
bool idle(CPlayerDlg& dlg) {
    return !dlg.state().scanning && !dlg.openInProgress();
}

} // namespace

TEST(ChannelPanel, ScanListsTunesWalksAndChannelFilesScanTheirChannels) {
    ASSERT_TRUE(test::prepareApp());
    test::MessageBoxRecorder recorder;
    auto& messages = recorder.texts;

    CPlayerDlg dlg;
    ASSERT_TRUE(dlg.initialise());
    // While the scan runs: the wait cursor and the message line; commands are dropped.
    ASSERT_TRUE(dlg.state().scanning);
    EXPECT_EQ(dlg.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(dlg.panels().messageLine().state().text,
              QStringLiteral("チャンネルサーチ中です。しばらくお待ちください。"));
    // It is wider than the line beside the level icon: it scrolls so none of it is hidden.
    EXPECT_TRUE(dlg.panels().messageLine().state().scroll);
    dlg.onCommand(cmd::kChannelPanel);
    EXPECT_EQ(dlg.channelPanel(), nullptr);

    // Area 7's eight stations, by name, the watched one selected.
    ASSERT_TRUE(test::pumpUntil([&] { return idle(dlg) && !current(dlg).empty(); }, 20000ms));
    EXPECT_EQ(dlg.cursor().shape(), Qt::ArrowCursor);
    CChannelPanel* panel = dlg.channelPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->lineCount(), 8);
    for (int j = 0; j < 8; ++j) {
        const AreaStation s = AreaPresetTable::station(7, j);
        EXPECT_TRUE(panel->lineTexts().contains(
            QStringLiteral("%1    %2").arg(s.slot + 13).arg(QString::fromUtf8(s.name))))
            << s.name;
    }
    EXPECT_FALSE(panel->scrollBar()->isVisible());
    EXPECT_EQ(panel->list()->currentRow(), 0);
    // Every line is set in the one list font: the number before a katakana name is no smaller
    // and the name starts where the others do.
    EXPECT_EQ(fontsOfLines(panel->lineTexts()), std::set<std::string>{"ipamincho"});
    dlg.onCommand(cmd::kChannelPanel);
    EXPECT_TRUE(panel->isVisible());

    // A click on the third line tunes it: its card appears.
    clickLine(*panel, 2);
    const std::string third = panel->keyOfLine(2);
    EXPECT_EQ(current(dlg), third);
    const int thirdSlot = ChannelScan::slotOfKey(third);
    ASSERT_TRUE(
        test::pumpUntil([&] { return idle(dlg) && showsCard(dlg, 7, thirdSlot); }, 15000ms));
    EXPECT_EQ(panel->list()->currentRow(), 2);

    // Up, back, back, forward; then a new tuning drops the forward part.
    dlg.onCommand(cmd::kChannelUp);
    EXPECT_EQ(current(dlg), panel->keyOfLine(3));
    ASSERT_TRUE(test::pumpUntil([&] { return idle(dlg); }, 15000ms));
    dlg.onCommand(cmd::kHistoryBack);
    EXPECT_EQ(current(dlg), third);
    ASSERT_TRUE(test::pumpUntil([&] { return idle(dlg); }, 15000ms));
    dlg.onCommand(cmd::kHistoryBack);
    EXPECT_EQ(current(dlg), panel->keyOfLine(0));
    ASSERT_TRUE(test::pumpUntil([&] { return idle(dlg); }, 15000ms));
    dlg.onCommand(cmd::kHistoryForward);
    EXPECT_EQ(current(dlg), third);
    ASSERT_TRUE(test::pumpUntil([&] { return idle(dlg); }, 15000ms));
    dlg.onCommand(cmd::kChannelDown);
    EXPECT_EQ(current(dlg), panel->keyOfLine(1));
    ASSERT_TRUE(test::pumpUntil([&] { return idle(dlg); }, 15000ms));
    dlg.onCommand(cmd::kHistoryForward);
    EXPECT_EQ(current(dlg), panel->keyOfLine(1));
    EXPECT_EQ(panel->list()->currentRow(), 1);

    // The theater pop-up carries the panel's lines; choosing one tunes it.
    dlg.showChannelPopup(QPoint(10, 10));
    ASSERT_NE(dlg.channelPopup(), nullptr);
    EXPECT_EQ(dlg.channelPopup()->items(), panel->lineTexts());
    emit dlg.channelPopup()->chosen(4);
    EXPECT_EQ(current(dlg), panel->keyOfLine(4));
    ASSERT_TRUE(test::pumpUntil([&] { return idle(dlg); }, 15000ms));

    // Save writes the eight found stations.
    const std::string dir = test::makeTempDir("chl");
    const QString saved = QString::fromStdString(dir + "/area7.chl");
    dlg.saveChannelListFile(saved);
    std::vector<ChlRecord> records;
    ASSERT_EQ(ChannelListFile::read(saved, &records), ChannelListFile::Error::None);
    ASSERT_EQ(records.size(), 8u);

    // A file of two stations (one disabled) and twelve silent slots scans exactly those: the
    // disabled one is hidden, the silent ones are listed as not found; 13 lines need the bar.
    std::vector<ChlRecord> mine = {records[1], records[5]};
    mine[1].flag = 0;
    for (int slot = 30; slot < 42; ++slot)
        mine.push_back({slot, "CH" + std::to_string(slot + 13), 1});
    const QString opened = QString::fromStdString(dir + "/mine.chl");
    ASSERT_TRUE(ChannelListFile::write(opened, mine));
    dlg.openChannelListFile(opened);
    EXPECT_TRUE(dlg.state().scanning);
    EXPECT_EQ(panel->lineCount(), 0);
    ASSERT_TRUE(test::pumpUntil([&] { return idle(dlg) && panel->lineCount() > 0; }, 20000ms));
    EXPECT_EQ(dlg.channels().records().size(), 14u);
    ASSERT_EQ(panel->lineCount(), 13);
    EXPECT_EQ(ChannelScan::slotOfKey(panel->keyOfLine(0)), records[1].slot);
    EXPECT_TRUE(panel->scrollBar()->isVisible());
    EXPECT_TRUE(panel->list()->item(0).received);
    EXPECT_FALSE(panel->list()->item(1).received);

    // A damaged file is refused with its message; nothing changes.
    const QString damaged = QString::fromStdString(dir + "/damaged.chl");
    ASSERT_TRUE(test::writeFile(dir + "/damaged.chl", std::string("\x39\x00\x00\x00", 4)));
    messages.clear();
    dlg.openChannelListFile(damaged);
    EXPECT_FALSE(dlg.state().scanning);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(panel->lineCount(), 13);

    dlg.requestClose();
    ASSERT_TRUE(test::pumpUntil([&] { return !dlg.isVisible() && !dlg.graph(); }, 10000ms));
    test::pumpFor(300ms);
}

TEST(ChannelPanel, AreaWithThreeStationsScansAndTunes) {
    ASSERT_TRUE(test::prepareApp("AREA_NUM=35\n"));
    CPlayerDlg dlg;
    ASSERT_TRUE(dlg.initialise());
    ASSERT_TRUE(test::pumpUntil([&] { return idle(dlg) && !current(dlg).empty(); }, 20000ms));
    CChannelPanel* panel = dlg.channelPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->lineCount(), 3);
    for (int j = 0; j < 3; ++j) {
        const AreaStation s = AreaPresetTable::station(35, j);
        EXPECT_TRUE(panel->lineTexts().contains(
            QStringLiteral("%1    %2").arg(s.slot + 13).arg(QString::fromUtf8(s.name))))
            << s.name;
    }
    clickLine(*panel, 2);
    const std::string last = panel->keyOfLine(2);
    EXPECT_EQ(current(dlg), last);
    ASSERT_TRUE(test::pumpUntil(
        [&] { return idle(dlg) && showsCard(dlg, 35, ChannelScan::slotOfKey(last)); }, 15000ms));

    dlg.requestClose();
    ASSERT_TRUE(test::pumpUntil([&] { return !dlg.isVisible() && !dlg.graph(); }, 10000ms));
    test::pumpFor(300ms);
}
