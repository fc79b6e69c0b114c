#pragma once
// One simulated one-segment station as a transport stream: H.264 video, AAC audio, captions,
// PAT/PMT/SDT/EIT/NIT/TOT and PCR, multiplexed at a constant 416 kbit/s (null packets fill the
// gaps, as on the air). Packets come out one by one with the time at which they leave the
// transmitter, so a live tuner can pace them and a file writer can run as fast as it can.
#include "tuner/AvEncoders.h"
#include "tuner/SiTables.h"
#include "tuner/StationCard.h"

#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace veltra {

struct StationConfig {
    int area = 7;
    int slot = 14;
    int stationIndex = 0;     // position of the station in its area's preset list
    ServiceInfo service;      // PIDs, ids, names, captions and dual-mono flags
    double toneHz = 440;      // main audio tone
    double subToneHz = 0;     // dual mono: the sub programme's tone
    time_t wallStart = 0;     // local wall-clock time of the first packet
    int bitrate = 416000;     // transport stream rate, bit/s
    int64_t clock90 = 900000; // PTS clock (90 kHz; PCR / 300) at the first packet
    int firstEitVersion = 0;  // version_number of the first EIT sections (0..31)
    // Tools that write damaged streams may change each access unit (Annex B, from its
    // delimiter) or ADTS frame before it is packed; empty: unchanged.
    std::function<void(std::vector<uint8_t>&)> editVideoUnit, editAudioFrame;
};

// The preset station of area/slot with its defaults (dual mono for the second station of each
// area). False when the area has no station on that slot.
bool stationConfigFor(int area, int slot, time_t wallStart, StationConfig* out);

class StationStream {
public:
    explicit StationStream(const StationConfig& config);
    ~StationStream();

    // False when an encoder could not be opened (error() says why); next() then gives nulls.
    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }
    const StationConfig& config() const { return config_; }

    // The next packet and the 27 MHz stream time (from 0) at which it is sent.
    void next(uint8_t* packet, int64_t* departure);
    // Stream time of the packet next() gives next.
    int64_t nextDeparture() const;
    // version_number of the EIT sections sent last.
    int eitVersion() const { return eitVersion_ < 0 ? config_.firstEitVersion : eitVersion_; }
    // True when no audio, caption or table unit is half sent, so a file may end here without
    // a cut-off frame.
    bool atUnitBoundary() const;

private:
    struct EsQueue {
        uint16_t pid = 0;
        uint8_t cc = 0;        // counter of the next packet packed
        uint8_t sentCc = 0x0F; // counter of the last packet sent
        std::deque<std::pair<int64_t, std::vector<uint8_t>>> units; // (send time, packets)
        size_t offset = 0; // bytes of the front unit already sent
    };
    void produce(int64_t now90);
    void schedulePsi(int64_t now90);
    time_t wallAt(int64_t t90) const;
    static bool popPacket(EsQueue& q, uint8_t* out);
    static void bound(EsQueue& q);

    StationConfig config_;
    bool ok_ = false;
    std::string error_;
    std::unique_ptr<TestCard> card_;
    VideoEncoder video_;
    AudioEncoder audio_;

    int64_t packetIndex_ = 0;
    int64_t start90_ = 0; // PTS clock at stream time 0
    int64_t videoFrames_ = 0, audioFrames_ = 0, captions_ = 0;
    int64_t nextPsi_ = 0, nextSdt_ = 0, nextEit_ = 0, nextPcr_ = 0;
    uint8_t patCc_ = 0, pmtCc_ = 0, sdtCc_ = 0, eitCc_ = 0, pcrCc_ = 0, nitCc_ = 0, totCc_ = 0;
    std::vector<uint8_t> psi_; // queued section packets
    size_t psiOffset_ = 0;
    EsQueue videoQ_, audioQ_, captionQ_;
    int eitVersion_ = -1; // -1 before the first EIT
    uint16_t lastEvent_ = 0;
};

} // namespace veltra
