#include "RendererLinkEnd.h"

#include "link/RendererLinkProtocol.h"

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kobal::render {

using namespace records;

namespace {
constexpr int kLockWaitMs = 1000;

uint32_t word(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void setWord(unsigned char* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// Holds the setup lock for a scope.
class SetupLock {
public:
    SetupLock() {
        lock_ = NamedMutex::openOrCreate(RendererLinkEnd::setupLockName());
        ok_ = lock_ && lock_->lock(kLockWaitMs);
    }
    ~SetupLock() {
        if (ok_) lock_->unlock();
    }
    bool ok() const { return ok_; }
    // The last party takes the lock's name with it; a waiter that then wins the old file sees
    // that it is gone and locks the new one.
    void removeName() {
        if (ok_) NamedMutex::unlink(RendererLinkEnd::setupLockName());
    }

private:
    std::unique_ptr<NamedMutex> lock_;
    bool ok_ = false;
};
} // namespace

std::string RendererLinkEnd::setupLockName() {
    return kSetupLockName;
}

RendererLinkEnd::RendererLinkEnd(std::string name, size_t dataSize, int partyId)
    : name_(std::move(name)), dataSize_(dataSize), partyId_(partyId) {}

RendererLinkEnd::~RendererLinkEnd() {
    destroy();
}

// A header word whose presence file exists but is not locked belongs to a party that died; a
// word without a file is trusted.
bool RendererLinkEnd::slotAlive(int slot, uint32_t id) const {
    const int fd = ::open(presencePath(name_, slot, id).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return true;
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return !free;
}

// Under the setup lock.
void RendererLinkEnd::withdrawDeadParties() {
    if (!map_) return;
    for (int slot = 0; slot < 2; ++slot) {
        if (slot == slot_) continue;
        unsigned char* w = map_->data() + 4 * slot;
        const uint32_t id = word(w);
        if (id != 0 && !slotAlive(slot, id)) {
            setWord(w, 0);
            ::unlink(presencePath(name_, slot, id).c_str());
        }
    }
}

void RendererLinkEnd::takePresence() {
    dropPresence();
    const int fd = ::open(presencePath(name_, slot_, uint32_t(partyId_)).c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd); // a live party of the same id holds the word as well
        return;
    }
    presenceFd_ = fd;
}

void RendererLinkEnd::dropPresence() {
    if (presenceFd_ < 0) return;
    // Removed before the lock goes, so no prober sees a free lock on a slot being vacated.
    ::unlink(presencePath(name_, slot_, uint32_t(partyId_)).c_str());
    ::close(presenceFd_);
    presenceFd_ = -1;
}

void RendererLinkEnd::removeNames(uint32_t serverId, uint32_t clientId) {
    SharedMemory::unlink(mapName(name_));
    NamedMutex::unlink(dataLockName(name_));
    if (serverId != 0) {
        NamedEvent::unlink(serverEventName(name_, serverId));
        ::unlink(presencePath(name_, 0, serverId).c_str());
    }
    if (clientId != 0) {
        NamedEvent::unlink(clientEventName(name_, clientId));
        ::unlink(presencePath(name_, 1, clientId).c_str());
    }
}

bool RendererLinkEnd::open() {
    SetupLock setup;
    if (!setup.ok()) return false;
    const std::string area = mapName(name_);
    // Created and sized only under the setup lock: an area too small for the header was left by
    // a creator killed in between, and would make every create fail.
    SharedMemory::removeIfSmaller(area, kHeaderSize);
    map_ = SharedMemory::open(area, dataSize_ + kHeaderSize);
    slot_ = -1;
    if (map_) {
        const uint32_t w0 = word(map_->data()), w4 = word(map_->data() + 4);
        if (!(w0 != 0 && slotAlive(0, w0)) && !(w4 != 0 && slotAlive(1, w4))) {
            // Everybody left or died: start afresh rather than inherit their events.
            map_.reset();
            removeNames(w0, w4);
        } else {
            withdrawDeadParties();
        }
    }
    bool created = false;
    if (!map_) {
        map_ = SharedMemory::create(area, dataSize_ + kHeaderSize);
        created = true;
    }
    if (!map_ || map_->size() < dataSize_ + kHeaderSize) {
        map_.reset();
        return false;
    }
    dataLock_ = NamedMutex::openOrCreate(dataLockName(name_));
    if (!dataLock_) {
        map_.reset();
        if (created) SharedMemory::unlink(area);
        return false;
    }
    if (created) {
        slot_ = 0;
    } else {
        // Take the free word: normally the client's, the server's when its creator has left,
        // and our own id's word when an earlier renderer left it behind.
        const uint32_t w0 = word(map_->data()), w4 = word(map_->data() + 4);
        slot_ = w4 != 0 && (w0 == 0 || w0 == uint32_t(partyId_)) ? 0 : 1;
    }
    server_ = slot_ == 0;
    takePresence();
    setWord(map_->data() + 4 * slot_, uint32_t(partyId_));
    return true;
}

bool RendererLinkEnd::connect() {
    if (connected_) return true;
    if (!map_) return false;
    SetupLock setup;
    if (!setup.ok()) return false;
    withdrawDeadParties();
    const uint32_t serverId = word(map_->data());
    const uint32_t clientId = word(map_->data() + 4);
    if (serverId == 0 || clientId == 0) return false;
    auto client = NamedEvent::openOrCreate(clientEventName(name_, clientId));
    auto server = NamedEvent::openOrCreate(serverEventName(name_, serverId));
    if (!client || !server) return false;
    eventServerId_ = serverId;
    eventClientId_ = clientId;
    if (server_) {
        ownEvent_ = std::move(server);
        peerEvent_ = std::move(client);
    } else {
        ownEvent_ = std::move(client);
        peerEvent_ = std::move(server);
    }
    connected_ = true;
    return true;
}

RendererLinkEnd::ReadResult RendererLinkEnd::read(std::vector<uint8_t>& out, int timeoutMs) {
    if (!connected_) return ReadResult::Failed;
    if (!peerEvent_->wait(timeoutMs)) return ReadResult::Timeout;
    return take(out) ? ReadResult::Message : ReadResult::Failed;
}

bool RendererLinkEnd::take(std::vector<uint8_t>& out) {
    if (!connected_ || !map_ || !dataLock_) return false;
    if (!dataLock_->lock(kLockWaitMs)) {
        ownEvent_->set(); // let a waiting writer go on; the message is lost
        return false;
    }
    out.assign(map_->data() + kHeaderSize, map_->data() + kHeaderSize + dataSize_);
    dataLock_->unlock();
    ownEvent_->set();
    return true;
}

bool RendererLinkEnd::destroy() {
    bool last = false;
    // Set our own event once more so that a writer that waits for us does not stall.
    if (ownEvent_) ownEvent_->set();
    if (map_) {
        SetupLock setup;
        if (slot_ >= 0 && word(map_->data() + 4 * slot_) == uint32_t(partyId_))
            setWord(map_->data() + 4 * slot_, 0);
        if (setup.ok()) {
            withdrawDeadParties();
            last = word(map_->data()) == 0 && word(map_->data() + 4) == 0;
        }
        dropPresence();
        map_.reset();
        // The last party removes the names, the events of the pairing included, so the next
        // session starts clean and nothing is left behind.
        if (last) {
            removeNames(eventServerId_, eventClientId_);
            setup.removeName();
        }
    }
    ownEvent_.reset();
    peerEvent_.reset();
    dataLock_.reset();
    connected_ = false;
    slot_ = -1;
    eventServerId_ = eventClientId_ = 0;
    return last;
}

} // namespace kobal::render
