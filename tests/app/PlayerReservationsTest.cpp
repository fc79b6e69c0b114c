// The player's start with reservations and alarms: an alarm picks the start-up channel, and a
// damaged reserv.ini is told, kept aside and not replaced at exit.
#include "app/CPlayerDlg.h"
#include "broadcast/AreaPresetTable.h"
#include "engine/TunerSession.h"
#include "platform/Dialogs.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "reservations/Alarm.h"
#include "reservations/Reservation.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"

#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>

using namespace kobal;
using namespace std::chrono_literals;

TEST(PlayerReservations, AlarmTunesItsChannelAndADamagedListIsKeptAside) {
    // The injected clock stands 5 s after a daily alarm's minute.
    const int64_t real = std::time(nullptr);
    const int64_t alarmAt = localTime(2027, 2, 1, 7, 0);
    const int64_t sinceMidnight = (real - localTime(2027, 1, 1, 0, 0)) % 86400;
    const int64_t offset = (7 * 3600 + 5) - sinceMidnight;
    setenv("KOBAL_CLOCK_OFFSET", std::to_string(offset).c_str(), 1);
    ASSERT_TRUE(test::prepareApp());

    const std::string home = test::homeDir();
    // The alarm names the area's highest slot, which the scan would not choose by itself.
    int highest = -1, lowest = 99;
    for (int j = 0; j < AreaPresetTable::stationCount(7); ++j) {
        highest = std::max(highest, AreaPresetTable::station(7, j).slot);
        lowest = std::min(lowest, AreaPresetTable::station(7, j).slot);
    }
    ASSERT_NE(highest, lowest);
    ASSERT_TRUE(
        AlarmFile::save(home + "/alarm.ini", {{u"アラーム", highest, alarmAt, Alarm::kDaily}}));
    const std::string damaged("\x02\0\0\0garbage", 11);
    ASSERT_TRUE(test::writeFile(home + "/reserv.ini", damaged));

    test::MessageBoxRecorder recorder;
    auto& boxes = recorder.texts;
    {
        CPlayerDlg dlg;
        ASSERT_TRUE(dlg.initialise());
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].find("reserv.ini.broken"), std::string::npos) << boxes[0];
        ASSERT_TRUE(test::pumpUntil(
            [&] {
                return dlg.session() &&
                       ChannelScan::slotOfKey(dlg.session()->currentKey()) == highest;
            },
            20000ms))
            << "the alarm's slot " << highest << " was not tuned";
        dlg.requestClose();
        ASSERT_TRUE(test::pumpUntil([&] { return !dlg.isVisible() && !dlg.graph(); }, 10000ms));
    }
    EXPECT_EQ(test::readFile(home + "/reserv.ini.broken"), damaged);
    EXPECT_FALSE(std::filesystem::exists(home + "/reserv.ini"));
}

// A reservation a few seconds ahead on the real clock: the check tunes its channel, records
// from the start and stops 19 s before the end; the file holds that span and the finished
// once reservation is gone, so no reserv.ini is left at exit.
TEST(PlayerReservations, AReservationAheadTunesRecordsAndStops) {
    ASSERT_TRUE(test::prepareApp());
    const std::string home = test::homeDir();
    ASSERT_TRUE(Registry::write("rec_Dir", home + "/rec"));
    int highest = -1;
    for (int j = 0; j < AreaPresetTable::stationCount(7); ++j)
        highest = std::max(highest, AreaPresetTable::station(7, j).slot);
    Reservation r;
    r.channelName = u"予約";
    r.start = std::time(nullptr) + 8;
    r.end = r.start + 30;
    r.slot = highest;
    r.id = 7;
    ReservationList list;
    list.add(r);
    ASSERT_TRUE(list.save(home + "/reserv.ini"));

    test::MessageBoxRecorder recorder;
    auto& boxes = recorder.texts;
    CPlayerDlg dlg;
    ASSERT_TRUE(dlg.initialise());
    EXPECT_TRUE(boxes.empty()) << boxes[0];
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.state().recording; }, 20000ms));
    const int64_t began = std::time(nullptr);
    EXPECT_NEAR(double(began), double(r.start), 2.0);
    EXPECT_EQ(ChannelScan::slotOfKey(dlg.session()->currentKey()), highest);
    ASSERT_TRUE(test::pumpUntil([&] { return !dlg.state().recording; }, 20000ms));
    EXPECT_NEAR(double(std::time(nullptr)), double(r.end - 19), 2.0);
    const std::string path =
        Profile::getString(home + "/config.ini", "RECControl", "FileName", "", 260);
    dlg.requestClose();
    ASSERT_TRUE(test::pumpUntil([&] { return !dlg.isVisible() && !dlg.graph(); }, 10000ms));
    EXPECT_FALSE(std::filesystem::exists(home + "/reserv.ini"));

    std::string out;
    ASSERT_EQ(test::runCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" +
                                   path + "'",
                               &out),
              0)
        << path;
    EXPECT_NEAR(std::stod(out), double(r.end - 19 - r.start), 2.0) << path;
}

// Closing the player during a reserved recording asks first; No keeps recording, Yes closes
// without the second question of a reserved stop. The file holds everything recorded up to the
// close, and the daily reservation is saved moved to the next day.
TEST(PlayerReservations, ClosingDuringAReservedRecordingAsksAndKeepsTheFileWhole) {
    ASSERT_TRUE(test::prepareApp());
    const std::string home = test::homeDir();
    ASSERT_TRUE(Registry::write("rec_Dir", home + "/rec-close"));
    Reservation r;
    r.channelName = u"予約";
    r.start = std::time(nullptr) + 8;
    r.end = r.start + 600;
    r.repeat = Reservation::kDaily;
    r.slot = AreaPresetTable::station(7, 0).slot;
    r.id = 8;
    ReservationList list;
    list.add(r);
    ASSERT_TRUE(list.save(home + "/reserv.ini"));

    test::MessageBoxRecorder recorder;
    recorder.answer = IDNO;
    auto& boxes = recorder.texts;
    CPlayerDlg dlg;
    ASSERT_TRUE(dlg.initialise());
    ASSERT_TRUE(test::pumpUntil([&] { return dlg.state().recording; }, 20000ms));
    const int64_t began = std::time(nullptr);
    dlg.requestClose();
    ASSERT_TRUE(test::pumpUntil([&] { return !boxes.empty(); }, 5000ms));
    EXPECT_EQ(boxes.back(), "録画中です。プレーヤーを終了しますか。");
    test::pumpFor(300ms); // a refused close must not go on later
    EXPECT_TRUE(dlg.state().recording);
    EXPECT_TRUE(dlg.isVisible());

    recorder.answer = IDYES;
    test::pumpFor(3000ms); // something to record between the two questions
    dlg.requestClose();
    ASSERT_TRUE(test::pumpUntil([&] { return !dlg.isVisible() && !dlg.graph(); }, 10000ms));
    const int64_t closed = std::time(nullptr);
    EXPECT_EQ(boxes, std::vector<std::string>(2, "録画中です。プレーヤーを終了しますか。"));

    ReservationList saved;
    ASSERT_TRUE(saved.load(home + "/reserv.ini"));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.items()[0].start, r.start + 86400);
    const std::string path =
        Profile::getString(home + "/config.ini", "RECControl", "FileName", "", 260);
    std::string out;
    ASSERT_EQ(test::runCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" +
                                   path + "'",
                               &out),
              0)
        << path;
    EXPECT_NEAR(std::stod(out), double(closed - began), 2.0) << path;
}
