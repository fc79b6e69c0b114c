#include "platform/ByteReader.h"

#include <gtest/gtest.h>
#include <vector>

using kobal::ByteReader;

TEST(ByteReader, IntegersInBothOrdersAndAStickyErrorOnAShortRead) {
    const std::vector<uint8_t> b = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                    0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10};
    ByteReader r(b);
    EXPECT_EQ(r.u8(), 0x01);
    EXPECT_EQ(r.u16be(), 0x0203);
    EXPECT_EQ(r.u16le(), 0x0504);
    EXPECT_EQ(r.u24be(), 0x060708u);
    EXPECT_EQ(r.u24le(), 0x0B0A09u);
    EXPECT_EQ(r.u32le(), 0x0F0E0D0Cu);
    EXPECT_EQ(r.position(), 15u);
    // Two bytes do not fit into one: zero, the position stays, the error sticks.
    EXPECT_EQ(r.u16be(), 0);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.position(), 15u);
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_EQ(r.u8(), 0); // would fit, but the reader has failed
    EXPECT_TRUE(r.bytes(1).empty());
    EXPECT_FALSE(r.sub(0).ok());

    ByteReader w(b);
    EXPECT_EQ(w.u64be(), 0x0102030405060708ull);
    EXPECT_EQ(w.u64le(), 0x100F0E0D0C0B0A09ull);
    EXPECT_EQ(w.u32be(), 0u);
    EXPECT_FALSE(w.ok());

    // A huge length never wraps around the end.
    ByteReader h(b);
    h.u8();
    EXPECT_FALSE(h.skip(SIZE_MAX));
    EXPECT_EQ(h.position(), 1u);
    ByteReader e;
    EXPECT_TRUE(e.bytes(0).empty());
    EXPECT_TRUE(e.ok());
    EXPECT_EQ(e.u8(), 0);
    EXPECT_FALSE(e.ok());
}

TEST(ByteReader, NestedLimitsConfineLengthPrefixedLoops) {
    // Two descriptors (tag, length, body), the second claiming more than its loop holds.
    const std::vector<uint8_t> b = {0x00, 0x06, 0x48, 0x02, 0xAA, 0xBB, 0x4D, 0x09, 0xCC, 0xDD};
    ByteReader r(b);
    ASSERT_TRUE(r.pushLimit(r.u16be()));                   // loop length 6
    ASSERT_TRUE(r.pushLimit(0) && r.u8() == 0 && !r.ok()); // nothing readable in an empty limit
    r.popLimit();

    ByteReader s(b);
    s.pushLimit(s.u16be());
    EXPECT_EQ(s.u8(), 0x48);
    ASSERT_TRUE(s.pushLimit(s.u8()));
    EXPECT_EQ(s.depth(), 2u);
    EXPECT_EQ(s.u8(), 0xAA); // the body's first byte only; pop skips the rest
    s.popLimit();
    EXPECT_EQ(s.position(), 6u);
    EXPECT_EQ(s.remaining(), 2u); // the loop's limit, not the buffer's four
    EXPECT_EQ(s.u8(), 0x4D);
    EXPECT_FALSE(s.pushLimit(s.u8())); // 9 bytes inside a loop with 1 left
    EXPECT_EQ(s.u8(), 0);
    s.popLimit();
    s.popLimit();
    EXPECT_EQ(s.depth(), 0u);
    EXPECT_FALSE(s.ok());

    // Nesting deeper than the reader keeps fails but stays balanced.
    ByteReader d(b);
    for (size_t i = 0; i < ByteReader::kMaxDepth + 2; ++i) d.pushLimit(0);
    EXPECT_FALSE(d.ok());
    for (size_t i = 0; i < ByteReader::kMaxDepth + 2; ++i) d.popLimit();
    EXPECT_EQ(d.depth(), 0u);
}

TEST(ByteReader, Utf16FieldsWithAndWithoutTerminator) {
    // "ab\0z" in a 4-unit field, then "xyz" filling a 3-unit field with no terminator.
    const std::vector<uint8_t> b = {'a', 0, 'b', 0, 0, 0, 'z', 0, 'x', 0, 'y', 0, 'z', 0, 'q'};
    ByteReader r(b);
    EXPECT_EQ(r.utf16le(4), u"ab");
    EXPECT_EQ(r.position(), 8u);
    EXPECT_EQ(r.utf16le(3), u"xyz");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.utf16le(1), u""); // one byte left: half a unit
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.position(), 14u);
    ByteReader h(b);
    EXPECT_EQ(h.utf16le(SIZE_MAX / 2 + 1), u""); // a unit count whose byte count overflows
    EXPECT_FALSE(h.ok());
}
