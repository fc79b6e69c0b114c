#include "StreamTimeline.h"

#include <algorithm>

namespace kobal::render {

namespace {
constexpr int64_t kAheadUs = 1'500'000; // how far a time may run ahead of the course
constexpr int64_t kBehindUs = 500'000;  // and behind it
} // namespace

void StreamTimeline::reset() {
    tracks_[0] = Track{};
    tracks_[1] = Track{};
    haveOffset_ = false;
    offset_ = 0;
}

int64_t StreamTimeline::map(Stream s, uint64_t rawTicks, int64_t nominalUs) {
    Track& t = tracks_[s];
    const int64_t raw = int64_t(rawTicks & ((1ull << 33) - 1)) * 1'000'000 / kTicksPerSecond;
    if (!haveOffset_) {
        haveOffset_ = true;
        offset_ = 0;
    }
    const int64_t step = t.lastDelta > 0 ? t.lastDelta : nominalUs;
    if (!t.started) {
        // A stream that starts after the other one joins the shared timeline when its time
        // fits; otherwise it is placed beside the other stream's latest time.
        const Track& other = tracks_[1 - s];
        int64_t out = raw + offset_;
        if (other.started && (out > other.lastOut + kAheadUs || out < other.lastOut - kAheadUs))
            out = other.lastOut;
        t = Track{};
        t.started = true;
        t.lastOut = out;
        t.lastRaw = raw;
        return out;
    }
    const int64_t predicted = raw + offset_;
    int64_t out;
    ++t.sinceRaw;
    if (predicted <= t.lastOut + kAheadUs && predicted >= t.lastOut - kBehindUs) {
        out = predicted;
        t.pending = false;
        // Records whose times were replaced lie between this one and lastRaw: the spacing of
        // one record is the difference shared among them.
        const int64_t d = (raw - t.lastRaw) / t.sinceRaw;
        if (d > 0 && d < 200'000) t.lastDelta = d;
        t.lastRaw = raw;
        t.sinceRaw = 0;
    } else if (t.pending && raw - t.pendingRaw > 0 && raw - t.pendingRaw <= kAheadUs) {
        // Second time in a row off the course and consistent with the first: a real jump.
        offset_ = t.pendingOut - t.pendingRaw;
        out = raw + offset_;
        t.pending = false;
        t.lastRaw = raw;
        t.sinceRaw = 0;
    } else {
        out = t.lastOut + step;
        t.pending = true;
        t.pendingRaw = raw;
        t.pendingOut = out;
    }
    if (out <= t.lastOut) out = t.lastOut + 1; // strictly increasing for the muxer
    t.lastOut = out;
    return out;
}

} // namespace kobal::render
