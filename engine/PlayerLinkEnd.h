#pragma once
// The player's end of the renderer link (the renderer's end is render::RendererLinkEnd; the
// words both use are in link/RendererLinkProtocol.h): the shared-memory link object, the
// renderer's two named events and the two decoder config blocks, all guarded by one lock (the
// engine's "link lock"). The data pump sends frames through it; the main thread creates and
// deletes the link and sends the recording, audio-channel and scan-notice records.
//
// The link has one slot: a message placed before the reader took the last one overwrites it.
// Frames may be lost that way only when the reader is stuck for a second; config blocks and
// commands never are (each waits for the reader once anything went through the link).
//
// A send may hold the lock for a second (a reader that stopped taking messages), and the data
// pump takes it again at once for its next frame. So the lock lets its waiters in in the order
// they came, and the close paths raise a "closing" flag before they queue for it: the data
// pump then stops waiting for the reader within a few milliseconds and sends nothing more
// until a new link is created or the events are opened again. A command of the UI thread waits
// at most for the one send in progress, a close only a few milliseconds.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "link/RendererLinkProtocol.h"

namespace kobal {

class NamedEvent;
class SharedMemoryLink;

// A lock that lets its waiters in in the order they came (a ticket lock): a thread that takes
// it again right after releasing it queues behind those already waiting.
class FifoLock {
public:
    void lock();
    void unlock();

private:
    std::mutex m_;
    std::condition_variable turn_;
    uint64_t nextTicket_ = 0;
    uint64_t serving_ = 0;
};

class PlayerLinkEnd {
public:
    PlayerLinkEnd();
    ~PlayerLinkEnd();

    // The link lock. Every use of the link object and the events happens under it.
    FifoLock& lock() { return lock_; }

    // Main thread. Creates the link object (name and size of the renderer link) when there is
    // none, which ends closing; true when a link object exists afterwards.
    bool createIfMissing();
    // True when a link object exists and both parties are present.
    bool connected();
    bool exists();
    // Closing; closes and frees the link object (under the lock).
    void destroy();
    // Closing; marks the link closed, waits 1 ms, closes and frees it (under the lock).
    void closeAndDestroy();

    // The renderer's named events, opened at every start (which ends closing).
    void openEvents();
    // Closing; pulses the stop event (when open) and closes both events.
    void closeEvents(bool pulseStop);
    bool stopEventOpen();

    // Data pump: under the lock and unless closing, sets the frame event and, when a link
    // exists and streaming is true, sends the record (full size, waiting for the reader, but
    // not past the start of closing). True when it was placed.
    bool deliverFrame(const void* record, size_t size, bool streaming);

    // Announce formats' link part: with the lock held by the caller. False without a link,
    // while closing or when a send failed.
    bool sendConfigBlocksLocked();

    // Main thread records (recording 0x108, audio channel 0x109, scan notice 0x107): under the
    // lock, sets the frame event and sends, first waiting (at most a second, as any send of
    // the data pump may) until the reader took the last message, so that neither this record
    // nor the one before it is overwritten unread. False without a link or when the send
    // failed.
    bool sendCommand(const void* record, size_t size);

    // Config blocks, filled by the data pump.
    records::ConfigBlock videoConfig;
    records::ConfigBlock audioConfig;

private:
    void setFrameEventLocked();
    bool placed(bool ok) {
        sentOnLink_ = sentOnLink_ || ok;
        return ok;
    }

    // Raised by the close paths before they queue for the lock, so that the data pump gives
    // up its send in progress and sends nothing more.
    void beginClosing() { closing_.store(true); }

    FifoLock lock_;
    std::atomic<bool> closing_{false};
    std::unique_ptr<SharedMemoryLink> link_;
    std::unique_ptr<NamedEvent> frameEvent_;
    std::unique_ptr<NamedEvent> stopEvent_;
    bool sentOnLink_ = false; // a message was placed on the current link object
};

} // namespace kobal
