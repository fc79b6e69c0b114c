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
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>

#include "link/RendererLinkProtocol.h"

namespace kobal {

class NamedEvent;
class SharedMemoryLink;

class PlayerLinkEnd {
public:
    PlayerLinkEnd();
    ~PlayerLinkEnd();

    // The link lock. Every use of the link object and the events happens under it.
    std::mutex& lock() { return lock_; }

    // Main thread. Creates the link object (name and size of the renderer link) when there is
    // none; true when a link object exists afterwards.
    bool createIfMissing();
    // True when a link object exists and both parties are present.
    bool connected();
    bool exists();
    // Closes and frees the link object (under the lock).
    void destroy();
    // Marks the link closing, waits 1 ms, closes and frees it (under the lock).
    void closeAndDestroy();

    // The renderer's named events, opened at every start.
    void openEvents();
    // Pulses the stop event (when open) and closes both events.
    void closeEvents(bool pulseStop);
    bool stopEventOpen();

    // Data pump: under the lock, sets the frame event and, when a link exists and streaming is
    // true, sends the record (full size, waiting for the reader). True when it was placed.
    bool deliverFrame(const void* record, size_t size, bool streaming);

    // Announce formats' link part: with the lock held by the caller. False without a link or
    // when a send failed.
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

    std::mutex lock_;
    std::unique_ptr<SharedMemoryLink> link_;
    std::unique_ptr<NamedEvent> frameEvent_;
    std::unique_ptr<NamedEvent> stopEvent_;
    bool sentOnLink_ = false; // a message was placed on the current link object
};

} // namespace kobal
