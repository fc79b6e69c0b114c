#include "AudioOutput.h"

#include "AudioDecoder.h"
#include "MediaTypes.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

class SinkAudioOutput : public AudioOutput {
public:
    explicit SinkAudioOutput(const QAudioDevice& device) {
        QAudioFormat fmt;
        fmt.setSampleRate(kOutputRate);
        fmt.setChannelCount(kOutputChannels);
        fmt.setSampleFormat(QAudioFormat::Int16);
        sink_ = std::make_unique<QAudioSink>(device, fmt);
        sink_->setBufferSize(kOutputRate * 4 * 3 / 4); // 750 ms
        io_ = sink_->start();
    }
    ~SinkAudioOutput() override {
        if (sink_) sink_->stop();
    }
    bool valid() const { return io_ != nullptr; }
    int64_t bufferedUs() const override {
        const qsizetype queued = sink_->bufferSize() - sink_->bytesFree();
        return int64_t(std::max<qsizetype>(queued, 0)) * 1'000'000 / (kOutputRate * 4);
    }
    void suspend() override { sink_->suspend(); }
    void resume() override { sink_->resume(); }
    void reset() override {
        sink_->reset();
        io_ = sink_->start();
    }
    bool isNull() const override { return false; }

protected:
    void doWrite(const int16_t* samples, int frames) override {
        if (!io_) return;
        const qint64 bytes = std::min<qint64>(qint64(frames) * 4, sink_->bytesFree());
        if (bytes > 0) io_->write(reinterpret_cast<const char*>(samples), bytes & ~qint64(3));
    }

private:
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
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
