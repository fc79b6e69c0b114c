// The simulated station as a transport stream: tables, elementary streams and timing, read
// back with the tests' own reader.
#include "TunerTestSupport.h"
#include "broadcast/AreaPresetTable.h"
#include "broadcast/AribText.h"
#include "platform/Utf.h"
#include "tuner/SiTables.h"
#include "tuner/StationCard.h"

#include <ctime>
#include <gtest/gtest.h>
#include <iconv.h>
#include <map>
#include <set>

using namespace tunertest;
using kobal::utf8ToUtf16;

namespace {

std::u16string receiverText(const uint8_t* data, size_t size) {
    return kobal::decodeAribText(data, size, kobal::AribFlavor::Receiver);
}

time_t localTime(int y, int mo, int d, int h, int mi, int s = 0) {
    struct tm t = {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return mktime(&t);
}

int bcd(uint8_t b) {
    return (b >> 4) * 10 + (b & 15);
}

// Ten seconds of ＮＨＫ教育 Tokyo (slot 13, the area's dual-mono station) at 21:29:55.
class StationStreamTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wall = localTime(2026, 12, 8, 21, 29, 55);
        stream = new std::string(simulatedStream(7, 13, 10, wall));
    }
    static void TearDownTestSuite() { delete stream; }
    static inline std::string* stream = nullptr;
    static inline time_t wall = 0;
};

} // namespace

TEST_F(StationStreamTest, TablesCarryValidCrcAndThePmtListsTheOneSegmentStreams) {
    ASSERT_FALSE(stream->empty());
    for (uint16_t pid : {0x0000, 0x1FC8, 0x0011, 0x0027, 0x0010, 0x0014}) {
        const auto secs = sectionsOn(*stream, pid);
        ASSERT_FALSE(secs.empty()) << "pid " << pid;
        for (const auto& s : secs) EXPECT_EQ(sectionCrc(s.data(), s.size()), 0u) << pid;
    }
    const auto pat = sectionsOn(*stream, 0x0000).front();
    EXPECT_EQ(((pat[10] & 0x1F) << 8) | pat[11], 0x1FC8);

    const auto pmt = sectionsOn(*stream, 0x1FC8).front();
    ASSERT_EQ(pmt[0], 0x02);
    std::map<int, int> typeToPid;
    const size_t end = pmt.size() - 4;
    for (size_t at = 12 + (((pmt[10] & 0x0F) << 8) | pmt[11]); at + 5 <= end;) {
        typeToPid[pmt[at]] = ((pmt[at + 1] & 0x1F) << 8) | pmt[at + 2];
        at += 5 + (((pmt[at + 3] & 0x0F) << 8) | pmt[at + 4]);
    }
    EXPECT_EQ(typeToPid.size(), 3u);
    EXPECT_EQ(typeToPid[0x1B], 0x181);
    EXPECT_EQ(typeToPid[0x0F], 0x183);
    EXPECT_EQ(typeToPid[0x06], 0x187);
}

// What a tuner server's channel scan needs before it lists the station: the network, its
// remote-control key, the one-segment service as the partial-reception service, and the time.
TEST_F(StationStreamTest, NitNamesTheNetworkAndTheOneSegmentServiceAndTotTheTime) {
    const auto nit = sectionsOn(*stream, 0x0010).front();
    ASSERT_EQ(nit[0], 0x40);
    const int networkId = nit[3] << 8 | nit[4];
    std::map<int, std::vector<uint8_t>> descriptors; // of the one transport stream
    size_t at = 10 + (((nit[8] & 0x0F) << 8) | nit[9]);
    const size_t tsLoopEnd = at + 2 + (((nit[at] & 0x0F) << 8) | nit[at + 1]);
    ASSERT_EQ(tsLoopEnd, nit.size() - 4);
    at += 2;
    EXPECT_EQ(nit[at + 2] << 8 | nit[at + 3], networkId); // original network id
    const size_t end = at + 6 + (((nit[at + 4] & 0x0F) << 8) | nit[at + 5]);
    for (at += 6; at + 2 <= end; at += 2 + nit[at + 1])
        descriptors[nit[at]].assign(&nit[at + 2], &nit[at + 2] + nit[at + 1]);
    const int sid = 0xE080 + 13;
    ASSERT_TRUE(descriptors.count(0xCD) && descriptors.count(0xFB) && descriptors.count(0x41));
    EXPECT_EQ(descriptors[0xCD][0], 2); // the area's second station: key 2
    const auto& pr = descriptors[0xFB];
    EXPECT_EQ(pr[0] << 8 | pr[1], sid);
    const auto& list = descriptors[0x41];
    EXPECT_EQ(list[0] << 8 | list[1], sid);
    EXPECT_EQ(list[2], 0xC0);
    const auto& delivery = descriptors[0xFA];
    EXPECT_EQ(int64_t{delivery[2] << 8 | delivery[3]} * 1000000 / 7,
              473142857 + (26 - 13) * 6000000);

    const auto tots = sectionsOn(*stream, 0x0014);
    ASSERT_GE(tots.size(), 9u);
    const auto& tot = tots[5];
    EXPECT_EQ(tot[0], 0x73);
    EXPECT_EQ(bcd(tot[5]) * 3600 + bcd(tot[6]) * 60 + bcd(tot[7]), 21 * 3600 + 29 * 60 + 55 + 5);
}

TEST_F(StationStreamTest, SdtNameDecodesToTheStationName) {
    const auto sdt = sectionsOn(*stream, 0x0011).front();
    ASSERT_EQ(sdt[0], 0x42);
    // First service, first descriptor: the service descriptor.
    ASSERT_EQ(sdt[16], 0x48);
    const size_t n = sdt[19];
    const size_t m = sdt[20 + n];
    EXPECT_EQ(receiverText(&sdt[21 + n], m), utf8ToUtf16("ＮＨＫ教育"));
}

TEST_F(StationStreamTest, EitPresentFollowingSectionsFollowTheClock) {
    // At 21:29:55 the first EIT carries 21:00 (present), 21:30 and 22:00; after 21:30 the
    // present event moves on and the version changes.
    std::map<int, std::vector<std::vector<uint8_t>>> bySection;
    for (const auto& s : sectionsOn(*stream, 0x0027)) {
        ASSERT_EQ(s[0], 0x4E);
        bySection[s[6]].push_back(s);
    }
    ASSERT_EQ(bySection.size(), 3u);
    auto eventStart = [](const std::vector<uint8_t>& s) { return bcd(s[18]) * 60 + bcd(s[19]); };
    EXPECT_EQ(eventStart(bySection[0].front()), 21 * 60);
    EXPECT_EQ(eventStart(bySection[1].front()), 21 * 60 + 30);
    EXPECT_EQ(eventStart(bySection[2].front()), 22 * 60);
    EXPECT_EQ(eventStart(bySection[0].back()), 21 * 60 + 30);
    EXPECT_NE(bySection[0].front()[5], bySection[0].back()[5]);

    // Title and description of the short event descriptor, decoded back.
    const auto& s = bySection[1].front();
    ASSERT_EQ(s[26], 0x4D);
    const size_t n = s[31];
    const std::u16string title = receiverText(&s[32], n);
    const std::u16string text = receiverText(&s[33 + n], s[32 + n]);
    const veltra::Programme p =
        veltra::programmeAt(1, utf8ToUtf16("ＮＨＫ教育"), localTime(2026, 12, 8, 21, 30), 0);
    EXPECT_EQ(title, p.title);
    EXPECT_EQ(text, p.text);
    EXPECT_EQ(bcd(s[21]) * 3600 + bcd(s[22]) * 60 + bcd(s[23]), 1800);
    // Dual mono is signalled in the audio component descriptor behind it.
    const size_t next = 26 + 2 + s[27];
    EXPECT_EQ(s[next], 0xC4);
    EXPECT_EQ(s[next + 3], 0x02);
}

TEST(ProgrammeGrid, HalfHoursMidnightCrossingAndOpenEnded) {
    const std::u16string name = utf8ToUtf16("テスト");
    auto at = [&](int h, int m, int ahead = 0) {
        return veltra::programmeAt(0, name, localTime(2026, 12, 8, h, m), ahead);
    };
    EXPECT_EQ(at(21, 45).start, localTime(2026, 12, 8, 21, 30));
    EXPECT_EQ(at(21, 45).duration, 1800);
    // 23:30 until 00:40 the next day, seen from both sides of midnight.
    EXPECT_EQ(at(23, 50).start, localTime(2026, 12, 8, 23, 30));
    EXPECT_EQ(at(23, 50).duration, 70 * 60);
    EXPECT_EQ(at(0, 10).start, localTime(2026, 12, 7, 23, 30));
    EXPECT_EQ(at(23, 50, 1).start, localTime(2026, 12, 9, 0, 40));
    // The night programme has no end; the one after it starts at 04:00.
    EXPECT_LT(at(2, 0).duration, 0);
    EXPECT_EQ(at(2, 0, 1).start, localTime(2026, 12, 8, 4, 0));
    EXPECT_EQ(at(3, 59, 2).start, localTime(2026, 12, 8, 4, 30));
    // Titles differ between neighbouring programmes and carry an extension symbol.
    EXPECT_NE(at(10, 0).title, at(10, 30).title);
    EXPECT_EQ(at(10, 0).title.back(), u'\uE14F');
}

TEST(ProgrammeGrid, OpenEndedEventIsAiredWithAllOnesDuration) {
    const std::string ts = simulatedStream(7, 14, 1.5, localTime(2026, 12, 8, 1, 0));
    const auto secs = sectionsOn(ts, 0x0027);
    ASSERT_FALSE(secs.empty());
    const auto& s = secs.front();
    EXPECT_EQ(s[6], 0);
    EXPECT_EQ(s[21], 0xFF);
    EXPECT_EQ(s[22], 0xFF);
    EXPECT_EQ(s[23], 0xFF);
}

TEST_F(StationStreamTest, VideoHasDelimitersAndParameterSetsBeforeEveryIdr) {
    const auto pes = pesOn(*stream, 0x181);
    ASSERT_GE(pes.size(), 140u);
    int idrs = 0;
    for (size_t i = 0; i < pes.size(); ++i) {
        const auto& d = pes[i].data;
        std::vector<int> types;
        for (size_t k = 0; k + 3 < d.size(); ++k)
            if (d[k] == 0 && d[k + 1] == 0 && d[k + 2] == 1) types.push_back(d[k + 3] & 0x1F);
        ASSERT_FALSE(types.empty());
        EXPECT_EQ(types.front(), 9) << "access unit delimiter first, unit " << i;
        const bool idr = std::find(types.begin(), types.end(), 5) != types.end();
        if (idr) {
            ++idrs;
            EXPECT_EQ(i % 15, 0u);
            auto sps = std::find(types.begin(), types.end(), 7);
            auto pps = std::find(types.begin(), types.end(), 8);
            auto slice = std::find(types.begin(), types.end(), 5);
            EXPECT_TRUE(sps < pps && pps < slice);
        }
        if (i > 0) {
            EXPECT_EQ(pes[i].pts - pes[i - 1].pts, 6000);
        }
    }
    EXPECT_GE(idrs, 9);
}

TEST_F(StationStreamTest, AudioIsOneAdtsFrameWithCrcPerPesAndArrivesBeforeItsTime) {
    const auto pes = pesOn(*stream, 0x183);
    ASSERT_GE(pes.size(), 400u);
    for (const auto& p : pes) {
        const auto& d = p.data;
        ASSERT_GE(d.size(), 9u);
        EXPECT_EQ(d[0], 0xFF);
        EXPECT_EQ(d[1], 0xF8); // MPEG-2 with CRC
        EXPECT_EQ(d[2] & 0xC0, 0x40);
        EXPECT_EQ(((d[2] & 1) << 2) | (d[3] >> 6), 2); // dual mono under configuration 2
        const size_t len = ((d[3] & 3) << 11) | (d[4] << 3) | (d[5] >> 5);
        EXPECT_EQ(len, d.size());
        if (p.arrivalPcr >= 0) {
            EXPECT_LT(p.arrivalPcr / 300, p.pts);
        }
    }
}

TEST_F(StationStreamTest, RateIsAboutThatOfAOneSegmentServiceWithFrequentPcr) {
    EXPECT_NEAR(stream->size() * 8 / 10.0, 416000, 2000);
    int64_t last = -1, worst = 0;
    for (size_t i = 0; i + 188 <= stream->size(); i += 188) {
        const auto* p = reinterpret_cast<const uint8_t*>(stream->data() + i);
        if (!((p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10))) continue;
        const int64_t base =
            (int64_t(p[6]) << 25) | (p[7] << 17) | (p[8] << 9) | (p[9] << 1) | (p[10] >> 7);
        if (last >= 0) worst = std::max(worst, base - last);
        last = base;
    }
    EXPECT_GT(last, 0);
    EXPECT_LE(worst, 9000); // at most 100 ms apart
}

TEST_F(StationStreamTest, CaptionsAreStatementBodiesInTheMobileLayout) {
    const auto pes = pesOn(*stream, 0x187);
    std::vector<std::vector<uint8_t>> statements;
    for (const auto& p : pes)
        if (p.data.size() > 20 && p.data[3] >> 2 == 1) statements.push_back(p.data);
    ASSERT_GE(statements.size(), 2u);
    const auto& d = statements.front();
    EXPECT_EQ(d[0], 0x80);
    EXPECT_EQ(d[8] >> 6, 0); // free time control: loop length at 9, unit at 12
    EXPECT_EQ(d[12], 0x1F);
    EXPECT_EQ(d[13], 0x20);
    const size_t size = (d[14] << 16) | (d[15] << 8) | d[16];
    ASSERT_LE(17 + size, d.size());
    std::vector<uint8_t> unit(d.begin() + 17, d.begin() + 17 + size);
    EXPECT_EQ(unit.front(), 0x0C);
    EXPECT_NE(std::find(unit.begin(), unit.end(), 0x0D), unit.end());
    EXPECT_EQ(unit[unit.size() - 3], 0x9D);
    EXPECT_EQ(unit[unit.size() - 2], 0x20);
    // The first line is the programme title (without its guide symbol), readable as EUC-JP.
    std::string line;
    for (size_t i = 2; i < unit.size() && unit[i] >= 0xA1; ++i) line += static_cast<char>(unit[i]);
    iconv_t cd = iconv_open("UTF-8", "EUC-JP");
    char out[512] = {};
    char* ip = line.data();
    char* op = out;
    size_t il = line.size(), ol = sizeof out - 1;
    iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    std::u16string title = veltra::programmeAt(1, utf8ToUtf16("ＮＨＫ教育"), wall, 0).title;
    title.pop_back();
    for (char16_t& c : title) // captions carry alphanumerics in their full-width form
        if (c > 0x20 && c < 0x7F) c = static_cast<char16_t>(c - 0x21 + 0xFF01);
    EXPECT_EQ(utf8ToUtf16(out), title);
    EXPECT_NE(statements[0], statements[1]);
}

TEST(StationCard, ColoursDifferWithinEveryArea) {
    for (int a = 0; a < 47; ++a) {
        std::set<std::tuple<int, int, int>> seen;
        for (int slot = 0; slot < 50; ++slot) {
            std::string name;
            if (!kobal::AreaPresetTable::isPresetSlot(a, slot, &name)) continue;
            const auto c = veltra::stationCardColour(a, slot);
            seen.insert({c.r, c.g, c.b});
        }
        int distinctSlots = 0;
        for (int slot = 0; slot < 50; ++slot)
            distinctSlots += kobal::AreaPresetTable::isPresetSlot(a, slot);
        EXPECT_EQ(static_cast<int>(seen.size()), distinctSlots) << "area " << a;
    }
}

TEST(AdtsCrc, MatchesTheHeaderAndFirstElementBits) {
    // Mono: raw data is one single channel element, then END and zero padding. The check word
    // covers the 56 header bits and the first 192 bits of the element after its id.
    const std::string ts = simulatedStream(7, 14, 1.0, 0);
    const auto pes = pesOn(ts, 0x183);
    ASSERT_GE(pes.size(), 20u);
    auto crc16 = [](const std::vector<int>& bits) {
        uint16_t crc = 0xFFFF;
        for (int b : bits) {
            const bool flip = ((crc >> 15) & 1) ^ b;
            crc = static_cast<uint16_t>(crc << 1);
            if (flip) crc ^= 0x8005;
        }
        return crc;
    };
    for (const auto& p : pes) {
        const auto& d = p.data;
        auto bit = [&](size_t i) { return (d[i / 8] >> (7 - i % 8)) & 1; };
        size_t last = d.size() * 8;
        while (last > 72 && !bit(last - 1)) --last;
        const size_t elementStart = 72 + 3, elementEnd = last - 3; // before END
        ASSERT_EQ(bit(72) | bit(73) | bit(74), 0);                 // single channel element
        std::vector<int> bits;
        for (size_t i = 0; i < 56; ++i) bits.push_back(bit(i));
        for (size_t i = 0; i < 192; ++i)
            bits.push_back(elementStart + i < elementEnd ? bit(elementStart + i) : 0);
        EXPECT_EQ(crc16(bits), (d[7] << 8) | d[8]);
    }
}
