// Reservation and alarm files, the purge, validation and the scheduled-start units.
#include "platform/Scheduler.h"
#include "reservations/Alarm.h"
#include "reservations/Reservation.h"
#include "reservations/StationSlot.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace kobal;

namespace {

std::string i32(int32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((uint32_t(v) >> (8 * i)) & 0xFF));
    return s;
}
std::string text(std::u16string_view t) {
    std::string s = i32(int32_t(2 * t.size() + 2));
    for (char16_t c : t) s += {char(c & 0xFF), char(c >> 8)};
    return s + std::string(2, '\0');
}
std::string record(int32_t start, int32_t end, int32_t repeat, int32_t slot, int32_t id) {
    return i32(start) + i32(end) + text(u"NHK") + text(u"ニュース") + i32(repeat) + i32(slot) +
           text(u"") + i32(id);
}

Reservation make(int64_t start, int64_t end, int repeat = Reservation::kOnce, int id = 1) {
    Reservation r;
    r.channelName = u"ＮＨＫ総合";
    r.title = u"番組";
    r.start = start;
    r.end = end;
    r.repeat = repeat;
    r.slot = 14;
    r.id = id;
    return r;
}

const int64_t kDay = 86400;

} // namespace

TEST(ReservationFile, RoundTripsByteForByte) {
    Reservation a = make(localTime(2026, 12, 31, 23, 30), localTime(2027, 1, 1, 0, 30),
                         Reservation::kWeekly, 42);
    a.memo = u"メモ";
    Reservation b = make(localTime(2027, 1, 2, 6, 0), localTime(2027, 1, 2, 7, 0));
    b.slot = -1;
    b.title = std::u16string(1200, u'長'); // stored cut to 999 characters
    const std::string bytes = ReservationList::encode({a, b});
    // The layout: count, then start, end and the name "ＮＨＫ総合" as 12 bytes with its zero.
    EXPECT_EQ(bytes.substr(0, 8), i32(2) + i32(int32_t(a.start)));
    EXPECT_EQ(bytes.substr(12, 4), i32(12));

    std::vector<Reservation> back;
    ASSERT_EQ(ReservationList::decode(bytes, &back), ReservationFileError::None);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], a);
    EXPECT_EQ(back[1].title.size(), 999u);
    EXPECT_EQ(ReservationList::encode(back), bytes);
    // The smallest record (every text empty) is a whole file too.
    Reservation bare;
    bare.end = 60;
    ASSERT_EQ(ReservationList::decode(ReservationList::encode({bare}), &back),
              ReservationFileError::None);
    EXPECT_EQ(back, std::vector<Reservation>{bare});

    // Saved by rename and loaded again; an empty list deletes the file.
    const std::string path = test::homeDir() + "/reserv.ini";
    ReservationList list;
    list.add(a);
    ASSERT_TRUE(list.save(path));
    ReservationList loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_EQ(loaded.items(), std::vector<Reservation>{a});
    ASSERT_TRUE(ReservationList().save(path));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(loaded.load(path)); // missing: empty, not damaged
    EXPECT_TRUE(loaded.empty());
}

TEST(ReservationFile, DamagedFilesAreKeptAsideNeverHalfRead) {
    const std::string good = record(1800000000, 1800003600, 101, 14, 1);
    std::string noZero = i32(1) + i32(1800000000) + i32(1800003600) + i32(4) + "a\0b\0";
    const struct {
        const char* what;
        std::string bytes;
        ReservationFileError expected;
    } cases[] = {
        {"empty", "", ReservationFileError::Count},
        {"negative count", i32(-1), ReservationFileError::Count},
        {"count above the bytes", i32(1000000) + good, ReservationFileError::Count},
        {"count above the records", i32(2) + good + std::string(40, '\0'),
         ReservationFileError::Text},
        {"cut record", i32(1) + good.substr(0, good.size() - 2), ReservationFileError::CutRecord},
        {"second record cut", i32(2) + good + good.substr(0, 45), ReservationFileError::CutRecord},
        {"odd text length", i32(1) + i32(0) + i32(60) + i32(3) + std::string(80, 'x'),
         ReservationFileError::Text},
        {"text over 2000 bytes", i32(1) + i32(0) + i32(60) + i32(2002) + std::string(2100, 'x'),
         ReservationFileError::Text},
        {"text without its zero", noZero + std::string(40, 'x'), ReservationFileError::Text},
        {"repeat 104", i32(1) + record(1800000000, 1800003600, 104, 14, 1),
         ReservationFileError::Range},
        {"slot 50", i32(1) + record(1800000000, 1800003600, 101, 50, 1),
         ReservationFileError::Range},
        {"negative id", i32(1) + record(1800000000, 1800003600, 101, 3, -5),
         ReservationFileError::Range},
        {"end before start", i32(1) + record(1800003600, 1800000000, 101, 3, 1),
         ReservationFileError::Range},
    };
    const std::string path = test::homeDir() + "/reserv.ini";
    for (const auto& c : cases) {
        std::vector<Reservation> out;
        EXPECT_EQ(ReservationList::decode(c.bytes, &out), c.expected) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;

        ASSERT_TRUE(test::writeFile(path, c.bytes));
        ReservationList list;
        std::string error;
        EXPECT_FALSE(list.load(path, &error)) << c.what;
        EXPECT_TRUE(list.empty()) << c.what;
        EXPECT_NE(error.find("reserv.ini.broken"), std::string::npos) << c.what;
        // The damaged bytes are kept, and the exit's save of the empty list cannot touch them.
        EXPECT_EQ(test::readFile(path + ".broken"), c.bytes) << c.what;
        EXPECT_TRUE(list.save(path));
        EXPECT_EQ(test::readFile(path + ".broken"), c.bytes) << c.what;
    }
    // Bytes after the counted records belong to no record.
    std::vector<Reservation> out;
    EXPECT_EQ(ReservationList::decode(i32(1) + good + "junk", &out), ReservationFileError::None);
    EXPECT_EQ(out.size(), 1u);
}

TEST(ReservationList, PurgeDropsOrMovesAcrossMonthAndYearEnds) {
    const int64_t now = localTime(2027, 1, 1, 12, 0);
    ReservationList list;
    std::vector<std::string> removed;
    list.onRemoved = [&](const Reservation& r) { removed.push_back(r.taskName()); };
    list.add(make(localTime(2026, 12, 31, 21, 0), localTime(2026, 12, 31, 22, 0),
                  Reservation::kDaily, 1));
    list.add(
        make(localTime(2026, 12, 1, 21, 0), localTime(2026, 12, 1, 22, 0), Reservation::kOnce, 42));
    list.add(make(localTime(2026, 12, 30, 23, 0), localTime(2026, 12, 31, 0, 30),
                  Reservation::kWeekly, 3));
    list.add(make(now, now + 60, Reservation::kOnce, 4)); // starts now: not in the past
    EXPECT_TRUE(list.purge(now));
    EXPECT_EQ(removed, std::vector<std::string>{"Kobal_Player000000042"});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.items()[0].start, localTime(2027, 1, 1, 21, 0));
    EXPECT_EQ(list.items()[1].start, localTime(2027, 1, 6, 23, 0));
    EXPECT_EQ(list.items()[1].end, localTime(2027, 1, 7, 0, 30));
    EXPECT_FALSE(list.purge(now));

    list.bubbleEarliestToFront();
    EXPECT_EQ(list.items()[0].id, 4);

    EXPECT_EQ(nextReservationId(999999999), 0);
    EXPECT_EQ(nextReservationId(41), 42);
}

TEST(ReservationList, ValidationRulesAndConflicts) {
    const int64_t now = localTime(2027, 3, 10, 12, 0);
    ReservationList list;
    // A new 22:00-23:00 against a daily 22:30-23:30 first stored on another day.
    list.add(
        make(localTime(2027, 3, 12, 22, 30), localTime(2027, 3, 12, 23, 30), Reservation::kDaily));
    const int64_t s = localTime(2027, 3, 15, 22, 0), e = localTime(2027, 3, 15, 23, 0);
    EXPECT_EQ(list.validate(-1, s, e, Reservation::kOnce, now), "他の予約と時間が重なっています。");
    EXPECT_EQ(list.validate(0, s, e, Reservation::kOnce, now), ""); // the entry itself

    ReservationList once;
    once.add(make(localTime(2027, 3, 15, 23, 0), localTime(2027, 3, 15, 23, 30)));
    EXPECT_EQ(once.validate(-1, s, e, Reservation::kOnce, now), ""); // touching is no conflict
    // A weekly one on the same weekday a week later is moved onto the entry's date.
    EXPECT_EQ(
        once.validate(-1, s + 7 * kDay + 1800, e + 7 * kDay + 1800, Reservation::kWeekly, now),
        "他の予約と時間が重なっています。");
    EXPECT_EQ(once.validate(-1, e, s, Reservation::kOnce, now), "誤った時間範囲を入力しました。");
    EXPECT_EQ(once.validate(-1, now - 60, now + 60, Reservation::kOnce, now),
              "誤った時間を入力しました。");
    EXPECT_EQ(once.validate(-1, localTime(2038, 1, 1, 0, 0), localTime(2038, 1, 1, 1, 0),
                            Reservation::kOnce, now),
              "入力範囲を超過しました。");
}

TEST(ReservationList, StationNamesFindTheirSlotWhateverTheLetterWidth) {
    // 東京 (7): ＮＨＫ総合 on slot 14, ＭＸテレビ on 7; 新潟 (14) writes テレビ21 half-width.
    EXPECT_EQ(channelSlotForStation(u"ＮＨＫ総合", 7), 14);
    EXPECT_EQ(channelSlotForStation(u"NHK総合", 7), 14);
    EXPECT_EQ(channelSlotForStation(u"ＭＸテレビ", 7), 7);
    EXPECT_EQ(channelSlotForStation(u"新潟テレビ２１", 14), 10);
    EXPECT_EQ(channelSlotForStation(u"新潟テレビ21", 14), 10);
    EXPECT_EQ(channelSlotForStation(u"NHK 総合", 7), -1); // a blank is not a letter
    EXPECT_EQ(channelSlotForStation(u"ＭＸテレビ", 14), -1);
    EXPECT_EQ(channelSlotForStation(u"ＮＨＫ総合", 47), -1);
    EXPECT_EQ(channelSlotForStation(u"", 7), -1);
}

TEST(AlarmFile, RoundTripDamageAndTheStartWindow) {
    Alarm once{u"ＮＨＫ総合", 14, localTime(2027, 1, 1, 7, 0), Alarm::kOnce};
    Alarm daily{u"テレビ東京", 27, localTime(2026, 12, 1, 6, 30), Alarm::kDaily};
    const std::string bytes = AlarmFile::encode({once, daily});
    ASSERT_EQ(bytes.size(), 10u + 2 * 92u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("2\0\0\0", 4));
    std::vector<Alarm> back;
    ASSERT_TRUE(AlarmFile::decode(bytes, &back));
    EXPECT_EQ(back, (std::vector<Alarm>{once, daily}));

    // The window: from 9 s before to 19 s after; the daily one on any later day.
    EXPECT_EQ(AlarmFile::requestedSlot(back, localTime(2027, 1, 1, 6, 59, 50)), -1);
    EXPECT_EQ(AlarmFile::requestedSlot(back, localTime(2027, 1, 1, 6, 59, 51)), 14);
    EXPECT_EQ(AlarmFile::requestedSlot(back, localTime(2027, 1, 1, 7, 0, 19)), 14);
    EXPECT_EQ(AlarmFile::requestedSlot(back, localTime(2027, 1, 1, 7, 0, 20)), -1);
    EXPECT_EQ(AlarmFile::requestedSlot(back, localTime(2027, 1, 2, 7, 0, 0)), -1);
    EXPECT_EQ(AlarmFile::requestedSlot(back, localTime(2027, 5, 9, 6, 29, 55)), 27);
    back[1].repeat = Alarm::kOther;
    EXPECT_EQ(AlarmFile::requestedSlot(back, localTime(2027, 5, 9, 6, 30, 0)), -1);
    // At midnight the window starts on the day before: a once alarm at New Year from the last
    // seconds of the old year, a daily one from the last seconds of any month.
    const std::vector<Alarm> midnight = {
        {u"ＮＨＫ総合", 14, localTime(2027, 1, 1, 0, 0), Alarm::kOnce},
        {u"テレビ東京", 27, localTime(2026, 6, 1, 0, 0), Alarm::kDaily}};
    EXPECT_EQ(AlarmFile::requestedSlot(midnight, localTime(2026, 12, 31, 23, 59, 50)), -1);
    EXPECT_EQ(AlarmFile::requestedSlot(midnight, localTime(2026, 12, 31, 23, 59, 51)), 14);
    EXPECT_EQ(AlarmFile::requestedSlot(midnight, localTime(2027, 1, 1, 0, 0, 19)), 14);
    EXPECT_EQ(AlarmFile::requestedSlot(midnight, localTime(2027, 2, 28, 23, 59, 55)), 27);
    EXPECT_EQ(AlarmFile::requestedSlot(midnight, localTime(2027, 3, 1, 0, 0, 20)), -1);

    std::string longName = bytes;
    for (size_t i = 10; i < 90; ++i) longName[i] = 'x';
    const struct {
        const char* what;
        std::string bytes;
    } damaged[] = {
        {"empty", ""},
        {"count not a number", std::string("x\0\0\0\0\0\0\0\0\0", 10) + bytes.substr(10)},
        {"count without its zero", std::string("1\0"
                                               "1\0"
                                               "1\0"
                                               "1\0"
                                               "1\0",
                                               10)},
        {"count above the records", std::string("3\0\0\0\0\0\0\0\0\0", 10) + bytes.substr(10)},
        {"cut record", bytes.substr(0, 150)},
        {"name without its zero", longName},
    };
    const std::string path = test::homeDir() + "/alarm.ini";
    for (const auto& c : damaged) {
        std::vector<Alarm> out;
        EXPECT_FALSE(AlarmFile::decode(c.bytes, &out)) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
        ASSERT_TRUE(test::writeFile(path, c.bytes));
        std::string error;
        EXPECT_EQ(AlarmFile::requestedSlotAtStart(path, localTime(2027, 1, 1, 7, 0), &error), -1);
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_EQ(test::readFile(path + ".broken"), c.bytes) << c.what;
        EXPECT_FALSE(std::filesystem::exists(path)) << c.what;
    }
    ASSERT_TRUE(AlarmFile::save(path, {once}));
    EXPECT_EQ(AlarmFile::requestedSlotAtStart(path, localTime(2027, 1, 1, 7, 0, 5)), 14);
}

TEST(Scheduler, UnitsForReservationsCheckedBySystemd) {
    test::ensureQtApp(test::QtApp::Core);
    ScheduledTask t;
    t.year = 2027;
    t.month = 3;
    t.day = 10; // a Wednesday
    t.weekday = 3;
    t.hour = 23;
    t.minute = 59;
    t.application = test::binaryDir() + "/app/kobal_player";
    t.workingDirectory = test::homeDir();
    t.comment = "Kobal_Player 予約録画";
    EXPECT_EQ(Scheduler::onCalendar(t), "2027-03-10 23:59:00");
    t.kind = ScheduledTask::kWeekly;
    EXPECT_EQ(Scheduler::onCalendar(t), "Wed *-*-* 23:59:00");
    t.kind = ScheduledTask::kDaily;
    EXPECT_EQ(Scheduler::onCalendar(t), "*-*-* 23:59:00");

    ASSERT_TRUE(Scheduler::folderBackend());
    const std::string folder = Scheduler::unitFolder();
    EXPECT_EQ(folder, test::homeDir() + "/systemd");
    EXPECT_EQ(Scheduler::registerTask(t, "Kobal_Player000000042", false), Scheduler::kOk);
    EXPECT_EQ(Scheduler::registerTask(t, "Kobal_Player000000042", true), Scheduler::kExists);
    EXPECT_EQ(Scheduler::registerTask(t, "../escape", false), Scheduler::kFail);
    EXPECT_EQ(Scheduler::registerTask(ScheduledTask{}, "Kobal_Player000000001", false),
              Scheduler::kFail);
    const std::string timer = test::readFile(folder + "/Kobal_Player000000042.timer");
    EXPECT_NE(timer.find("OnCalendar=*-*-* 23:59:00\n"), std::string::npos);
    EXPECT_NE(timer.find("WakeSystem=true\n"), std::string::npos);

    std::string out;
    if (test::runCommand("command -v systemd-analyze >/dev/null") != 0) {
        GTEST_LOG_(INFO) << "systemd-analyze is not installed; the unit checks are skipped";
    } else {
        for (int kind = ScheduledTask::kOnce; kind <= ScheduledTask::kMonthly; ++kind) {
            t.kind = kind;
            EXPECT_EQ(test::runCommand(
                          "systemd-analyze calendar '" + Scheduler::onCalendar(t) + "' 2>&1", &out),
                      0)
                << out;
        }
        // verify parses both units as systemd would (by path: no user manager is needed) and
        // checks that ExecStart can be run.
        EXPECT_EQ(test::runCommand("systemd-analyze verify '" + folder +
                                       "/Kobal_Player000000042.timer' 2>&1",
                                   &out),
                  0)
            << out;
    }

    EXPECT_EQ(Scheduler::deleteTask("Kobal_Player000000042"), Scheduler::kOk);
    EXPECT_FALSE(std::filesystem::exists(folder + "/Kobal_Player000000042.service"));
    EXPECT_EQ(Scheduler::deleteTask("Kobal_Player000000042"), Scheduler::kNotFound);
    EXPECT_EQ(Scheduler::deleteTask(""), Scheduler::kFail);
}
