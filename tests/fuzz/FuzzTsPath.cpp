// The engine's transport stream path: the PMT probe, the parse thread's packet scan with its
// PES reassembly (and the SI it hands on), and the framer cutting access units and ADTS frames
// into link records (there is no link: the records go nowhere).
// The framer lives across inputs and is reset for each: a new one per input spent nine tenths
// of the time zeroing its 448 KB of buffers, which AddressSanitizer maps afresh every time.
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
    static PlayerLinkEnd link; // never connected: every send fails, as with no renderer
    static std::atomic<uint8_t> delivery;
    static EsFramer framer(link, delivery);
    static auto video = std::make_unique<records::VideoFrameRecord>();
    static auto audio = std::make_unique<records::AudioFrameRecord>();
    // Nothing of the last input carries over: the captured configuration and the framer's
    // unfinished frames are cleared as in a fresh start.
    delivery = records::kDeliveryInitial;
    link.videoConfig = {};
    link.audioConfig = {};
    framer.reset();

    PidTable pids;
    PmtCollector pmt;
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
