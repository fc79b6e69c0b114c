#pragma once
// Where decoded sound goes: 16-bit stereo at 48 kHz. QAudioSink when the machine has an audio
// device; otherwise (CI, tests, or KOBAL_AUDIO=null) a null output that consumes the samples at
// the pace of the system clock. Both keep the last seconds written in a tap that tests read.
// Used only from the presenter thread (the tap is read under its own lock).
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace kobal::render {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Writes interleaved stereo frames; what the device cannot take is dropped.
    void write(const int16_t* samples, int frames);
    // Microseconds written but not yet heard.
    virtual int64_t bufferedUs() const = 0;
    virtual void suspend() = 0;
    virtual void resume() = 0;
    // Drops what is queued (seek, channel change).
    virtual void reset() = 0;
    virtual bool isNull() const = 0;
    // What the device holds beyond bufferedUs() (its own buffer), so sound must be written
    // this much earlier.
    virtual int64_t latencyUs() const { return 0; }

    // Last written samples (interleaved stereo), at most tapFrames frames.
    std::vector<int16_t> tap() const;
    void clearTap();

    // KOBAL_AUDIO=null or no default device: the null output.
    static std::unique_ptr<AudioOutput> create();
    static std::unique_ptr<AudioOutput> createNull();

protected:
    virtual void doWrite(const int16_t* samples, int frames) = 0;

private:
    mutable std::mutex tapLock_;
    std::vector<int16_t> tap_;
    static constexpr size_t kTapFrames = 48000 * 4;
};

// Gain for a volume in hundredths of a decibel (-10000 is silence, 0 full).
double gainForVolume(long hundredthsDb);

} // namespace kobal::render
