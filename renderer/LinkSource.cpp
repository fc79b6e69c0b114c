#include "LinkSource.h"

#include "AudioDecoder.h"
#include "VideoDecoder.h"
#include "link/RendererLinkProtocol.h"
#include "platform/ByteReader.h"
#include "platform/ConfigIni.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Utf.h"

#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace kobal::render {

using namespace records;

namespace {
constexpr int64_t kVideoFrameUs = 66'667; // 15 pictures a second until the stream shows its own

// Where parameter sets go in an access unit: after its leading delimiter NAL unit, as an
// access unit must start with the delimiter; 0 when it has none.
size_t afterLeadingDelimiter(const uint8_t* d, size_t n) {
    size_t i = 0;
    while (i < n && d[i] == 0) ++i;
    if (i < 2 || i + 1 >= n || d[i] != 1 || (d[i + 1] & 0x1F) != 9) return 0;
    for (size_t k = i + 2; k + 2 < n; ++k) {
        if (d[k] == 0 && d[k + 1] == 0 && d[k + 2] == 1)
            return k > i + 2 && d[k - 1] == 0 ? k - 1 : k;
    }
    return n;
}
} // namespace

LinkSource::LinkSource(RendererHost* host, PacketQueue& queue, Callbacks callbacks)
    : host_(host), queue_(queue), cb_(std::move(callbacks)) {}

LinkSource::~LinkSource() {
    shutdown();
}

HRESULT LinkSource::open(const std::string& name) {
    name_ = name;
    frameEvent_ = NamedEvent::openOrCreate(kFrameEventName);
    stopEvent_ = NamedEvent::openOrCreate(kStopEventName);
    if (!frameEvent_ || !stopEvent_) return E_FAIL;
    // A pulse left over from the previous source must not stop this one.
    while (stopEvent_->tryTake()) {
    }
    link_ = std::make_unique<RendererLinkEnd>(kRendererLinkName, kRendererLinkDataSize,
                                              kRendererPartyId);
    if (!link_->open()) return E_FAIL;
    const long pid = long(getpid());
    const std::vector<uint8_t> data = startPayload(uint32_t(pid), utf8ToUtf16(name));
    long answer = host_ ? host_->copyData(kCopyDataStart, pid, data) : 0;
    if (answer == 0) {
        link_->destroy();
        return VFW_E_NOT_CONNECTED;
    }
    accepted_ = true;
    quit_ = false;
    reader_ = std::thread([this] { readerLoop(); });
    return S_OK;
}

void LinkSource::readerLoop() {
    pthread_setname_np(pthread_self(), "kobal-link");
    const long pid = long(getpid());
    // The tuner session opens its end while it handles copy-data 2; wait for it.
    while (!quit_ && !link_->connect()) {
        if (stopEvent_->wait(20)) {
            if (!stoppedSent_.exchange(true) && host_) host_->copyData(kCopyDataStopped, pid, {});
            return;
        }
    }
    if (quit_) return;
    connected_ = true;
    if (host_) host_->copyData(kCopyDataReady, pid, {});
    std::vector<uint8_t> msg;
    // Both events are named (the player signals them from its side), and a wait set would look
    // at such handles by polling every few milliseconds. The thread sleeps in the kernel on the
    // sender's event instead, one wake-up per record; the stop event is looked at after each
    // wake-up (records or not, at least every 100 ms; shutdown() sets it to end the wait).
    while (!quit_) {
        if (link_->peerEvent()->wait(100) && !quit_ && link_->take(msg)) {
            frameEvent_->tryTake(); // set with every record; nothing to do with it here
            handleRecord(msg.data(), msg.size());
        }
        if (stopEvent_->tryTake()) break;
    }
    stopRecording();
    // Stopped by the player's stop event: say so. When the graph stops us, shutdown() does.
    if (!quit_ && !stoppedSent_.exchange(true) && host_) host_->copyData(kCopyDataStopped, pid, {});
}

void LinkSource::handleRecord(const uint8_t* d, size_t n) {
    ByteReader head(d, n);
    const uint32_t type = head.u32le();
    const uint32_t length = head.u32le();
    if (!head.ok()) return;
    ++records_;
    const size_t size = recordSize(type);
    if (size == 0 || size > n) {
        ++dropped_;
        if (type == kVideoFrame) videoGap_ = true;
        return;
    }
    // Reads stay inside the record, whatever its length word says.
    ByteReader r(d, size);
    r.skip(8);
    switch (type) {
    case kVideoConfig: {
        const auto bytes = r.bytes(length);
        if (length == 0 || length > kConfigPayloadMax || !r.ok()) {
            ++dropped_;
            return;
        }
        videoConfig_.assign(bytes.begin(), bytes.end());
        return;
    }
    case kAudioConfig: {
        if (length < 7 || length > kConfigPayloadMax) {
            ++dropped_;
            return;
        }
        const auto bytes = r.bytes(7);
        audioConfig_.assign(bytes.begin(), bytes.end());
        AdtsInfo info;
        if (parseAdts(audioConfig_.data(), audioConfig_.size(), info) && info.sampleRate > 0)
            audioFrameUs_ = 1024ll * 1'000'000 / info.sampleRate;
        return;
    }
    case kVideoFrame:
    case kAudioFrame: {
        const bool video = type == kVideoFrame;
        const size_t max = video ? kVideoPayloadMax : kAudioPayloadMax;
        r.skip(8); // words 2 and 3
        const uint64_t low = r.u32le();
        const uint64_t timestamp = low | uint64_t(r.u32le()) << 32;
        r.skip(16); // words 6-9
        if (length == 0 || length > max) {
            ++dropped_; // longer than its record: the sender lost it already
            if (video) {
                // Its time still tells the timeline the spacing of the pictures around it.
                timeline_.map(StreamTimeline::Video, timestamp, kVideoFrameUs);
                videoGap_ = true;
            }
            return;
        }
        const uint8_t* payload = r.bytes(length).data();
        MediaPacket p;
        p.kind = video ? MediaPacket::Video : MediaPacket::Audio;
        p.arrivalMs = steadyMs();
        p.ptsUs = timeline_.map(video ? StreamTimeline::Video : StreamTimeline::Audio, timestamp,
                                video ? kVideoFrameUs : audioFrameUs_);
        if (video) {
            // The record carries the time of the access unit after it: step back by one.
            const int64_t step = timeline_.frameStepUs(StreamTimeline::Video);
            p.ptsUs -= step > 0 ? step : kVideoFrameUs;
            if (lastVideoUs_ != INT64_MIN && p.ptsUs <= lastVideoUs_) p.ptsUs = lastVideoUs_ + 1;
            lastVideoUs_ = p.ptsUs;
            p.afterGap = videoGap_;
            videoGap_ = false;
        }
        p.key = video && containsIdr(payload, length);
        if (p.key && !videoConfig_.empty() && !containsNal(payload, length, 7)) {
            // An IDR picture without parameter sets (the stream only announced them): give
            // the decoder and the recording the announced SPS and PPS, after the delimiter.
            const size_t at = afterLeadingDelimiter(payload, length);
            p.data.reserve(videoConfig_.size() + length);
            p.data.assign(payload, payload + at);
            p.data.insert(p.data.end(), videoConfig_.begin(), videoConfig_.end());
            p.data.insert(p.data.end(), payload + at, payload + length);
        } else {
            p.data.assign(payload, payload + length);
        }
        bool failedNow = false;
        {
            std::lock_guard<std::mutex> lk(recLock_);
            if (recorder_.active()) {
                recorder_.write(p);
                failedNow = !recorder_.active() && recorder_.failed();
            }
        }
        if (failedNow && cb_.recordingFailed) cb_.recordingFailed();
        if (video) ++videoQueued_;
        queue_.push(std::move(p));
        return;
    }
    case kRecordingCommand: {
        const uint32_t action = r.u32le();
        if (action == kRecordStart)
            startRecording();
        else if (action == kRecordStop)
            stopRecording();
        return;
    }
    case kAudioChannelCommand: {
        const uint32_t action = r.u32le();
        if ((action == kAudioMain || action == kAudioSub) && cb_.audioChannel)
            cb_.audioChannel(int(action));
        return;
    }
    default:
        return; // scan notice: nothing beyond taking it
    }
}

void LinkSource::startRecording() {
    const std::string path = config::read(config::kRecordFileName, "", 260);
    std::lock_guard<std::mutex> lk(recLock_);
    // A start while recording begins the new file; the old one is closed complete.
    recorder_.start(path, videoConfig_, audioConfig_);
}

void LinkSource::stopRecording() {
    std::lock_guard<std::mutex> lk(recLock_);
    recorder_.stop();
}

bool LinkSource::recording() const {
    std::lock_guard<std::mutex> lk(recLock_);
    return recorder_.active();
}

void LinkSource::shutdown() {
    quit_ = true;
    // Ends the reader's wait at once; the event goes with us below.
    if (reader_.joinable() && stopEvent_) stopEvent_->set();
    if (reader_.joinable()) reader_.join();
    stopRecording();
    if (accepted_ && !stoppedSent_.exchange(true) && host_)
        host_->copyData(kCopyDataStopped, long(getpid()), {});
    if (link_) link_->destroy();
    link_.reset();
    // The events are ours (the player only opens them, at each start): their names go with us.
    if (frameEvent_) NamedEvent::unlink(frameEvent_->name());
    if (stopEvent_) NamedEvent::unlink(stopEvent_->name());
    frameEvent_.reset();
    stopEvent_.reset();
}

} // namespace kobal::render
