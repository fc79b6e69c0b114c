#include "app/ConfigStore.h"
#include "channels/AreaSelectDialog.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "tests/support/TestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kobal;

namespace {

// A timer program that leaves a mark, so a test can see whether the exit started it.
ConfigPaths pathsWithTimer(const std::string& folder, std::string* mark) {
    ConfigPaths p = ConfigPaths::forFolder(folder);
    *mark = folder + "/timer-started";
    p.timerProgram = folder + "/fake_timer.sh";
    test::writeFile(p.timerProgram, "#!/bin/sh\ntouch '" + *mark + "'\n");
    ::chmod(p.timerProgram.c_str(), 0755);
    return p;
}

bool appears(const std::string& path, int ms) {
    return test::waitUntil([&] { return std::filesystem::exists(path); },
                           std::chrono::milliseconds(ms));
}

struct DialogCount {
    int areaDialogs = 0;
    DialogCount() {
        setModalHandler([this](QDialog& d) {
            if (dynamic_cast<AreaSelectDialog*>(&d)) ++areaDialogs;
            return int(QDialog::Rejected);
        });
    }
    ~DialogCount() { setModalHandler({}); }
};

} // namespace

TEST(ConfigStore, FreshInstallDefaultsAndAreaQuestion) {
    test::ensureQtApp();
    DialogCount dialogs;
    const std::string folder = test::makeTempDir("fresh");
    ConfigStore store(ConfigPaths::forFolder(folder));
    ChannelLists lists;
    int order = 0, playlistAt = 0, reservationsAt = 0;
    store.setHooks({[&] { playlistAt = ++order; }, [&] { reservationsAt = ++order; }, {}, {}});
    const StartupSettings s = store.LoadSettings(lists);

    EXPECT_EQ(playlistAt, 1);
    EXPECT_EQ(reservationsAt, 2);
    EXPECT_EQ(s.volumePos, 450);
    EXPECT_FALSE(s.muted);
    EXPECT_FALSE(s.topMost);
    EXPECT_EQ(s.startView, 0);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(s.position, QPoint(screen.width() / 2 - 179, screen.height() / 2 - 220));
    const Settings& v = store.settings();
    EXPECT_EQ(v.useTrayMode, 0);
    EXPECT_EQ(v.taskId, 0);
    EXPECT_EQ(v.userPass, "0");
    EXPECT_EQ(v.currentChannel, "");

    // No config.ini: the area is asked for; cancelling it gives 北海道 in list 0.
    EXPECT_EQ(dialogs.areaDialogs, 1);
    EXPECT_EQ(s.channels.scanKind, ScanArea);
    EXPECT_EQ(s.channels.area, 0);
    EXPECT_EQ(lists[0].enabledCount(), 7);
    EXPECT_EQ(lists[0].path(), folder + "/chlist.ini");
    EXPECT_EQ(v.listNum, 0);
    EXPECT_EQ(v.areaNum, 0);
    // Loading writes nothing.
    EXPECT_FALSE(std::filesystem::exists(folder + "/config.ini"));
}

TEST(ConfigStore, ValuesParseLikeAtoiAndPickTheStartView) {
    test::ensureQtApp();
    DialogCount dialogs;
    const std::string folder = test::makeTempDir("atoi");
    const std::string f = folder + "/config.ini";
    Profile::writeString(f, "SETUP", "VOLUME_POS", "abc");
    Profile::writeString(f, "SETUP", "ALWAYS", "1");
    Profile::writeString(f, "SETUP", "MUTE", " 1xyz");
    Profile::writeString(f, "SETUP", "DEFAULT_VIEW", "1");
    Profile::writeString(f, "SETUP", "LAST_VIEW", "2");
    Profile::writeString(f, "SETUP", "START_VIEW_LAST", "1");
    Profile::writeString(f, "SETUP", "AREA_NUM", "24");
    Profile::writeString(f, "SETUP", "LIST_NUM", "3");
    Profile::writeString(f, "SETUP", "TASKID", "123456789");
    Profile::writeString(f, "SETUP", "USERPASS", "xpw1x");
    Profile::writeString(f, "DMBControl", "CurrentChannel", "05051");
    ConfigStore store(ConfigPaths::forFolder(folder));
    ChannelLists lists;
    const StartupSettings s = store.LoadSettings(lists);
    EXPECT_EQ(s.volumePos, 0);
    EXPECT_TRUE(s.muted);
    EXPECT_TRUE(s.topMost);
    EXPECT_EQ(s.startView, 2);
    EXPECT_EQ(store.settings().taskId, 123456789);
    EXPECT_EQ(store.settings().userPass, "xpw1x");
    EXPECT_EQ(store.settings().currentChannel, "05051");
    // LIST_NUM names an empty list and the area is known: area scan, no question.
    EXPECT_EQ(s.channels.scanKind, ScanArea);
    EXPECT_EQ(s.channels.listNumber, 3);
    EXPECT_EQ(s.channels.area, 24);
    EXPECT_EQ(dialogs.areaDialogs, 0);

    Profile::writeString(f, "SETUP", "START_VIEW_LAST", "0");
    EXPECT_EQ(ConfigStore(ConfigPaths::forFolder(folder)).LoadSettings(lists).startView, 1);

    // Values outside their ranges: the slider end and the normal view.
    Profile::writeString(f, "SETUP", "VOLUME_POS", "5000");
    Profile::writeString(f, "SETUP", "DEFAULT_VIEW", "7");
    Profile::writeString(f, "SETUP", "LAST_VIEW", "-3");
    ConfigStore wild(ConfigPaths::forFolder(folder));
    const StartupSettings w = wild.LoadSettings(lists);
    EXPECT_EQ(w.volumePos, 900);
    EXPECT_EQ(w.startView, 0);
    Profile::writeString(f, "SETUP", "VOLUME_POS", "-20");
    EXPECT_EQ(ConfigStore(ConfigPaths::forFolder(folder)).LoadSettings(lists).volumePos, 0);
}

TEST(ConfigStore, SaveWritesTheKeysInOrderAndRoundTrips) {
    test::ensureQtApp();
    DialogCount dialogs;
    const std::string folder = test::makeTempDir("save");
    std::string mark;
    ConfigStore store(pathsWithTimer(folder, &mark));
    ChannelLists lists;
    store.LoadSettings(lists);
    Settings& v = store.settings();
    v.always = 1;
    v.defaultView = 2;
    v.lastView = 1;
    v.startViewLast = 1;
    v.areaNum = 7;
    v.listNum = 2;
    v.taskId = 41;
    v.currentChannel = "14141";
    lists[2].fillFromArea(7);
    lists[2].setListName("東京");
    bool reservationsSaved = false;
    store.setHooks({{}, {}, [&] { reservationsSaved = true; }, {}});
    v.noteVolume(300, false);
    v.noteVolume(0, true); // exit while muted: the position from before muting is kept
    ASSERT_TRUE(store.SaveSettings(lists));
    EXPECT_TRUE(reservationsSaved);

    const std::string f = folder + "/config.ini";
    EXPECT_EQ(Profile::keys(f, "SETUP"),
              (std::vector<std::string>{"ALWAYS", "VOLUME_POS", "MUTE", "DEFAULT_VIEW", "LAST_VIEW",
                                        "START_VIEW_LAST", "USE_TRAYMODE", "AREA_NUM", "LIST_NUM",
                                        "TASKID"}));
    EXPECT_EQ(Profile::getString(f, "SETUP", "VOLUME_POS", ""), "300");
    EXPECT_EQ(Profile::getString(f, "SETUP", "MUTE", ""), "1");
    EXPECT_EQ(Profile::getString(f, "DMBControl", "CurrentChannel", ""), "14141");
    EXPECT_FALSE(appears(mark, 300)); // no tray mode, no timer program

    ConfigStore again(ConfigPaths::forFolder(folder));
    ChannelLists back;
    const StartupSettings s = again.LoadSettings(back);
    EXPECT_EQ(s.volumePos, 300);
    EXPECT_TRUE(s.muted);
    EXPECT_TRUE(s.topMost);
    EXPECT_EQ(s.startView, 1);
    EXPECT_EQ(s.channels.scanKind, ScanArbitrary);
    EXPECT_EQ(s.channels.listNumber, 2);
    EXPECT_EQ(again.settings().taskId, 41);
    EXPECT_EQ(again.settings().currentChannel, "14141");
    EXPECT_EQ(back[2].listName(), "東京");
    EXPECT_EQ(back[2].enabledSlots(), (std::vector<int>{7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(dialogs.areaDialogs, 1); // only the very first load asked
}

TEST(ConfigStore, TrayModeStartsTheTimerProgramUnlessClearedBeforeExit) {
    test::ensureQtApp();
    const std::string folder = test::makeTempDir("tray");
    Profile::writeString(folder + "/config.ini", "SETUP", "USE_TRAYMODE", "1");
    Profile::writeString(folder + "/config.ini", "SETUP", "AREA_NUM", "3");
    std::string mark;
    ChannelLists lists;
    {
        // A "+x" close clears tray mode: the file says 0 and no timer program starts.
        ConfigStore store(pathsWithTimer(folder, &mark));
        store.LoadSettings(lists);
        ASSERT_EQ(store.settings().useTrayMode, 1);
        store.settings().useTrayMode = 0;
        store.SaveSettings(lists);
        EXPECT_EQ(Profile::getString(folder + "/config.ini", "SETUP", "USE_TRAYMODE", ""), "0");
        EXPECT_FALSE(appears(mark, 500));
    }
    {
        ConfigStore store(pathsWithTimer(folder, &mark));
        store.LoadSettings(lists);
        store.settings().useTrayMode = 1;
        store.SaveSettings(lists);
        EXPECT_TRUE(appears(mark, 20000));
    }
}

TEST(ConfigStore, ImmediateWritesAndCurrentChannelReads) {
    const std::string folder = test::makeTempDir("immediate");
    ConfigStore store(ConfigPaths::forFolder(folder));
    EXPECT_EQ(store.ReadCurrentChannel(), "No-Channel");
    ASSERT_TRUE(store.writeCurrentChannel("07071"));
    EXPECT_EQ(store.ReadCurrentChannel(), "07071");
    EXPECT_EQ(store.settings().currentChannel, "07071");
    ASSERT_TRUE(store.writeLastChannel("07071"));
    ASSERT_TRUE(store.writeRecordFileName("/videos/rec 1.rec"));
    const std::string f = folder + "/config.ini";
    EXPECT_EQ(Profile::getString(f, "DMBControl", "LastChannel", ""), "07071");
    EXPECT_EQ(Profile::getString(f, "RECControl", "FileName", ""), "/videos/rec 1.rec");

    // The recorder and the stream start-up read at most 29 characters.
    store.writeCurrentChannel(std::string(40, '9'));
    EXPECT_EQ(store.ReadCurrentChannel(), std::string(29, '9'));

    // An unwritable settings file is reported to the caller, not thrown.
    ConfigStore nowhere(ConfigPaths::forFolder(folder + "/missing/folder"));
    EXPECT_FALSE(nowhere.writeCurrentChannel("01011"));
}

TEST(ConfigStore, PathsFollowTheRegisteredInstallFolder) {
    // Deep folders are fine: the value is not cut to a fixed buffer.
    const std::string folder = test::makeTempDir("installed" + std::string(150, 'd'));
    ASSERT_TRUE(Registry::write("install_Dir", folder + "/"));
    ConfigPaths p = ConfigPaths::fromRegistry();
    EXPECT_EQ(p.installFolder, folder);
    EXPECT_EQ(p.configFile, folder + "/config.ini");
    EXPECT_EQ(p.chlistFile, folder + "/chlist.ini");
    EXPECT_EQ(p.timerProgram, paths::programFolder() + "/kobal_timer");

    // Without a registered folder the settings stay in the user's folder, never in "/".
    ASSERT_TRUE(Registry::remove("install_Dir"));
    p = ConfigPaths::fromRegistry();
    EXPECT_EQ(p.installFolder, paths::installFolder());
    EXPECT_EQ(p.configFile, paths::installFolder() + "/config.ini");

    const std::string recordings = "/videos/" + std::string(200, 'r');
    ASSERT_TRUE(Registry::write("rec_Dir", recordings));
    EXPECT_EQ(ConfigStore::recordFolder(), recordings);
    Registry::remove("version");
    EXPECT_EQ(ConfigStore::version(), "");
}
