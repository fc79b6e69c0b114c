// The player's main window end to end, offscreen: the simulator tuner, the real engine and the
// real renderer, as a person starts it the first time with the area already chosen.
#include "app/CPlayerDlg.h"
#include "app/ChannelPanel.h"
#include "app/PlayerCommands.h"
#include "app/WindowGeometry.h"
#include "broadcast/AreaPresetTable.h"
#include "engine/TunerSession.h"
#include "media/PlaybackPanel.h"
#include "platform/Profile.h"
#include "renderer/AudioOutput.h"
#include "renderer/MediaGraph.h"
#include "renderer/Presenter.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tuner/CTDMBDll.h"
#include "tuner/StationCard.h"
#include "tuner/StationStream.h"
#include "ui/HoverButton.h"
#include "ui/InfoPanels.h"
#include "ui/TextLinePanel.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kobal;
using namespace std::chrono_literals;

namespace {

constexpr int kArea = 7;

QColor mean(const QImage& img, const QRect& r) {
    long rs = 0, gs = 0, bs = 0, n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            rs += qRed(p), gs += qGreen(p), bs += qBlue(p), ++n;
        }
    return n ? QColor(int(rs / n), int(gs / n), int(bs / n)) : QColor();
}

bool near(const QColor& c, veltra::CardColour want) {
    return std::abs(c.red() - want.r) < 14 && std::abs(c.green() - want.g) < 14 &&
           std::abs(c.blue() - want.b) < 14;
}

// What the video area of the window shows: a block of the card's upper left, away from the
// name and the moving square.
QColor videoArea(CPlayerDlg& dlg) {
    const QImage shot = dlg.grab().toImage();
    const QRect pic = dlg.pictureRect();
    const qreal sx = pic.width() / 320.0, sy = pic.height() / 180.0;
    return mean(shot,
                QRect(pic.x() + int(4 * sx), pic.y() + int(4 * sy), int(30 * sx), int(20 * sy)));
}

int lowestSlot(int area) {
    int slot = 99;
    for (int j = 0; j < AreaPresetTable::stationCount(area); ++j)
        slot = std::min(slot, AreaPresetTable::station(area, j).slot);
    return slot;
}

bool topMost(const CPlayerDlg& dlg) {
    return dlg.windowHandle() && dlg.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
}

} // namespace

TEST(PlayerWindow, FirstStartScansTheAreaWatchesChangesChannelAndViews) {
    ASSERT_TRUE(test::prepareApp());
    const std::string config = test::homeDir() + "/config.ini";

    CPlayerDlg dlg;
    ASSERT_TRUE(dlg.initialise());
    EXPECT_EQ(dlg.size(), QSize(358, 440));

    // The scan of area 7 ends by tuning its lowest slot; its card fills the video area.
    const int first = lowestSlot(kArea);
    ASSERT_TRUE(test::pumpUntil(
        [&] {
            auto g = dlg.graph();
            return g && g->presenter() && g->presenter()->picturesShown() > 5 &&
                   near(videoArea(dlg), veltra::stationCardColour(kArea, first));
        },
        20000ms))
        << "no card of slot " << first;
    const ChannelRecord* record = dlg.channels().recordOfSlot(first);
    ASSERT_NE(record, nullptr);
    // The scan lists the preset's name; the broadcast spells its letters in ASCII.
    const QString name =
        QString::fromStdU16String(record->name).normalized(QString::NormalizationForm_KC);
    EXPECT_TRUE(test::pumpUntil(
        [&] {
            return dlg.statusText().normalized(QString::NormalizationForm_KC) ==
                   QStringLiteral("チャンネル : ") + name;
        },
        5000ms))
        << dlg.statusText().toStdString();
    EXPECT_EQ(Profile::getString(config, "DMBControl", "CurrentChannel", "", 30).substr(0, 2),
              (first < 10 ? "0" : "") + std::to_string(first));

    // Renderer copy-data from another process changes nothing.
    EXPECT_EQ(dlg.onRendererCopyData(3, long(getpid()) + 1, {}), 0);
    EXPECT_EQ(dlg.onRendererCopyData(4, long(getpid()) + 1, {}), 0);
    EXPECT_EQ(dlg.state().sourceKind, 1);

    // Channel up: the next found station's card.
    const std::string before = dlg.session() ? dlg.config().settings().currentChannel : "";
    dlg.onCommand(cmd::kChannelUp);
    const int second = ChannelScan::slotOfKey(dlg.channels().step(before, +1));
    ASSERT_GT(second, first);
    ASSERT_TRUE(test::pumpUntil(
        [&] { return near(videoArea(dlg), veltra::stationCardColour(kArea, second)); }, 15000ms))
        << "channel up did not show slot " << second;

    // Mute takes the volume to 0: the decoded sound is silence.
    dlg.onCommand(cmd::kMute);
    EXPECT_TRUE(dlg.state().muted);
    EXPECT_EQ(dlg.state().volumePosition, 0);
    render::AudioOutput* out = dlg.graph()->presenter()->audio();
    ASSERT_NE(out, nullptr);
    test::pumpFor(600ms); // what was decoded before the mute has played
    out->clearTap();
    ASSERT_TRUE(test::pumpUntil([&] { return out->tap().size() > 48000; }, 5000ms));
    int peak = 0;
    for (int16_t s : out->tap()) peak = std::max(peak, std::abs(int(s)));
    EXPECT_EQ(peak, 0);

    // Theater covers the screen; leaving it puts the window back where it was.
    const QPoint where = dlg.pos();
    dlg.onCommand(cmd::kTheaterView);
    EXPECT_TRUE(dlg.state().fullScreen);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(dlg.pictureRect(), geometry::theaterPicture(screen, false));
    EXPECT_EQ(dlg.config().settings().lastView, 2);
    dlg.onCommand(cmd::kLeaveTheater);
    EXPECT_FALSE(dlg.state().fullScreen);
    EXPECT_FALSE(dlg.state().transparent);
    EXPECT_EQ(dlg.pos(), where);
    EXPECT_EQ(dlg.size(), QSize(358, 440));
    EXPECT_EQ(dlg.config().settings().lastView, 0);

    // Captions add 60 rows and take them back.
    dlg.onCommand(cmd::kCaptions);
    EXPECT_EQ(dlg.size(), QSize(358, 500));
    dlg.onCommand(cmd::kCaptions);
    EXPECT_EQ(dlg.size(), QSize(358, 440));

    // The close saves the position from before muting, and the mute.
    dlg.requestClose();
    ASSERT_TRUE(test::pumpUntil([&] { return !dlg.isVisible() && !dlg.graph(); }, 10000ms));
    test::pumpFor(300ms);
    EXPECT_EQ(Profile::getString(config, "SETUP", "MUTE", "", 10), "1");
    EXPECT_EQ(Profile::getString(config, "SETUP", "VOLUME_POS", "", 10), "450");
    EXPECT_EQ(Profile::getString(config, "SETUP", "LIST_NUM", "", 10), "0");
}

// Reception lost while watching, and the tuner pulled out and put back: the window keeps
// running, says so, and comes back by itself.
TEST(PlayerWindow, LowSignalAndUnplugWhileWatching) {
    ASSERT_TRUE(test::prepareApp());
    CPlayerDlg dlg;
    ASSERT_TRUE(dlg.initialise());
    const int slot = lowestSlot(kArea);
    ASSERT_TRUE(test::pumpUntil(
        [&] { return near(videoArea(dlg), veltra::stationCardColour(kArea, slot)); }, 20000ms));

    // No reception: within the 5 s check the low-signal picture and its message show.
    veltra::sim::setStationSignal(slot, -100, 255);
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.state().lowSignalShown; }, 10000ms));
    EXPECT_EQ(dlg.statusText(), QStringLiteral("受信レベルが低いため、表示できません。"));
    EXPECT_EQ(dlg.state().signalLevel, 0);
    if (const char* dir = std::getenv("KOBAL_PLAYER_SHOTS"))
        dlg.grab().save(QString::fromUtf8(dir) + "/low-signal.png");
    veltra::sim::resetSignals();
    EXPECT_TRUE(test::pumpUntil(
        [&] {
            return !dlg.state().lowSignalShown &&
                   near(videoArea(dlg), veltra::stationCardColour(kArea, slot));
        },
        15000ms));

    // Unplugged: the stream stops and the window says so; replugged: scanned and tuned again.
    dlg.onCommand(cmd::kPlaybackPanel);
    ASSERT_NE(dlg.playbackPanel(), nullptr);
    veltra::sim::unplug();
    ASSERT_TRUE(test::pumpUntil([&] { return !dlg.state().powerOn; }, 5000ms));
    EXPECT_FALSE(dlg.session()->tunerPresent());
    // Switched off, the channel, record and time-shift keys rest, the playback panel's too.
    for (int id : {cmd::kChannelUp, cmd::kRecordStart, cmd::kTimeShiftPauseButton})
        EXPECT_FALSE(dlg.button(id)->isEnabled()) << id;
    EXPECT_FALSE(dlg.playbackPanel()->recordButton().isEnabled());
    veltra::sim::replug();
    EXPECT_TRUE(test::pumpUntil(
        [&] {
            auto g = dlg.graph();
            return dlg.state().powerOn && g && g->presenter() &&
                   near(videoArea(dlg), veltra::stationCardColour(kArea, slot));
        },
        20000ms));
    for (int id : {cmd::kChannelUp, cmd::kRecordStart, cmd::kTimeShiftPauseButton})
        EXPECT_TRUE(dlg.button(id)->isEnabled()) << id;
    EXPECT_FALSE(dlg.button(cmd::kTimeShiftPlayButton)->isEnabled());
    EXPECT_TRUE(dlg.playbackPanel()->recordButton().isEnabled());
    dlg.requestClose();
    test::pumpUntil([&] { return !dlg.graph() && !dlg.isVisible(); }, 10000ms);
}

// The sizes and places of the window end to end on a wide screen: 2×, maximise, always on top,
// transparent and theater from one another, what each stores in LAST_VIEW, and the channel
// panel that goes with the normal view.
TEST(PlayerWindow, SizesMaximiseOnTopAndWhatEachViewStores) {
    // A 1920 × 1080 screen where this process makes its application (alone under CTest).
    const std::string screens = test::homeDir() + "/screen.json";
    ASSERT_TRUE(test::writeFile(screens, R"({"screens": [{"name": "wide", "x": 0, "y": 0,
        "width": 1920, "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})"));
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).c_str(), 1);
    test::ensureQtApp();
    CPlayerDlg dlg;
    ASSERT_TRUE(test::startLive(dlg));
    const std::string config = test::homeDir() + "/config.ini";
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    auto below = [&](const QRect& picture) { // clear of the programme line and the panel
        return picture.bottom() < dlg.height() - geometry::kNormalBottomRows;
    };

    // The channel panel goes against the window's right edge and follows it.
    if (!dlg.channelPanel() || !dlg.channelPanel()->isVisible()) dlg.onCommand(cmd::kChannelPanel);
    CChannelPanel* panel = dlg.channelPanel();
    ASSERT_TRUE(panel && panel->isVisible());
    auto panelAt = [&](QPoint p) {
        return test::pumpUntil([&] { return panel->pos() == p; }, 2000ms);
    };
    dlg.move(100, 50);
    EXPECT_TRUE(panelAt({458, 50})) << panel->x() << "," << panel->y();

    // Always on top, in place; again, not.
    const QRect was = dlg.geometry();
    dlg.onCommand(cmd::kAlwaysOnTop);
    EXPECT_EQ(dlg.config().settings().always, 1);
    EXPECT_TRUE(topMost(dlg));
    EXPECT_EQ(dlg.geometry(), was);
    dlg.onCommand(cmd::kAlwaysOnTop);
    EXPECT_EQ(dlg.config().settings().always, 0);
    EXPECT_FALSE(topMost(dlg));

    // 2× grows from the same corner and takes the panel along; 1× comes back.
    dlg.onCommand(cmd::kSize2x);
    EXPECT_EQ(dlg.geometry(), QRect(100, 50, 678, 620));
    EXPECT_EQ(dlg.pictureRect(), QRect(19, 70, 640, 360));
    EXPECT_TRUE(panelAt({778, 50})) << panel->x() << "," << panel->y();
    dlg.onCommand(cmd::kSize1x);
    EXPECT_EQ(dlg.geometry(), QRect(100, 50, 358, 440));
    EXPECT_TRUE(panelAt({458, 50}));
    EXPECT_EQ(dlg.config().settings().lastView, 0);

    // Maximised: the whole screen, the panel put away, the widest 16:9 picture that leaves the
    // programme line and the control panel in view. The view stays the normal one.
    dlg.onCommand(cmd::kMaximise);
    EXPECT_TRUE(dlg.state().maximised);
    EXPECT_EQ(dlg.geometry(), screen);
    EXPECT_FALSE(panel->isVisible());
    const QRect big = dlg.pictureRect();
    EXPECT_TRUE(below(big)) << big.bottom();
    EXPECT_EQ(big.height(), big.width() * 9 / 16);
    EXPECT_GT(big.width(), 1280);
    EXPECT_TRUE(test::pumpUntil(
        [&] { return near(videoArea(dlg), veltra::stationCardColour(kArea, lowestSlot(kArea))); },
        5000ms));
    EXPECT_EQ(dlg.config().settings().lastView, 0);
    dlg.onCommand(cmd::kSize1x);
    EXPECT_FALSE(dlg.state().maximised);
    EXPECT_EQ(dlg.geometry(), QRect(0, 0, 358, 440));

    // Transparent stores 1; its 2× is twice the picture.
    dlg.onCommand(cmd::kTransparentView);
    EXPECT_EQ(dlg.config().settings().lastView, 1);
    EXPECT_EQ(dlg.size(), QSize(360, 228));
    dlg.onCommand(cmd::kSize2x);
    EXPECT_EQ(dlg.size(), QSize(640, 408));
    EXPECT_EQ(dlg.pictureRect().size(), QSize(640, 360));

    // Theater stores 2; its sizes are pictures centred on the screen; on top is not for it.
    dlg.onCommand(cmd::kTheaterView);
    EXPECT_TRUE(dlg.state().fullScreen);
    EXPECT_EQ(dlg.config().settings().lastView, 2);
    EXPECT_EQ(dlg.pictureRect(), geometry::theaterPicture(screen.size(), false));
    dlg.onCommand(cmd::kSize2x);
    EXPECT_EQ(dlg.pictureRect(), geometry::centred(screen.size(), {640, 360}));
    dlg.onCommand(cmd::kSize1x);
    EXPECT_EQ(dlg.pictureRect(), geometry::centred(screen.size(), {320, 180}));
    dlg.onCommand(cmd::kAlwaysOnTop);
    EXPECT_EQ(dlg.config().settings().always, 0);

    // Leaving it: the normal view (0) where the window was, at the size chosen meanwhile.
    dlg.onCommand(cmd::kLeaveTheater);
    EXPECT_FALSE(dlg.state().fullScreen);
    EXPECT_FALSE(dlg.state().transparent);
    EXPECT_EQ(dlg.geometry(), QRect(0, 0, 358, 440));
    EXPECT_EQ(dlg.config().settings().lastView, 0);
    EXPECT_TRUE(below(dlg.pictureRect()));

    // The close writes what the last transitions left.
    dlg.onCommand(cmd::kAlwaysOnTop);
    dlg.onCommand(cmd::kViewToggle);
    EXPECT_TRUE(topMost(dlg));
    dlg.requestClose();
    ASSERT_TRUE(test::pumpUntil([&] { return !dlg.graph() && !dlg.isVisible(); }, 10000ms));
    EXPECT_EQ(Profile::getString(config, "SETUP", "LAST_VIEW", "", 10), "1");
    EXPECT_EQ(Profile::getString(config, "SETUP", "ALWAYS", "", 10), "1");
}

// A dual-mono broadcast: the window says so, and main and sub change what is heard, through
// the renderer link into the real renderer; a single-sound station ends it.
TEST(PlayerWindow, DualMonoSaysSoAndSwitchesMainAndSub) {
    test::ensureQtApp();
    CPlayerDlg dlg;
    ASSERT_TRUE(test::startLive(dlg));
    const int mono = lowestSlot(kArea), dual = AreaPresetTable::station(kArea, 1).slot;
    veltra::StationConfig station;
    ASSERT_TRUE(veltra::stationConfigFor(kArea, dual, 0, &station));
    ASSERT_TRUE(station.service.dualMono);
    ASSERT_NE(dual, mono);
    auto line = [&](int slot) {
        for (int row = 0; row < dlg.channelPanel()->lineCount(); ++row)
            if (ChannelScan::slotOfKey(dlg.channelPanel()->keyOfLine(row)) == slot) return row;
        return -1;
    };
    auto message = [&] { return dlg.panels().messageLine().state().text; };
    auto heard = [&] { // the tone of the last second decoded, once a second more has played
        render::AudioOutput* out = dlg.graph()->presenter()->audio();
        out->clearTap();
        test::pumpUntil([&] { return out->tap().size() >= 2 * 48000; }, 5000ms);
        return test::toneHz(out->tap(), 0);
    };

    // A single sound: nothing to switch.
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.graph()->audioMode() == 0; }, 5000ms));
    dlg.onCommand(cmd::kAudioSub);
    EXPECT_EQ(dlg.state().audioMode, 0);
    EXPECT_NE(message(), QStringLiteral("副音声"));

    ASSERT_GE(line(dual), 0);
    dlg.chooseChannelLine(line(dual));
    ASSERT_TRUE(test::pumpUntil(
        [&] { return dlg.state().audioMode == 1 && message() == QStringLiteral("音声多重放送中"); },
        15000ms));
    EXPECT_NEAR(heard(), station.toneHz, station.toneHz * 0.05);

    dlg.onCommand(cmd::kAudioSub);
    EXPECT_EQ(dlg.state().audioMode, 2);
    EXPECT_EQ(message(), QStringLiteral("副音声"));
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.graph()->audioMode() == 2; }, 5000ms));
    EXPECT_NEAR(heard(), station.subToneHz, station.subToneHz * 0.05);

    dlg.onCommand(cmd::kAudioMain);
    EXPECT_EQ(dlg.state().audioMode, 1);
    EXPECT_EQ(message(), QStringLiteral("主音声"));
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.graph()->audioMode() == 1; }, 5000ms));
    EXPECT_NEAR(heard(), station.toneHz, station.toneHz * 0.05);

    dlg.chooseChannelLine(line(mono));
    EXPECT_TRUE(test::pumpUntil([&] { return dlg.state().audioMode == 0; }, 15000ms));
    dlg.requestClose();
    test::pumpUntil([&] { return !dlg.graph() && !dlg.isVisible(); }, 10000ms);
}
