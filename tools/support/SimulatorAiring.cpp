#include "tools/support/SimulatorAiring.h"

#include "engine/ServiceInfo.h"
#include "engine/TsDemux.h"
#include "tuner/StationStream.h"

#include <ctime>
#include <vector>

namespace kobal {
namespace {

// Discards the elementary stream units; the captions and guide go to the sink.
struct NoUnits : DemuxOutput {
    void pushUnit(EsUnit&&) override {}
    void wakeDataPump() override {}
    void headerOnlyPes() override {}
};

} // namespace

bool airSimulatorStation(int seconds, size_t chunkPackets,
                         const std::function<void(int64_t airMs, EngineOutputs&&)>& taken) {
    veltra::StationConfig config;
    if (!veltra::stationConfigFor(7, 14, std::time(nullptr), &config)) return false;
    veltra::StationStream station(config);
    if (!station.ok()) return false;
    EngineOutputSink sink;
    ServiceInfoReader reader(&sink);
    reader.onParseStart();
    PidTable pids;
    pids.video = config.service.videoPid;
    pids.audio = config.service.audioPid;
    pids.caption = config.service.captionPid;
    PmtCollector pmt;
    NoUnits units;
    PacketScanner scanner(pids, pmt, units);
    scanner.setSink(&reader);
    std::vector<uint8_t> chunk;
    uint8_t p[188];
    const int64_t end = int64_t(seconds) * 27000000;
    for (int64_t dep = 0; dep < end;) {
        station.next(p, &dep);
        chunk.insert(chunk.end(), p, p + 188);
        if ((chunkPackets == 0 || chunk.size() < 188 * chunkPackets) && dep < end) continue;
        const size_t used = scanner.scan(chunk.data(), chunk.size());
        chunk.erase(chunk.begin(), chunk.begin() + long(used));
        taken(dep / 27000, sink.take());
    }
    return true;
}

} // namespace kobal
