#include "RendererLink.h"

#include <cstring>

namespace kobal::render {

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
        lock_ = NamedMutex::openOrCreate(RendererLink::setupLockName());
        ok_ = lock_ && lock_->lock(kLockWaitMs);
    }
    ~SetupLock() {
        if (ok_) lock_->unlock();
    }
    bool ok() const { return ok_; }
    // The last party takes the lock's name with it; a waiter that then wins the old file sees
    // that it is gone and locks the new one.
    void removeName() {
        if (ok_) NamedMutex::unlink(RendererLink::setupLockName());
    }

private:
    std::unique_ptr<NamedMutex> lock_;
    bool ok_ = false;
};
} // namespace

std::string RendererLink::setupLockName() {
    return "IPC_RACE_MUTEX{DF9F578A-D4F8-45f3-8229-674094C60ECE}";
}

RendererLink::RendererLink(std::string name, size_t dataSize, int partyId)
    : name_(std::move(name)), dataSize_(dataSize), partyId_(partyId) {}

RendererLink::~RendererLink() {
    destroy();
}

bool RendererLink::open() {
    SetupLock setup;
    if (!setup.ok()) return false;
    const std::string mapName = "FILEMAP_" + name_;
    // Created and sized only under the setup lock: an area too small for the header was left by
    // a creator killed in between, and would make every create fail.
    SharedMemory::removeIfSmaller(mapName, 8);
    map_ = SharedMemory::open(mapName, dataSize_ + 8);
    server_ = false;
    if (!map_) {
        map_ = SharedMemory::create(mapName, dataSize_ + 8);
        server_ = true;
    }
    if (!map_ || map_->size() < dataSize_ + 8) {
        map_.reset();
        return false;
    }
    dataLock_ = NamedMutex::openOrCreate("MUTEX_" + name_);
    if (!dataLock_) {
        map_.reset();
        if (server_) SharedMemory::unlink(mapName);
        return false;
    }
    if (!server_) {
        // Take the free word: normally the client's, the server's when its creator has left,
        // and our own id's word when an earlier renderer left it behind.
        const uint32_t w0 = word(map_->data()), w4 = word(map_->data() + 4);
        server_ = w4 != 0 && (w0 == 0 || w0 == uint32_t(partyId_));
    }
    setWord(map_->data() + (server_ ? 0 : 4), uint32_t(partyId_));
    return true;
}

bool RendererLink::connect() {
    if (connected_) return true;
    if (!map_) return false;
    SetupLock setup;
    if (!setup.ok()) return false;
    const uint32_t serverId = word(map_->data());
    const uint32_t clientId = word(map_->data() + 4);
    if (serverId == 0 || clientId == 0) return false;
    auto client = NamedEvent::openOrCreate("CLIENTEVENT_" + name_ + "_" + std::to_string(clientId));
    auto server = NamedEvent::openOrCreate("SERVEREVENT_" + name_ + "_" + std::to_string(serverId));
    if (!client || !server) return false;
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

RendererLink::ReadResult RendererLink::read(std::vector<uint8_t>& out, int timeoutMs) {
    if (!connected_) return ReadResult::Failed;
    if (!peerEvent_->wait(timeoutMs)) return ReadResult::Timeout;
    return take(out) ? ReadResult::Message : ReadResult::Failed;
}

bool RendererLink::take(std::vector<uint8_t>& out) {
    if (!connected_ || !map_ || !dataLock_) return false;
    if (!dataLock_->lock(kLockWaitMs)) {
        ownEvent_->set(); // let a waiting writer go on; the message is lost
        return false;
    }
    out.assign(map_->data() + 8, map_->data() + 8 + dataSize_);
    dataLock_->unlock();
    ownEvent_->set();
    return true;
}

void RendererLink::destroy() {
    if (map_) {
        SetupLock setup;
        setWord(map_->data() + (server_ ? 0 : 4), 0);
        const bool last = word(map_->data()) == 0 && word(map_->data() + 4) == 0;
        map_.reset();
        if (last) {
            // The last party removes the names so the next session starts clean.
            SharedMemory::unlink("FILEMAP_" + name_);
            NamedMutex::unlink("MUTEX_" + name_);
            if (ownEvent_) NamedEvent::unlink(ownEvent_->name());
            if (peerEvent_) NamedEvent::unlink(peerEvent_->name());
            setup.removeName();
        }
    }
    if (ownEvent_ || peerEvent_) {
        // Set our own event once more so that a writer that waits for us does not stall.
        if (ownEvent_) ownEvent_->set();
    }
    ownEvent_.reset();
    peerEvent_.reset();
    dataLock_.reset();
    connected_ = false;
}

} // namespace kobal::render
