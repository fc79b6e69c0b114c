#pragma once
// The data pump's framing: cuts H.264 into access units (delimiter to delimiter) and AAC into
// ADTS frames, captures the decoder configuration of both once per channel, announces it and
// sends one fixed-size record per frame through the renderer link. Each framer keeps the
// bytes it could not finish (the carry) and scans on across the next unit.
//
// Data pump thread only, apart from stats(), which any thread may read.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "link/RendererLinkProtocol.h"

namespace kobal {

namespace records {
// Delivery state of the data pump: low nibble 5 = audio config captured, high nibble 5 =
// video config captured, 0x55 both, 0xAA announced and streaming; 0xFF before any acquisition.
inline constexpr uint8_t kDeliveryInitial = 0xFF;
inline constexpr uint8_t kDeliveryAudioCaptured = 0x05;
inline constexpr uint8_t kDeliveryVideoCaptured = 0x50;
inline constexpr uint8_t kDeliveryBoth = 0x55;
inline constexpr uint8_t kDeliveryStreaming = 0xAA;
} // namespace records

class PlayerLinkEnd;

inline constexpr size_t kCarryMax = 131072;
inline constexpr uint64_t kVideoTimestampStep = 1000000;
inline constexpr uint64_t kAudioTimestampStep = 500000;

struct FramerStats {
    uint64_t videoSent = 0, videoBytes = 0; // 0x103 records placed in the link
    uint64_t audioSent = 0, audioBytes = 0; // 0x104 records placed in the link
    uint64_t videoCut = 0;                  // access units cut (sent or not)
    uint64_t audioCut = 0;                  // ADTS frames cut (sent or not)
    uint64_t videoOversize = 0;             // access units too long for a record (dropped)
    uint64_t sendFailures = 0;              // sends attempted while streaming that failed
    uint64_t announcements = 0;
    int64_t firstVideoTimestamp = -1, firstAudioTimestamp = -1; // of the first sent records
};

class EsFramer {
public:
    // Steps of announcing that belong to the session (mark the channel receivable, store the
    // last channel, flag the stream established); called on the data pump after both config
    // blocks were sent, with no lock held.
    using AnnouncedFn = std::function<void()>;

    EsFramer(PlayerLinkEnd& link, std::atomic<uint8_t>& deliveryState);

    void setOnAnnounced(AnnouncedFn fn) { onAnnounced_ = std::move(fn); }

    // record's type and timestamp are set by the caller; the framer advances the timestamp by
    // one step per access unit / frame cut.
    void frameVideo(const uint8_t* unit, size_t length, records::VideoFrameRecord& record);
    void frameAudio(const uint8_t* unit, size_t length, records::AudioFrameRecord& record);

    // Back to where a new framer starts (no carries, counters at zero), keeping the buffers.
    void reset();

    FramerStats stats() const;
    size_t videoCarry() const { return videoCarryLength_; }
    size_t audioCarry() const { return audioCarryLength_; }

private:
    void announceIfReady();
    void deliver(const void* record, size_t size, bool video, uint32_t payload, uint64_t ts);

    PlayerLinkEnd& link_;
    std::atomic<uint8_t>& state_;
    AnnouncedFn onAnnounced_;

    // Carries survive channel changes, as the stream bytes they hold do.
    std::vector<uint8_t> videoCarry_, audioCarry_, work_;
    size_t videoCarryLength_ = 0, audioCarryLength_ = 0;

    std::atomic<uint64_t> videoSent_{0}, videoBytes_{0}, audioSent_{0}, audioBytes_{0};
    std::atomic<uint64_t> videoCut_{0}, audioCut_{0}, videoOversize_{0}, sendFailures_{0};
    std::atomic<uint64_t> announcements_{0};
    std::atomic<int64_t> firstVideoTs_{-1}, firstAudioTs_{-1};
};

} // namespace kobal
