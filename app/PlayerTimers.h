#pragma once
// Timer ids of the main window (each one QTimer, started and stopped by id).
#include <chrono>

namespace kobal::timers {

inline constexpr int kPosition = 102;    // position display (later)
inline constexpr int kPrepareOpen = 105; // one-shot 100 ms: prepare the open, release the worker
inline constexpr int kReservation = 106; // 1000 ms: the reservation check
inline constexpr int kScanNotice = 107;  // one-shot: the scan notice to the renderer
inline constexpr int kTuneWaiting = 109; // one-shot 100 ms: tune the waiting key
inline constexpr int kNothing = 110;     // one-shot that only stops itself
inline constexpr int kSignalPoll = 500;  // 800 ms signal poll
inline constexpr int kRecordTime = 501;  // elapsed recording time (later)
inline constexpr int kScanRetry = 502;   // 2000 ms: the start-up scan's second try
inline constexpr int kTimeShift = 504;   // time-shift seconds (later)
inline constexpr int kLowSignal = 505;   // one-shot low-signal check

// Reception level from the signal strength in dBm.
constexpr int signalLevelFor(double dBm) {
    if (dBm >= -65) return 4;
    if (dBm >= -70) return 3;
    if (dBm >= -75) return 2;
    if (dBm >= -85) return 1;
    return 0;
}

// The window's tick count in milliseconds: one monotonic clock for every piece of timer
// bookkeeping (the low-signal count, the recording's elapsed time).
inline long long tickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace kobal::timers
