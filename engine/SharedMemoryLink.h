#pragma once
// A one-way, one-slot message channel between two processes (or two components of one
// process) that share a link name N:
//
//   "IPC_RACE_MUTEX{DF9F578A-D4F8-45f3-8229-674094C60ECE}"  setup lock (all links)
//   "FILEMAP_N"                shared area: [0] server party id, [4] client party id,
//                              [8 .. 8 + dataSize) the current message (little-endian words)
//   "MUTEX_N"                  data lock guarding the data area
//   "CLIENTEVENT_N_<clientId>" auto-reset event the client sets after writing/taking
//   "SERVEREVENT_N_<serverId>" auto-reset event the server sets after writing/taking
//
// The side that creates the shared area is the server, the one that opens an existing area
// is the client. A message overwrites the previous one; a writer paces itself by waiting
// (up to 1000 ms) for the other side's event before it writes.
//
// The player's side uses party id 2 and shares one process-wide "closed" flag between all of
// its links: closing any player link stops the sends of every player link until a player link
// is opened again. Links opened with another party id (the renderer's side, test peers) keep
// a closed flag of their own, so the two sides of one process never stop each other.
//
// A party killed while holding a lock never blocks the others (the locks are released by the
// kernel), and a header id left behind by a dead party is withdrawn by the next open() or
// connect(); when no live party remains, the next open() starts a fresh area as server.
//
// Threads: one link object is used by one thread at a time (the player's callers serialise
// send() with their own lock); open/connect/send/close/destroy never throw.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/RendererLinkProtocol.h"

namespace kobal {

class NamedEvent;
class NamedMutex;
class SharedMemory;

class SharedMemoryLink {
public:
    static constexpr int kPlayerPartyId = records::kPlayerPartyId;
    static constexpr int kWaitMs = 1000;
    static constexpr int kGiveUpSliceMs = 5;
    static constexpr size_t kHeaderSize = 8;
    static constexpr size_t kMaxNameLength = 259;
    static constexpr const char* kSetupLockName = records::kSetupLockName;

    // Opens this side of link `name` with a data area of dataSize bytes (area size dataSize + 8)
    // and writes partyId into the header word of the role it takes. Always returns an object
    // (never nullptr); when any step failed it stays unconnected and every send returns false.
    // `inherit` is kept for the callers' sake (named objects are never inherited here).
    // The caller owns the object; destroying it calls destroy().
    static std::unique_ptr<SharedMemoryLink> open(const std::string& name, size_t dataSize,
                                                  bool inherit, int partyId = kPlayerPartyId);
    ~SharedMemoryLink();
    SharedMemoryLink(const SharedMemoryLink&) = delete;
    SharedMemoryLink& operator=(const SharedMemoryLink&) = delete;

    // True when both parties are present in the header and both events are open; the link is
    // then connected. False (and unconnected) while one party is missing; may be called again.
    bool connect();

    // Places length bytes (cut to the data size) in the data area and sets this side's event.
    // With waitForReader, first waits up to 1000 ms for the other side's event; a time-out
    // does not stop the send. False when unconnected, closed, the other side has left the
    // header (nobody would read it, so nobody is waited for), or the data lock was not had
    // within 1000 ms; the message is then dropped.
    // With giveUp, the wait for the reader looks at that flag every kGiveUpSliceMs (it may be
    // set by another thread) and, once it is set, ends and drops the message: whoever set it
    // waits a few milliseconds for the sender, not a second.
    bool send(const void* bytes, size_t length, bool waitForReader,
              const std::atomic<bool>* giveUp = nullptr);

    // Reading side (renderer, test peers): waits up to timeoutMs for the other side's event,
    // copies min(capacity, dataSize) bytes of the data area into out under the data lock and
    // sets this side's event (message taken). Returns the bytes copied, 0 on time-out, -1 when
    // unconnected or closed.
    long receive(void* out, size_t capacity, int timeoutMs);

    // Sets this side's event so that a waiting reader wakes, and stops further sends of this
    // link (for the player: of every player link, until one is opened again). Does nothing when
    // the closed flag is already set: for a player link, the shared one (some player link has
    // closed since the last open), and for any link its own.
    void close();

    // close(), withdraws this side's id from the header and releases every object; the last
    // party to leave removes the names. The object stays usable only for queries afterwards.
    void destroy();

    bool connected() const { return connected_; }
    bool isServer() const { return server_; }
    int partyId() const { return partyId_; }
    size_t dataSize() const { return dataSize_; }
    const std::string& name() const { return name_; }
    // errno of the last failed system call, for diagnosis only.
    int lastError() const { return lastError_; }

    // Header words as they stand now (0 when unmapped): for diagnosis and tests.
    uint32_t serverIdInHeader() const;
    uint32_t clientIdInHeader() const;

    // The player's process-wide closed flag.
    static bool playerClosed() { return s_playerClosed.load(); }

private:
    SharedMemoryLink() = default;
    bool openImpl(bool inherit);
    bool closedFlag() const;
    void withdrawStaleIds();
    bool slotAlive(int slot, uint32_t id) const;
    std::string presencePath(int slot, uint32_t id) const;
    bool takePresence(int slot);
    void dropPresence();
    void unlinkAll(uint32_t serverId, uint32_t clientId);

    std::string name_;
    size_t dataSize_ = 0;
    int partyId_ = kPlayerPartyId;
    std::unique_ptr<SharedMemory> area_;
    std::unique_ptr<NamedMutex> dataLock_;
    std::unique_ptr<NamedEvent> clientEvent_;
    std::unique_ptr<NamedEvent> serverEvent_;
    std::vector<std::string> eventNames_; // every event name opened, removed by the last party
    unsigned char* data_ = nullptr;
    int slot_ = -1; // 0 server word, 1 client word, -1 none
    int presenceFd_ = -1;
    bool server_ = false;
    bool connected_ = false;
    bool ownClosed_ = false;
    int lastError_ = 0;

    static std::atomic<bool> s_playerClosed;
};

} // namespace kobal
