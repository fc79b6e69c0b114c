// Random and damaged input into every broadcast text decoder and parser: nothing may crash,
// hang or read outside its buffer (run under AddressSanitizer to see the latter), and every
// output stays within its area.
#include "broadcast/AribText.h"
#include "broadcast/EucJp.h"
#include "engine/Caption.h"
#include "engine/ProgrammeGuide.h"
#include "engine/ServiceInfo.h"
#include "tests/engine/OutputTap.h"
#include "tests/engine/ProgrammeTestData.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TsPackets.h"

#include <gtest/gtest.h>

#include <random>

using namespace kobal;
using namespace kobal::test;

namespace {

struct Rng {
    std::mt19937 gen{20261208};
    size_t below(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(gen) : 0; }
    uint8_t byte() { return uint8_t(below(256)); }
    // Bytes biased towards the codes the decoders act on.
    Bytes bytes(size_t maxLength) {
        static const uint8_t interesting[] = {0x0E, 0x0F, 0x1B, 0x19, 0x1D, 0x24, 0x29, 0x2A,
                                              0x2B, 0x0D, 0x0C, 0x20, 0x7A, 0x7E, 0x9D, 0x4E};
        Bytes b(below(maxLength + 1));
        for (auto& v : b) v = below(4) == 0 ? interesting[below(sizeof interesting)] : byte();
        return b;
    }
    void damage(Bytes& b, int flips) {
        for (int i = 0; i < flips && !b.empty(); ++i) b[below(b.size())] = byte();
        if (!b.empty() && below(4) == 0) b.resize(below(b.size()));
    }
};

// Copies into an exactly sized heap block so that any read past the end is caught.
Bytes exact(const Bytes& b) {
    return Bytes(b.begin(), b.end());
}

struct CheckingHost : test::OutputTap {
    size_t calls = 0;
    void onStatusLine(const std::u16string& t) override {
        ++calls;
        EXPECT_LE(t.size(), kAribTextMax + 8);
    }
    void onTicker(const std::u16string& t) override {
        ++calls;
        EXPECT_LE(t.size(), 4 * kProgrammeTextMax + 64);
    }
    void onCaption(const CaptionBlock& b) override {
        ++calls;
        for (const CaptionLine& l : b.lines) {
            EXPECT_LE(l.lineCount, kCaptionLines);
            EXPECT_EQ(l.text[kCaptionTextMax], 0);
        }
    }
};

void expectBounded(const std::u16string& s) {
    EXPECT_LE(s.size(), kAribTextMax);
    EXPECT_EQ(s.find(u'\0'), std::u16string::npos);
}

} // namespace

TEST(FuzzText, DecodersTakeAnyBytes) {
    Rng rng;
    for (int i = 0; i < 20000; ++i) {
        Bytes b = exact(rng.bytes(700));
        for (AribFlavor f : {AribFlavor::Title, AribFlavor::Description, AribFlavor::Service,
                             AribFlavor::Receiver})
            expectBounded(decodeAribText(b.data(), b.size(), f));
        EXPECT_LE(eucJpToUtf16(b.data(), b.size(), 512).size(), 512u);
        CaptionBlock block;
        std::u16string units(b.begin(), b.end());
        buildCaptionLines(units, block);
        EXPECT_LE(block.lineCount(), kCaptionLines);
    }
}

TEST(FuzzText, GuideParserTakesRandomAndDamagedSections) {
    Rng rng;
    ProgrammeGuide g;
    std::vector<EitEvent> events(3);
    for (auto& e : events) e.name = {0xA2, 0xA4}, e.text = {0x0E, 0x41};
    const Bytes good = eitSection(0, events);
    for (int i = 0; i < 20000; ++i) {
        Bytes s = i % 2 ? rng.bytes(600) : good;
        if (i % 2 == 0) rng.damage(s, 1 + int(rng.below(6)));
        s = exact(s);
        g.parseSection(s.data(), s.size()); // the returned offset may lie past the bytes
        for (int k = 1; k <= kProgrammeEventCount; ++k) {
            ASSERT_LE(g.event(k).title.size(), kProgrammeTextMax);
            ASSERT_LE(g.event(k).description.size(), kProgrammeDescriptionMax);
            ASSERT_LE(g.line(k).size(), kProgrammeTextMax);
        }
        g.rebuildTicker();
    }
}

TEST(FuzzText, ReaderTakesRandomAndDamagedPackets) {
    Rng rng;
    CheckingHost host;
    ServiceInfoReader r(&host.sink);
    // Real packets of every table in the samples, damaged, in random order, plus noise.
    std::string ts = readFile(samplesDir() + "/real-si/akita-nhk-tables.ts") +
                     readFile(samplesDir() + "/real-si/tokyomx-sdt.ts");
    if (ts.empty()) GTEST_SKIP() << "samples not available";
    ASSERT_GE(ts.size(), 188u * 10);
    std::vector<Bytes> payloadsOfFile;
    for (size_t i = 0; i + 188 <= ts.size(); i += 188)
        payloadsOfFile.emplace_back(ts.begin() + long(i) + 4, ts.begin() + long(i) + 188);
    for (int i = 0; i < 30000; ++i) {
        Bytes p = rng.below(3) ? payloadsOfFile[rng.below(payloadsOfFile.size())] : rng.bytes(184);
        rng.damage(p, int(rng.below(4)));
        p = exact(p);
        bool start = rng.below(2);
        switch (rng.below(3)) {
        case 0:
            r.onSdtSection(p.data(), p.size());
            break;
        case 1:
            r.onEitSection(p.data(), p.size(), start);
            break;
        default:
            r.onCaptionPes(p.data(), p.size());
        }
        ASSERT_LE(r.collectedBytes(), kSectionCollectorSize);
        if (rng.below(500) == 0) r.onParseReset();
    }
    EXPECT_GT(host.calls, 0u);
}

TEST(FuzzText, CaptionDecoderTakesRandomAndDamagedStatements) {
    Rng rng;
    CaptionDecoder dec;
    const Bytes body = {0x0c, 0x87, 0xba, 0xa3, 0x0d, 0x81, 0xa3, 0xce, 0x9d, 0x20, 0x4a};
    // A private stream PES header without a PTS around the statement.
    Bytes good = {0x00, 0x00, 0x01, 0xbd, 0x00, 0x30, 0x81, 0x80, 0x00};
    test::append(good, test::captionStatement(body));
    for (int i = 0; i < 20000; ++i) {
        Bytes p = good;
        rng.damage(p, 1 + int(rng.below(5)));
        if (i % 3 == 0) p = rng.bytes(184);
        p = exact(p);
        dec.onPacket(p.data(), p.size(), true);
        for (const CaptionLine& l : dec.block().lines) {
            ASSERT_LE(l.lineCount, kCaptionLines);
            ASSERT_EQ(l.text[kCaptionTextMax], 0);
            ASSERT_LE(l.textView().size(), kCaptionTextMax);
        }
    }
}
