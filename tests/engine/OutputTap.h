#pragma once
// Takes an EngineOutputSink's outputs at every wake-up, on the thread that produced them, and
// hands each to a virtual: a test sees every output in the order it was produced, one call per
// output, as the window sees them when it takes on its UI thread.
#include "engine/EngineOutputs.h"

#include <vector>

namespace kobal::test {

class OutputTap {
public:
    OutputTap() { listen(sink); }
    virtual ~OutputTap() = default;
    OutputTap(const OutputTap&) = delete;
    OutputTap& operator=(const OutputTap&) = delete;

    // A sink of its own, for a reader under test.
    EngineOutputSink sink;
    // Listens to another sink (a session's) instead; it must not outlive this tap.
    void listen(EngineOutputSink& other) {
        other.setWake([this, &other] { deliver(other.take()); });
    }

    virtual void onStatusLine(const std::u16string&) {}
    virtual void onTicker(const std::u16string&) {}
    virtual void onProgrammeList(const ProgrammeGuide&) {}
    virtual void onCaption(const CaptionBlock&) {}
    virtual void onChannelAvailable(int) {}
    virtual void onStreamEstablished() {}
    virtual void onMessage(const EngineMessage&) {}

private:
    void deliver(const EngineOutputs& o) {
        for (const auto& s : o.statusLines) onStatusLine(s);
        for (const auto& t : o.tickers) onTicker(t);
        if (o.programmeList) onProgrammeList(*o.programmeList);
        for (const auto& c : o.captions) onCaption(c);
        if (o.channelAvailable) onChannelAvailable(*o.channelAvailable);
        if (o.streamEstablished) onStreamEstablished();
        for (const auto& m : o.messages) onMessage(m);
    }
};

// Keeps the caption screens it is given, in order.
struct CaptionTap : OutputTap {
    std::vector<CaptionBlock> captions;
    void onCaption(const CaptionBlock& b) override { captions.push_back(b); }
};

} // namespace kobal::test
