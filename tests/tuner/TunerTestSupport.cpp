#include "TunerTestSupport.h"

#include "tests/support/TestSupport.h"
#include "tuner/StationStream.h"

#include <gtest/gtest.h>
#include <map>

namespace tunertest {
namespace {

// The station name on the test card needs fonts, that is a GUI application object.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override { kobal::test::ensureQtApp(kobal::test::QtApp::Gui); }
};
[[maybe_unused]] auto* const g_env = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

size_t payloadStart(const uint8_t* p) {
    size_t at = 4;
    if (p[3] & 0x20) at += 1 + p[4];
    return at;
}

} // namespace

uint32_t sectionCrc(const uint8_t* d, size_t n) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < n; ++i) {
        for (int b = 7; b >= 0; --b) {
            const bool bit = ((d[i] >> b) & 1) ^ (crc >> 31);
            crc <<= 1;
            if (bit) crc ^= 0x04C11DB7;
        }
    }
    return crc;
}

std::vector<std::vector<uint8_t>> sectionsOn(const std::string& ts, uint16_t pid) {
    std::vector<std::vector<uint8_t>> out;
    std::vector<uint8_t> cur;
    for (size_t i = 0; i + 188 <= ts.size(); i += 188) {
        const auto* p = reinterpret_cast<const uint8_t*>(ts.data() + i);
        if (p[0] != 0x47 || (((p[1] & 0x1F) << 8) | p[2]) != pid || !(p[3] & 0x10)) continue;
        size_t at = payloadStart(p);
        if (at >= 188) continue;
        if (p[1] & 0x40) {
            at += 1 + p[at];
            cur.clear();
        } else if (cur.empty()) {
            continue;
        }
        cur.insert(cur.end(), p + std::min<size_t>(at, 188), p + 188);
        if (cur.size() >= 3) {
            const size_t want = 3 + (((cur[1] & 0x0F) << 8) | cur[2]);
            if (cur.size() >= want) {
                cur.resize(want);
                out.push_back(cur);
                cur.clear();
            }
        }
    }
    return out;
}

std::vector<Pes> pesOn(const std::string& ts, uint16_t pid) {
    std::vector<Pes> out;
    int64_t lastPcr = -1;
    bool open = false;
    for (size_t i = 0; i + 188 <= ts.size(); i += 188) {
        const auto* p = reinterpret_cast<const uint8_t*>(ts.data() + i);
        if (p[0] != 0x47) continue;
        if ((p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10)) {
            const int64_t base =
                (int64_t(p[6]) << 25) | (p[7] << 17) | (p[8] << 9) | (p[9] << 1) | (p[10] >> 7);
            lastPcr = base * 300 + (((p[10] & 1) << 8) | p[11]);
        }
        if ((((p[1] & 0x1F) << 8) | p[2]) != pid || !(p[3] & 0x10)) continue;
        const size_t at = payloadStart(p);
        if (at >= 188) continue;
        if (p[1] & 0x40) {
            const uint8_t* h = p + at;
            Pes pes;
            pes.arrivalPcr = lastPcr;
            if (h[7] & 0x80)
                pes.pts = (int64_t(h[9] & 0x0E) << 29) | (h[10] << 22) | ((h[11] & 0xFE) << 14) |
                          (h[12] << 7) | (h[13] >> 1);
            const size_t start = at + 9 + h[8];
            pes.data.assign(p + start, p + 188);
            out.push_back(pes);
            open = true;
        } else if (open) {
            out.back().data.insert(out.back().data.end(), p + at, p + 188);
        }
    }
    return out;
}

std::string simulatedStream(int area, int slot, double seconds, time_t wallStart, bool dualMono) {
    veltra::StationConfig c;
    if (!veltra::stationConfigFor(area, slot, wallStart, &c)) return {};
    if (dualMono) c.service.dualMono = true;
    veltra::StationStream s(c);
    if (!s.ok()) return {};
    std::string out;
    uint8_t p[188];
    int64_t dep = 0;
    while (true) {
        s.next(p, &dep);
        if (dep >= static_cast<int64_t>(seconds * 27000000)) break;
        out.append(reinterpret_cast<char*>(p), 188);
    }
    return out;
}

} // namespace tunertest
