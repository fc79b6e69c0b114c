#pragma once
// The FIFO between a source and the presenter. It is also the time-shift store: while a live
// graph is paused nothing is taken out, so everything received since the pause waits here.
// Memory is bounded: once the packets in memory exceed the memory limit, new packets go to a
// spill file (in the user's cache folder) and are read back in order; packets older than the
// age limit are dropped from the front, and so is anything beyond the spill file's size limit.
// The video packet that follows a lost one comes out marked afterGap, so its decoder waits for
// the next IDR picture.
#include "MediaTypes.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

namespace kobal::render {

class PacketQueue {
public:
    struct Limits {
        size_t memoryBytes = 24u << 20;
        int64_t maxAgeMs = 3600 * 1000;
        int64_t spillBytes = 1ll << 30; // spill file size cap
        std::string spillFolder;        // empty: no spilling, the front is dropped instead
    };
    PacketQueue();
    explicit PacketQueue(Limits limits);
    ~PacketQueue();

    void push(MediaPacket&& p);
    // Takes the front packet; waits up to timeoutMs. False when none.
    bool pop(MediaPacket& out, int timeoutMs);
    void clear();
    // Wakes every waiter (pop, waitForRoom, waitFor) at once, e.g. when the owner stops.
    void interrupt();

    // The reader's wake-ups, so it sleeps until it has something to do. waitFor returns when
    // the number of nudges differs from seen (read it before looking at your own state, so no
    // nudge is missed), on interrupt(), at the time-out, and, with orPacket, once a packet
    // waits.
    unsigned nudges() const;
    void nudge();
    void waitFor(unsigned seen, bool orPacket, int timeoutMs);

    // Blocks the producer while more than maxBytes wait (for file sources); false when
    // interrupted.
    bool waitForRoom(size_t maxBytes, int timeoutMs);

    size_t count() const;
    size_t memoryBytes() const;
    int64_t spilledBytes() const;
    // Age of the oldest packet (ms), 0 when empty.
    int64_t oldestAgeMs() const;
    size_t droppedCount() const;

private:
    bool popLocked(MediaPacket& out);
    void dropFrontLocked();
    void dropOldLocked();
    bool spillWriteLocked(const MediaPacket& p);
    bool spillReadLocked(MediaPacket& out);
    void spillResetLocked();

    Limits limits_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::deque<MediaPacket> mem_;
    size_t memBytes_ = 0;
    FILE* spill_ = nullptr;
    std::string spillPath_;
    int64_t spillWrite_ = 0, spillRead_ = 0, spillPunched_ = 0;
    size_t spillCount_ = 0;
    int64_t spillFrontArrival_ = 0;
    size_t dropped_ = 0;
    unsigned interruptGen_ = 0;
    unsigned nudgeGen_ = 0;
    bool gapAtFront_ = false; // video lost from the front: mark the next video taken out
    bool gapAtTail_ = false;  // video lost on its way in: mark the next video put in
};

} // namespace kobal::render
