#include "engine/EsFramer.h"

#include <cstring>
#include <mutex>

#include "engine/PlayerLinkEnd.h"
#include "engine/TsDemux.h"

namespace kobal {

using namespace records;

namespace {
// ADTS with CRC: the header is nine bytes; no frame can be shorter.
constexpr size_t kAdtsHeaderWithCrc = 9;
} // namespace

EsFramer::EsFramer(PlayerLinkEnd& link, std::atomic<uint8_t>& deliveryState)
    : link_(link), state_(deliveryState), videoCarry_(kCarryMax), audioCarry_(kCarryMax),
      work_(kCarryMax + kPesPayloadMax) {}

void EsFramer::announceIfReady() {
    if (state_.load() != kDeliveryBoth) return;
    bool sent;
    {
        std::lock_guard<FifoLock> guard(link_.lock());
        sent = link_.sendConfigBlocksLocked();
    }
    // The session's part reads and writes settings and reports to the window: never under
    // the link lock, which the UI thread takes too.
    if (sent) {
        ++announcements_;
        if (onAnnounced_) onAnnounced_();
    }
    state_ = kDeliveryStreaming;
}

void EsFramer::deliver(const void* record, size_t size, bool video, uint32_t payload, uint64_t ts) {
    const bool streaming = state_.load() == kDeliveryStreaming;
    const bool placed = link_.deliverFrame(record, size, streaming);
    if (!streaming) return;
    if (!placed) {
        ++sendFailures_;
        return;
    }
    if (video) {
        if (videoSent_++ == 0) firstVideoTs_ = int64_t(ts);
        videoBytes_ += payload;
    } else {
        if (audioSent_++ == 0) firstAudioTs_ = int64_t(ts);
        audioBytes_ += payload;
    }
}

void EsFramer::frameVideo(const uint8_t* unit, size_t length, VideoFrameRecord& record) {
    if (length > kPesPayloadMax) length = kPesPayloadMax;
    uint8_t* v = work_.data();
    std::memcpy(v, videoCarry_.data(), videoCarryLength_);
    std::memcpy(v + videoCarryLength_, unit, length);
    const size_t n = videoCarryLength_ + length;
    if (n <= 3) return;

    ConfigBlock& config = link_.videoConfig;
    size_t a = 0;
    bool capturing = false;
    size_t captured = 0;
    for (size_t pos = 0; pos < n - 3; ++pos) {
        if (v[pos] == 0 && v[pos + 1] == 0 && v[pos + 2] == 1) {
            const int t = v[pos + 3] & 0x1F;
            if (t == 9 && a > 0) {
                ++videoCut_;
                const uint64_t ts = record.header.timestamp();
                if (a <= kVideoPayloadMax) {
                    std::memcpy(record.payload, v + pos - a, a);
                    record.header.length = uint32_t(a);
                    deliver(&record, sizeof record, true, uint32_t(a), ts);
                } else {
                    ++videoOversize_; // cannot be carried by a record: dropped
                }
                record.header.setTimestamp(ts + kVideoTimestampStep);
                a = 0;
            }
            if ((state_.load() & 0xF0) == 0) {
                if (t == 7) {
                    capturing = true;
                    captured = 0;
                } else if (capturing && t != 8) {
                    capturing = false;
                    config.type = kVideoConfig;
                    config.length = uint32_t(captured);
                    state_ = uint8_t(state_.load() | kDeliveryVideoCaptured);
                }
            }
            announceIfReady();
        }
        if (capturing) {
            if (captured < kConfigPayloadMax) {
                config.bytes[captured++] = v[pos];
            } else {
                // Parameter sets that do not fit the block: give up and wait for the next SPS.
                capturing = false;
                captured = 0;
            }
        }
        ++a;
    }
    // Keep the unfinished access unit (from its delimiter's start code) for the next unit.
    const size_t tail = a + 3;
    if (tail <= kCarryMax) {
        std::memmove(videoCarry_.data(), v + n - tail, tail);
        videoCarryLength_ = tail;
    }
}

void EsFramer::frameAudio(const uint8_t* unit, size_t length, AudioFrameRecord& record) {
    if (length > kPesPayloadMax) length = kPesPayloadMax;
    uint8_t* v = work_.data();
    std::memcpy(v, audioCarry_.data(), audioCarryLength_);
    std::memcpy(v + audioCarryLength_, unit, length);
    const size_t n = audioCarryLength_ + length;
    if (n <= 6) return;

    ConfigBlock& config = link_.audioConfig;
    bool capturing = false;
    size_t captured = 0;
    size_t b = 0;
    for (; b < n - 6; ++b) {
        if (v[b] == 0xFF && v[b + 1] == 0xF8 && (v[b + 2] & 0xC0) == 0x40) {
            if ((v[b + 2] & 0xFE) == (config.bytes[2] & 0xFE) &&
                (v[b + 3] & 0x3F) == (config.bytes[3] & 0x3F) &&
                state_.load() == kDeliveryStreaming) {
                const size_t l = size_t(v[b + 3] & 3) << 11 | size_t(v[b + 4]) << 3 | v[b + 5] >> 5;
                // A frame shorter than its own header would not move the scan on: not a frame.
                if (l >= kAdtsHeaderWithCrc) {
                    if (n - b < l) break; // finishes in the next unit
                    ++audioCut_;
                    const uint64_t ts = record.header.timestamp();
                    std::memcpy(record.payload, v + b, l); // l < 8192 always fits
                    record.header.length = uint32_t(l);
                    b += l - 1;
                    deliver(&record, sizeof record, false, uint32_t(l), ts);
                    record.header.setTimestamp(ts + kAudioTimestampStep);
                }
            }
            if ((state_.load() & 0x0F) == 0 && !capturing) {
                capturing = true;
                captured = 0;
            }
        }
        if (capturing) {
            config.bytes[captured++] = v[b];
            if (captured == 7) {
                capturing = false;
                config.type = kAudioConfig;
                config.length = 7;
                state_ = uint8_t(state_.load() | kDeliveryAudioCaptured);
            }
        }
        announceIfReady();
    }
    const size_t tail = n - b;
    if (tail <= kCarryMax) {
        std::memmove(audioCarry_.data(), v + b, tail);
        audioCarryLength_ = tail;
    }
}

void EsFramer::reset() {
    videoCarryLength_ = audioCarryLength_ = 0;
    videoSent_ = videoBytes_ = audioSent_ = audioBytes_ = 0;
    videoCut_ = audioCut_ = videoOversize_ = sendFailures_ = announcements_ = 0;
    firstVideoTs_ = firstAudioTs_ = -1;
}

FramerStats EsFramer::stats() const {
    FramerStats s;
    s.videoSent = videoSent_;
    s.videoBytes = videoBytes_;
    s.audioSent = audioSent_;
    s.audioBytes = audioBytes_;
    s.videoCut = videoCut_;
    s.audioCut = audioCut_;
    s.videoOversize = videoOversize_;
    s.sendFailures = sendFailures_;
    s.announcements = announcements_;
    s.firstVideoTimestamp = firstVideoTs_;
    s.firstAudioTimestamp = firstAudioTs_;
    return s;
}

} // namespace kobal
