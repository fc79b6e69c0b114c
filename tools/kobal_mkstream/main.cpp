// kobal_mkstream: writes one simulated station to a transport stream file, optionally with
// damaged packets, or measures what the simulator costs (--bench).
//
//   kobal_mkstream --area 7 --slot 14 --seconds 60 out.ts
#include "tuner/CTDMBDll.h"
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
    unsigned seed = 1;
    std::string out;
};

void usage() {
    std::fprintf(stderr,
                 "usage: kobal_mkstream [--area N] [--slot N] [--seconds S] [--dual-mono]\n"
                 "                      [--no-captions] [--realtime] [--lose N] [--bad-sync N]\n"
                 "                      [--scrambled N] [--oversized-af N] [--seed N] out.ts\n"
                 "       kobal_mkstream --bench [--area N] [--slot N] [--seconds S]\n"
                 "Damage rates N are per thousand packets. Without --realtime the file is\n"
                 "written as fast as possible.\n");
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
    std::uniform_int_distribution<int> perMille(0, 999);
    const int64_t end = static_cast<int64_t>(o.seconds * veltra::ts::kPcrHz);
    const auto t0 = std::chrono::steady_clock::now();
    uint8_t p[188];
    int64_t dep = 0;
    while (true) {
        // Past the end, finish the frame in progress so the file ends on whole frames.
        if (stream.nextDeparture() >= end &&
            (stream.atUnitBoundary() || stream.nextDeparture() >= end + veltra::ts::kPcrHz))
            break;
        stream.next(p, &dep);
        if (o.realtime)
            std::this_thread::sleep_until(t0 + std::chrono::nanoseconds(dep * 1000 / 27));
        if (veltra::ts::pidOf(p) != veltra::ts::kNullPid) {
            if (o.lose && perMille(rng) < o.lose) continue;
            if (o.badSync && perMille(rng) < o.badSync) p[0] = 0x46;
            if (o.scrambled && perMille(rng) < o.scrambled) p[3] |= 0x80;
            if (o.oversized && perMille(rng) < o.oversized) {
                p[3] = static_cast<uint8_t>((p[3] & 0xCF) | 0x30);
                p[4] = 200; // longer than the packet
            }
        }
        if (std::fwrite(p, 1, sizeof p, f) != sizeof p) {
            std::perror(o.out.c_str());
            std::fclose(f);
            return 1;
        }
    }
    return std::fclose(f) == 0 ? 0 : 1;
}
