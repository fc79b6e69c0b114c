#include "AudioOutput.h"

#include "AudioDecoder.h"
#include "MediaTypes.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

namespace kobal::render {

double gainForVolume(long v) {
    if (v <= -10000) return 0.0;
    if (v >= 0) return 1.0;
    return std::pow(10.0, double(v) / 2000.0);
}

void AudioOutput::write(const int16_t* samples, int frames) {
    if (frames <= 0) return;
    {
        std::lock_guard<std::mutex> lk(tapLock_);
        tap_.insert(tap_.end(), samples, samples + size_t(frames) * kOutputChannels);
        const size_t cap = kTapFrames * kOutputChannels;
        if (tap_.size() > cap + cap / 4) tap_.erase(tap_.begin(), tap_.end() - cap);
    }
    doWrite(samples, frames);
}

std::vector<int16_t> AudioOutput::tap() const {
    std::lock_guard<std::mutex> lk(tapLock_);
    const size_t cap = kTapFrames * kOutputChannels;
    if (tap_.size() <= cap) return tap_;
    return std::vector<int16_t>(tap_.end() - cap, tap_.end());
}

void AudioOutput::clearTap() {
    std::lock_guard<std::mutex> lk(tapLock_);
    tap_.clear();
}

namespace {

// Consumes samples in real time: what was written is "heard" as the system clock passes.
class NullAudioOutput : public AudioOutput {
public:
    int64_t bufferedUs() const override {
        const int64_t now = suspended_ ? suspendedAt_ : steadyUs();
        return std::max<int64_t>(0, endUs_ - now);
    }
    void suspend() override {
        if (suspended_) return;
        suspended_ = true;
        suspendedAt_ = steadyUs();
    }
    void resume() override {
        if (!suspended_) return;
        endUs_ += steadyUs() - suspendedAt_;
        suspended_ = false;
    }
    void reset() override { endUs_ = 0; }
    bool isNull() const override { return true; }

protected:
    void doWrite(const int16_t*, int frames) override {
        const int64_t now = suspended_ ? suspendedAt_ : steadyUs();
        // A device holds about one second; beyond that the samples are lost, like a full one.
        if (endUs_ - now > 1'000'000) return;
        endUs_ = std::max(endUs_, now) + int64_t(frames) * 1'000'000 / kOutputRate;
    }

private:
    int64_t endUs_ = 0;
    bool suspended_ = false;
    int64_t suspendedAt_ = 0;
};

// The samples the sink pulls: a bounded ring filled by the presenter. When it runs dry the
// sink gets silence, so the device keeps playing and its clock keeps running.
class RingDevice : public QIODevice {
public:
    explicit RingDevice(size_t capacity) : capacity_(capacity) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 16; }
    size_t push(const char* data, size_t n) {
        std::lock_guard<std::mutex> lk(m_);
        n = std::min(n, capacity_ - ring_.size());
        ring_.insert(ring_.end(), data, data + n);
        return n;
    }
    size_t queued() const {
        std::lock_guard<std::mutex> lk(m_);
        return ring_.size();
    }
    void clear() {
        std::lock_guard<std::mutex> lk(m_);
        ring_.clear();
    }

protected:
    qint64 readData(char* out, qint64 max) override {
        if (max <= 0) return 0;
        std::lock_guard<std::mutex> lk(m_);
        const size_t n = std::min(size_t(max), ring_.size()) & ~size_t(3);
        std::copy(ring_.begin(), ring_.begin() + long(n), out);
        ring_.erase(ring_.begin(), ring_.begin() + long(n));
        const qint64 want = std::min<qint64>(max, 4800 * 4) & ~qint64(3); // up to 100 ms
        if (qint64(n) < want) {
            std::memset(out + n, 0, size_t(want) - n);
            return want;
        }
        return qint64(n);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    mutable std::mutex m_;
    std::deque<char> ring_;
    size_t capacity_;
};

// QAudioSink in pull mode on a thread of its own with an event loop (the sink's backend needs
// one; the presenter thread has none). The presenter only fills the ring.
class SinkAudioOutput : public AudioOutput {
public:
    explicit SinkAudioOutput(const QAudioDevice& device) : ring_(kOutputRate * 4) {
        thread_.setObjectName("kobal-audio");
        thread_.start();
        context_.moveToThread(&thread_);
        QMetaObject::invokeMethod(
            &context_,
            [this, device] {
                QAudioFormat fmt;
                fmt.setSampleRate(kOutputRate);
                fmt.setChannelCount(kOutputChannels);
                fmt.setSampleFormat(QAudioFormat::Int16);
                sink_ = new QAudioSink(device, fmt);
                sink_->setBufferSize(kOutputRate * 4 / 5); // 200 ms
                ring_.open(QIODevice::ReadOnly);
                sink_->start(&ring_);
                ok_ = sink_->error() == QAudio::NoError;
                latencyUs_ = int64_t(sink_->bufferSize()) * 1'000'000 / (kOutputRate * 4);
            },
            Qt::BlockingQueuedConnection);
    }
    ~SinkAudioOutput() override {
        QMetaObject::invokeMethod(
            &context_,
            [this] {
                if (sink_) sink_->stop();
                delete sink_;
                sink_ = nullptr;
                ring_.close();
                context_.moveToThread(QCoreApplication::instance()
                                          ? QCoreApplication::instance()->thread()
                                          : nullptr);
            },
            Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    bool valid() const { return ok_; }
    // Zero while the ring is empty: the device then plays silence, not our sound.
    int64_t bufferedUs() const override {
        const size_t queued = ring_.queued();
        return queued ? int64_t(queued) * 1'000'000 / (kOutputRate * 4) + latencyUs_ : 0;
    }
    int64_t latencyUs() const override { return latencyUs_; }
    void suspend() override {
        call([this] { sink_->suspend(); });
    }
    void resume() override {
        call([this] { sink_->resume(); });
    }
    void reset() override { ring_.clear(); }
    bool isNull() const override { return false; }

protected:
    void doWrite(const int16_t* samples, int frames) override {
        ring_.push(reinterpret_cast<const char*>(samples), size_t(frames) * 4);
    }

private:
    template <class F> void call(F f) {
        QMetaObject::invokeMethod(
            &context_,
            [this, f] {
                if (sink_) f();
            },
            Qt::QueuedConnection);
    }
    QThread thread_;
    QObject context_;
    RingDevice ring_;
    QAudioSink* sink_ = nullptr;
    bool ok_ = false;
    int64_t latencyUs_ = 0;
};

} // namespace

std::unique_ptr<AudioOutput> AudioOutput::createNull() {
    return std::make_unique<NullAudioOutput>();
}

std::unique_ptr<AudioOutput> AudioOutput::create() {
    const char* force = std::getenv("KOBAL_AUDIO");
    if (force && std::strcmp(force, "null") == 0) return createNull();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return createNull();
    auto sink = std::make_unique<SinkAudioOutput>(device);
    if (!sink->valid()) return createNull();
    return sink;
}

} // namespace kobal::render
