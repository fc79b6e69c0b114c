#pragma once
// The time-shift budget: a live channel may be held paused for 3600 seconds in all, counted
// once a second while paused. Only tuning a channel gives the budget back, so pausing and
// resuming cannot keep the renderer's buffer growing past its hour.
namespace kobal::media {

class TimeShiftBudget {
public:
    static constexpr int kSeconds = 3600;

    bool exhausted() const { return seconds_ >= kSeconds; }
    // One second paused; true when the budget ran out with it.
    bool tick() {
        if (seconds_ < kSeconds) ++seconds_;
        return exhausted();
    }
    void channelTuned() { seconds_ = 0; }
    int seconds() const { return seconds_; }

private:
    int seconds_ = 0;
};

} // namespace kobal::media
