#pragma once
// What the renderer needs from the program it runs in (the main window in the player; the
// grab tool and tests otherwise). The renderer never includes a window or engine header.
//
// Threads: copyData() for command 2 comes from the thread that builds the graph; commands 3
// and 4 come from the link source's reader thread. postGraphEvent() and audioModeChanged()
// come from renderer threads. A host that wants them on its UI thread marshals them there;
// copyData() is answered synchronously (the call returns the host's answer). The answers to 3
// and 4 are not used: a host may post them on, and must not block them on a thread that may be
// stopping the graph at that moment (the stop waits for the reader thread).
#include <cstdint>
#include <vector>

#include "link/RendererLinkProtocol.h"

namespace kobal::render {

// Copy-data commands the renderer sends to its host (link/RendererLinkProtocol.h).
using records::kCopyDataStart; // data: records::startPayload()
inline constexpr unsigned long kCopyDataReady = records::kCopyDataRendererReady;
inline constexpr unsigned long kCopyDataStopped = records::kCopyDataRendererStopped;
// Application message that announces waiting graph events.
inline constexpr unsigned kGraphEventMessage = 1001;
// Registered message carrying the audio mode (0 single, 1 dual main, 2 dual sub).
inline constexpr const char* kAudioModeMessage = "C3F3B4AB-8C35-47ff-B75E-D7242E81D58E";

class RendererHost {
public:
    virtual ~RendererHost() = default;
    // WM_COPYDATA to the host window. pid is the renderer's process id (commands 3 and 4 carry
    // it where the length would be; command 2 also carries it as the data's first word).
    virtual long copyData(unsigned long command, long pid, const std::vector<uint8_t>& data) = 0;
    // Message 1001: the graph has events waiting; the host drains them with getEvent().
    virtual void postGraphEvent() = 0;
    // The registered audio-mode message with lParam = mode.
    virtual void audioModeChanged(int mode) = 0;
};

} // namespace kobal::render
