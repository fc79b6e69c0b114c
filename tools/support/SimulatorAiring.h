#pragma once
// What the simulator's station airs, taken through the parse thread's own scanner and readers
// as the engine takes a tuner's chunks: caption screens, tickers and the rest the engine hands
// its window. For the tools and tests that feed the window's panels without a whole session.
#include "engine/EngineOutputs.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kobal {

// Airs `seconds` of area 7, slot 14 (at the current time), scanning `chunkPackets` packets at a
// time (what is left at the end is scanned last; 0 scans it all at the end), and gives each scan's
// outputs to `taken` with the air time in milliseconds. False when the station cannot be set up.
bool airSimulatorStation(int seconds, size_t chunkPackets,
                         const std::function<void(int64_t airMs, EngineOutputs&&)>& taken);

} // namespace kobal
