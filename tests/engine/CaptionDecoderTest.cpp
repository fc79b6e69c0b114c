// Caption statements into CaptionBlocks: the walk over controls, line clean-up, the
// statement layouts and the hand-over to the session host.
#include "engine/Caption.h"
#include "engine/ServiceInfo.h"
#include "tests/engine/OutputTap.h"
#include "tests/support/TsPackets.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kobal;

namespace {

using test::Bytes;

// The statement body of the README's real-rule caption: two lines, the second red.
const Bytes kBody = {0x0c, 0x87, 0xba, 0xa3, 0xc6, 0xfc, 0xa4, 0xcf, 0x20, 0xa4, 0xa4, 0xa4, 0xa4,
                     0xc5, 0xb7, 0xb5, 0xa4, 0x0d, 0x81, 0xa3, 0xce, 0xa3, 0xc8, 0xa3, 0xcb, 0x89,
                     0xa3, 0xb1, 0xa3, 0xb2, 0xa3, 0xb3, 0x8a, 0xfc, 0xa1, 0x9d, 0x20, 0x4a};

// The packet payload: a private stream PES header with a PTS around the data.
Bytes pes(const Bytes& data) {
    Bytes p = {0x00, 0x00, 0x01, 0xbd, 0x00, uint8_t(data.size() + 8), 0x81, 0x80, 0x05,
               0x21, 0x00, 0x01, 0x00, 0x01};
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

} // namespace

TEST(CaptionDecoder, RealRuleCaptionGivesTwoColouredLines) {
    test::CaptionTap host;
    ServiceInfoReader reader(&host.sink);
    Bytes p = pes(test::captionStatement(kBody));
    reader.onCaptionPes(p.data(), p.size());
    ASSERT_EQ(host.captions.size(), 1u);
    const CaptionBlock& b = host.captions[0];
    // A space in normal size is a full-size space.
    EXPECT_EQ(b.lines[0].textView(), u"今日は　いい天気");
    EXPECT_EQ(b.lines[0].clear, 1);
    EXPECT_EQ(b.lines[0].returnFlag, 1);
    EXPECT_EQ(b.lines[0].colour, 8);
    // Fullwidth letters mapped to ASCII after the strip; the row-92 arrow lands where the
    // guide's decoder puts ARIB symbol 0x7C21.
    EXPECT_EQ(b.lines[1].textView(), u"NHK123\uE1D6");
    EXPECT_EQ(b.lines[1].clear, 0);
    EXPECT_EQ(b.lines[1].returnFlag, 2);
    EXPECT_EQ(b.lines[1].colour, 2);
    EXPECT_EQ(b.lines[1].wait, 10);
    EXPECT_EQ(b.lines[0].lineCount, 2);
    EXPECT_EQ(b.lines[1].lineCount, 2);
    EXPECT_EQ(b.lines[2].lineCount, 0);
    EXPECT_EQ(b.lines[2].colour, 8);
    EXPECT_EQ(b.lines[2].returnFlag, 1);
}

TEST(CaptionDecoder, StatementLayoutsAndWhatIsNotACaption) {
    CaptionDecoder dec;
    // Time control modes 1 and 2 put a time field before the loop length.
    Bytes d = test::captionStatement(kBody, 0x20, 1);
    ASSERT_TRUE(dec.decodePesData(d.data(), d.size()));
    EXPECT_EQ(dec.block().lineCount(), 2);
    // Data group 2 (second language, or management data group 0) is not decoded at all.
    d = test::captionStatement(kBody, 0x20, 0, 0x08);
    EXPECT_FALSE(dec.decodePesData(d.data(), d.size()));
    EXPECT_EQ(dec.block().lineCount(), 2); // untouched
    // A first unit that is not a statement body hands over an empty block.
    d = test::captionStatement(kBody, 0x30);
    ASSERT_TRUE(dec.decodePesData(d.data(), d.size()));
    EXPECT_EQ(dec.block().lineCount(), 0);
    EXPECT_EQ(dec.block().lines[0].textView(), u"");
    // Without a PES start code nothing happens.
    Bytes p = pes(test::captionStatement(kBody));
    p[2] = 0x02;
    EXPECT_FALSE(dec.onPacket(p.data(), p.size(), true));
}

TEST(CaptionDecoder, LineCountsTrailingAsciiAndCharacterMapping) {
    CaptionBlock b;
    // Three lines; characters before the first line are dropped; trailing ASCII goes.
    std::u16string u = u"前\u000C一\u000Dあ\uFF21\uFF22 xyz\u000D\u3001\uFFFC\u30A2";
    buildCaptionLines(u, b);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(b.lines[k].lineCount, 3) << k;
    EXPECT_EQ(b.lines[3].lineCount, 0);
    EXPECT_EQ(b.lines[0].textView(), u"一");
    EXPECT_EQ(b.lines[1].textView(), u"あAB"); // "ＡＢ xyz" loses " xyz", then maps
    EXPECT_EQ(b.lines[2].textView(), u"\uFF64 \u30A2");
}

TEST(CaptionDecoder, ControlParametersAndSizesNeverBecomeText) {
    CaptionBlock b;
    // COL, POL, FLC, HLC with their one-byte parameters (letters), COL's palette form, APS,
    // PAPF, and a space in middle size beside one in normal size; all mid-line, where the
    // trailing strip cannot hide a stray letter.
    std::u16string u = u"\u000C\u0081\u0090\u0048あ\u0093\u0040い\u0091\u0047う\u0097\u0041"
                       u"え\u0090\u0020\u0041お\u001C\u0041\u0042か\u0016\u0043き"
                       u"\u0089 く\u008A け\u009D\u0028\u0044こ";
    buildCaptionLines(u, b);
    EXPECT_EQ(b.lines[0].textView(), u"あいうえおかき く　けこ");
    EXPECT_EQ(b.lines[0].colour, 2);
    // A control cut off at the end of the statement reads nothing past it.
    b.reset();
    buildCaptionLines(u"\u000Cあ\u0090", b);
    EXPECT_EQ(b.lines[0].textView(), u"あ");
    b.reset();
    buildCaptionLines(u"\u000Cあ\u009D\u0020", b);
    EXPECT_EQ(b.lines[0].textView(), u"あ");
    EXPECT_EQ(b.lines[0].wait, 0);
}

TEST(CaptionDecoder, MoreThanEightLinesAndLongLinesAreCut) {
    CaptionBlock b;
    std::u16string u;
    for (int k = 0; k < 12; ++k) u += u"\u000Dあ";
    buildCaptionLines(u, b);
    for (const CaptionLine& l : b.lines) {
        EXPECT_EQ(l.lineCount, 8);
        EXPECT_EQ(l.textView(), u"あ");
    }
    b.reset();
    buildCaptionLines(u"\u000C" + std::u16string(700, u'あ'), b);
    EXPECT_EQ(b.lines[0].textView().size(), kCaptionTextMax);
    EXPECT_EQ(b.lines[0].text[kCaptionTextMax], 0);
}

TEST(CaptionDecoder, OversizedOrTruncatedUnitsAreSafe) {
    CaptionDecoder dec;
    Bytes d = test::captionStatement(kBody);
    d.resize(d.size() - 10); // unit size says more than the packet holds
    ASSERT_TRUE(dec.decodePesData(d.data(), d.size()));
    EXPECT_EQ(dec.block().lineCount(), 2);
    EXPECT_EQ(dec.block().lines[1].textView(), u"NHK1");
    Bytes big(600, 0xA4);
    d = test::captionStatement(big); // 512 bytes and more are not decoded
    ASSERT_TRUE(dec.decodePesData(d.data(), d.size()));
    EXPECT_EQ(dec.block().lineCount(), 0);
}
