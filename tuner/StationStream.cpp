#include "tuner/StationStream.h"

#include "broadcast/AreaPresetTable.h"
#include "platform/Utf.h"
#include "tuner/Captions.h"
#include "tuner/TsPackets.h"

#include <cstring>

namespace veltra {
namespace {

constexpr int64_t kFrame90 = 6000;        // 15 fps
constexpr int64_t kAudioFrame90 = 1920;   // 1024 samples at 48 kHz
constexpr int64_t kCaption90 = 4 * 90000; // a new caption every four seconds
constexpr int64_t kDelay90 = 45000;       // sent half a second before presentation
constexpr int64_t kPcrEvery27 = 27000000 / 25;

} // namespace

bool stationConfigFor(int area, int slot, time_t wallStart, StationConfig* out) {
    using kobal::AreaPresetTable;
    if (!AreaPresetTable::validArea(area) || slot < 0 || slot >= AreaPresetTable::kSlotCount)
        return false;
    const int n = AreaPresetTable::stationCount(area);
    for (int j = 0; j < n; ++j) {
        const kobal::AreaStation st = AreaPresetTable::station(area, j);
        if (st.slot != slot) continue;
        StationConfig c;
        c.area = area;
        c.slot = slot;
        c.stationIndex = j;
        c.service.transportStreamId = static_cast<uint16_t>(0x7800 + area * 16 + j);
        c.service.originalNetworkId = c.service.transportStreamId;
        c.service.serviceId = static_cast<uint16_t>(0xE080 + slot);
        c.service.name = kobal::utf8ToUtf16(st.name);
        c.service.provider = c.service.name;
        c.service.dualMono = j == 1;
        c.service.remoteKey = j % 12 + 1;
        c.service.physicalChannel = slot + 13;
        c.toneHz = 400 + 50 * j;
        c.subToneHz = c.service.dualMono ? c.toneHz * 1.5 : 0;
        c.wallStart = wallStart;
        *out = c;
        return true;
    }
    return false;
}

StationStream::StationStream(const StationConfig& config) : config_(config) {
    if (!config_.service.dualMono)
        config_.subToneHz = 0;
    else if (config_.subToneHz <= 0)
        config_.subToneHz = config_.toneHz * 1.5;
    if (config_.bitrate < 200000) config_.bitrate = 200000;
    card_ = std::make_unique<TestCard>(stationCardColour(config_.area, config_.slot),
                                       config_.service.name, config_.slot + 13);
    start90_ = config_.clock90;
    nextPsi_ = nextSdt_ = start90_;
    nextEit_ = start90_ + 4500;
    videoQ_.pid = config_.service.videoPid;
    audioQ_.pid = config_.service.audioPid;
    captionQ_.pid = config_.service.captionPid;
    ok_ = video_.open();
    if (!ok_) {
        error_ = video_.error();
        return;
    }
    ok_ = audio_.open(config_.toneHz, config_.subToneHz);
    if (!ok_) error_ = audio_.error();
}

StationStream::~StationStream() = default;

int64_t StationStream::nextDeparture() const {
    return packetIndex_ * ts::kPacketSize * 8 * ts::kPcrHz / config_.bitrate;
}

bool StationStream::atUnitBoundary() const {
    return audioQ_.offset == 0 && captionQ_.offset == 0 && psiOffset_ == 0;
}

time_t StationStream::wallAt(int64_t t90) const {
    return config_.wallStart + static_cast<time_t>((t90 - start90_) / 90000);
}

void StationStream::produce(int64_t now90) {
    const ServiceInfo& s = config_.service;
    for (EsQueue* q : {&videoQ_, &audioQ_, &captionQ_}) bound(*q);
    while (start90_ + videoFrames_ * kFrame90 <= now90 + kFrame90) {
        const int64_t send = start90_ + videoFrames_ * kFrame90;
        std::vector<uint8_t> au =
            video_.encode(*card_, videoFrames_, static_cast<long long>(wallAt(send + kDelay90)));
        ++videoFrames_;
        if (!au.empty() && config_.editVideoUnit) config_.editVideoUnit(au);
        if (au.empty()) continue;
        std::vector<uint8_t> pes = ts::pesHeader(0xE0, au.size(), send + kDelay90, true);
        pes.insert(pes.end(), au.begin(), au.end());
        std::vector<uint8_t> packets;
        ts::packPes(packets, videoQ_.pid, videoQ_.cc, pes.data(), pes.size());
        videoQ_.units.push_back({send, std::move(packets)});
    }
    while (start90_ + audioFrames_ * kAudioFrame90 <= now90 + kFrame90) {
        const int64_t send = start90_ + audioFrames_ * kAudioFrame90;
        std::vector<uint8_t> frame = audio_.next();
        ++audioFrames_;
        if (!frame.empty() && config_.editAudioFrame) config_.editAudioFrame(frame);
        if (frame.empty()) continue;
        std::vector<uint8_t> pes = ts::pesHeader(0xC0, frame.size(), send + kDelay90, false);
        pes.insert(pes.end(), frame.begin(), frame.end());
        std::vector<uint8_t> packets;
        ts::packPes(packets, audioQ_.pid, audioQ_.cc, pes.data(), pes.size());
        audioQ_.units.push_back({send, std::move(packets)});
    }
    while (s.captions && start90_ + kDelay90 + captions_ * kCaption90 <= now90 + kFrame90) {
        const int64_t send = start90_ + kDelay90 + captions_ * kCaption90;
        const Programme p = programmeAt(config_.stationIndex, s.name, wallAt(send), 0);
        std::vector<uint8_t> packets;
        for (const std::vector<uint8_t>& data :
             {buildCaptionManagement(),
              buildCaptionStatement(captionLinesFor(p.title, captions_), 30)}) {
            std::vector<uint8_t> pes = ts::pesHeader(0xBD, data.size(), send + kDelay90, false);
            pes.insert(pes.end(), data.begin(), data.end());
            ts::packPes(packets, captionQ_.pid, captionQ_.cc, pes.data(), pes.size());
        }
        ++captions_;
        captionQ_.units.push_back({send, std::move(packets)});
    }
}

// A multiplex that cannot keep up (a rate set too low) drops the oldest unsent units rather
// than queueing without bound.
void StationStream::bound(EsQueue& q) {
    constexpr size_t kMaxUnits = 64;
    while (q.units.size() > kMaxUnits) {
        if (q.offset == 0)
            q.units.pop_front();
        else
            q.units.erase(q.units.begin() + 1);
    }
}

void StationStream::schedulePsi(int64_t now90) {
    const ServiceInfo& s = config_.service;
    if (now90 >= nextPsi_) {
        ts::packSection(psi_, 0x0000, patCc_, buildPat(s));
        ts::packSection(psi_, s.pmtPid, pmtCc_, buildPmt(s));
        nextPsi_ += 9000;
    }
    if (now90 >= nextSdt_) {
        ts::packSection(psi_, 0x0011, sdtCc_, buildSdt(s));
        ts::packSection(psi_, 0x0010, nitCc_, buildNit(s, 0));
        ts::packSection(psi_, 0x0014, totCc_, buildTot(wallAt(now90)));
        nextSdt_ += 90000;
    }
    if (now90 >= nextEit_) {
        const time_t wall = wallAt(now90);
        const Programme present = programmeAt(config_.stationIndex, s.name, wall, 0);
        if (eitVersion_ < 0) {
            eitVersion_ = config_.firstEitVersion & 0x1F;
            lastEvent_ = present.eventId;
        } else if (present.eventId != lastEvent_) {
            eitVersion_ = (eitVersion_ + 1) & 0x1F;
            lastEvent_ = present.eventId;
        }
        for (int section = 0; section < 3; ++section) {
            const Programme p =
                section == 0 ? present : programmeAt(config_.stationIndex, s.name, wall, section);
            ts::packSection(psi_, 0x0027, eitCc_,
                            buildEit(s, section, 2, static_cast<uint8_t>(eitVersion_), p));
        }
        nextEit_ += 90000;
    }
}

bool StationStream::popPacket(EsQueue& q, uint8_t* out) {
    if (q.units.empty()) return false;
    auto& front = q.units.front().second;
    std::memcpy(out, front.data() + q.offset, ts::kPacketSize);
    q.sentCc = out[3] & 0x0F;
    q.offset += ts::kPacketSize;
    if (q.offset >= front.size()) {
        q.units.pop_front();
        q.offset = 0;
    }
    return true;
}

void StationStream::next(uint8_t* out, int64_t* departure) {
    const int64_t now27 = nextDeparture();
    if (departure) *departure = now27;
    ++packetIndex_;
    if (!ok_) {
        ts::nullPacket(out);
        return;
    }
    const int64_t now90 = start90_ + now27 / 300;
    produce(now90);
    schedulePsi(now90);

    if (now27 >= nextPcr_) {
        // A PCR on an elementary stream's PID (as broadcasts often carry it on the video PID)
        // repeats that PID's last counter: a packet without payload does not count.
        uint8_t cc = pcrCc_;
        for (const EsQueue* q : {&videoQ_, &audioQ_, &captionQ_})
            if (q->pid == config_.service.pcrPid) cc = q->sentCc;
        ts::pcrPacket(out, config_.service.pcrPid, cc, start90_ * 300 + now27);
        nextPcr_ += kPcrEvery27;
        return;
    }
    if (psiOffset_ < psi_.size()) {
        std::memcpy(out, psi_.data() + psiOffset_, ts::kPacketSize);
        psiOffset_ += ts::kPacketSize;
        if (psiOffset_ >= psi_.size()) {
            psi_.clear();
            psiOffset_ = 0;
        }
        return;
    }
    // The elementary stream whose due unit is oldest goes first.
    EsQueue* best = nullptr;
    for (EsQueue* q : {&videoQ_, &audioQ_, &captionQ_}) {
        if (q->units.empty() || q->units.front().first > now90) continue;
        if (!best || q->units.front().first < best->units.front().first) best = q;
    }
    if (best && popPacket(*best, out)) return;
    ts::nullPacket(out);
}

} // namespace veltra
