#pragma once
// The renderer's end of the shared-memory link: the reading party. Same objects and header
// layout as the player's end (setup lock, "FILEMAP_<name>" with two party-id words before the
// data area, "MUTEX_<name>", one auto-reset event per party), but its own state: closing this
// end never touches the player's closed flag.
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

class RendererLink {
public:
    RendererLink(std::string name, size_t dataSize, int partyId);
    ~RendererLink(); // destroy()

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

    // Withdraws this party's id and releases everything.
    void destroy();

    static std::string setupLockName();

private:
    std::string name_;
    size_t dataSize_;
    int partyId_;
    std::unique_ptr<SharedMemory> map_;
    std::unique_ptr<NamedMutex> dataLock_;
    std::unique_ptr<NamedEvent> ownEvent_, peerEvent_;
    bool server_ = false;
    bool connected_ = false;
};

} // namespace kobal::render
