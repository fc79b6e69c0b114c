// Broadcast text decoding: the JIS table, the programme and service-name decoders and the
// caption path's EUC-JP conversion, on the documented edge cases and on real broadcast strings.
#include "broadcast/AribText.h"
#include "broadcast/EucJp.h"
#include "broadcast/JisTable.h"
#include "platform/Utf.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kobal;

namespace {

std::u16string programme(std::vector<uint8_t> b, bool description = false) {
    return decodeAribProgramme(b.data(), b.size(), description);
}
std::u16string service(std::vector<uint8_t> b) {
    return decodeAribService(b.data(), b.size());
}
std::u16string receiver(std::vector<uint8_t> b) {
    return decodeAribText(b.data(), b.size(), AribFlavor::Receiver);
}

char16_t linearLookup(uint16_t jis) {
    for (const JisPair& p : jisTable())
        if (p.jis == jis) return p.unicode;
    return u' ';
}

} // namespace

TEST(AribJisTable, HoldsEveryPairSortedWithTheDocumentedValues) {
    auto t = jisTable();
    ASSERT_EQ(t.size(), kJisTableSize);
    for (size_t i = 1; i < t.size(); ++i) ASSERT_LT(t[i - 1].jis, t[i].jis) << i;
    // Standard EUC-JP choices that differ between mappings.
    EXPECT_EQ(jisLookup(0x2141), 0x301C);
    EXPECT_EQ(jisLookup(0x2142), 0x2016);
    EXPECT_EQ(jisLookup(0x215D), 0x2212);
    EXPECT_EQ(jisLookup(0x2171), 0x00A2);
    EXPECT_EQ(jisLookup(0x2172), 0x00A3);
    EXPECT_EQ(jisLookup(0x224C), 0x00AC);
    // Row 1 symbols shown in ASCII / Latin-1, row 3 as ASCII.
    EXPECT_EQ(jisLookup(0x2124), u',');
    EXPECT_EQ(jisLookup(0x2140), u'\\');
    EXPECT_EQ(jisLookup(0x216F), 0x00A5);
    EXPECT_EQ(jisLookup(0x2177), u'@');
    EXPECT_EQ(jisLookup(0x2121), 0x3000); // not an exception
    EXPECT_EQ(jisLookup(0x2330), u'0');
    EXPECT_EQ(jisLookup(0x2341), u'A');
    EXPECT_EQ(jisLookup(0x237A), u'z');
    // ARIB extension rows.
    EXPECT_EQ(jisLookup(0x7521), 0xE000);
    EXPECT_EQ(jisLookup(0x7A21), 0xE11A);
    EXPECT_EQ(jisLookup(0x7E7D), 0xE2EE);
    // Gaps give a space: row 2 gap, the holes of the extension rows, rows 9-15.
    EXPECT_EQ(jisLookup(0x222F), u' ');
    EXPECT_EQ(jisLookup(0x7A27), u' ');
    EXPECT_EQ(jisLookup(0x7E7E), u' ');
    EXPECT_EQ(jisLookup(0x2921), u' ');
    EXPECT_EQ(jisLookup(0x3021), 0x4E9C);
}

TEST(AribJisTable, DirectLookupAgreesWithSearchingThePairsForEveryCode) {
    for (uint32_t code = 0; code <= 0xFFFF; ++code)
        ASSERT_EQ(jisLookup(uint16_t(code)), linearLookup(uint16_t(code))) << std::hex << code;
}

TEST(AribJisTable, GeneratedRowsMatchTheSystemConversion) {
    std::string generated;
    std::string tool = test::binaryDir() + "/tools/kobal_jisgen/kobal_jisgen";
    ASSERT_EQ(test::runCommand("'" + tool + "'", &generated), 0) << tool;
    EXPECT_EQ(generated, test::readFile(test::sourceDir() + "/broadcast/JisX0208Rows.cpp"))
        << "broadcast/JisX0208Rows.cpp is stale: regenerate it with kobal_jisgen";
}

TEST(AribProgrammeDecoder, DecodesTheBasicCodeElements) {
    EXPECT_EQ(programme({0x0F, 0x30, 0x21}), u"\u4E9C");     // kanji through GL
    EXPECT_EQ(programme({0xA4, 0xA2}), u"\u3044\u3042");     // GR hiragana by default
    EXPECT_EQ(programme({0x0F, 0x22, 0x2F}), u" ");          // a code not in the table
    EXPECT_EQ(programme({0x1B, 0x6F, 0x2B, 0x21}), u"カァ"); // ESC 6F: GL katakana
    EXPECT_EQ(programme({0x1B, 0x6E, 0x24, 0x77}), u"\u3044\u309D");
    EXPECT_EQ(programme({0x0E, 0x41, 0x62, 0x0F, 0x30, 0x21}), u"Ab\u4E9C");
    EXPECT_EQ(programme({0x1B, 0x7E, 0xC1, 0xE2}), u"Ab"); // GR alphanumeric
    EXPECT_EQ(programme({0x1B, 0x7C, 0xA2, 0xF4, 0xF9, 0xFA}), u"\u30A2\u30F4-\uFF61");
    EXPECT_EQ(programme({0xF4, 0xF7, 0xFE}), u" \u309D\uFF65"); // hiragana GR specials
    // Single shifts act for one character only.
    EXPECT_EQ(programme({0x1D, 0x22, 0x30, 0x21}), u"\u30A2\u4E9C");
    EXPECT_EQ(programme({0x19, 0x22, 0x19, 0x74}), u"\u3042 ");
    // Designations to GR.
    EXPECT_EQ(programme({0x1B, 0x29, 0x4A, 0x41, 0xC2}), u"A\u00C2");
    EXPECT_EQ(programme({0x1B, 0x2B, 0x31, 0x22}), u"\u30A2");
    EXPECT_EQ(programme({0x1B, 0x24, 0x2A, 0x3B, 0x1B, 0x7D, 0xB0, 0xA1}), u"\u4E9C");
    EXPECT_EQ(programme({0x1B, 0x24, 0x39, 0x0F, 0x30, 0x21}), u"\u4E9C");
}

TEST(AribProgrammeDecoder, SpacesAndReturnsOnlyInDescriptions) {
    std::vector<uint8_t> b = {0xA4, 0xA2, 0x20, 0x0D, 0xA4, 0xA2};
    EXPECT_EQ(programme(b, false), u"いあいあ");
    EXPECT_EQ(programme(b, true), u"いあ  いあ");
    // A space right after a shift is a space, not half a kanji.
    EXPECT_EQ(programme({0x0E, 0x41, 0x0F, 0x20, 0x30, 0x21}, true), u"A \u4E9C");
}

TEST(AribProgrammeDecoder, RealEventNamesFromNhkAkita) {
    EXPECT_EQ(programme({0x0E, 0x4E, 0x48, 0x4B, 0x1D, 0x4B, 0x1D, 0x65, 0xF9, 0x1D,
                         0x39, 0x37, 0x0F, 0x1B, 0x24, 0x3B, 0x7A, 0x5A, 0x7A, 0x56}),
              u"NHKニュ-ス7\uE153\uE14F");
    EXPECT_EQ(
        programme({0x1D, 0x40, 0xF9, 0x1B, 0x6F, 0x26, 0x23, 0x73, 0xAC, 0x0F, 0x4D, 0x68, 0xBF,
                   0x21, 0x2A, 0xFB, 0x47, 0x48, 0x4D, 0x70, 0xCE, 0x1B, 0x7C, 0xE9, 0xA4, 0xAA,
                   0xF3, 0x33, 0x58, 0x31, 0x60, 0x19, 0x4B, 0x40, 0x78, 0x46, 0x7E, 0x21, 0x2A,
                   0x49, 0x34, 0x3D, 0x43, 0x19, 0x4E, 0x32, 0x26, 0x19, 0x72, 0x4D, 0x5C, 0x40,
                   0x2E, 0x21, 0x2A, 0x21, 0x2A, 0xFC, 0x1B, 0x24, 0x3B, 0x7A, 0x5C, 0x7A, 0x56}),
        u"ダ-ウィンが来た!｢波乱のライオン学園に潜入!百獣の王を養成!!｣\uE155\uE14F");
}

TEST(AribProgrammeDecoder, BoundsInputAndOutputAndStopsAtNul) {
    std::vector<uint8_t> many(2000, 0xA2); // one hiragana per byte
    EXPECT_EQ(programme(many).size(), kAribTextMax);
    EXPECT_EQ(programme({0x0F, 0x30}), u"");                // half a kanji at the end
    EXPECT_EQ(programme({0xA2, 0x0E, 0x41, 0x1B}), u"あA"); // dangling escape
    EXPECT_EQ(decodeAribProgramme(nullptr, 10, false), u"");
}

TEST(AribServiceDecoder, DiffersFromTheProgrammeDecoderWhereItShould) {
    // Bracketed symbols.
    EXPECT_EQ(service({0x7A, 0x74}), u"<ほか>");
    EXPECT_EQ(service({0x7A, 0x60}), u"<\uE159>");
    EXPECT_EQ(service({0x7E, 0x41}), u"(\uE2B2)");
    EXPECT_EQ(programme({0x7A, 0x60}), u"\uE159");
    // Skipped channel digits.
    EXPECT_EQ(service({0x0E, 0x31, 0xA2}), u"あ");
    EXPECT_EQ(service({0x1B, 0x7E, 0xB1, 0xA2}), u"あ");
    EXPECT_EQ(programme({0x1B, 0x7E, 0xB1}), u"1");
    // No designation sequences, and ESC 24 3B only with its 0F.
    EXPECT_EQ(programme({0x1B, 0x24, 0x3B, 0x30, 0x21}), u"\u4E9C");
    EXPECT_EQ(service({0x1B, 0x24, 0x3B, 0x0F, 0x30, 0x21}), u"\u4E9C");
    EXPECT_NE(service({0x1B, 0x24, 0x3B, 0x30, 0x21}), u"\u4E9C");
    EXPECT_EQ(service({0xA2, 0x20, 0xA2}), u"ああ");
}

TEST(AribServiceDecoder, RealServiceNames) {
    EXPECT_EQ(service({0x0E, 0x4E, 0x48, 0x4B, 0x0F, 0x41, 0x6D, 0x39, 0x67, 0x0E, 0x31, 0xFE, 0x0F,
                       0x3D, 0x29, 0x45, 0x44}),
              u"NHK総合･秋田");
    EXPECT_EQ(service({0x0E, 0x4E, 0x48, 0x4B, 0x0F, 0x37, 0x48, 0x42, 0x53, 0x0E, 0x47, 0xFE, 0x0F,
                       0x3D, 0x29, 0x45, 0x44}),
              u"NHK携帯G･秋田");
    EXPECT_EQ(service({0x1B, 0x7E, 0xD4, 0xCF, 0xCB, 0xD9, 0xCF, 0x21, 0x21, 0xCD, 0xD8, 0xB1}),
              u"TOKYO\u3000MX1");
    EXPECT_EQ(
        service({0x1B, 0x7E, 0xCD, 0xD8, 0x1B, 0x7C, 0xEF, 0xF3, 0xBB, 0xB0, 0x1B, 0x7E, 0xB1}),
        u"MXワンセグ");
}

TEST(AribServiceDecoder, BracketExpansionIsCutAtTheOutputArea) {
    std::vector<uint8_t> b;
    for (int i = 0; i < 255; ++i) b.insert(b.end(), {0x7A, 0x74}); // 4 characters each
    std::u16string s = service(b);
    ASSERT_EQ(s.size(), kAribTextMax);
    EXPECT_EQ(s.substr(0, 8), u"<ほか><ほか>");
}

TEST(AribReceiverDecoder, DecodesRealServiceNames) {
    // NHK Akita one-segment service and TOKYO MX, as aired.
    EXPECT_EQ(receiver({0x0E, 0x4E, 0x48, 0x4B, 0x0F, 0x37, 0x48, 0x42, 0x53, 0x0E, 0x47, 0xFE,
                        0x0F, 0x3D, 0x29, 0x45, 0x44}),
              utf8ToUtf16("NHK携帯G・秋田"));
    EXPECT_EQ(
        receiver({0x1B, 0x7E, 0xCD, 0xD8, 0x1B, 0x7C, 0xEF, 0xF3, 0xBB, 0xB0, 0x1B, 0x7E, 0xB1}),
        utf8ToUtf16("MXワンセグ1"));
    EXPECT_EQ(receiver({0x1B, 0x7E, 0xD4, 0xCF, 0xCB, 0xD9, 0xCF, 0x21, 0x21, 0xCD, 0xD8, 0xB1}),
              utf8ToUtf16("TOKYO　MX1"));
}

TEST(AribReceiverDecoder, DecodesRealEventTitleWithSingleShiftsAndExtensionSymbols) {
    const std::u16string t = receiver({0x0E, 0x4E, 0x48, 0x4B, 0x1D, 0x4B, 0x1D, 0x65, 0xF9, 0x1D,
                                       0x39, 0x37, 0x0F, 0x1B, 0x24, 0x3B, 0x7A, 0x5A, 0x7A, 0x56});
    // Extension symbols come out where the player's decoders put them (row 90 → U+E11A + n).
    EXPECT_EQ(t, utf8ToUtf16("NHKニュース7") + u"\uE153\uE14F");
}

TEST(AribReceiverDecoder, DecoderNeverReadsPastTruncatedInput) {
    // Cut inside an escape, a two-byte code and a single shift.
    for (std::vector<uint8_t> v : {std::vector<uint8_t>{0x1B},
                                   {0x1B, 0x24},
                                   {0x30},
                                   {0x19},
                                   {0x1B, 0x28, 0x20},
                                   {0x90},
                                   {0x9D, 0x20}}) {
        const std::u16string s = receiver(v);
        EXPECT_LE(s.size(), 1u);
    }
    EXPECT_TRUE(decodeAribText(nullptr, 0, AribFlavor::Receiver).empty());
}

TEST(AribReceiverDecoder, ControlParametersAreSkippedAsTheCaptionWalkSkipsThem) {
    // COL and CDC with a palette (0x20 and one byte), and alone; APS; TIME.
    EXPECT_EQ(receiver({0x0E, 0x41, 0x90, 0x20, 0x48, 0x92, 0x20, 0x49, 0x42, 0x92, 0x4A, 0x43,
                        0x1C, 0x44, 0x45, 0x9D, 0x20, 0x46, 0x47}),
              u"ABCG");
}

TEST(AribReceiverDecoder, SingleShiftsBeforeBytesWithoutACharacterAreSkipped) {
    // SS2/SS3 before 0x7F or 0xFF (bytes beyond the kana rows) in every decoder.
    for (uint8_t shift : {uint8_t(0x19), uint8_t(0x1D)}) {
        for (uint8_t b : {uint8_t(0x7F), uint8_t(0xFF)}) {
            const std::vector<uint8_t> v = {0x0E, 0x41, shift, b, 0x42};
            EXPECT_EQ(receiver(v), u"AB");
            EXPECT_EQ(programme(v), u"AB");
            EXPECT_EQ(service(v), u"AB");
        }
    }
}

TEST(EucJpCaptionConversion, PlainJisRowsPrivateRowsAndControls) {
    std::vector<uint8_t> b = {0xA3, 0xC1, 0xA1, 0xA2, 0xA1, 0xC1, 0xB0, 0xA1, 0x87,
                              0x0C, 0x41, 0xF5, 0xA1, 0xFC, 0xA1, 0xFE, 0xFE};
    // Fullwidth forms stay fullwidth; rows 85-94 from U+E000; C1 and ASCII pass through.
    EXPECT_EQ(eucJpToUtf16(b.data(), b.size()),
              u"\uFF21\u3001\u301C\u4E9C\u0087\u000CA\uE000\uE292\uE3AB");
}

TEST(EucJpCaptionConversion, BadBytesBecomeReplacementsAndOutputIsBounded) {
    std::vector<uint8_t> b = {0xA4, 0x41, 0xA9, 0xA1, 0xB0}; // lone lead, empty row 9, cut pair
    EXPECT_EQ(eucJpToUtf16(b.data(), b.size()), u"\uFFFDA\uFFFD\uFFFD");
    std::vector<uint8_t> many(3000, 0x41);
    EXPECT_EQ(eucJpToUtf16(many.data(), many.size(), 512).size(), 512u);
}
