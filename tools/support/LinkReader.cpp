#include "tools/support/LinkReader.h"

#include <algorithm>
#include <cstring>

#include "engine/SharedMemoryLink.h"
#include "link/RendererLinkProtocol.h"
#include "platform/NamedObjects.h"

namespace kobal {

using namespace records;

namespace {
constexpr size_t kMaxSizes = 200000;
}

LinkReader::LinkReader(size_t keepRecords, int partyId)
    : keep_(keepRecords), partyId_(partyId), buffer_(kRendererLinkDataSize) {}

LinkReader::~LinkReader() {
    stop();
}

bool LinkReader::open() {
    frameEvent_ = NamedEvent::openOrCreate(kFrameEventName);
    stopEvent_ = NamedEvent::openOrCreate(kStopEventName);
    link_ = SharedMemoryLink::open(kRendererLinkName, kRendererLinkDataSize, false, partyId_);
    return frameEvent_ && stopEvent_ && link_;
}

void LinkReader::start() {
    if (running_ || !link_) return;
    running_ = true;
    thread_ = std::thread(&LinkReader::run, this);
}

void LinkReader::stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    if (link_) {
        link_->destroy();
        link_.reset();
    }
    frameEvent_.reset();
    stopEvent_.reset();
}

void LinkReader::run() {
    while (running_) {
        if (frameEvent_ && frameEvent_->tryTake()) ++frameEvents_;
        if (stopEvent_ && stopEvent_->tryTake()) stopSeen_ = true;
        if (!link_->connected() && !link_->connect()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const long n = link_->receive(buffer_.data(), buffer_.size(), 50);
        // The player pulses the stop event before it closes its side, and closing wakes the
        // reader once more without a new message: what comes after the pulse is no record.
        if (stopEvent_ && stopEvent_->tryTake()) stopSeen_ = true;
        if (n > 0 && !stopSeen_)
            take(buffer_.data(), size_t(n));
        else if (n < 0) {
            // The player left (or closed its side): reconnect when it comes back.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            link_->destroy();
            link_ =
                SharedMemoryLink::open(kRendererLinkName, kRendererLinkDataSize, false, partyId_);
        }
    }
}

void LinkReader::take(const uint8_t* data, size_t length) {
    if (length < 8) return;
    ReceivedRecord r;
    std::memcpy(&r.type, data, 4);
    std::memcpy(&r.length, data + 4, 4);
    r.at = std::chrono::steady_clock::now();
    size_t offset = 8, maxPayload = 0;
    if (r.type == kVideoConfig || r.type == kAudioConfig) {
        maxPayload = kConfigPayloadMax;
    } else if (r.type == kVideoFrame || r.type == kAudioFrame) {
        FrameHeader h;
        if (length >= sizeof h) {
            std::memcpy(&h, data, sizeof h);
            r.timestamp = h.timestamp();
        }
        offset = sizeof(FrameHeader);
        maxPayload = r.type == kVideoFrame ? kVideoPayloadMax : kAudioPayloadMax;
    }
    const size_t n = std::min<size_t>(
        {size_t(r.length), maxPayload, length > offset ? length - offset : size_t(0)});
    r.payload.assign(data + offset, data + offset + n);

    std::lock_guard<std::mutex> guard(mutex_);
    LinkSummary& s = summary_;
    const bool anyFrame = s.videoRecords + s.audioRecords > 0;
    const bool anyConfig = s.videoConfigCount + s.audioConfigCount > 0;
    switch (r.type) {
    case kVideoConfig:
        if (s.videoConfigCount++ == 0) s.videoConfig = r.payload;
        if (!anyFrame && !anyConfig) s.configBeforeFrames = true;
        break;
    case kAudioConfig:
        if (s.audioConfigCount++ == 0) s.audioConfig = r.payload;
        if (!anyFrame && !anyConfig) s.configBeforeFrames = true;
        break;
    case kVideoFrame:
        if (!anyConfig) s.frameBeforeConfig = true;
        if (s.videoRecords++ == 0) {
            s.firstVideoTimestamp = int64_t(r.timestamp);
            s.firstVideoAt = r.at;
        }
        s.videoBytes += r.length;
        s.lastVideoTimestamp = int64_t(r.timestamp);
        if (s.videoSizes.size() < kMaxSizes) s.videoSizes.push_back(r.length);
        break;
    case kAudioFrame:
        if (!anyConfig) s.frameBeforeConfig = true;
        if (s.audioRecords++ == 0) s.firstAudioTimestamp = int64_t(r.timestamp);
        s.audioBytes += r.length;
        if (s.audioSizes.size() < kMaxSizes) s.audioSizes.push_back(r.length);
        break;
    default:
        ++s.otherRecords;
        break;
    }
    if (kept_.size() < keep_) kept_.push_back(std::move(r));
}

LinkSummary LinkReader::summary() {
    std::lock_guard<std::mutex> guard(mutex_);
    return summary_;
}

std::vector<ReceivedRecord> LinkReader::records() {
    std::lock_guard<std::mutex> guard(mutex_);
    return kept_;
}

void LinkReader::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    summary_ = LinkSummary{};
    kept_.clear();
    stopSeen_ = false;
}

bool LinkReader::waitFor(uint32_t type, uint64_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            uint64_t have = 0;
            if (type == kVideoFrame)
                have = summary_.videoRecords;
            else if (type == kAudioFrame)
                have = summary_.audioRecords;
            else if (type == kVideoConfig)
                have = uint64_t(summary_.videoConfigCount);
            else if (type == kAudioConfig)
                have = uint64_t(summary_.audioConfigCount);
            if (have >= count) return true;
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace kobal
