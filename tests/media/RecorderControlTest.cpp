// Recording names, the free-space rule, the time texts, the playlist file and the time-shift
// budget: the player-side rules where a fault would lose a recording or read a bad file.
#include "media/RecorderControl.h"
#include "media/Playlist.h"
#include "media/TimeShift.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kobal;
using namespace kobal::media;

TEST(RecorderControl, NamesNeverOverwriteAndUnmakeableFoldersAreReported) {
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 9, t.tm_hour = 7, t.tm_min = 5;
    const std::string name = recordFileName("x-dmb://2701f", t);
    EXPECT_EQ(name, "2701f_261209_0705.rec");

    // The folder is made with its parents; three recordings in one minute: plain, _0, _1.
    const std::string folder = test::makeTempDir("rec") + "/a/b";
    EXPECT_EQ(claimRecordFile(folder, name).path, folder + "/" + name);
    EXPECT_EQ(claimRecordFile(folder + "/", name).path, folder + "/2701f_261209_0705_0.rec");
    // An earlier run's "_1" is kept: the next free name is taken.
    ASSERT_TRUE(test::writeFile(folder + "/2701f_261209_0705_1.rec", "earlier"));
    EXPECT_EQ(claimRecordFile(folder, name).path, folder + "/2701f_261209_0705_2.rec");
    EXPECT_EQ(test::readFile(folder + "/2701f_261209_0705_1.rec"), "earlier");

    // A folder under a plain file, or one without write permission, gives no name.
    const RecordFile underFile = claimRecordFile(folder + "/" + name + "/x", name);
    EXPECT_TRUE(underFile.path.empty());
    EXPECT_FALSE(underFile.error.empty());
    if (geteuid() != 0) {
        const std::string locked = test::makeTempDir("locked");
        chmod(locked.c_str(), 0555);
        EXPECT_TRUE(claimRecordFile(locked, name).path.empty());
        chmod(locked.c_str(), 0755);
    }
}

TEST(RecorderControl, FreeSpaceRuleAndItsProbe) {
    uint64_t bytes = 200ull << 20;
    setFreeSpaceProbe([&](const std::string&) { return std::optional<uint64_t>(bytes); });
    EXPECT_FALSE(enoughSpaceToRecord("/any"));
    bytes = (201ull << 20) - 1; // whole mebibytes count
    EXPECT_FALSE(enoughSpaceToRecord("/any"));
    bytes = 201ull << 20;
    EXPECT_TRUE(enoughSpaceToRecord("/any"));
    setFreeSpaceProbe([](const std::string&) { return std::optional<uint64_t>(); });
    EXPECT_FALSE(enoughSpaceToRecord("/any")); // unknown: no recording
    setFreeSpaceProbe({});

    // A folder not made yet is measured on its nearest existing parent.
    const std::string home = test::homeDir();
    ASSERT_TRUE(freeSpace(home).has_value());
    EXPECT_TRUE(freeSpace(home + "/not/yet/made").has_value());
    EXPECT_TRUE(freeSpace("relative/not/made").has_value());
}

TEST(RecorderControl, ClockTextsAndRecordedFileNames) {
    EXPECT_EQ(clockText(54000), "01:30:00");              // a 90-minute file
    EXPECT_EQ(clockText(36000 * 100 + 605), "100:01:00"); // hours do not wrap
    EXPECT_EQ(positionText(125, 600), "00:00:12 / 00:01:00");
    EXPECT_EQ(clockText(-5), "00:00:00");
    EXPECT_TRUE(isRecordedFile("/v/a.rec"));
    EXPECT_TRUE(isRecordedFile("/v/a.REC"));
    EXPECT_FALSE(isRecordedFile("/v/a.ts"));
    EXPECT_FALSE(isRecordedFile("rec"));
}

TEST(Playlist, FileIsReadBoundedAndWrittenWhole) {
    const std::string file = test::homeDir() + "/plist.lst";
    Playlist list;
    EXPECT_FALSE(list.load(file)); // missing: empty
    EXPECT_EQ(list.count(), 0);
    // CRLF lines, an empty line, an over-long line and a last line without its line feed.
    std::string bytes = "/v/a.rec\r\n\n/v/b.REC\n" + std::string(Playlist::kMaxPath + 10, 'x') +
                        "\n/v/c.rec\n/v/unfinished";
    bytes += std::string("\0\xff\n", 3);
    ASSERT_TRUE(test::writeFile(file, bytes));
    ASSERT_TRUE(list.load(file));
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.entries()[0], "/v/a.rec");
    EXPECT_EQ(list.entries()[1], "/v/b.REC");
    EXPECT_EQ(list.entries()[2], "/v/c.rec");
    EXPECT_EQ(list.entries()[3], std::string("/v/unfinished\0\xff", 15));

    // The end of an entry moves the index; after the last it returns to 0 and stops.
    list.setIndex(2);
    EXPECT_TRUE(list.advance());
    EXPECT_EQ(list.index(), 3);
    EXPECT_FALSE(list.advance());
    EXPECT_EQ(list.index(), 0);

    list.clear();
    list.append("/v/only.rec");
    ASSERT_TRUE(list.save(file));
    Playlist again;
    ASSERT_TRUE(again.load(file));
    EXPECT_EQ(again.entries(), std::vector<std::string>{"/v/only.rec"});

    // A huge file: only the first part is read, the entries are capped.
    std::string many;
    for (size_t i = 0; i < Playlist::kMaxEntries + 50; ++i) many += "/v/x.rec\n";
    ASSERT_TRUE(test::writeFile(file, many));
    ASSERT_TRUE(again.load(file));
    EXPECT_EQ(size_t(again.count()), Playlist::kMaxEntries);
}

TEST(TimeShiftBudget, AnHourPerTunedChannel) {
    TimeShiftBudget b;
    for (int i = 1; i < TimeShiftBudget::kSeconds; ++i) ASSERT_FALSE(b.tick());
    EXPECT_FALSE(b.exhausted());
    EXPECT_TRUE(b.tick());
    EXPECT_TRUE(b.exhausted());
    EXPECT_TRUE(b.tick()); // stays spent, however long
    EXPECT_EQ(b.seconds(), TimeShiftBudget::kSeconds);
    b.channelTuned();
    EXPECT_FALSE(b.exhausted());
}
