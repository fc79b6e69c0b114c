#pragma once
// The volume slider's position (0 … 900) and what the renderer gets for it, in hundredths of
// a decibel. The curve is a parabola so the upper half of the slider, where people listen,
// gets most of the travel.
namespace kobal::volume {

inline constexpr int kMax = 900;
inline constexpr int kStep = 30;
inline constexpr long kSilence = -10000;

// Below 20 is silence; else -(p - 900)² / 160, truncated: 900 → 0, 20 → -4840.
constexpr long toHundredthsDb(int position) {
    if (position < 20) return kSilence;
    const long d = long(position) - kMax;
    return -(d * d / 160);
}
constexpr int up(int position) {
    return position + kStep >= kMax ? kMax : position + kStep;
}
constexpr int down(int position) {
    return position - kStep > 0 ? position - kStep : 0;
}

} // namespace kobal::volume
