#pragma once
// The engine-facing half of the main window: owns the tuner library object, decides whether a
// start is live tuning or recorded-file playback, opens the renderer link, tunes, and starts
// and stops the four engine threads. Runs on the main window's thread; the engine threads
// read the shared words (source kind, pipeline mode, acquisition stage) without locks.
//
// The renderer drives it with copy-data commands 2, 3 and 4 (and the window sends itself 14),
// all entering through onCopyData().
//
// It talks to the window through two contracts only: SessionWindow (commands, called on the UI
// thread) and its EngineOutputSink (what the engine threads produce; the window pulls it). The
// window owns the session; the session owns the sink, the link and the engine.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineOutputs.h"
#include "engine/PlayerLinkEnd.h"
#include "engine/ServiceInfo.h"
#include "engine/StreamEngine.h"

class CTDMBDll;

namespace kobal {

class SessionWindow;
class SiSink;

using records::kCopyDataRendererReady;
using records::kCopyDataRendererStopped;
using records::kCopyDataStart;
using records::kCopyDataStop;

class TunerSession {
public:
    // Builds the tuner library object (it is not opened yet).
    explicit TunerSession(SessionWindow& window);
    // Stops the engine and closes the tuner when it is open.
    ~TunerSession();
    TunerSession(const TunerSession&) = delete;
    TunerSession& operator=(const TunerSession&) = delete;

    // Copy-data commands 2, 3, 4 and 14. Command 2's data is the sender's 32-bit process id
    // followed by the UTF-16 source text (NUL-terminated or not); for 3 and 4 processId is the
    // sender's id (the data length field on the wire). Answers 0 for a refused command.
    long onCopyData(unsigned long command, long processId, const std::vector<uint8_t>& data);
    // Builds command 2's data for a source text.
    static std::vector<uint8_t> startRecord(long processId, const std::u16string& source) {
        return records::startPayload(uint32_t(processId), source);
    }

    // Steps of command 2, for callers that drive them one by one.
    int start(const std::u16string& source);
    int tune(const std::u16string& source);
    void resetPipeline() { engine_.resetPipeline(); }
    void startReading() { engine_.startReading(); }
    void stopEngine();
    void closeLink();

    // True when the tuner is open and the slot's availability word is nonzero (opens the
    // tuner first when it is closed; a failed open there ends the player).
    bool slotReceivable(int slot);
    void deviceRemoved();
    void deviceAttached();

    // Fields the main window reads and writes.
    CTDMBDll& tuner() { return *tuner_; }
    int sourceKind() const { return engine_.sourceKind; }
    void setSourceKind(int kind) { engine_.sourceKind = kind; }
    int linkReady() const { return linkReady_; }
    void setLinkReady(int value) { linkReady_ = value; }
    bool linkResetRequested() const { return linkResetRequested_; }
    void setLinkResetRequested(bool value) { linkResetRequested_ = value; }
    const std::string& currentKey() const { return currentKey_; }
    void setCurrentKey(const std::string& key) { currentKey_ = key; }
    const std::string& waitingKey() const { return waitingKey_; }
    void setWaitingKey(const std::string& key) { waitingKey_ = key; }
    bool tunerPresent() const { return tunerPresent_; }
    bool streamEstablished() const { return streamEstablished_; }
    void clearStreamEstablished() { streamEstablished_ = false; }

    PlayerLinkEnd& link() { return link_; }
    StreamEngine& engine() { return engine_; }
    // What the engine threads produce for the window (status lines, ticker, programme list,
    // captions, channel mark, stream established, message boxes). The window sets its wake-up
    // before the first start and takes on its UI thread.
    EngineOutputSink& outputs() { return outputs_; }
    // The parse thread's reader of service name, guide and captions; it reports to outputs()
    // and is the engine's sink unless setSiSink replaces it.
    ServiceInfoReader& serviceInfo() { return serviceInfo_; }
    void setSiSink(SiSink* sink) { engine_.setSink(sink); }
    // Replaces the tuner's GetTSStream as the reader's source (recorded transport streams in
    // tools); empty restores the tuner.
    void setStreamSource(StreamEngine::StreamSource source);

private:
    void onAnnounced();
    bool ownProcess(long processId) const;

    SessionWindow& window_;
    EngineOutputSink outputs_; // outlives the engine's threads
    std::unique_ptr<CTDMBDll> tuner_;
    PlayerLinkEnd link_;
    ServiceInfoReader serviceInfo_; // outlives the engine's threads
    StreamEngine engine_;
    int linkReady_ = 3;
    bool linkResetRequested_ = false;
    bool tunerPresent_ = true;
    std::atomic<bool> streamEstablished_{false};
    std::string currentKey_;
    std::string waitingKey_;
    int savedSignalBars_ = 0;
};

} // namespace kobal
