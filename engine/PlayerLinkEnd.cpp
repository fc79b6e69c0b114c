#include "engine/PlayerLinkEnd.h"

#include <chrono>
#include <thread>

#include "engine/SharedMemoryLink.h"
#include "platform/NamedObjects.h"

namespace kobal {

void FifoLock::lock() {
    std::unique_lock<std::mutex> guard(m_);
    const uint64_t ticket = nextTicket_++;
    turn_.wait(guard, [&] { return serving_ == ticket; });
}

void FifoLock::unlock() {
    bool waiters;
    {
        std::lock_guard<std::mutex> guard(m_);
        ++serving_;
        waiters = nextTicket_ != serving_;
    }
    if (waiters) turn_.notify_all();
}

PlayerLinkEnd::PlayerLinkEnd() = default;

PlayerLinkEnd::~PlayerLinkEnd() {
    destroy();
    closeEvents(false);
}

bool PlayerLinkEnd::createIfMissing() {
    std::lock_guard<FifoLock> guard(lock_);
    if (!link_) {
        closing_.store(false);
        sentOnLink_ = false;
        link_ = SharedMemoryLink::open(records::kRendererLinkName, records::kRendererLinkDataSize,
                                       false);
    }
    return link_ != nullptr;
}

bool PlayerLinkEnd::connected() {
    std::lock_guard<FifoLock> guard(lock_);
    return link_ && link_->connect();
}

bool PlayerLinkEnd::exists() {
    std::lock_guard<FifoLock> guard(lock_);
    return link_ != nullptr;
}

void PlayerLinkEnd::destroy() {
    beginClosing();
    std::lock_guard<FifoLock> guard(lock_);
    if (link_) {
        link_->destroy();
        link_.reset();
    }
}

void PlayerLinkEnd::closeAndDestroy() {
    beginClosing();
    std::lock_guard<FifoLock> guard(lock_);
    if (link_) {
        link_->close();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        link_->destroy();
        link_.reset();
    }
}

void PlayerLinkEnd::openEvents() {
    std::lock_guard<FifoLock> guard(lock_);
    // The renderer creates both before it asks for a start; opening only (never creating)
    // keeps a missing renderer from leaving stray objects behind.
    frameEvent_ = NamedEvent::open(records::kFrameEventName);
    stopEvent_ = NamedEvent::open(records::kStopEventName);
    closing_.store(false);
}

void PlayerLinkEnd::closeEvents(bool pulseStop) {
    beginClosing();
    std::lock_guard<FifoLock> guard(lock_);
    if (pulseStop && stopEvent_) {
        stopEvent_->set();
        std::this_thread::yield();
    }
    frameEvent_.reset();
    stopEvent_.reset();
}

bool PlayerLinkEnd::stopEventOpen() {
    std::lock_guard<FifoLock> guard(lock_);
    return stopEvent_ != nullptr;
}

void PlayerLinkEnd::setFrameEventLocked() {
    if (frameEvent_) frameEvent_->set();
}

bool PlayerLinkEnd::deliverFrame(const void* record, size_t size, bool streaming) {
    std::lock_guard<FifoLock> guard(lock_);
    if (closing_.load()) return false;
    setFrameEventLocked();
    if (link_ && streaming) return placed(link_->send(record, size, true, &closing_));
    return false;
}

bool PlayerLinkEnd::sendConfigBlocksLocked() {
    if (!link_ || closing_.load()) return false;
    setFrameEventLocked();
    // The first message on a new link goes without waiting (nobody has taken anything yet).
    // Once records have gone through, the reader's last "taken" signal may still be pending
    // and the last record may be unread: the audio block's wait would then be satisfied at
    // once and overwrite the video block. So after earlier records the video block waits too.
    if (!placed(link_->send(&videoConfig, sizeof videoConfig, sentOnLink_, &closing_)))
        return false;
    setFrameEventLocked();
    return placed(link_->send(&audioConfig, sizeof audioConfig, true, &closing_));
}

bool PlayerLinkEnd::sendCommand(const void* record, size_t size) {
    std::lock_guard<FifoLock> guard(lock_);
    if (!link_) return false;
    setFrameEventLocked();
    // Waiting also takes the reader's "taken" signal of the last message: the data pump's next
    // send then waits until this record was read, instead of overwriting it. Closing does not
    // stop it: the UI thread closes, and stops a running recording with this record on the way.
    return placed(link_->send(record, size, sentOnLink_));
}

} // namespace kobal
