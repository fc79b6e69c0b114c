// Recording, playing the recording back and time shift, end to end offscreen: the simulator
// tuner, the real engine and the real renderer, driven through the main window's commands.
#include "app/CPlayerDlg.h"
#include "app/ChannelPanel.h"
#include "app/PlayerCommands.h"
#include "channels/ChannelScan.h"
#include "engine/TunerSession.h"
#include "media/PlaybackPanel.h"
#include "media/PlaylistWindow.h"
#include "media/RecorderControl.h"
#include "media/SeekBar.h"
#include "platform/Dialogs.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "renderer/MediaGraph.h"
#include "renderer/Presenter.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"
#include "tuner/StationCard.h"
#include "ui/BitmapSlider.h"
#include "ui/HoverButton.h"
#include "ui/InfoPanels.h"
#include "ui/TextLinePanel.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <csignal>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>

using namespace kobal;
using namespace std::chrono_literals;

namespace {

// A new graph (the one before has gone) shows live pictures with the stream established.
bool playsAnew(CPlayerDlg& dlg, const std::weak_ptr<render::MediaGraph>& before) {
    return test::pumpUntil(
        [&] {
            auto g = dlg.graph();
            return before.expired() && !dlg.openInProgress() && g && g->presenter() &&
                   g->presenter()->picturesShown() > 10 && dlg.state().signalLevel > 0;
        },
        15000ms);
}

// Ctrl+T as the keyboard delivers it to the window: the shortcut check, the press, the release.
void pressCtrlT(QWidget& window) {
    for (QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent e(type, Qt::Key_T, Qt::ControlModifier, QStringLiteral("\x14"));
        QApplication::sendEvent(&window, &e);
    }
}

// The user's answers to the questions: no, unless a test says otherwise.
struct Answers : test::MessageBoxRecorder {
    Answers() { answer = IDNO; }
    std::vector<std::string>& asked = texts;
};

} // namespace

TEST(PlayerMedia, RecordsTenSecondsThenPlaysSeeksAndEndsTheFile) {
    test::ensureQtApp();
    const std::string folder = test::homeDir() + "/videos/Kobal";
    ASSERT_TRUE(Registry::write("rec_Dir", folder));
    Answers answers;
    CPlayerDlg dlg;
    ASSERT_TRUE(test::startLive(dlg));

    // A recording folder that cannot be made: a message, no "REC".
    ASSERT_TRUE(Registry::write("rec_Dir", test::homeDir() + "/config.ini/x"));
    dlg.onCommand(cmd::kRecordStart);
    EXPECT_FALSE(dlg.state().recording);
    EXPECT_FALSE(dlg.panels().recording().blinking());
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0].rfind("録画ファイルを作成できません。", 0), 0u);
    ASSERT_TRUE(Registry::write("rec_Dir", folder));

    dlg.onCommand(cmd::kRecordStart);
    ASSERT_TRUE(dlg.state().recording);
    EXPECT_TRUE(dlg.panels().recording().blinking());
    const std::string path =
        Profile::getString(test::homeDir() + "/config.ini", "RECControl", "FileName", "", 260);
    ASSERT_EQ(path.rfind(folder + "/", 0), 0u) << path;
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.elapsedDisplay() == "00:00:10"; }, 13000ms))
        << dlg.elapsedDisplay().toStdString();
    // No channel change and no time shift while recording.
    dlg.onCommand(cmd::kTimeShiftStart);
    EXPECT_FALSE(dlg.state().timeShiftActive);

    // Opening a file while recording asks; No keeps the recording and the live source.
    dlg.chooseFiles = [&](const QString& start) {
        EXPECT_EQ(start.toStdString(), folder); // where the recordings are
        return QStringList{QString::fromStdString(path), QStringLiteral("/no/second.rec"),
                           QStringLiteral("/no/third.rec")};
    };
    answers.asked.clear();
    dlg.onCommand(cmd::kOpenFile);
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0], "再生を行うと録画が停止します。再生を行いますか。");
    EXPECT_TRUE(dlg.state().recording);
    EXPECT_EQ(dlg.state().sourceKind, 1);

    // Yes: the recording stops complete and only the first selected file plays.
    answers.answer = IDYES;
    dlg.onCommand(cmd::kOpenFile);
    EXPECT_FALSE(dlg.state().recording);
    EXPECT_FALSE(dlg.panels().recording().blinking());
    EXPECT_EQ(dlg.playlist().entries(), std::vector<std::string>{path});
    ASSERT_TRUE(test::pumpUntil(
        [&] {
            auto g = dlg.graph();
            return dlg.state().sourceKind == 3 && g && g->presenter() &&
                   g->presenter()->picturesShown() > 5;
        },
        10000ms));
    EXPECT_EQ(dlg.title().toStdString(), path.substr(folder.size() + 1));
    EXPECT_GE(dlg.durationTenths(), 85);
    EXPECT_LE(dlg.durationTenths(), 115);

    // Recording is refused while a file plays.
    dlg.onCommand(cmd::kRecordStart);
    EXPECT_FALSE(dlg.state().recording);

    // The playback panel shows the file; letting go of its slider in the middle seeks there,
    // then the file plays to its end: the display shows the duration.
    CPlaybackPanel* panel = dlg.playbackPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->title(), dlg.title());
    EXPECT_EQ(panel->slider().model().maximum, int(dlg.durationTenths()) - 1);
    emit panel->seekRequested(dlg.durationTenths() / 2);
    ASSERT_TRUE(test::pumpUntil(
        [&] {
            int64_t p = 0;
            return dlg.graph() && dlg.graph()->GetCurrentPosition(&p) == render::S_OK &&
                   p >= (dlg.durationTenths() / 2 - 5) * 1000000;
        },
        3000ms));
    const std::string whole = media::clockText(dlg.durationTenths());
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.state().playState == 3; }, 10000ms));
    EXPECT_EQ(dlg.positionDisplay().toStdString(), whole + " / " + whole);
    EXPECT_EQ(panel->timeText().toStdString(), whole + " / " + whole);

    // The playlist window lists the file; activating it plays it again from the start.
    dlg.onCommand(cmd::kPlaylist);
    ASSERT_NE(dlg.playlistWindow(), nullptr);
    EXPECT_TRUE(dlg.playlistWindow()->isVisible());
    auto ended = dlg.graph();
    emit dlg.playlistWindow()->activated(0);
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.graph() && dlg.graph() != ended; }, 10000ms));
    EXPECT_EQ(dlg.state().sourceKind, 3);

    // The panel's record key cannot start a recording while a file plays.
    EXPECT_FALSE(panel->recordButton().isEnabled());
    dlg.onCommand(cmd::kRecordToggle);
    EXPECT_FALSE(dlg.state().recording);

    // Without the control panel the window's own seek bar takes over: a press just outside
    // its band does not grab the thumb; dragging the thumb to the middle seeks there.
    dlg.onCommand(cmd::kTransparentView);
    ASSERT_TRUE(
        test::pumpUntil([&] { return dlg.seekBar() && dlg.seekBar()->isVisible(); }, 3000ms));
    CSeekBar& bar = *dlg.seekBar();
    const int h = dlg.height(), travel = dlg.width() - 223;
    EXPECT_EQ(bar.geometry(), QRect(0, h - 57, travel + 44, 10));
    auto mouse = [&](QEvent::Type type, int x, int y) {
        const QPointF at = QPointF(x, y) - QPointF(bar.pos());
        QMouseEvent e(type, at, bar.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(&bar, &e);
    };
    const int grip = bar.model().thumb + 22;
    mouse(QEvent::MouseButtonPress, grip, h - 57);
    EXPECT_FALSE(bar.model().dragging);
    mouse(QEvent::MouseButtonRelease, grip, h - 57);
    mouse(QEvent::MouseButtonPress, grip, h - 52);
    ASSERT_TRUE(bar.model().dragging);
    mouse(QEvent::MouseMove, grip + travel / 2, h - 52);
    mouse(QEvent::MouseButtonRelease, grip + travel / 2, h - 52);
    const int64_t middle = dlg.durationTenths() / 2; // the file has played a second or two
    ASSERT_TRUE(test::pumpUntil(
        [&] {
            int64_t p = 0;
            return dlg.graph()->GetCurrentPosition(&p) == render::S_OK &&
                   p >= (middle - 5) * 1000000;
        },
        3000ms));
    dlg.onCommand(cmd::kNormalView);
    EXPECT_FALSE(bar.isVisible());

    // The file is an ordinary TS with both streams.
    std::string out;
    ASSERT_EQ(test::runCommand("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" +
                                   path + "'",
                               &out),
              0);
    EXPECT_NE(out.find("h264"), std::string::npos);
    EXPECT_NE(out.find("aac"), std::string::npos);
}

TEST(PlayerMedia, TimeShiftPausesLiveAndResumesWherePaused) {
    test::ensureQtApp();
    Answers answers;
    CPlayerDlg dlg;
    ASSERT_TRUE(test::startLive(dlg));
    // Up, then back: the history's last key is the second channel, the first one plays.
    const std::string first = dlg.session()->currentKey();
    std::weak_ptr<render::MediaGraph> before = dlg.graph();
    dlg.onCommand(cmd::kChannelUp);
    const std::string second = dlg.session()->currentKey();
    ASSERT_NE(second, first);
    ASSERT_TRUE(playsAnew(dlg, before));
    before = dlg.graph();
    dlg.onCommand(cmd::kHistoryBack);
    ASSERT_EQ(dlg.session()->currentKey(), first);
    ASSERT_TRUE(playsAnew(dlg, before));
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.button(cmd::kTimeShiftPauseButton)->isVisible(); },
                                5000ms));

    // Captions shown: refused with its message.
    dlg.onCommand(cmd::kCaptions);
    dlg.onCommand(cmd::kTimeShiftStart);
    EXPECT_FALSE(dlg.state().timeShiftActive);
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0], "字幕表示中は、タイムシフトは実行できません。");
    dlg.onCommand(cmd::kCaptions);

    pressCtrlT(dlg);
    ASSERT_TRUE(dlg.state().timeShiftActive);
    EXPECT_EQ(dlg.state().playState, 2);
    EXPECT_TRUE(dlg.button(cmd::kTimeShiftPlayButton)->isVisible());
    auto g = dlg.graph();
    const int64_t pausedAt = g->presenter()->lastShownUs();
    const size_t shown = g->presenter()->picturesShown();

    // Recording is refused during time shift.
    answers.asked.clear();
    dlg.onCommand(cmd::kRecordStart);
    EXPECT_FALSE(dlg.state().recording);
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0], "タイムシフト中には録画ができません。");

    test::pumpUntil([] { return false; }, 5000ms); // five seconds of broadcast wait in the renderer
    EXPECT_GE(dlg.timeShiftBudget().seconds(), 4); // one a second while paused
    EXPECT_LE(dlg.timeShiftBudget().seconds(), 5);
    EXPECT_GE(g->queue().oldestAgeMs(), 4000);

    // Ctrl+T again plays rather than pausing anew: the pictures go on from the paused one,
    // five seconds behind the broadcast, and the window counted those seconds (a loss of
    // reception waits for the kept pictures before it says so).
    pressCtrlT(dlg);
    EXPECT_FALSE(dlg.state().timeShiftActive);
    EXPECT_EQ(dlg.state().playState, 1);
    EXPECT_TRUE(dlg.button(cmd::kTimeShiftPauseButton)->isVisible());
    EXPECT_GE(dlg.state().lowSignalMillis, 4000);
    ASSERT_TRUE(
        test::pumpUntil([&] { return g->presenter()->picturesShown() > shown + 2; }, 3000ms));
    EXPECT_LT(g->presenter()->lastShownUs() - pausedAt, 1000000);

    // Stop: back to the broadcast by tuning the history's last channel, which gives the
    // budget back and leaves the history as it was.
    dlg.onCommand(cmd::kTimeShiftStop);
    EXPECT_EQ(dlg.session()->currentKey(), second);
    EXPECT_EQ(dlg.history().size(), 2);
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.graph() && dlg.graph() != g; }, 10000ms));
    EXPECT_EQ(dlg.timeShiftBudget().seconds(), 0);
}

TEST(PlayerMedia, QuickTunesWhileRecordingOrHeldAndTheSpentHour) {
    test::ensureQtApp();
    Answers answers;
    answers.answer = IDOK;
    CPlayerDlg dlg;
    ASSERT_TRUE(test::startLive(dlg));
    ASSERT_NE(dlg.channelPanel(), nullptr);
    ASSERT_TRUE(
        test::pumpUntil([&] { return dlg.button(cmd::kRecordStart)->isVisible(); }, 5000ms));
    const std::string first = dlg.session()->currentKey();
    CChannelPanel& panel = *dlg.channelPanel();
    ASSERT_GE(panel.lineCount(), 3);
    ASSERT_EQ(panel.keyOfLine(0), first);

    // Recording: both tunes are refused with the message; the recording and channel stay.
    dlg.onCommand(cmd::kRecordStart);
    ASSERT_TRUE(dlg.state().recording);
    dlg.chooseChannelLine(1);
    dlg.chooseChannelLine(2);
    EXPECT_EQ(answers.asked,
              std::vector<std::string>(2, "録画中にチャンネルを変更することはできません。"));
    EXPECT_TRUE(dlg.state().recording);
    EXPECT_EQ(dlg.session()->currentKey(), first);
    dlg.onCommand(cmd::kRecordStop);
    ASSERT_FALSE(dlg.state().recording);

    // The playback panel opened over live television: its key starts a recording and stops
    // it again (a disabled key would ignore the click).
    dlg.onCommand(cmd::kPlaybackPanel);
    ASSERT_NE(dlg.playbackPanel(), nullptr);
    CHoverButton& key = dlg.playbackPanel()->recordButton();
    key.click();
    ASSERT_TRUE(dlg.state().recording);
    key.click();
    EXPECT_FALSE(dlg.state().recording);
    dlg.onCommand(cmd::kPlaybackPanel);

    // The disk fills up (the file may grow to 64 KiB): the renderer closes the file, and the
    // window stops showing "REC" and says why instead of counting on.
    dlg.onCommand(cmd::kRecordStart);
    ASSERT_TRUE(dlg.state().recording);
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit full = old;
    full.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    const bool stopped = test::pumpUntil([&] { return !dlg.state().recording; }, 10000ms);
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(dlg.panels().recording().blinking());
    EXPECT_EQ(dlg.panels().messageLine().state().text,
              QStringLiteral("録画ファイルに書き込めないため、録画を停止しました。"));
    dlg.panels().clearMessage();

    // Held (time shift): two tunes in a row end it and open only the second channel.
    dlg.onCommand(cmd::kTimeShiftStart);
    ASSERT_TRUE(dlg.state().timeShiftActive);
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.timeShiftBudget().seconds() >= 1; }, 3000ms));
    const std::weak_ptr<render::MediaGraph> held = dlg.graph();
    dlg.chooseChannelLine(1);
    dlg.chooseChannelLine(2);
    const std::string third = panel.keyOfLine(2);
    EXPECT_EQ(dlg.session()->currentKey(), third);
    EXPECT_EQ(dlg.timeShiftBudget().seconds(), 0);
    std::set<render::MediaGraph*> opened;
    ASSERT_TRUE(test::pumpUntil(
        [&] {
            auto g = dlg.graph();
            if (g && held.expired()) opened.insert(g.get());
            return !dlg.openInProgress() && g && held.expired() && g->presenter() &&
                   g->presenter()->picturesShown() > 3;
        },
        15000ms));
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_FALSE(dlg.state().timeShiftActive);
    // The picture is the third station's card.
    const veltra::CardColour card = veltra::stationCardColour(7, ChannelScan::slotOfKey(third));
    ASSERT_TRUE(test::pumpUntil(
        [&] {
            const QRect pic = dlg.pictureRect();
            const QRgb p =
                dlg.grab().toImage().pixel(pic.x() + pic.width() / 16, pic.y() + pic.height() / 12);
            return std::abs(qRed(p) - card.r) < 20 && std::abs(qGreen(p) - card.g) < 20 &&
                   std::abs(qBlue(p) - card.b) < 20;
        },
        5000ms));

    // The hour spent: the last second ends the pause with the message, and later pauses are
    // refused with it until another channel is tuned.
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.button(cmd::kTimeShiftPauseButton)->isVisible(); },
                                5000ms));
    const QString over =
        QStringLiteral("タイムシフトが許容範囲を超えたため、再生に切り替わりました。");
    while (dlg.timeShiftBudget().seconds() < media::TimeShiftBudget::kSeconds - 1)
        dlg.timeShiftBudget().tick();
    dlg.onCommand(cmd::kTimeShiftStart);
    ASSERT_TRUE(dlg.state().timeShiftActive);
    ASSERT_TRUE(
        test::pumpUntil([&] { return dlg.panels().messageLine().state().text == over; }, 3000ms));
    EXPECT_EQ(dlg.state().playState, 2); // shown two seconds before the picture moves
    ASSERT_TRUE(test::pumpUntil([&] { return !dlg.state().timeShiftActive; }, 4000ms));
    EXPECT_EQ(dlg.state().playState, 1);
    EXPECT_TRUE(dlg.button(cmd::kTimeShiftPauseButton)->isVisible());
    dlg.panels().clearMessage();
    dlg.onCommand(cmd::kTimeShiftStart);
    EXPECT_FALSE(dlg.state().timeShiftActive);
    EXPECT_EQ(dlg.state().playState, 1);
    EXPECT_EQ(dlg.panels().messageLine().state().text, over);
    const std::weak_ptr<render::MediaGraph> spent = dlg.graph();
    dlg.chooseChannelLine(0);
    ASSERT_TRUE(playsAnew(dlg, spent));
    ASSERT_TRUE(test::pumpUntil(
        [&] {
            dlg.onCommand(cmd::kTimeShiftStart);
            return dlg.state().timeShiftActive;
        },
        5000ms));
}
