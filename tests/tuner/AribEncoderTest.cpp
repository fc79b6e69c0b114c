// ARIB text as the simulator airs it, read back with the one decoder as a receiver reads it.
#include "tuner/AribEncoder.h"
#include "broadcast/AribText.h"
#include "platform/Utf.h"
#include "tuner/SiTables.h"

#include <gtest/gtest.h>

using kobal::utf8ToUtf16;
using veltra::encodeArib;

namespace {

std::u16string decodeArib(const uint8_t* data, size_t size) {
    return kobal::decodeAribText(data, size, kobal::AribFlavor::Receiver);
}

std::u16string roundTrip(const std::u16string& s) {
    const std::string e = encodeArib(s);
    return decodeArib(reinterpret_cast<const uint8_t*>(e.data()), e.size());
}

} // namespace

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
