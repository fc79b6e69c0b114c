#pragma once
// A graph's source: it fills the packet queue that the presenter reads. Two kinds: the live
// link source ("x-dmb://…") and the file source (".rec" and other TS files).
#include "MediaTypes.h"

#include <cstdint>

namespace kobal::render {

class Source {
public:
    virtual ~Source() = default;
    virtual bool live() const = 0;
    // Duration in µs (0 when unknown or live).
    virtual int64_t durationUs() const = 0;
    virtual bool canSeek() const = 0;
    // Moves to a point before targetUs from which an IDR picture at or before the target is
    // read, and empties the queue; blocks until done. False when the source cannot seek.
    virtual bool seek(int64_t targetUs) = 0;
    // Stops the source's thread; the graph calls it before it goes away.
    virtual void shutdown() = 0;
};

} // namespace kobal::render
