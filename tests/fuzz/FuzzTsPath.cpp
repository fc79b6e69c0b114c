// The engine's transport stream path: the PMT probe, the parse thread's packet scan with its
// PES reassembly (and the SI it hands on), and the framer cutting access units and ADTS frames
// into link records (there is no link: the records go nowhere).
#include "engine/EsFramer.h"
#include "engine/PlayerLinkEnd.h"
#include "engine/ServiceInfo.h"
#include "engine/TsDemux.h"

#include <memory>

namespace {

struct Units : kobal::DemuxOutput {
    std::vector<kobal::EsUnit> units;
    void pushUnit(kobal::EsUnit&& unit) override {
        if (units.size() < 1024) units.push_back(std::move(unit));
    }
    void wakeDataPump() override {}
    void headerOnlyPes() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kobal;
    PidTable pids;
    PmtCollector pmt;
    std::atomic<uint8_t> delivery{records::kDeliveryInitial};
    size_t unconsumed = 0;
    pmtProbe(data, size, pids, pmt, delivery, &unconsumed);

    Units out;
    ServiceInfoReader si;
    PacketScanner scanner(pids, pmt, out);
    scanner.setSink(&si);
    // In chunks, as the reader hands them over, keeping the unconsumed tail in front.
    std::vector<uint8_t> buffer;
    for (size_t at = 0; at < size; at += 1128) {
        const size_t n = std::min<size_t>(1128, size - at);
        buffer.insert(buffer.end(), data + at, data + at + n);
        const size_t used = scanner.scan(buffer.data(), buffer.size());
        buffer.erase(buffer.begin(), buffer.begin() + std::min(used, buffer.size()));
    }

    static PlayerLinkEnd link; // never connected: every send fails, as with no renderer
    static auto video = std::make_unique<records::VideoFrameRecord>();
    static auto audio = std::make_unique<records::AudioFrameRecord>();
    EsFramer framer(link, delivery);
    for (const EsUnit& u : out.units) {
        if (u.kind == EsUnit::kVideo) {
            video->header.type = records::kVideoFrame;
            video->header.setTimestamp(u.pts);
            framer.frameVideo(u.bytes.data(), u.bytes.size(), *video);
        } else {
            audio->header.type = records::kAudioFrame;
            audio->header.setTimestamp(u.pts);
            framer.frameAudio(u.bytes.data(), u.bytes.size(), *audio);
        }
    }
    return 0;
}
