// The main window's rules that are pure functions: reception levels, the volume curve and its
// steps, view geometry, the command line and the key table.
#include "app/CPlayerApp.h"
#include "app/PlayerCommands.h"
#include "app/PlayerTimers.h"
#include "app/Volume.h"
#include "app/WindowGeometry.h"

#include <gtest/gtest.h>

using namespace kobal;

TEST(PlayerRules, SignalLevelBoundaries) {
    EXPECT_EQ(timers::signalLevelFor(-65.0), 4);
    EXPECT_EQ(timers::signalLevelFor(-65.1), 3);
    EXPECT_EQ(timers::signalLevelFor(-70.0), 3);
    EXPECT_EQ(timers::signalLevelFor(-75.0), 2);
    EXPECT_EQ(timers::signalLevelFor(-85.0), 1);
    EXPECT_EQ(timers::signalLevelFor(-85.1), 0);
    EXPECT_EQ(timers::signalLevelFor(-100.0), 0);
}

TEST(PlayerRules, VolumeCurveAndSteps) {
    for (int p = 0; p < 20; ++p) EXPECT_EQ(volume::toHundredthsDb(p), -10000) << p;
    EXPECT_EQ(volume::toHundredthsDb(20), -4840);
    EXPECT_EQ(volume::toHundredthsDb(450), -1265); // 450² / 160 = 1265.6, cut towards zero
    EXPECT_EQ(volume::toHundredthsDb(899), 0);     // 1 / 160 rounds to nothing
    EXPECT_EQ(volume::toHundredthsDb(900), 0);
    EXPECT_EQ(volume::up(880), 900);
    EXPECT_EQ(volume::up(900), 900);
    EXPECT_EQ(volume::up(869), 899);
    EXPECT_EQ(volume::down(30), 0);
    EXPECT_EQ(volume::down(31), 1);
    EXPECT_EQ(volume::down(0), 0);
}

TEST(PlayerRules, TheaterPictureOnCommonScreens) {
    EXPECT_EQ(geometry::theaterPicture({1920, 1080}, false), QRect(0, 0, 1920, 1080));
    // Captions keep the bottom 80 rows: 1777 × 1000, centred in the top 1000 rows.
    EXPECT_EQ(geometry::theaterPicture({1920, 1080}, true), QRect(71, 0, 1777, 1000));
    // 5:4 is narrower than 16:9: full width, centred vertically.
    EXPECT_EQ(geometry::theaterPicture({1280, 1024}, false), QRect(0, 152, 1280, 720));
    EXPECT_EQ(geometry::centred({1920, 1080}, {640, 360}), QRect(640, 360, 640, 360));
}

TEST(PlayerRules, WindowSizesPerViewAndMode) {
    EXPECT_EQ(geometry::windowSize(false, 1, false), QSize(358, 440));
    EXPECT_EQ(geometry::windowSize(false, 1, true), QSize(358, 500));
    EXPECT_EQ(geometry::windowSize(false, 2, false), QSize(678, 620));
    EXPECT_EQ(geometry::windowSize(true, 1, false), QSize(360, 228));
    EXPECT_EQ(geometry::windowSize(true, 1, true), QSize(360, 288));
    EXPECT_EQ(geometry::windowSize(true, 2, false, 180), QSize(640, 408));
    // The picture fills its 16:9 place in every view.
    EXPECT_EQ(geometry::picture(false, {358, 440}, false), QRect(19, 70, 320, 180));
    EXPECT_EQ(geometry::picture(false, {678, 620}, false), QRect(19, 70, 640, 360));
    // Maximised on a wide screen: as tall as the rows above the control panel allow, centred.
    EXPECT_EQ(geometry::picture(false, {1920, 1080}, false), QRect(231, 70, 1457, 819));
    EXPECT_EQ(geometry::picture(true, {360, 228}, false).size(), QSize(320, 180));
    EXPECT_EQ(geometry::picture(true, {640, 408}, false).size(), QSize(640, 360));
    EXPECT_EQ(geometry::lastView(true, true), 2);
    EXPECT_EQ(geometry::lastView(true, false), 1);
    EXPECT_EQ(geometry::lastView(false, false), 0);
}

TEST(PlayerRules, CommandLine) {
    EXPECT_TRUE(StartupArgs::parse({"+x"}).exitOnly);
    EXPECT_TRUE(StartupArgs::parse({"+tray"}).tray);
    EXPECT_TRUE(StartupArgs::parse({"+tray"}).importPath.empty());
    // The switches count only alone and whole.
    EXPECT_FALSE(StartupArgs::parse({"+X"}).exitOnly);
    EXPECT_FALSE(StartupArgs::parse({"+x", "more"}).exitOnly);
    const StartupArgs file = StartupArgs::parse({"-v", "/home/u/番組.tvpi"});
    EXPECT_EQ(file.fileArgument, "/home/u/番組.tvpi");
    EXPECT_EQ(file.importPath, "/home/u/番組.tvpi");
    EXPECT_TRUE(StartupArgs::parse({}).fileArgument.empty());
}

TEST(PlayerRules, KeysReachTheirCommands) {
    EXPECT_EQ(cmd::commandForKey(QKeyCombination(Qt::AltModifier, Qt::Key_F4)), cmd::kCloseKey);
    EXPECT_EQ(cmd::commandForKey(QKeyCombination(Qt::ControlModifier, Qt::Key_T)),
              cmd::kTimeShiftKey);
    EXPECT_EQ(
        cmd::commandForKey(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Enter)),
        cmd::kMaximise);
    EXPECT_EQ(cmd::commandForKey(QKeyCombination(Qt::AltModifier, Qt::Key_Down)), cmd::kChannelUp);
    EXPECT_EQ(cmd::commandForKey(QKeyCombination(Qt::Key_A)), 0);
    // Every menu line names a command.
    for (const cmd::MenuLine& line : cmd::contextMenu())
        EXPECT_TRUE(!line.text || line.command != 0);
}
