#include "Presenter.h"

#include "VideoWindow.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>
#include <pthread.h>

namespace kobal::render {

namespace {
constexpr int64_t kJumpUs = 3'000'000;      // farther than this from the clock: a jump
constexpr int64_t kLiveLatencyUs = 150'000; // live: how far the clock trails reception
constexpr int64_t kAudioLeadUs = 120'000;   // sound is written this far ahead of the clock
constexpr int64_t kAudioLateUs = 150'000;   // sound this late is dropped
constexpr int64_t kMaxBufferedUs = 500'000; // never more than this in the device
constexpr int64_t kAudioSlackUs = 80'000;   // clock/audio difference tolerated
constexpr int64_t kAudioLowUs = 40'000;     // sound is topped up once the device holds less
constexpr int64_t kIdleWaitUs = 100'000;    // longest sleep while running with nothing due
constexpr int kPausedWaitMs = 500;          // paused: every change of state nudges us anyway
constexpr size_t kLivePictureCap = 30;
constexpr size_t kFilePictureCap = 6;
} // namespace

Presenter::Presenter(PacketQueue& queue, VideoWindow* window, bool live, Callbacks callbacks)
    : queue_(queue), window_(window), live_(live), cb_(std::move(callbacks)) {
    if (!live_) origin_ = 0; // file sources start their timeline at 0
}

Presenter::~Presenter() {
    stop();
}

void Presenter::start() {
    if (thread_.joinable()) return;
    quit_ = false;
    thread_ = std::thread([this] { run(); });
}

void Presenter::stop() {
    quit_ = true;
    queue_.interrupt();
    if (thread_.joinable()) thread_.join();
}

void Presenter::setRunning(bool running) {
    {
        std::lock_guard<std::mutex> lk(clockLock_);
        if (running && !clockRunning_) {
            clockSteady_ = steadyUs();
            clockRunning_ = true;
        } else if (!running && clockRunning_) {
            clockMedia_ += steadyUs() - clockSteady_;
            clockRunning_ = false;
        }
    }
    running_ = running;
    queue_.nudge();
}

int64_t Presenter::clockNow() const {
    std::lock_guard<std::mutex> lk(clockLock_);
    return clockRunning_ ? clockMedia_ + (steadyUs() - clockSteady_) : clockMedia_;
}

void Presenter::setClock(int64_t mediaUs) {
    std::lock_guard<std::mutex> lk(clockLock_);
    clockMedia_ = mediaUs;
    clockSteady_ = steadyUs();
}

int64_t Presenter::positionUs() const {
    const int64_t origin = origin_.load();
    if (origin == INT64_MIN) return 0;
    return std::max<int64_t>(0, clockNow() - origin);
}

QSize Presenter::videoSize() const {
    std::lock_guard<std::mutex> lk(sizeLock_);
    return videoSize_;
}

int64_t Presenter::longestPictureGapMs() const {
    // The wait still going on counts too.
    const int64_t last = lastShownMs_.load();
    return std::max(longestGapMs_.load(), last ? steadyMs() - last : 0);
}

Presenter::VideoCounts Presenter::videoCounts() const {
    VideoCounts c;
    c.units = videoUnits_;
    c.dropped = videoDropped_;
    c.decoded = videoDecoded_;
    c.concealed = videoConcealed_;
    c.renumbered = videoRenumbered_;
    return c;
}

void Presenter::flush(int64_t targetUs, const std::function<void()>& moveSource) {
    std::lock_guard<std::mutex> lk(work_);
    if (moveSource) moveSource();
    if (video_) video_->flush();
    if (audioDec_) audioDec_->flush();
    pictures_.clear();
    pendingAudio_.clear();
    pendingAudioUs_ = 0;
    if (audio_) audio_->reset();
    audioEndUs_ = INT64_MIN;
    eosSeen_ = eosPosted_ = false;
    anchored_ = false;
    showNext_ = true;
    seekVideoUs_ = seekAudioUs_ = targetUs;
    setClock(targetUs);
    queue_.nudge();
}

void Presenter::run() {
    pthread_setname_np(pthread_self(), "kobal-present");
    audio_ = AudioOutput::create();
    video_ = std::make_unique<VideoDecoder>();
    audioDec_ = std::make_unique<AudioDecoder>();
    bool suspended = false;
    while (!quit_) {
        // Read before the state is looked at: a nudge after this wakes the wait below.
        const unsigned seen = queue_.nudges();
        std::unique_lock<std::mutex> lk(work_);
        const bool running = running_;
        if (running == suspended) {
            if (running)
                audio_->resume();
            else
                audio_->suspend();
            suspended = !running;
        }
        // A paused file graph still shows the picture a seek landed on; a paused live graph
        // leaves everything in the queue (time shift).
        const bool stillPicture = !running && !live_ && showNext_;
        if (!running) lastShownMs_ = 0; // a pause is no wait for a picture
        if (!running && !stillPicture) {
            lk.unlock();
            queue_.waitFor(seen, false, kPausedWaitMs);
            continue;
        }
        const int channel = requestedChannel_;
        if (channel != audioDec_->channel()) {
            audioDec_->setChannel(channel);
            // What was decoded for the other programme is not played.
            pendingAudio_.clear();
            pendingAudioUs_ = 0;
        }
        const size_t pictureCap = live_ ? kLivePictureCap : kFilePictureCap;
        const int64_t audioCap = live_ ? 2'000'000 : 700'000;
        int pulled = 0;
        while (pulled < 64 && pictures_.size() < pictureCap && pendingAudioUs_ < audioCap) {
            MediaPacket p;
            if (!queue_.pop(p, 0)) break;
            handle(p);
            ++pulled;
            if (stillPicture && !pictures_.empty()) break;
        }
        anchorIfNeeded();
        const int64_t now = clockNow();
        if (running) writeAudioDue(now);
        presentDue(clockNow());
        if (running && eosSeen_ && !eosPosted_ && pictures_.empty() && pendingAudio_.empty() &&
            audio_->bufferedUs() < 30'000) {
            eosPosted_ = true;
            if (cb_.endOfStream) cb_.endOfStream();
        }
        if (pulled >= 64) continue;
        // Sleep until a picture or sound is due. Arriving packets wake the thread only while no
        // picture waits: otherwise they are taken at the next picture's time, well before
        // they are due themselves (live, the clock trails reception by kLiveLatencyUs).
        const bool wantPackets = pictures_.empty() && pendingAudioUs_ < audioCap;
        const int64_t dueUs = untilDueUs(clockNow(), running);
        lk.unlock();
        queue_.waitFor(seen, wantPackets, int((dueUs + 999) / 1000));
    }
    audio_.reset();
}

int64_t Presenter::untilDueUs(int64_t now, bool running) const {
    int64_t due = kIdleWaitUs;
    if (!pictures_.empty()) due = showNext_ ? 0 : pictures_.front()->pts - now;
    if (running && !pendingAudio_.empty()) {
        // Sound goes out kAudioLeadUs ahead of the clock, and not while the device is full.
        const int64_t latency = audio_->latencyUs();
        int64_t writable = pendingAudio_.front().ptsUs - (now + kAudioLeadUs + latency);
        // While the device holds enough, wait until it runs low and then top it up with
        // everything that may go: one wake-up for several frames.
        if (audioEndUs_ != INT64_MIN)
            writable = std::max(writable, audioEndUs_ - kAudioLowUs - latency - now);
        writable = std::max(writable, audio_->bufferedUs() - (kMaxBufferedUs + latency));
        due = std::min(due, writable);
    }
    // The end of a file is posted once the device has played out.
    if (eosSeen_ && !eosPosted_) due = std::min<int64_t>(due, 10'000);
    return std::clamp<int64_t>(due, 1'000, kIdleWaitUs);
}

void Presenter::handle(MediaPacket& p) {
    if (!firstPacketMs_) firstPacketMs_ = p.arrivalMs ? p.arrivalMs : steadyMs();
    // The wait for a picture starts with the first packet (after a start or a pause).
    if (!lastShownMs_) lastShownMs_ = p.arrivalMs ? p.arrivalMs : steadyMs();
    if (p.kind == MediaPacket::EndOfStream) {
        eosSeen_ = true;
        return;
    }
    if (p.kind == MediaPacket::Video) {
        if (p.key && firstIdrMs_ == 0) firstIdrMs_ = p.arrivalMs ? p.arrivalMs : steadyMs();
        std::vector<FramePtr> frames;
        video_->decode(p.data.data(), p.data.size(), p.ptsUs, p.key, frames, p.afterGap);
        ++videoUnits_;
        videoDropped_ = video_->droppedUnits();
        videoDecoded_ = video_->decodedPictures();
        videoConcealed_ = video_->concealedPictures();
        videoRenumbered_ = video_->renumberedGroups();
        for (auto& f : frames) {
            // A seek lands before the target, on an IDR picture: what leads up to the target
            // is decoded but not shown.
            if (f->pts < seekVideoUs_) continue;
            seekVideoUs_ = INT64_MIN;
            const QSize size(f->width, f->height);
            bool changed = false;
            {
                std::lock_guard<std::mutex> lk(sizeLock_);
                changed = size != videoSize_;
                videoSize_ = size;
            }
            if (changed && cb_.videoSize) cb_.videoSize(size);
            pictures_.push_back(std::move(f));
            if (pictures_.size() > kLivePictureCap) {
                pictures_.pop_front(); // decoding outran presenting: lose the oldest
                ++skipped_;
            }
        }
        return;
    }
    std::vector<int16_t> samples;
    const int frames = audioDec_->decode(p.data.data(), p.data.size(), samples);
    const int mode = audioDec_->audioMode();
    if (frames > 0 && mode != audioMode_.exchange(mode) && cb_.audioMode) cb_.audioMode(mode);
    if (frames <= 0) return;
    if (p.ptsUs < seekAudioUs_) return;
    seekAudioUs_ = INT64_MIN;
    pendingAudioUs_ += int64_t(frames) * 1'000'000 / kOutputRate;
    pendingAudio_.push_back({p.ptsUs, std::move(samples)});
}

void Presenter::anchorIfNeeded() {
    if (anchored_ || (pictures_.empty() && pendingAudio_.empty())) return;
    int64_t first = INT64_MAX;
    if (!pictures_.empty()) first = pictures_.front()->pts;
    if (!pendingAudio_.empty()) first = std::min(first, pendingAudio_.front().ptsUs);
    if (origin_.load() == INT64_MIN) origin_ = first;
    setClock(live_ ? first - kLiveLatencyUs : first);
    anchored_ = true;
    showNext_ = true;
}

void Presenter::writeAudioDue(int64_t now) {
    const double gain = gainForVolume(volume_);
    while (!pendingAudio_.empty()) {
        PendingAudio& a = pendingAudio_.front();
        if (a.ptsUs > now + kJumpUs || a.ptsUs < now - kJumpUs) {
            setClock(a.ptsUs);
            now = a.ptsUs;
            showNext_ = true;
        }
        const int frames = int(a.samples.size() / kOutputChannels);
        const int64_t dur = int64_t(frames) * 1'000'000 / kOutputRate;
        if (a.ptsUs + dur < now - kAudioLateUs) {
            pendingAudioUs_ -= dur;
            pendingAudio_.pop_front();
            continue;
        }
        const int64_t latency = audio_->latencyUs();
        if (a.ptsUs > now + kAudioLeadUs + latency ||
            audio_->bufferedUs() > kMaxBufferedUs + latency)
            break;
        if (gain != 1.0) {
            for (int16_t& s : a.samples) s = int16_t(std::lround(s * gain));
        }
        audio_->write(a.samples.data(), frames);
        audioEndUs_ = a.ptsUs + dur;
        pendingAudioUs_ -= dur;
        pendingAudio_.pop_front();
    }
    // Follow the device: the sample being heard is the true time. Only while it still plays
    // our sound, so a gap in the broadcast's audio never holds the clock back.
    if (!audio_->isNull() && audioEndUs_ != INT64_MIN) {
        const int64_t buffered = audio_->bufferedUs();
        if (buffered > 0) {
            const int64_t heard = audioEndUs_ - buffered;
            if (std::llabs(heard - now) > kAudioSlackUs) setClock(heard);
        }
    }
}

void Presenter::presentDue(int64_t now) {
    if (pictures_.empty()) return;
    const int64_t front = pictures_.front()->pts;
    if (front > now + kJumpUs || front < now - kJumpUs) {
        setClock(front);
        now = front;
        showNext_ = true;
    }
    if (!showNext_) {
        if (front > now) return;
        while (pictures_.size() > 1 && pictures_[1]->pts <= now) {
            pictures_.pop_front();
            ++skipped_;
        }
    }
    showNext_ = false;
    FramePtr f = std::move(pictures_.front());
    pictures_.pop_front();
    QImage img = scaler_.scale(f.get(), window_ ? window_->targetSize().width() : 0,
                               window_ ? window_->targetSize().height() : 0);
    if (!img.isNull() && window_) window_->present(std::move(img));
    lastShownUs_ = f->pts;
    const int64_t nowMs = steadyMs();
    if (lastShownMs_) longestGapMs_ = std::max(longestGapMs_.load(), nowMs - lastShownMs_.load());
    lastShownMs_ = nowMs;
    if (shown_++ == 0 && firstIdrMs_) firstPictureLatencyMs_ = steadyMs() - firstIdrMs_;
}

} // namespace kobal::render
