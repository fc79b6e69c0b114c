// The records a scan leaves, the key chosen after it, and the tuning history.
#include "channels/ChannelScan.h"
#include "channels/ChannelHistory.h"

#include <gtest/gtest.h>

using namespace kobal;

namespace {

constexpr uint32_t kOneSeg = 0xF1E00001u;

ScanTable tableWith(std::initializer_list<int> found, std::initializer_list<int> silent = {}) {
    ScanTable t{};
    for (int k : found)
        t[size_t(k)] = {1, k, kOneSeg, u"局" + std::u16string(1, char16_t('0' + k % 10)), k, 1};
    for (int k : silent) t[size_t(k)] = {0, k, 0x0000E000u, u"CH", k, 1};
    return t;
}

} // namespace

TEST(ChannelScan, IdentifiersOutsideBothPatternsLeaveNothingToTune) {
    ScanTable t = tableWith({3, 4});
    t[3].identifier = 0xF1D00000u; // one bit off the first pattern
    t[4].identifier = 0x0000E100u; // bits 8..15 not 0xE0
    ChannelScan scan;
    scan.rebuild(t, ScanAll);
    EXPECT_TRUE(scan.records().empty());
    EXPECT_TRUE(scan.lines().empty());
    EXPECT_EQ(scan.chooseKey(t, "No-Channel", ScanAll), "");
}

TEST(ChannelScan, ChoosesTheFirstFoundPresetOrRewritesAStaleKey) {
    const ScanTable t = tableWith({8, 10}, {5});
    ChannelScan scan;
    ChannelScan::Filter area{};
    area[5] = area[8] = area[10] = true;
    scan.setFilter(area);
    scan.rebuild(t, ScanArea);
    ASSERT_EQ(scan.lines().size(), 3u); // the silent preset is listed as not found
    EXPECT_EQ(scan.lines()[0]->state, 0);
    bool rewrite = true;
    EXPECT_EQ(scan.chooseKey(t, "No-Channel", ScanArea, &rewrite), "08081");
    EXPECT_FALSE(rewrite);
    // A stored key of a slot no longer listed: the first line, written back.
    EXPECT_EQ(scan.chooseKey(t, "30301", ScanArea, &rewrite), "05051");
    EXPECT_TRUE(rewrite);
    EXPECT_EQ(scan.chooseKey(t, "10101", ScanArea, &rewrite), "10101");
    EXPECT_FALSE(rewrite);
    // An alarm's channel wins when the scan found it, without a write; a channel not found or
    // no longer listed leaves the stored one.
    EXPECT_EQ(scan.chooseKey(t, "10101", ScanArea, &rewrite, 8), "08081");
    EXPECT_FALSE(rewrite);
    EXPECT_EQ(scan.chooseKey(t, "10101", ScanArea, &rewrite, 5), "10101");
    EXPECT_EQ(scan.chooseKey(t, "10101", ScanArea, &rewrite, 9), "10101");
}

TEST(ChannelScan, SingleScanMarksTheRecordOfItsOwnSlot) {
    ChannelScan scan;
    scan.rebuild(tableWith({2}, {7}), ScanArbitrary);
    ASSERT_EQ(scan.recordOfSlot(7)->state, 0);
    // The record of slot 7 is the second record; entry 1 of the table is not its entry.
    ScanTable after = tableWith({2, 7});
    after[1].found = 0;
    scan.markSingle(after, 7);
    EXPECT_EQ(scan.recordOfSlot(7)->state, 1);
}

TEST(ChannelHistory, ForwardAfterBackAndANewTuningDoesNothing) {
    ChannelHistory h;
    EXPECT_EQ(h.back(), "");
    h.add("01011");
    h.add("02021");
    h.add("03031");
    EXPECT_EQ(h.back(), "02021");
    EXPECT_EQ(h.back(), "01011");
    EXPECT_EQ(h.back(), "");
    EXPECT_EQ(h.forward(), "02021");
    h.add("05051");
    EXPECT_EQ(h.forward(), "");
    EXPECT_EQ(h.size(), 3);
    EXPECT_EQ(h.back(), "02021");
}
