#pragma once
// The renderer's end of the shared-memory link: the reading party (the player's end is
// kobal::PlayerLinkEnd; the names and layouts both use are in link/RendererLinkProtocol.h).
// Same objects and header layout as the player's end, but its own code and state: closing
// this end never touches the player's closed flag.
//
// Like every party it holds an flock on its presence file while it is in the link, so a
// renderer killed without leaving is recognised (its header word is withdrawn at the next
// open or connect of either end), and it withdraws the header words of dead parties itself.
// The last party to leave removes the area, the data lock and both events.
//
// The reader waits for the writer's event, copies the message out under the data lock and
// then sets its own event, which is what a writer that waits before its next send waits for.
#include "platform/NamedObjects.h"
#include "platform/SharedMemory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kobal::render {

class RendererLinkEnd {
public:
    RendererLinkEnd(std::string name, size_t dataSize, int partyId);
    ~RendererLinkEnd(); // destroy()
    RendererLinkEnd(const RendererLinkEnd&) = delete;
    RendererLinkEnd& operator=(const RendererLinkEnd&) = delete;

    // Opens or creates the mapping and the data lock and writes this party's id into the
    // header. False when the objects cannot be had.
    bool open();
    // True when both parties are in the header and both events exist.
    bool connect();
    bool connected() const { return connected_; }
    bool isServer() const { return server_; }

    enum class ReadResult { Message, Timeout, Failed };
    // Waits up to timeoutMs for a message; copies the whole data area into out and signals
    // this party's event so the writer may go on.
    ReadResult read(std::vector<uint8_t>& out, int timeoutMs);
    // The writer's event, for waiting together with other handles.
    Waitable* peerEvent() const { return peerEvent_.get(); }
    // After peerEvent() fired in an outside wait: take the message as read() would.
    bool take(std::vector<uint8_t>& out);

    // Withdraws this party's id and releases everything; true when it was the last party.
    bool destroy();

    static std::string setupLockName();

private:
    bool slotAlive(int slot, uint32_t id) const;
    void withdrawDeadParties();
    void takePresence();
    void dropPresence();
    void removeNames(uint32_t serverId, uint32_t clientId);

    std::string name_;
    size_t dataSize_;
    int partyId_;
    std::unique_ptr<SharedMemory> map_;
    std::unique_ptr<NamedMutex> dataLock_;
    std::unique_ptr<NamedEvent> ownEvent_, peerEvent_;
    int slot_ = -1; // header word this end wrote: 0 server, 1 client
    int presenceFd_ = -1;
    uint32_t eventServerId_ = 0, eventClientId_ = 0; // the pairing whose events were opened
    bool server_ = false;
    bool connected_ = false;
};

} // namespace kobal::render
