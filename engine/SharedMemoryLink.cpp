#include "engine/SharedMemoryLink.h"

#include "link/RendererLinkProtocol.h"

#include "platform/NamedObjects.h"
#include "platform/Paths.h"
#include "platform/SharedMemory.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kobal {

std::atomic<bool> SharedMemoryLink::s_playerClosed{false};

namespace {

// Larger areas than this are not a link of ours; refuse instead of mapping gigabytes.
constexpr size_t kMaxDataSize = 64u * 1024u * 1024u;

uint32_t readWord(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void writeWord(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

using records::clientEventName;
using records::mapName;
using records::serverEventName;
std::string lockName(const std::string& n) {
    return records::dataLockName(n);
}

// The setup lock for the length of one open/connect/destroy.
class SetupLock {
public:
    SetupLock() {
        mutex_ = NamedMutex::openOrCreate(SharedMemoryLink::kSetupLockName);
        if (!mutex_) {
            error_ = errno ? errno : ENOENT;
            return;
        }
        held_ = mutex_->lock(SharedMemoryLink::kWaitMs);
        if (!held_) error_ = ETIMEDOUT;
    }
    ~SetupLock() {
        if (held_) mutex_->unlock();
    }
    bool held() const { return held_; }
    int error() const { return error_; }
    // The last party takes the lock's name with it; a waiter that then wins the old file sees
    // that it is gone and locks the new one.
    void removeName() {
        if (held_) NamedMutex::unlink(SharedMemoryLink::kSetupLockName);
    }

private:
    std::unique_ptr<NamedMutex> mutex_;
    bool held_ = false;
    int error_ = 0;
};

} // namespace

std::unique_ptr<SharedMemoryLink> SharedMemoryLink::open(const std::string& name, size_t dataSize,
                                                         bool inherit, int partyId) {
    std::unique_ptr<SharedMemoryLink> link(new SharedMemoryLink());
    link->name_ = name;
    link->dataSize_ = dataSize;
    link->partyId_ = partyId;
    if (name.empty() || name.size() > kMaxNameLength || dataSize > kMaxDataSize || partyId == 0) {
        link->lastError_ = EINVAL;
        return link;
    }
    link->openImpl(inherit);
    return link;
}

SharedMemoryLink::~SharedMemoryLink() {
    destroy();
}

bool SharedMemoryLink::closedFlag() const {
    return ownClosed_ || (partyId_ == kPlayerPartyId && s_playerClosed.load());
}

// Each party holds an flock on a presence file of its header slot and id for as long as it is
// in the link; a slot whose file exists but whose lock is free belongs to a party that died.
// Both ends of the renderer link hold such files (the renderer's with its own code); a slot
// without one was filled by a party that does not: trust it.
std::string SharedMemoryLink::presencePath(int slot, uint32_t id) const {
    return records::presencePath(name_, slot, id);
}

bool SharedMemoryLink::slotAlive(int slot, uint32_t id) const {
    int fd = ::open(presencePath(slot, id).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return true;
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd); // also drops the probe's lock
    return !free;
}

bool SharedMemoryLink::takePresence(int slot) {
    dropPresence();
    int fd = ::open(presencePath(slot, static_cast<uint32_t>(partyId_)).c_str(),
                    O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd); // a live party holds this slot too; we overwrite its word as it stands
        return false;
    }
    presenceFd_ = fd;
    return true;
}

void SharedMemoryLink::dropPresence() {
    if (presenceFd_ < 0) return;
    // Removed before the lock goes, under the setup lock, so no prober sees a free lock on a
    // slot that is merely being vacated.
    ::unlink(presencePath(slot_, static_cast<uint32_t>(partyId_)).c_str());
    ::close(presenceFd_);
    presenceFd_ = -1;
}

// Under the setup lock: clears the header words of parties that died without leaving.
void SharedMemoryLink::withdrawStaleIds() {
    if (!area_) return;
    unsigned char* header = area_->data();
    for (int slot = 0; slot < 2; ++slot) {
        if (slot == slot_) continue;
        unsigned char* word = header + 4 * slot;
        const uint32_t id = readWord(word);
        if (id != 0 && !slotAlive(slot, id)) {
            writeWord(word, 0);
            ::unlink(presencePath(slot, id).c_str());
        }
    }
}

void SharedMemoryLink::unlinkAll(uint32_t serverId, uint32_t clientId) {
    SharedMemory::unlink(mapName(name_));
    NamedMutex::unlink(lockName(name_));
    if (serverId != 0) {
        NamedEvent::unlink(serverEventName(name_, serverId));
        ::unlink(presencePath(0, serverId).c_str());
    }
    if (clientId != 0) {
        NamedEvent::unlink(clientEventName(name_, clientId));
        ::unlink(presencePath(1, clientId).c_str());
    }
}

bool SharedMemoryLink::openImpl(bool /*inherit: named objects are never inherited here*/) {
    SetupLock setup;
    if (!setup.held()) {
        lastError_ = setup.error();
        return false;
    }
    const size_t areaSize = dataSize_ + kHeaderSize;
    bool created = false;
    // Areas are created and sized only under the setup lock we hold, so one too small for the
    // header is what a creator killed between the two steps left; it would block every create.
    SharedMemory::removeIfSmaller(mapName(name_), kHeaderSize);
    area_ = SharedMemory::open(mapName(name_), 0);
    if (area_ && area_->size() < kHeaderSize) area_.reset();
    if (area_) {
        unsigned char* header = area_->data();
        const uint32_t w0 = readWord(header);
        const uint32_t w4 = readWord(header + 4);
        const bool alive0 = w0 != 0 && slotAlive(0, w0);
        const bool alive1 = w4 != 0 && slotAlive(1, w4);
        if (!alive0 && !alive1) {
            // Everybody left or died: start a fresh area rather than inherit stale events
            // and a size chosen by someone else.
            area_.reset();
            unlinkAll(w0, w4);
        } else {
            withdrawStaleIds();
            if (area_->size() < areaSize) {
                lastError_ = EINVAL;
                area_.reset();
                return false;
            }
        }
    }
    if (area_) {
        // Take the free word: normally the client's; the server's when the creator has left.
        slot_ = readWord(area_->data() + 4) == 0 ? 1 : readWord(area_->data()) == 0 ? 0 : 1;
    } else {
        area_ = SharedMemory::create(mapName(name_), areaSize);
        if (!area_) {
            lastError_ = errno ? errno : EIO;
            return false;
        }
        created = true;
        slot_ = 0;
    }
    dataLock_ = NamedMutex::openOrCreate(lockName(name_));
    if (!dataLock_) {
        lastError_ = errno ? errno : EIO;
        area_.reset();
        if (created) SharedMemory::unlink(mapName(name_));
        slot_ = -1;
        return false;
    }
    data_ = area_->data() + kHeaderSize;
    takePresence(slot_);
    writeWord(area_->data() + 4 * slot_, static_cast<uint32_t>(partyId_));
    server_ = slot_ == 0;
    ownClosed_ = false;
    if (partyId_ == kPlayerPartyId) s_playerClosed.store(false);
    return true;
}

bool SharedMemoryLink::connect() {
    if (!area_) return connected_ = false;
    SetupLock setup;
    if (!setup.held()) {
        lastError_ = setup.error();
        return connected_ = false;
    }
    withdrawStaleIds();
    const uint32_t serverId = readWord(area_->data());
    const uint32_t clientId = readWord(area_->data() + 4);
    // Our role is the word we wrote; with equal party ids on both sides the server word alone
    // could not tell the two apart.
    server_ = slot_ == 0;
    connected_ = false;
    clientEvent_.reset();
    serverEvent_.reset();
    if (serverId != 0 && clientId != 0) {
        const std::string clientName = clientEventName(name_, clientId);
        const std::string serverName = serverEventName(name_, serverId);
        for (const std::string& n : {clientName, serverName}) {
            if (std::find(eventNames_.begin(), eventNames_.end(), n) == eventNames_.end() &&
                eventNames_.size() < 16)
                eventNames_.push_back(n);
        }
        clientEvent_ = NamedEvent::openOrCreate(clientName);
        serverEvent_ = NamedEvent::openOrCreate(serverName);
        connected_ = clientEvent_ && serverEvent_;
        if (!connected_) lastError_ = errno ? errno : EIO;
    }
    return connected_;
}

bool SharedMemoryLink::send(const void* bytes, size_t length, bool waitForReader,
                            const std::atomic<bool>* giveUp) {
    if (!connected_) return false;
    NamedEvent* other = server_ ? clientEvent_.get() : serverEvent_.get();
    NamedEvent* own = server_ ? serverEvent_.get() : clientEvent_.get();
    if (!dataLock_ || !data_ || closedFlag()) return false;
    // A reader that left withdrew its word: waiting a second per message for it would hold
    // up the sender (and whoever waits for the sender's lock) for nothing.
    if (area_ && slot_ >= 0 && readWord(area_->data() + 4 * (slot_ ^ 1)) == 0) return false;
    if (waitForReader && other) {
        // A silent reader only slows us down. A reader that takes its messages signals within
        // the first slice, so the slices cost nothing while it keeps up.
        if (!giveUp) {
            other->wait(kWaitMs);
        } else {
            for (int waited = 0; waited < kWaitMs; waited += kGiveUpSliceMs) {
                if (giveUp->load() || other->wait(kGiveUpSliceMs)) break;
            }
            if (giveUp->load()) return false;
        }
    }
    if (!dataLock_ || !data_ || closedFlag()) return false;
    if (length > 0 && !bytes) return false;
    if (!dataLock_->lock(kWaitMs)) {
        lastError_ = ETIMEDOUT;
        return false;
    }
    if (!data_ || closedFlag()) {
        dataLock_->unlock();
        return false;
    }
    if (length > 0) std::memcpy(data_, bytes, std::min(length, dataSize_));
    dataLock_->unlock();
    if (own) own->set();
    return true;
}

long SharedMemoryLink::receive(void* out, size_t capacity, int timeoutMs) {
    if (!connected_ || !data_ || closedFlag()) return -1;
    NamedEvent* other = server_ ? clientEvent_.get() : serverEvent_.get();
    NamedEvent* own = server_ ? serverEvent_.get() : clientEvent_.get();
    if (!other || !other->wait(timeoutMs)) return 0;
    if (!dataLock_->lock(kWaitMs)) {
        lastError_ = ETIMEDOUT;
        return 0;
    }
    if (!data_ || closedFlag()) {
        dataLock_->unlock();
        return -1;
    }
    const size_t n = std::min(capacity, dataSize_);
    if (n > 0 && out) std::memcpy(out, data_, n);
    dataLock_->unlock();
    if (own) own->set();
    return out ? static_cast<long>(n) : 0;
}

void SharedMemoryLink::close() {
    // A player link does nothing while the player's shared flag is set (some player link has
    // closed already); any link closed once stays closed.
    if (closedFlag()) return;
    ownClosed_ = true;
    if (partyId_ == kPlayerPartyId) s_playerClosed.store(true);
    NamedEvent* own = server_ ? serverEvent_.get() : clientEvent_.get();
    if (own) own->set();
    data_ = nullptr;
    // The data lock is only ever held inside send()/receive(), which the callers serialise
    // with close(); there is nothing to release here.
}

void SharedMemoryLink::destroy() {
    if (!area_ && !dataLock_ && !clientEvent_ && !serverEvent_) {
        connected_ = false;
        return;
    }
    close();
    SetupLock setup; // best effort: leave even when a stuck party keeps the setup lock
    bool last = false;
    if (area_ && slot_ >= 0) {
        unsigned char* word = area_->data() + 4 * slot_;
        if (readWord(word) == static_cast<uint32_t>(partyId_)) writeWord(word, 0);
        if (setup.held()) {
            withdrawStaleIds();
            last = readWord(area_->data()) == 0 && readWord(area_->data() + 4) == 0;
        }
    }
    dropPresence();
    clientEvent_.reset();
    serverEvent_.reset();
    dataLock_.reset();
    area_.reset();
    data_ = nullptr;
    if (last) {
        unlinkAll(0, 0);
        for (const std::string& n : eventNames_) NamedEvent::unlink(n);
        setup.removeName();
    }
    eventNames_.clear();
    slot_ = -1;
    connected_ = false;
}

uint32_t SharedMemoryLink::serverIdInHeader() const {
    return area_ ? readWord(area_->data()) : 0;
}

uint32_t SharedMemoryLink::clientIdInHeader() const {
    return area_ ? readWord(area_->data() + 4) : 0;
}

} // namespace kobal
