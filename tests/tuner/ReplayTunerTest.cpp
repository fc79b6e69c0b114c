// CTDMBDll on the replay backend: recorded files as channels, PCR pacing, looping, and files
// that are empty, cut off or corrupt.
#include "TunerTestSupport.h"
#include "platform/Utf.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TsPackets.h"
#include "tuner/AribEncoder.h"
#include "tuner/CTDMBDll.h"
#include "tuner/SiTables.h"
#include "tuner/TsPackets.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using kobal::utf8ToUtf16;
using kobal::test::append;
using kobal::test::asString;
using kobal::test::Bytes;
using kobal::test::nullPackets;
using kobal::test::sectionPacket;

namespace {

class ReplayTuner : public ::testing::Test {
protected:
    void SetUp() override {
        dir = kobal::test::makeTempDir("replay");
        setenv("KOBAL_TUNER", "replay", 1);
        setenv("KOBAL_REPLAY_DIR", dir.c_str(), 1);
        setenv("KOBAL_SCAN_SLOT_MS", "1", 1);
    }
    void TearDown() override {
        unsetenv("KOBAL_TUNER");
        unsetenv("KOBAL_REPLAY_DIR");
    }
    void put(int physical, const std::string& bytes) {
        ASSERT_TRUE(kobal::test::writeFile(dir + "/" + std::to_string(physical) + ".ts", bytes));
    }
    std::string dir;
};

// Reads for `seconds` like the reader thread.
std::string readFor(CTDMBDll& t, double seconds) {
    std::string out;
    unsigned char buf[2256];
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (t.GetTSStream(buf, 0))
            out.append(reinterpret_cast<char*>(buf), 1128);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    return out;
}

// Arrival times (seconds since the start) of the chunks read for `seconds`.
std::vector<double> arrivalsFor(CTDMBDll& t, double seconds, std::string* bytes) {
    std::vector<double> at;
    unsigned char buf[2256];
    const auto t0 = std::chrono::steady_clock::now();
    const auto end = t0 + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (t.GetTSStream(buf, 0)) {
            at.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            bytes->append(reinterpret_cast<char*>(buf), 1128);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    }
    return at;
}

bool allAligned(const std::string& s) {
    for (size_t i = 0; i < s.size(); i += 188)
        if (s[i] != 0x47) return false;
    return true;
}

} // namespace

TEST_F(ReplayTuner, ScanFindsFilesAndReadsTheirServiceNames) {
    put(27, tunertest::simulatedStream(7, 14, 2, 0));
    put(20, tunertest::simulatedStream(7, 7, 2, 0));
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    t.ScanAllChannel(7, nullptr, nullptr, 0);
    int found = 0;
    for (const auto& e : t.channelInfo) found += e.found;
    EXPECT_EQ(found, 2);
    EXPECT_EQ(std::u16string(t.channelInfo[14].name), utf8ToUtf16("ＮＨＫ総合"));
    EXPECT_EQ(std::u16string(t.channelInfo[7].name), utf8ToUtf16("ＭＸテレビ"));
    EXPECT_EQ(t.channelInfo[14].identifier & 0xFFF00000u, 0xF1E00000u);
    EXPECT_EQ(t.slotPair[14].serviceId, 0xE080 + 14);
}

TEST_F(ReplayTuner, RealRecordedTablesGiveTheOneSegmentServiceName) {
    const std::string sample = kobal::test::samplesDir() + "/real-si/tokyomx-sdt.ts";
    const std::string bytes = kobal::test::readFile(sample);
    if (bytes.empty()) GTEST_SKIP() << "sample not available";
    put(16, bytes);
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    t.ScanSingleChannel(3);
    EXPECT_EQ(t.channelInfo[3].found, 1);
    EXPECT_EQ(std::u16string(t.channelInfo[3].name), utf8ToUtf16("MXワンセグ1"));
}

TEST_F(ReplayTuner, PrefersTheOneSegmentServiceOfARealSdt) {
    const std::string bytes =
        kobal::test::readFile(kobal::test::samplesDir() + "/real-si/akita-nhk-tables.ts");
    if (bytes.empty()) GTEST_SKIP() << "sample not available";
    put(13, bytes);
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    t.ScanSingleChannel(0);
    EXPECT_EQ(t.channelInfo[0].found, 1);
    EXPECT_EQ(std::u16string(t.channelInfo[0].name), utf8ToUtf16("NHK携帯G・秋田"));
    EXPECT_EQ(t.slotPair[0].serviceId, 0x4980);
}

TEST_F(ReplayTuner, RandomlyDamagedStreamsNeverStallOrMisalign) {
    // Flipped bytes, cut packets and inserted junk at many places, with several seeds.
    const std::string file = tunertest::simulatedStream(7, 14, 0.6, 0);
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::string d = file;
        unsigned x = seed * 2654435761u;
        auto rnd = [&] { return x = x * 1664525u + 1013904223u; };
        for (int k = 0; k < 60; ++k) {
            const size_t at = rnd() % d.size();
            switch (rnd() % 3) {
            case 0:
                d[at] = static_cast<char>(rnd());
                break;
            case 1:
                d.erase(at, rnd() % 300);
                break;
            default:
                d.insert(at, std::string(rnd() % 200, static_cast<char>(rnd())));
            }
        }
        put(27, d);
        CTDMBDll t;
        ASSERT_TRUE(t.Open(nullptr));
        t.ScanSingleChannel(14);
        if (!t.SetChannel(14, 14, 1, 0.0f)) continue;
        const std::string got = readFor(t, 0.8);
        EXPECT_TRUE(allAligned(got)) << seed;
        EXPECT_GT(got.size(), 0u) << seed;
    }
}

TEST_F(ReplayTuner, EmptyFolderAndEmptyFilesScanToNothing) {
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    t.ScanAreaChannel(7);
    put(27, "");
    put(26, std::string(5000, 0x47)); // packets in step without tables: still a channel
    t.ScanAreaChannel(7);
    EXPECT_EQ(t.channelInfo[14].found, 0);
    EXPECT_FALSE(t.SetChannel(14, 14, 1, 0.0f));
    for (int k = 0; k < 50; ++k)
        if (k != 13) {
            EXPECT_EQ(t.channelInfo[k].found, 0) << k;
        }
}

TEST_F(ReplayTuner, StreamsAtThePaceOfItsPcrAndLoops) {
    // A 1.5 s recording read for 3 s: about twice its length, aligned throughout, with the
    // file start again after the loop.
    const std::string file = tunertest::simulatedStream(7, 14, 1.5, 0);
    put(27, file);
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    EXPECT_EQ(t.receptionStatus, 0.0);
    const std::string got = readFor(t, 3.0);
    EXPECT_TRUE(allAligned(got));
    EXPECT_GT(got.size(), file.size() * 13 / 10);
    EXPECT_LT(got.size(), file.size() * 25 / 10);
    EXPECT_EQ(got.substr(0, file.size()), file);
    EXPECT_EQ(got.substr(file.size(), 188), file.substr(0, 188));
}

TEST_F(ReplayTuner, CorruptAndCutOffFilesResyncWithoutStalling) {
    std::string file = tunertest::simulatedStream(7, 14, 1.0, 0);
    std::string damaged = std::string(777, '\x5A') + file.substr(0, 50000) + "garbage\x47\x47" +
                          file.substr(50000 + 93, 40000) + file.substr(0, 100); // cut packet
    put(27, damaged);
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    const std::string got = readFor(t, 2.5);
    EXPECT_TRUE(allAligned(got));
    EXPECT_GT(got.size(), 80000u); // it went on past the damage and looped

    // A file that is all noise streams nothing and is refused.
    std::string noise(300000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919) % 251);
    put(26, noise);
    EXPECT_FALSE(t.SetChannel(13, 13, 1, 0.0f));
    unsigned char buf[2256];
    EXPECT_EQ(t.GetTSStream(buf, 0), 0);
}

TEST_F(ReplayTuner, StreamsWithoutAUsablePcrArePacedAtAOneSegmentRate) {
    // One second of a station: with its PCR packets blanked out, and with PCRs 5 s apart.
    const std::string file = tunertest::simulatedStream(7, 14, 1.0, 0);
    std::string noPcr = file, farPcr = file;
    int64_t k = 0;
    for (size_t i = 0; i < file.size(); i += 188) {
        const auto* p = reinterpret_cast<const uint8_t*>(&file[i]);
        if (!((p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10))) continue;
        noPcr.replace(i, 188, asString(nullPackets(1)));
        const int64_t base = 900000 + 450000 * k++;
        farPcr[i + 6] = static_cast<char>(base >> 25);
        farPcr[i + 7] = static_cast<char>(base >> 17);
        farPcr[i + 8] = static_cast<char>(base >> 9);
        farPcr[i + 9] = static_cast<char>(base >> 1);
        farPcr[i + 10] = static_cast<char>((base & 1) << 7 | 0x7E);
        farPcr[i + 11] = 0;
    }
    ASSERT_GT(k, 20);
    for (const std::string* variant : {&noPcr, &farPcr}) {
        put(27, *variant);
        CTDMBDll t;
        ASSERT_TRUE(t.Open(nullptr));
        ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
        std::string got;
        const std::vector<double> at = arrivalsFor(t, 2.0, &got);
        EXPECT_TRUE(allAligned(got));
        // 416 kbit/s is 46 chunks a second: about 92 in 2 s (file looped once), none early,
        // and never more than a few in any quarter second, the loop included.
        EXPECT_LE(at.size(), 96u);
        EXPECT_GE(at.size(), 55u);
        size_t burst = 0;
        for (size_t i = 0, j = 0; i < at.size(); ++i) {
            while (at[i] - at[j] > 0.25) ++j;
            burst = std::max(burst, i - j + 1);
        }
        EXPECT_LE(burst, 16u) << (variant == &noPcr ? "no PCR" : "PCR 5 s apart");
    }
}

TEST_F(ReplayTuner, SdtNamesComeOnlyFromWholeSectionsWithAGoodCrc) {
    veltra::ServiceInfo service;
    service.name = utf8ToUtf16("テスト放送ワンセグ");
    service.provider = utf8ToUtf16("テスト放送");
    const std::vector<uint8_t> sdtBytes = veltra::buildSdt(service);
    const std::string sdt(sdtBytes.begin(), sdtBytes.end());
    ASSERT_GT(sdt.size(), 40u);
    // The SDT's last bytes share a packet with the start of the next section (another
    // table on the PID), as a multiplexer packs them.
    const size_t first = 30;
    Bytes rest(sdtBytes.begin() + first, sdtBytes.end());
    append(rest, {0x46, 0xF0, 0x05, 0x00, 0x01, 0xC1, 0x00, 0x00});
    std::string file = asString(nullPackets(3));
    file += asString(sectionPacket(0x11, true, 0, Bytes(sdtBytes.begin(), sdtBytes.begin() + first),
                                   183 - first));
    file += asString(sectionPacket(0x11, true, static_cast<int>(sdt.size() - first), rest));
    file += asString(nullPackets(3));
    put(27, file);
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    t.ScanSingleChannel(14);
    EXPECT_EQ(t.channelInfo[14].found, 1);
    EXPECT_EQ(std::u16string(t.channelInfo[14].name), service.name);
    EXPECT_EQ(t.slotPair[14].serviceId, service.serviceId);

    // A damaged SDT is passed over; the next good one names the station.
    std::string stream = tunertest::simulatedStream(7, 14, 2.5, 0);
    size_t sdtAt = std::string::npos;
    for (size_t i = 0; i < stream.size(); i += 188)
        if ((stream[i + 1] & 0x5F) == 0x40 && stream[i + 2] == 0x11) {
            sdtAt = i;
            break;
        }
    ASSERT_NE(sdtAt, std::string::npos);
    const size_t length =
        3 + ((stream[sdtAt + 6] & 0x0F) << 8 | static_cast<uint8_t>(stream[sdtAt + 7]));
    stream[sdtAt + 5 + length - 6] ^= 0x11; // inside the service name
    put(27, stream);
    t.ScanSingleChannel(14);
    EXPECT_EQ(std::u16string(t.channelInfo[14].name), utf8ToUtf16("ＮＨＫ総合"));
}

TEST_F(ReplayTuner, ASingleShiftBeforeAByteWithoutACharacterIsReadSafely) {
    // A service name ending in SS3 0xFF once made the tuner's own decoder read past its kana
    // table; the one decoder skips the shift and the byte.
    veltra::ServiceInfo service;
    service.name = u"ABC";
    std::vector<uint8_t> sdt = veltra::buildSdt(service);
    const std::string name = veltra::encodeArib(service.name);
    ASSERT_EQ(name, "\x0E"
                    "ABC");
    auto at = std::search(sdt.begin(), sdt.end(), name.begin(), name.end());
    ASSERT_NE(at, sdt.end());
    at[2] = 0x1D;
    at[3] = 0xFF;
    const uint32_t crc = veltra::ts::crc32(sdt.data(), sdt.size() - 4);
    for (int k = 0; k < 4; ++k) sdt[sdt.size() - 4 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
    Bytes file = nullPackets(2);
    append(file, sectionPacket(0x11, true, 0, sdt));
    append(file, nullPackets(2));
    put(27, asString(file));
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    t.ScanSingleChannel(14);
    EXPECT_EQ(t.channelInfo[14].found, 1);
    EXPECT_EQ(std::u16string(t.channelInfo[14].name), u"A");
}
