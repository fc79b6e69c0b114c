// ARIB text: the encoder the simulator airs with, and the decoder that reads recorded streams,
// checked against real broadcast strings.
#include "tuner/AribText.h"
#include "tuner/SiTables.h"

#include <gtest/gtest.h>

using veltra::decodeArib;
using veltra::encodeArib;
using veltra::utf8ToUtf16;

namespace {

std::u16string decodeHex(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> v(bytes);
    return decodeArib(v.data(), v.size());
}

std::u16string roundTrip(const std::u16string& s) {
    const std::string e = encodeArib(s);
    return decodeArib(reinterpret_cast<const uint8_t*>(e.data()), e.size());
}

} // namespace

TEST(AribText, DecodesRealServiceNames) {
    // NHK Akita one-segment service and TOKYO MX, as aired.
    EXPECT_EQ(decodeHex({0x0E, 0x4E, 0x48, 0x4B, 0x0F, 0x37, 0x48, 0x42, 0x53, 0x0E, 0x47, 0xFE,
                         0x0F, 0x3D, 0x29, 0x45, 0x44}),
              utf8ToUtf16("NHK携帯G・秋田"));
    EXPECT_EQ(
        decodeHex({0x1B, 0x7E, 0xCD, 0xD8, 0x1B, 0x7C, 0xEF, 0xF3, 0xBB, 0xB0, 0x1B, 0x7E, 0xB1}),
        utf8ToUtf16("MXワンセグ1"));
    EXPECT_EQ(decodeHex({0x1B, 0x7E, 0xD4, 0xCF, 0xCB, 0xD9, 0xCF, 0x21, 0x21, 0xCD, 0xD8, 0xB1}),
              utf8ToUtf16("TOKYO　MX1"));
}

TEST(AribText, DecodesRealEventTitleWithSingleShiftsAndExtensionSymbols) {
    const std::u16string t =
        decodeHex({0x0E, 0x4E, 0x48, 0x4B, 0x1D, 0x4B, 0x1D, 0x65, 0xF9, 0x1D,
                   0x39, 0x37, 0x0F, 0x1B, 0x24, 0x3B, 0x7A, 0x5A, 0x7A, 0x56});
    // Extension symbols come out where the player's decoders put them (row 90 → U+E11A + n).
    EXPECT_EQ(t, utf8ToUtf16("NHKニュース7") + u"\uE153\uE14F");
}

TEST(AribText, EncodesEachKindWithTheShortestBroadcastForm) {
    // Hiragana in the default GR set: one byte each.
    EXPECT_EQ(encodeArib(utf8ToUtf16("いあ")), "\xA4\xA2");
    // A lone katakana by single shift, a run by locking shift to GR.
    EXPECT_EQ(encodeArib(utf8ToUtf16("ア")), "\x1D\x22");
    EXPECT_EQ(encodeArib(utf8ToUtf16("アイ")), "\x1B\x7C\xA2\xA4");
    // Alphanumerics after LS1, kanji back after LS0.
    EXPECT_EQ(encodeArib(utf8ToUtf16("J1亜")), std::string("\x0EJ1\x0F\x30\x21"));
    // Full-width letters stay kanji-set codes (row 3).
    EXPECT_EQ(encodeArib(utf8ToUtf16("ＮＨＫ")), "\x23\x4E\x23\x48\x23\x4B");
}

TEST(AribText, RoundTripsMixedTextIncludingExtensionSymbols) {
    const std::u16string mixed =
        utf8ToUtf16("ドラマ「東京の空」第3話　ねこのタマ、ＮＨＫ総合ー") + u"\uE14F";
    EXPECT_EQ(roundTrip(mixed), mixed);
    // A hiragana after katakana needs the GR set switched back.
    EXPECT_EQ(roundTrip(utf8ToUtf16("テレビあさひ")), utf8ToUtf16("テレビあさひ"));
    // A character outside every set becomes a full-width space, not garbage.
    EXPECT_EQ(roundTrip(u"\U0001F600"), utf8ToUtf16("　　"));
}

TEST(AribText, DecoderNeverReadsPastTruncatedInput) {
    // Cut inside an escape, a two-byte code and a single shift.
    for (std::vector<uint8_t> v : {std::vector<uint8_t>{0x1B},
                                   {0x1B, 0x24},
                                   {0x30},
                                   {0x19},
                                   {0x1B, 0x28, 0x20},
                                   {0x90},
                                   {0x9D, 0x20}}) {
        const std::u16string s = decodeArib(v.data(), v.size());
        EXPECT_LE(s.size(), 1u);
    }
    EXPECT_TRUE(decodeArib(nullptr, 0).empty());
}

TEST(AribText, CaptionTextUsesEucJpPairsAndFullWidthAlphanumerics) {
    EXPECT_EQ(veltra::encodeCaptionEucJp(utf8ToUtf16("今日は NHK123")),
              "\xBA\xA3\xC6\xFC\xA4\xCF \xA3\xCE\xA3\xC8\xA3\xCB\xA3\xB1\xA3\xB2\xA3\xB3");
}

TEST(AribText, TextsTooLongForTheirTableFieldAreCutBetweenCharacters) {
    // The fields hold 64 (SDT names) and 96 (EIT titles) bytes; a cut inside a two-byte
    // character or after a shift code without its character would air a broken character.
    const std::u16string kanji = utf8ToUtf16("漢");
    auto repeat = [&](int n) {
        std::u16string s;
        for (int i = 0; i < n; ++i) s += kanji;
        return s;
    };
    auto field = [](const std::vector<uint8_t>& v, size_t lengthAt) {
        return std::string(v.begin() + static_cast<long>(lengthAt) + 1,
                           v.begin() + static_cast<long>(lengthAt + 1 + v[lengthAt]));
    };
    veltra::ServiceInfo service;
    service.provider = repeat(31) + utf8ToUtf16("アイ"); // 62 bytes, then a shift and kana
    service.name = u"A" + repeat(40);                    // alphanumeric shift, then kanji
    const std::vector<uint8_t> sdt = veltra::buildSdt(service);
    ASSERT_EQ(sdt[16], 0x48);
    const std::string provider = field(sdt, 19);
    EXPECT_EQ(provider, encodeArib(repeat(31)));
    const std::string name = field(sdt, 20 + provider.size());
    EXPECT_EQ(name, encodeArib(u"A" + repeat(30)));

    veltra::Programme p;
    p.title = u"x" + repeat(48);
    p.text = utf8ToUtf16("番組");
    const std::vector<uint8_t> eit = veltra::buildEit(service, 0, 1, 0, p);
    ASSERT_EQ(eit[26], 0x4D);
    EXPECT_EQ(field(eit, 31), encodeArib(u"x" + repeat(46)));

    // At every length limit the cut is a prefix of the whole encoding whose last byte ends a
    // character (without it, a character fewer comes out).
    const std::u16string mixed = utf8ToUtf16("ニュース7　きょうのテンキ") + kanji;
    const std::string whole = encodeArib(mixed);
    auto decode = [](const std::string& b) {
        return decodeArib(reinterpret_cast<const uint8_t*>(b.data()), b.size());
    };
    for (size_t limit = 0; limit <= whole.size(); ++limit) {
        const std::string cut = encodeArib(mixed, limit);
        EXPECT_LE(cut.size(), limit);
        EXPECT_GT(cut.size() + 3, limit) << "cut too short at " << limit;
        EXPECT_EQ(cut, whole.substr(0, cut.size())) << limit;
        const std::u16string text = decode(cut);
        EXPECT_EQ(text, mixed.substr(0, text.size())) << limit;
        if (!cut.empty()) {
            EXPECT_LT(decode(cut.substr(0, cut.size() - 1)).size(), text.size()) << limit;
        }
    }
}
