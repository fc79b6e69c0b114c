#pragma once
// Turns the timestamps of received frame records (90 kHz, 33 bits) into one continuous
// timeline in microseconds, shared by the video and the audio stream.
//
// Why: the received times jump at a channel change, at a looping source's loop point and when
// the 33-bit counter wraps, and the sender advances the time of the second and later frames
// cut from one unit by fixed steps that are not real times. A time that fits the stream's
// course is taken as it is; one that does not is replaced by the expected time; two in a row
// that agree with each other but not with the course are a real jump, and the timeline is
// moved so that it goes on without a break. Recording, presentation and time shift all see
// the continuous times.
#include <cstdint>

namespace kobal::render {

class StreamTimeline {
public:
    enum Stream { Video = 0, Audio = 1 };
    static constexpr int64_t kTicksPerSecond = 90000;

    // Maps one record's raw timestamp; nominalUs is the stream's usual frame spacing.
    int64_t map(Stream s, uint64_t rawTicks, int64_t nominalUs);
    // The spacing of one record learnt from the received times (0 until two records agreed).
    int64_t frameStepUs(Stream s) const { return tracks_[s].lastDelta; }
    void reset();

private:
    struct Track {
        bool started = false;
        int64_t lastOut = 0;
        int64_t lastRaw = 0;
        int64_t lastDelta = 0; // per record
        int64_t sinceRaw = 0;  // records since lastRaw was taken
        bool pending = false;
        int64_t pendingRaw = 0;
        int64_t pendingOut = 0;
    };
    Track tracks_[2];
    bool haveOffset_ = false;
    int64_t offset_ = 0; // out = raw + offset (µs)
};

} // namespace kobal::render
