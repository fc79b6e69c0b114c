#include "channels/ChannelList.h"
#include "broadcast/AreaPresetTable.h"
#include "platform/Profile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace kobal;

namespace {

std::string chlistPath() {
    return test::makeTempDir("chlist") + "/chlist.ini";
}

std::string repeat(const std::string& unit, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += unit;
    return s;
}

} // namespace

TEST(ChannelList, WorkingCopyRefusesFileAndIgnoresBadSlots) {
    ChannelList list;
    EXPECT_EQ(list.listName(), "Channel List");
    EXPECT_EQ(list.number(), -1);
    EXPECT_FALSE(list.load());
    EXPECT_FALSE(list.save());

    list.set(-1, "x", 1);
    list.set(50, "y", 1);
    list.setEnabled(99, 1);
    EXPECT_EQ(list.enabledCount(), 0);
    EXPECT_EQ(list.name(-1), "");
    EXPECT_EQ(list.name(50), "");
    EXPECT_EQ(list.flag(50), 0);

    list.set(49, "end", 1);
    list.set(0, "start", 7); // any nonzero flag counts as enabled
    EXPECT_EQ(list.enabledCount(), 2);
    EXPECT_EQ(list.enabledSlots(), (std::vector<int>{0, 49}));
    EXPECT_EQ(list.enabledNames(), (std::vector<std::string>{"start", "end"}));
}

TEST(ChannelList, MissingFileGivesDefaults) {
    ChannelLists lists;
    EXPECT_TRUE(loadChannelLists(lists, chlistPath()));
    for (int n = 0; n < 5; ++n) {
        EXPECT_EQ(lists[n].number(), n);
        EXPECT_EQ(lists[n].listName(), "チャンネルリスト " + std::to_string(n + 1));
        EXPECT_EQ(lists[n].enabledCount(), 0);
        for (int slot = 0; slot < 50; ++slot) EXPECT_EQ(lists[n].name(slot), "");
    }
}

TEST(ChannelList, RoundTripThroughChlistIni) {
    const std::string path = chlistPath();
    Profile::writeString(path, "Other", "kept", "yes");
    Profile::writeString(path, "list3", "LIST3_CH0_NAME", "old");
    ChannelLists lists;
    loadChannelLists(lists, path);
    EXPECT_EQ(lists[3].name(0), "old");
    lists[3].setName(0, "new");
    lists[0].fillFromArea(7);
    lists[2].setListName("旅行用 = list");
    lists[2].set(33, "  ＮＨＫ総合  ", 1);
    lists[2].set(34, "two\nlines", 0);
    lists[4].set(0, "", 1);
    ASSERT_TRUE(saveChannelLists(lists));

    ChannelLists again;
    loadChannelLists(again, path);
    for (int n = 0; n < 5; ++n) {
        EXPECT_EQ(again[n].listName(), lists[n].listName()) << n;
        EXPECT_EQ(again[n].flagsCopy(), lists[n].flagsCopy()) << n;
    }
    for (int slot = 0; slot < 50; ++slot) EXPECT_EQ(again[0].name(slot), lists[0].name(slot));
    EXPECT_EQ(again[2].listName(), "旅行用 = list");
    // The profile format drops blanks at the ends of a value.
    EXPECT_EQ(again[2].name(33), "ＮＨＫ総合");
    // A line break must not split the entry in the file.
    EXPECT_EQ(again[2].name(34), "two lines");
    EXPECT_EQ(again[4].enabledSlots(), std::vector<int>{0});

    // All 50 slots are written, also the empty ones, and the count is the enabled count.
    EXPECT_EQ(Profile::keys(path, "LIST4").size(), 2u + 100u);
    EXPECT_EQ(Profile::getString(path, "LIST0", "LIST0_COUNT", ""), "8");
    // Another owner's section survives; a list section is written once, whatever its case.
    EXPECT_EQ(Profile::getString(path, "Other", "kept", ""), "yes");
    EXPECT_EQ(again[3].name(0), "new");
    EXPECT_EQ(Profile::sections(path),
              (std::vector<std::string>{"Other", "LIST0", "LIST1", "LIST2", "LIST3", "LIST4"}));

    // A single list saves on its own, key by key, into the same layout.
    again[1].set(9, "nine", 1);
    ASSERT_TRUE(again[1].save());
    ChannelList one;
    one.bind(1, path);
    ASSERT_TRUE(one.load());
    EXPECT_EQ(one.enabledSlots(), std::vector<int>{9});
    EXPECT_EQ(Profile::getString(path, "LIST1", "LIST1_COUNT", ""), "1");
}

TEST(ChannelList, StoredCountIsNotTrustedAndRecomputedOnSave) {
    const std::string path = chlistPath();
    Profile::writeString(path, "LIST1", "LIST1_COUNT", "40");
    Profile::writeString(path, "LIST1", "LIST1_CH3_ENABLE", "1");
    Profile::writeString(path, "LIST1", "LIST1_CH4_ENABLE", "abc");
    ChannelList list;
    list.bind(1, path);
    ASSERT_TRUE(list.load());
    EXPECT_EQ(list.enabledSlots(), std::vector<int>{3});
    ASSERT_TRUE(list.save());
    EXPECT_EQ(Profile::getString(path, "LIST1", "LIST1_COUNT", ""), "1");
}

TEST(ChannelList, LongNamesAreCutForReadingAndForTheTuner) {
    const std::string path = chlistPath();
    Profile::writeString(path, "LIST0", "LIST0_CH0_NAME", repeat("あ", 120));
    Profile::writeString(path, "LIST0", "LIST0_CH0_ENABLE", "1");
    // A character outside the basic plane takes two UTF-16 units; it must not be split.
    Profile::writeString(path, "LIST0", "LIST0_CH1_NAME", repeat("a", 48) + "😀" + "b");
    Profile::writeString(path, "LIST0", "LIST0_CH1_ENABLE", "1");
    ChannelList list;
    list.bind(0, path);
    ASSERT_TRUE(list.load());
    EXPECT_EQ(list.name(0), repeat("あ", 99));

    const auto names = list.enabledNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], repeat("あ", 49));
    EXPECT_EQ(names[1], repeat("a", 48));

    const auto buffers = list.enabledNameBuffers();
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[0][48], u'あ');
    EXPECT_EQ(buffers[0][49], 0);
    EXPECT_EQ(buffers[1][47], u'a');
    EXPECT_EQ(buffers[1][48], 0);
}

TEST(ChannelList, FillFromAreaPresets) {
    ChannelList tokyo;
    tokyo.fillFromArea(7);
    EXPECT_EQ(tokyo.enabledSlots(), (std::vector<int>{7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(tokyo.name(7), "ＭＸテレビ");
    EXPECT_EQ(tokyo.name(14), "ＮＨＫ総合");
    EXPECT_EQ(tokyo.name(0), "CH13");
    EXPECT_EQ(tokyo.name(49), "CH62");

    ChannelList tokushima;
    tokushima.fillFromArea(35);
    EXPECT_EQ(tokushima.enabledCount(), 3);

    // The same station name lives on other channels elsewhere: lookups stay in one area.
    ChannelList hokkaido;
    hokkaido.fillFromArea(0);
    EXPECT_EQ(hokkaido.enabledCount(), 7);
    EXPECT_EQ(hokkaido.name(2), "ＮＨＫ総合");
    EXPECT_EQ(hokkaido.name(14), "CH27");

    // The far end of the table: a slipped count or offset moves every later area.
    int stations = 0;
    for (int a = 0; a < AreaPresetTable::kAreaCount; ++a)
        stations += AreaPresetTable::stationCount(a);
    EXPECT_EQ(stations, AreaPresetTable::kStationCount);
    const AreaStation kab = AreaPresetTable::station(42, 5);
    EXPECT_EQ(kab.slot, 49 - 13);
    EXPECT_STREQ(kab.name, "ＫＡＢ");
    const AreaStation qab = AreaPresetTable::station(46, 4);
    EXPECT_EQ(qab.slot, 16 - 13);
    EXPECT_STREQ(qab.name, "ＱＡＢ");
    EXPECT_EQ(AreaPresetTable::station(46, 5).slot, -1);

    ChannelList none;
    none.fillFromArea(47);
    EXPECT_EQ(none.enabledCount(), 0);
    EXPECT_EQ(none.name(3), "CH16");
}
