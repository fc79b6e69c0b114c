// Packet scan, PES reassembly and PMT search of the demux and parse threads (the last test
// also runs the framers over damaged units).
#include <gtest/gtest.h>

#include <random>

#include "engine/EsFramer.h"
#include "engine/PlayerLinkEnd.h"
#include "engine/SiSink.h"
#include "engine/TsDemux.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TsPackets.h"

using namespace kobal;
using namespace kobal::test;

namespace {

struct Collector : DemuxOutput {
    std::vector<EsUnit> units;
    int wakes = 0, headerOnly = 0;
    void pushUnit(EsUnit&& u) override { units.push_back(std::move(u)); }
    void wakeDataPump() override { ++wakes; }
    void headerOnlyPes() override { ++headerOnly; }
};

struct SinkLog : SiSink {
    int sdt = 0, eit = 0, eitStarts = 0, captions = 0;
    void onSdtSection(const uint8_t*, size_t) override { ++sdt; }
    void onEitSection(const uint8_t*, size_t, bool start) override { ++eit, eitStarts += start; }
    void onCaptionPes(const uint8_t* d, size_t n) override {
        ++captions;
        EXPECT_GE(n, 3u);
        EXPECT_EQ(d[0], 0);
    }
};

struct Parse {
    PidTable pids;
    PmtCollector pmt;
    Collector out;
    PacketScanner scanner{pids, pmt, out};
    Bytes pending;
    Parse() {
        pids.video = 0x181;
        pids.audio = 0x183;
        pids.caption = 0x187;
    }
    // Feeds bytes as the parse thread does: scan, keep the unconsumed tail.
    void feed(const Bytes& b) {
        append(pending, b);
        const size_t used = scanner.scan(pending.data(), pending.size());
        pending.erase(pending.begin(), pending.begin() + long(used));
    }
};

} // namespace

TEST(PmtProbe, FindsTheOneSegmentPidsInRealTables) {
    const std::string ts = readFile(samplesDir() + "/real-si/akita-nhk-tables.ts");
    if (ts.empty()) GTEST_SKIP() << "sample not available";
    Bytes data(ts.begin(), ts.end());
    append(data, nullPackets(1)); // the last packet is read once its successor's sync is there
    PidTable pids;
    PmtCollector pmt;
    std::atomic<uint8_t> state{0xFF};
    size_t keep = 0;
    EXPECT_TRUE(pmtProbe(data.data(), data.size(), pids, pmt, state, &keep));
    EXPECT_EQ(pids.video.load(), 0x581);
    EXPECT_EQ(pids.audio.load(), 0x583);
    EXPECT_EQ(pids.caption.load(), 0x587);
    EXPECT_EQ(state.load(), 0);
    EXPECT_EQ(keep, 188u);
}

TEST(PmtProbe, NeedsBothVideoAndAudioAndBoundsTheSection) {
    PidTable pids;
    PmtCollector pmt;
    std::atomic<uint8_t> state{0x55};
    size_t keep = 0;
    int cc = 0;

    // Video only: acquisition goes on.
    Bytes noAudio = pmtPackets(pmtSection({{0x1B, 0x181}, {0x06, 0x187}}), cc);
    append(noAudio, nullPackets(1));
    EXPECT_FALSE(pmtProbe(noAudio.data(), noAudio.size(), pids, pmt, state, &keep));
    EXPECT_EQ(pids.video.load(), 0x181);
    EXPECT_EQ(pids.audio.load(), kNoPid);
    EXPECT_EQ(state.load(), 0);

    // A section longer than the 4096-byte buffer is not collected (and nothing overflows).
    Bytes huge = pmtSection({{0x1B, 0x181}, {0x0F, 0x183}}, 2500);
    huge.resize(4300, 0);
    const size_t len = huge.size() - 3;
    huge[1] = uint8_t(0xB0 | (len >> 8));
    huge[2] = uint8_t(len);
    Bytes big = pmtPackets(huge, cc);
    append(big, nullPackets(1));
    EXPECT_FALSE(pmtProbe(big.data(), big.size(), pids, pmt, state, &keep));

    // A multi-packet section with a continuity break is dropped until its next start.
    Bytes multi = pmtPackets(pmtSection({{0x1B, 0x181}, {0x0F, 0x183}}, 200), cc);
    ASSERT_GT(multi.size(), 188u);
    Bytes broken = multi;
    broken[188 + 3] = uint8_t((broken[188 + 3] & 0xF0) | ((broken[188 + 3] + 5) & 15));
    append(broken, nullPackets(1));
    EXPECT_FALSE(pmtProbe(broken.data(), broken.size(), pids, pmt, state, &keep));
    append(multi, nullPackets(1));
    EXPECT_TRUE(pmtProbe(multi.data(), multi.size(), pids, pmt, state, &keep));
    EXPECT_EQ(pids.audio.load(), 0x183);
}

TEST(PmtProbe, WithoutTwoSyncBytesKeepsTheTail) {
    PidTable pids;
    PmtCollector pmt;
    std::atomic<uint8_t> state{0xFF};
    size_t keep = 0;
    Bytes junk(1000, 0x00);
    EXPECT_FALSE(pmtProbe(junk.data(), junk.size(), pids, pmt, state, &keep));
    EXPECT_EQ(keep, 188u);
    EXPECT_EQ(state.load(), 0xFF); // nothing was walked
    Bytes small(100, 0x47);
    EXPECT_FALSE(pmtProbe(small.data(), small.size(), pids, pmt, state, &keep));
    EXPECT_EQ(keep, 100u);
}

TEST(PacketScan, HandlesAPacketOnlyOnceItsSuccessorsSyncArrived) {
    Parse p;
    int cc = 0;
    const Bytes au = accessUnit(true, 300);
    Bytes first = packetize(0x181, pes(0xE0, au, 9000, true), cc);
    Bytes second = packetize(0x181, pes(0xE0, accessUnit(false, 400), 12000, true), cc);
    p.feed(first);
    p.feed(Bytes(second.begin(), second.begin() + 188)); // next PES starts, its successor not yet
    EXPECT_TRUE(p.out.units.empty());
    EXPECT_EQ(p.pending.size(), 188u);
    p.feed(Bytes(second.begin() + 188, second.end()));
    // The video PES ends where the next one starts.
    ASSERT_EQ(p.out.units.size(), 1u);
    EXPECT_EQ(p.out.units[0].kind, EsUnit::kVideo);
    EXPECT_EQ(p.out.units[0].bytes, au);
    EXPECT_EQ(p.out.units[0].pts, 9000u);
}

TEST(PacketScan, AudioPesEndsAtItsDeclaredLengthAndCarriesItsPts) {
    Parse p;
    int cc = 0;
    const Bytes frame = adts(400);
    const uint64_t pts = 0x1ABCDEF12ull; // uses bit 32
    Bytes s = packetize(0x183, pes(0xC0, frame, pts), cc);
    append(s, nullPackets(1));
    p.feed(s);
    ASSERT_EQ(p.out.units.size(), 1u);
    EXPECT_EQ(p.out.units[0].kind, EsUnit::kAudio);
    EXPECT_EQ(p.out.units[0].bytes, frame);
    EXPECT_EQ(p.out.units[0].pts, pts);
    EXPECT_EQ(p.out.wakes, 3); // one per accepted packet
}

TEST(PacketScan, AdaptationFieldOnlyPacketLeavesThePesInProgress) {
    Parse p;
    int cc = 0;
    const Bytes au = accessUnit(true, 600);
    Bytes pesBytes = packetize(0x181, pes(0xE0, au, 100, true), cc);
    // A PCR-style packet (adaptation field of 183 bytes, no payload) in the middle.
    Bytes s(pesBytes.begin(), pesBytes.begin() + 376);
    append(s, packet(0x181, false, cc, {}, 183));
    s.insert(s.end(), pesBytes.begin() + 376, pesBytes.end());
    append(s, packetize(0x181, pes(0xE0, aud(), 200, true), cc));
    append(s, nullPackets(1));
    p.feed(s);
    ASSERT_EQ(p.out.units.size(), 1u);
    EXPECT_EQ(p.out.units[0].bytes, au);
}

TEST(PacketScan, CorruptPacketsEmptyTheirAssembler) {
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        Parse p;
        int cc = 0;
        Bytes pesBytes = packetize(0x181, pes(0xE0, accessUnit(true, 600), 100, true), cc);
        Bytes bad = packet(0x181, false, 1, Bytes(100, 0x33));
        if (kind == 0)
            bad[3] |= 0x80; // scrambled
        else if (kind == 1) {
            bad[3] = uint8_t((bad[3] & 0xCF) | 0x30);
            bad[4] = 190; // adaptation field longer than the packet
        } else {
            bad[3] = uint8_t((bad[3] & 0xCF) | 0x20);
            bad[4] = 200;
        }
        Bytes s(pesBytes.begin(), pesBytes.begin() + 188);
        append(s, bad);
        s.insert(s.end(), pesBytes.begin() + 188, pesBytes.end());
        append(s, packetize(0x181, pes(0xE0, aud(), 200, true), cc));
        append(s, nullPackets(1));
        p.feed(s);
        // The damaged PES is gone; its continuation packets are ignored.
        EXPECT_TRUE(p.out.units.empty());
    }
}

TEST(PacketScan, HeaderOnlyFirstPacketIsReportedAndDropped) {
    Parse p;
    int cc = 0;
    Bytes header = pes(0xE0, {}, 100, true);
    header[8] = uint8_t(184 - 9); // header data fills the packet exactly
    header.resize(184, 0xFF);
    Bytes s = packet(0x181, true, cc++, header);
    append(s, packet(0x181, false, cc++, Bytes(184, 0x55)));
    append(s, packetize(0x181, pes(0xE0, aud(), 200, true), cc));
    append(s, nullPackets(1));
    p.feed(s);
    EXPECT_EQ(p.out.headerOnly, 1);
    EXPECT_TRUE(p.out.units.empty());
}

TEST(PacketScan, RejectsMalformedPesHeadersAndBoundsThePayload) {
    Parse p;
    int cc = 0;
    Bytes s;
    append(s, packet(0x183, true, cc++, {0, 0, 2, 0xC0, 0, 50}));             // no start code
    append(s, packet(0x183, true, cc++, {0, 0, 1, 0xBD, 0, 50, 0x80, 0, 0})); // other stream id
    append(s, packet(0x183, true, cc++, {0, 0, 1, 0xC0, 0, 10, 0x80, 0, 0})); // too short
    append(s, packet(0x183, false, cc++, Bytes(184, 0x11))); // continuation, nothing open
    // A video PES longer than 0x10000 bytes: only what was announced is kept.
    Bytes big = aud();
    big.resize(70000, 0x22);
    append(s, packetize(0x181, pes(0xE0, big, 1, true), cc));
    append(s, packetize(0x181, pes(0xE0, aud(), 2, true), cc));
    append(s, nullPackets(1));
    p.feed(s);
    ASSERT_GE(p.out.units.size(), 1u);
    for (const auto& u : p.out.units) EXPECT_LE(u.bytes.size(), kPesPayloadMax);
    EXPECT_EQ(p.out.units[0].kind, EsUnit::kVideo);
    // Whole packets that would overrun the announced size are dropped.
    EXPECT_LE(p.out.units[0].bytes.size(), 0x10000u - 5 - 3);
    EXPECT_GT(p.out.units[0].bytes.size(), 0x10000u - 5 - 3 - 184);
}

TEST(PacketScan, RoutesSectionsAndCaptionsToTheSink) {
    Parse p;
    SinkLog sink;
    p.scanner.setSink(&sink);
    int cc = 0;
    Bytes s;
    append(s, packet(0x11, true, cc++, {0x00, 0x42}));
    append(s, packet(0x11, false, cc++, {0x00, 0x42})); // SDT continuation: ignored
    append(s, packet(0x27, true, cc++, {0x00, 0x4E}));
    append(s, packet(0x27, false, cc++, {0x4E}));
    append(s, packet(0x187, true, cc++, pes(0xBD, Bytes(20, 0x80), 0)));
    append(s, packet(0x187, false, cc++, Bytes(184, 0)));
    append(s, oneSegPmt(cc));
    append(s, nullPackets(1));
    p.feed(s);
    EXPECT_EQ(sink.sdt, 1);
    EXPECT_EQ(sink.eit, 2);
    EXPECT_EQ(sink.eitStarts, 1);
    EXPECT_EQ(sink.captions, 1);
    EXPECT_EQ(p.pids.video.load(), 0x181); // the PMT handler set them again
}

TEST(PacketScan, APmtTooLongToHoldNeitherChangesNorPausesTheRouting) {
    Parse p;
    int cc = 0;
    // A PMT with section_length 4095 (long descriptor loops): 4098 bytes, two more than the
    // collector holds. Its packets interleave with a picture.
    const Bytes section = pmtSection({{0x1B, 0x191}, {0x0F, 0x193}}, 2036);
    ASSERT_EQ(section.size(), 4098u);
    const Bytes huge = pmtPackets(section, cc);
    const Bytes au = accessUnit(true, 2000);
    const Bytes picture = packetize(0x181, pes(0xE0, au, 900, true), cc);
    Bytes s;
    for (size_t i = 0; i < huge.size() || i < picture.size(); i += 188) {
        if (i < huge.size())
            s.insert(s.end(), huge.begin() + long(i), huge.begin() + long(i) + 188);
        if (i < picture.size())
            s.insert(s.end(), picture.begin() + long(i), picture.begin() + long(i) + 188);
    }
    append(s, packet(0x181, true, cc, pes(0xE0, accessUnit(false, 50), 3900, true)));
    append(s, nullPackets(1));
    p.feed(s);
    EXPECT_EQ(p.pids.video.load(), 0x181);
    EXPECT_EQ(p.pids.audio.load(), 0x183);
    ASSERT_EQ(p.out.units.size(), 1u); // the picture came through whole
    EXPECT_EQ(p.out.units[0].bytes, au);
    // A PMT that fits still pauses and then sets the routing.
    append(s = {}, oneSegPmt(cc));
    p.feed(s);
    EXPECT_EQ(p.pids.video.load(), 0x181);
}

TEST(PacketScan, ResynchronisesOverGarbage) {
    Parse p;
    int cc = 0;
    Bytes s = {0x47, 0x00, 0x12, 0x47};
    append(s, Bytes(77, 0x47));
    const Bytes frame = adts(100);
    append(s, packetize(0x183, pes(0xC0, frame, 7), cc));
    append(s, nullPackets(1));
    p.feed(s);
    ASSERT_EQ(p.out.units.size(), 1u);
    EXPECT_EQ(p.out.units[0].bytes, frame);
}

TEST(PacketScan, RandomAndMutatedBytesStayInsideTheirBuffers) {
    // Real-looking packets with random damage, run through every packet-level step; with
    // AddressSanitizer any read outside a buffer fails this.
    std::mt19937 rng(7);
    int cc = 0;
    Bytes base = oneSegPmt(cc);
    for (int i = 0; i < 40; ++i) {
        append(base,
               packetize(0x181, pes(0xE0, accessUnit(i % 10 == 0, 500), 1000u * i, true), cc));
        append(base, packetize(0x183, pes(0xC0, adts(200), 1000u * i), cc));
    }
    for (int round = 0; round < 200; ++round) {
        Bytes s = base;
        for (int k = 0; k < 60; ++k) s[rng() % s.size()] = uint8_t(rng());
        Parse p;
        for (size_t off = 0; off < s.size(); off += 1128)
            p.feed(Bytes(s.begin() + long(off), s.begin() + long(std::min(s.size(), off + 1128))));
        PidTable pids;
        PmtCollector pmt;
        std::atomic<uint8_t> state{0};
        size_t keep = 0;
        pmtProbe(s.data(), std::min<size_t>(s.size(), 11280), pids, pmt, state, &keep);
        EXPECT_LE(keep, 11280u);
        // The framers over whatever units came out, capturing and streaming.
        PlayerLinkEnd link;
        std::atomic<uint8_t> delivery{0};
        EsFramer framer(link, delivery);
        auto video = std::make_unique<records::VideoFrameRecord>();
        auto audio = std::make_unique<records::AudioFrameRecord>();
        for (const auto& u : p.out.units) {
            EXPECT_LE(u.bytes.size(), kPesPayloadMax);
            if (u.kind == EsUnit::kVideo)
                framer.frameVideo(u.bytes.data(), u.bytes.size(), *video);
            else
                framer.frameAudio(u.bytes.data(), u.bytes.size(), *audio);
        }
        EXPECT_LE(framer.videoCarry(), kCarryMax);
    }
}
