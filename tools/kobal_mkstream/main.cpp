// kobal_mkstream: writes one simulated station to a transport stream file, optionally with
// damaged packets or with the outsized and odd structures real broadcasts contain, or measures
// what the simulator costs (--bench).
//
//   kobal_mkstream --area 7 --slot 14 --seconds 60 out.ts
#include "tuner/CTDMBDll.h"
#include "tuner/SiTables.h"
#include "tuner/StationStream.h"
#include "tuner/TsPackets.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>

namespace {

struct Options {
    int area = 7;
    int slot = 14;
    double seconds = 60;
    bool dualMono = false;
    bool noCaptions = false;
    bool realtime = false;
    bool bench = false;
    // Damage rates, per thousand packets.
    int lose = 0, badSync = 0, scrambled = 0, oversized = 0;
    // Structures at the edge of what a receiver must carry (see usage()).
    int pcrOnVideo = -1; // stuffing packets per thousand made extra PCRs; -1: PCR on its PID
    int tinyAdts = 0;    // per thousand ADTS frames
    bool hugePmt = false, hugePes = false, hugeSps = false;
    unsigned seed = 1;
    std::string out;
};

void usage() {
    std::fprintf(stderr,
                 "usage: kobal_mkstream [--area N] [--slot N] [--seconds S] [--dual-mono]\n"
                 "                      [--no-captions] [--realtime] [--lose N] [--bad-sync N]\n"
                 "                      [--scrambled N] [--oversized-af N] [--pcr-on-video N]\n"
                 "                      [--tiny-adts N] [--huge-pmt] [--huge-pes] [--huge-sps]\n"
                 "                      [--seed N] out.ts\n"
                 "       kobal_mkstream --bench [--area N] [--slot N] [--seconds S]\n"
                 "Damage rates N are per thousand packets. Without --realtime the file is\n"
                 "written as fast as possible.\n"
                 "  --pcr-on-video N  PCR on the video PID (PMT says so) in adaptation-field-only\n"
                 "                    packets; N per thousand stuffing packets become extra ones\n"
                 "  --tiny-adts N     N per thousand audio frames follow an ADTS header that\n"
                 "                    matches the stream but declares a frame length of 0..8\n"
                 "  --huge-pmt        the first PMT and one a second are 4098-byte sections\n"
                 "  --huge-pes        the IDR picture at 1 s and every 5 s after carries 70 KB\n"
                 "                    of filler data (PES over 0x10000, access unit over 39960)\n"
                 "  --huge-sps        a second SPS (unused id) of about 1.4 KB follows the SPS\n"
                 "                    before every IDR\n");
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](double& v) {
            if (i + 1 >= argc) return false;
            char* end = nullptr;
            v = std::strtod(argv[++i], &end);
            return end && *end == 0;
        };
        double v = 0;
        if (a == "--dual-mono")
            o.dualMono = true;
        else if (a == "--no-captions")
            o.noCaptions = true;
        else if (a == "--realtime")
            o.realtime = true;
        else if (a == "--bench")
            o.bench = true;
        else if (a == "--area" && value(v))
            o.area = static_cast<int>(v);
        else if (a == "--slot" && value(v))
            o.slot = static_cast<int>(v);
        else if (a == "--seconds" && value(v))
            o.seconds = v;
        else if (a == "--lose" && value(v))
            o.lose = static_cast<int>(v);
        else if (a == "--bad-sync" && value(v))
            o.badSync = static_cast<int>(v);
        else if (a == "--scrambled" && value(v))
            o.scrambled = static_cast<int>(v);
        else if (a == "--oversized-af" && value(v))
            o.oversized = static_cast<int>(v);
        else if (a == "--pcr-on-video" && value(v))
            o.pcrOnVideo = std::max(0, static_cast<int>(v));
        else if (a == "--tiny-adts" && value(v))
            o.tinyAdts = static_cast<int>(v);
        else if (a == "--huge-pmt")
            o.hugePmt = true;
        else if (a == "--huge-pes")
            o.hugePes = true;
        else if (a == "--huge-sps")
            o.hugeSps = true;
        else if (a == "--seed" && value(v))
            o.seed = static_cast<unsigned>(v);
        else if (!a.empty() && a[0] != '-' && o.out.empty())
            o.out = a;
        else
            return false;
    }
    return o.bench || !o.out.empty();
}

double cpuSeconds() {
    rusage ru = {};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// --- Structures at the edge of what a receiver must carry ---

class BitWriter {
public:
    void bits(uint64_t v, int n) {
        for (int i = n - 1; i >= 0; --i) bit((v >> i) & 1);
    }
    void ue(uint64_t v) {
        int n = 0;
        while ((v + 1) >> (n + 1)) ++n;
        bits(0, n);
        bits(v + 1, n + 1);
    }
    void se(int64_t v) {
        ue(v > 0 ? 2 * static_cast<uint64_t>(v) - 1 : 2 * static_cast<uint64_t>(-v));
    }
    // rbsp_trailing_bits, then the emulation prevention bytes of a NAL unit.
    std::vector<uint8_t> nal() {
        bit(1);
        while (used_) bit(0);
        std::vector<uint8_t> out;
        int zeros = 0;
        for (uint8_t b : bytes_) {
            if (zeros >= 2 && b <= 3) {
                out.push_back(3);
                zeros = 0;
            }
            out.push_back(b);
            zeros = b == 0 ? zeros + 1 : 0;
        }
        return out;
    }

private:
    void bit(int b) {
        if (used_ == 0) bytes_.push_back(0);
        if (b) bytes_.back() |= static_cast<uint8_t>(0x80 >> used_);
        used_ = (used_ + 1) & 7;
    }
    std::vector<uint8_t> bytes_;
    int used_ = 0;
};

// A valid SPS with id 1, which no picture refers to, made long by a picture order count
// cycle of 255 large offsets: about 1.4 KB.
std::vector<uint8_t> hugeSps(const uint8_t* realSps) {
    BitWriter w;
    w.bits(realSps[0], 8); // profile, constraint flags and level of the stream's own SPS
    w.bits(realSps[1], 8);
    w.bits(realSps[2], 8);
    w.ue(1); // seq_parameter_set_id
    w.ue(0); // log2_max_frame_num_minus4
    w.ue(1); // pic_order_cnt_type
    w.bits(0, 1);
    w.se(0);   // offset_for_non_ref_pic
    w.se(0);   // offset_for_top_to_bottom_field
    w.ue(255); // num_ref_frames_in_pic_order_cnt_cycle
    for (int i = 0; i < 255; ++i) w.se(i % 2 ? -(1 << 20) - i : (1 << 20) + i);
    w.ue(1);      // max_num_ref_frames
    w.bits(0, 1); // gaps_in_frame_num_value_allowed_flag
    w.ue(19);     // 320 / 16 - 1
    w.ue(11);     // 192 / 16 - 1
    w.bits(1, 1); // frame_mbs_only_flag
    w.bits(1, 1); // direct_8x8_inference_flag
    w.bits(1, 1); // frame_cropping_flag: 192 lines cropped to 180
    w.ue(0);
    w.ue(0);
    w.ue(0);
    w.ue(6);
    w.bits(0, 1); // no VUI
    std::vector<uint8_t> out = {0, 0, 0, 1, 0x67};
    const std::vector<uint8_t> body = w.nal();
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Inserts the huge SPS after the access unit's own SPS (IDR pictures only).
void addHugeSps(std::vector<uint8_t>& au) {
    for (size_t i = 0; i + 4 < au.size(); ++i) {
        if (au[i] != 0 || au[i + 1] != 0 || au[i + 2] != 1 || (au[i + 3] & 0x1F) != 7) continue;
        size_t end = i + 4;
        while (end + 3 <= au.size() && !(au[end] == 0 && au[end + 1] == 0 && au[end + 2] == 1))
            ++end;
        if (end + 3 > au.size()) return;
        if (end > i + 4 && au[end - 1] == 0) --end; // a four-byte start code follows
        if (end < i + 7) return;
        const std::vector<uint8_t> sps = hugeSps(&au[i + 4]);
        au.insert(au.begin() + static_cast<long>(end), sps.begin(), sps.end());
        return;
    }
}

// An ADTS header that matches the frame's (same sync word, layer, profile, rate, channels)
// but declares a frame length of `length` (0..8, shorter than a header), put before it.
void addTinyAdts(std::vector<uint8_t>& frame, int length) {
    if (frame.size() < 7) return;
    uint8_t h[7];
    std::copy(frame.begin(), frame.begin() + 7, h);
    h[3] = static_cast<uint8_t>((h[3] & 0xFC) | ((length >> 11) & 3));
    h[4] = static_cast<uint8_t>(length >> 3);
    h[5] = static_cast<uint8_t>((h[5] & 0x1F) | (length & 7) << 5);
    frame.insert(frame.begin(), h, h + 7);
}

// The station's PMT grown to 4098 bytes (section_length 4095, the field's largest value) with
// stuffing descriptors in the programme and stream loops (no loop over 1023 bytes), so the
// streams are listed after 4 KB of stuffing.
std::vector<uint8_t> hugePmt(const veltra::ServiceInfo& service) {
    const std::vector<uint8_t> base = veltra::buildPmt(service);
    constexpr size_t kTotal = 4098, kLoopMax = 1023;
    size_t extra = kTotal - base.size();
    auto stuffing = [&](std::vector<uint8_t>& out, size_t room) {
        size_t n = std::min(extra, room);
        if (extra - n == 1) --n; // a descriptor is two bytes at least
        extra -= n;
        while (n > 0) {
            size_t d = std::min<size_t>(n, 257);
            if (n - d == 1) d -= 2;
            out.push_back(0x42); // stuffing descriptor
            out.push_back(static_cast<uint8_t>(d - 2));
            out.insert(out.end(), d - 2, 0xFF);
            n -= d;
        }
    };
    std::vector<uint8_t> out(base.begin(), base.begin() + 10);
    size_t at = 10;
    const size_t infoLen = (base[at] & 0x0F) << 8 | base[at + 1];
    std::vector<uint8_t> info(base.begin() + 12, base.begin() + 12 + static_cast<long>(infoLen));
    stuffing(info, kLoopMax - infoLen);
    out.push_back(static_cast<uint8_t>(0xF0 | info.size() >> 8));
    out.push_back(static_cast<uint8_t>(info.size()));
    out.insert(out.end(), info.begin(), info.end());
    at = 12 + infoLen;
    while (at + 5 <= base.size() - 4) {
        const size_t esLen = (base[at + 3] & 0x0F) << 8 | base[at + 4];
        std::vector<uint8_t> desc(base.begin() + static_cast<long>(at + 5),
                                  base.begin() + static_cast<long>(at + 5 + esLen));
        stuffing(desc, kLoopMax - esLen);
        out.insert(out.end(), base.begin() + static_cast<long>(at),
                   base.begin() + static_cast<long>(at + 3));
        out.push_back(static_cast<uint8_t>(0xF0 | desc.size() >> 8));
        out.push_back(static_cast<uint8_t>(desc.size()));
        out.insert(out.end(), desc.begin(), desc.end());
        at += 5 + esLen;
    }
    const size_t length = out.size() - 3 + 4;
    out[1] = static_cast<uint8_t>((base[1] & 0xF0) | (length >> 8 & 0x0F));
    out[2] = static_cast<uint8_t>(length);
    veltra::ts::appendCrc(out);
    return out;
}

// Packets of a filler data NAL unit that continue a video PES and end with it: ~70 KB.
std::vector<uint8_t> fillerPackets(uint16_t pid) {
    constexpr size_t kPackets = 381; // 381 * 184 = 70104 bytes
    std::vector<uint8_t> es(kPackets * 184, 0xFF);
    const uint8_t head[] = {0, 0, 0, 1, 0x0C};
    std::copy(head, head + 5, es.begin());
    es.back() = 0x80; // rbsp_trailing_bits
    std::vector<uint8_t> out;
    for (size_t k = 0; k < kPackets; ++k) {
        uint8_t p[188] = {0x47, static_cast<uint8_t>(pid >> 8 & 0x1F), static_cast<uint8_t>(pid),
                          0x10};
        std::copy(es.begin() + static_cast<long>(k * 184),
                  es.begin() + static_cast<long>((k + 1) * 184), p + 4);
        out.insert(out.end(), p, p + 188);
    }
    return out;
}

bool hasPayload(const uint8_t* p) {
    return (p[3] & 0x10) != 0;
}

// Whether a video PES's first packet starts an IDR access unit (an SPS or IDR slice in it).
bool startsIdr(const uint8_t* p) {
    size_t at = 4;
    if (p[3] & 0x20) at += 1 + p[4];
    for (size_t i = at; i + 3 < 188; ++i)
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            const int t = p[i + 3] & 0x1F;
            if (t == 7 || t == 5) return true;
        }
    return false;
}

// Writing without pacing, then one live station polled the way the player's reader polls.
int bench(const Options& o) {
    veltra::StationConfig config;
    if (!veltra::stationConfigFor(o.area, o.slot, std::time(nullptr), &config)) {
        std::fprintf(stderr, "area %d has no station on slot %d\n", o.area, o.slot);
        return 2;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const double offlineCpu0 = cpuSeconds();
    {
        veltra::StationStream stream(config);
        uint8_t p[188];
        int64_t dep = 0;
        size_t bytes = 0;
        while (true) {
            stream.next(p, &dep);
            if (dep >= static_cast<int64_t>(o.seconds * veltra::ts::kPcrHz)) break;
            bytes += sizeof p;
        }
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("offline: %.0f s of stream (%zu bytes) written in %.2f s (%.2f s CPU)\n",
                    o.seconds, bytes, wall, cpuSeconds() - offlineCpu0);
    }
    const double liveSeconds = std::min(o.seconds, 20.0);
    veltra::sim::setArea(o.area);
    CTDMBDll tuner;
    if (!tuner.Open(nullptr) || !tuner.SetChannel(o.slot, o.slot, 1, 0.0f)) {
        std::fprintf(stderr, "cannot tune the simulator\n");
        return 1;
    }
    unsigned char buffer[2256];
    const double cpu0 = cpuSeconds();
    const auto l0 = std::chrono::steady_clock::now();
    long chunks = 0;
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - l0).count() <
           liveSeconds) {
        if (tuner.GetTSStream(buffer, 0))
            ++chunks;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double cpu = cpuSeconds() - cpu0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - l0).count();
    std::printf("live: %ld chunks (%.0f kbit/s) in %.1f s, CPU %.2f %% of one core\n", chunks,
                chunks * 1128 * 8 / wall / 1000, wall, 100 * cpu / wall);
    tuner.Close();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        usage();
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv); // fonts for the station name on the card
    if (o.bench) return bench(o);

    veltra::StationConfig config;
    if (!veltra::stationConfigFor(o.area, o.slot, std::time(nullptr), &config)) {
        std::fprintf(stderr, "area %d has no station on slot %d\n", o.area, o.slot);
        return 2;
    }
    if (o.dualMono) config.service.dualMono = true;
    if (o.noCaptions) config.service.captions = false;
    const veltra::ServiceInfo& service = config.service;
    // The structure options draw from their own generator, so the packet damage of a seed
    // stays the same whatever else is asked for.
    std::mt19937 shapeRng(o.seed ^ 0x5EEDu);
    std::uniform_int_distribution<int> perMille(0, 999);
    if (o.pcrOnVideo >= 0) config.service.pcrPid = config.service.videoPid;
    if (o.tinyAdts > 0)
        config.editAudioFrame = [&](std::vector<uint8_t>& frame) {
            if (perMille(shapeRng) < o.tinyAdts)
                addTinyAdts(frame, static_cast<int>(shapeRng() % 9));
        };
    if (o.hugeSps) config.editVideoUnit = addHugeSps;
    veltra::StationStream stream(config);
    if (!stream.ok()) {
        std::fprintf(stderr, "kobal_mkstream: %s\n", stream.error().c_str());
        return 1;
    }
    FILE* f = std::fopen(o.out.c_str(), "wb");
    if (!f) {
        std::perror(o.out.c_str());
        return 1;
    }
    std::mt19937 rng(o.seed);
    const uint16_t videoPid = service.videoPid, pmtPid = service.pmtPid;
    // Continuity counters of the PIDs that get packets added are counted here again.
    uint8_t videoCc = 0x0F, pmtCc = 0x0F;
    int64_t lastPcr = -1, lastPcrDeparture = 0;
    long pmts = 0, idrs = 0;
    bool fillerDue = false;        // the video PES being sent gets the filler at its end
    std::vector<uint8_t> pmtQueue; // huge PMT packets still to send
    size_t pmtQueueAt = 0;

    // Counters, then the packet damage, then the file.
    auto write = [&](uint8_t* p) {
        const uint16_t pid = veltra::ts::pidOf(p);
        if (pid == videoPid) {
            if (hasPayload(p)) videoCc = (videoCc + 1) & 0x0F;
            p[3] = static_cast<uint8_t>((p[3] & 0xF0) | videoCc);
        } else if (pid == pmtPid) {
            pmtCc = (pmtCc + 1) & 0x0F;
            p[3] = static_cast<uint8_t>((p[3] & 0xF0) | pmtCc);
        }
        if (pid != veltra::ts::kNullPid) {
            if (o.lose && perMille(rng) < o.lose) return true;
            if (o.badSync && perMille(rng) < o.badSync) p[0] = 0x46;
            if (o.scrambled && perMille(rng) < o.scrambled) p[3] |= 0x80;
            if (o.oversized && perMille(rng) < o.oversized) {
                p[3] = static_cast<uint8_t>((p[3] & 0xCF) | 0x30);
                p[4] = 200; // longer than the packet
            }
        }
        if (std::fwrite(p, 1, 188, f) == 188) return true;
        std::perror(o.out.c_str());
        return false;
    };
    auto writeFiller = [&] {
        fillerDue = false;
        std::vector<uint8_t> filler = fillerPackets(videoPid);
        for (size_t at = 0; at < filler.size(); at += 188)
            if (!write(&filler[at])) return false;
        return true;
    };

    const int64_t end = static_cast<int64_t>(o.seconds * veltra::ts::kPcrHz);
    const auto t0 = std::chrono::steady_clock::now();
    uint8_t p[188];
    int64_t dep = 0;
    bool ok = true;
    while (ok) {
        // Past the end, finish the frame in progress so the file ends on whole frames.
        if (stream.nextDeparture() >= end &&
            (stream.atUnitBoundary() || stream.nextDeparture() >= end + veltra::ts::kPcrHz))
            break;
        stream.next(p, &dep);
        if (o.realtime)
            std::this_thread::sleep_until(t0 + std::chrono::nanoseconds(dep * 1000 / 27));
        const uint16_t pid = veltra::ts::pidOf(p);
        const bool unitStart = (p[1] & 0x40) != 0;
        if (const int64_t pcr = veltra::ts::pcrOf(p); pcr >= 0 && pid == service.pcrPid) {
            lastPcr = pcr;
            lastPcrDeparture = dep;
        }
        if (pid == videoPid && unitStart && hasPayload(p)) {
            if (fillerDue && !(ok = writeFiller())) break;
            if (o.hugePes && startsIdr(p)) fillerDue = idrs++ % 5 == 1;
        }
        // One PMT a second (the regular ones come every 100 ms) is sent huge.
        if (o.hugePmt && pid == pmtPid && unitStart && pmts++ % 10 == 0 &&
            pmtQueueAt >= pmtQueue.size()) {
            pmtQueue.clear();
            uint8_t unused = 0;
            veltra::ts::packSection(pmtQueue, pmtPid, unused, hugePmt(service));
            pmtQueueAt = 0;
        }
        // The huge PMT goes out in the place of the regular PMT and of stuffing.
        if (pmtQueueAt < pmtQueue.size() && (pid == pmtPid || pid == veltra::ts::kNullPid)) {
            std::copy(&pmtQueue[pmtQueueAt], &pmtQueue[pmtQueueAt] + 188, p);
            pmtQueueAt += 188;
        } else if (o.pcrOnVideo > 0 && pid == veltra::ts::kNullPid && lastPcr >= 0 &&
                   perMille(shapeRng) < o.pcrOnVideo) {
            veltra::ts::pcrPacket(p, videoPid, 0, lastPcr + dep - lastPcrDeparture);
        }
        ok = write(p);
    }
    if (ok && fillerDue) ok = writeFiller();
    if (std::fclose(f) != 0) ok = false;
    return ok ? 0 : 1;
}
