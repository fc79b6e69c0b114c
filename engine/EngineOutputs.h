#pragma once
// What the engine threads give the main window: the first of the two contracts between the
// engine and the window (the other is SessionWindow, the UI thread's commands).
//
//   parse thread ──┐                      ┌── one wake-up ──▶ window (posts to its UI thread)
//   data pump ─────┼─▶ EngineOutputSink ──┤
//   UI thread ─────┘   (own small lock)   └── take() ◀── UI thread pulls everything at once
//
// Producers (any engine thread, and the UI thread for its own status lines) only ever take the
// sink's lock for a copy or a move; they never wait for the UI thread and never call into the
// window. The first output after a take() calls the wake-up function once, outside the lock;
// further outputs add to what is pending until the next take(). Sequences (caption screens,
// ticker texts, status lines, message boxes) are kept in order, each bounded (the oldest goes
// when full, counted in `dropped`); of the rest only the latest is kept.
//
// Who owns: TunerSession owns its sink; the window sets the wake-up and takes. Engine code that
// produces outputs holds a pointer to it, valid while the engine threads run.
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/Caption.h"
#include "engine/ProgrammeGuide.h"

namespace kobal {

// A message box an engine thread asked for; the window shows it on its own thread.
struct EngineMessage {
    std::string text, title;
    unsigned flags = 0;
};

// Everything that arrived since the last take(), oldest first.
struct EngineOutputs {
    // Status lines ("チャンネル : " + service name on every SDT start; "" clears the line).
    std::vector<std::u16string> statusLines;
    // Programme ticker texts; the ticker scrolls the last one from its beginning.
    std::vector<std::u16string> tickers;
    // Caption screens for the caption panel, each shown in turn.
    std::deque<CaptionBlock> captions;
    std::vector<EngineMessage> messages;
    // The latest guide to rebuild the programme list from (index 1 first, up to the first
    // empty title); an empty guide empties the list.
    std::optional<ProgrammeGuide> programmeList;
    // The slot the channel panel marks receivable (the latest one).
    std::optional<int> channelAvailable;
    // The stream was established (formats announced to the renderer).
    bool streamEstablished = false;
    // Sequence items dropped because the window did not take them in time.
    size_t dropped = 0;

    bool empty() const {
        return statusLines.empty() && tickers.empty() && captions.empty() && messages.empty() &&
               !programmeList && !channelAvailable && !streamEstablished && dropped == 0;
    }
};

class EngineOutputSink {
public:
    // Bounds of the sequences: far more than a window that takes within a second ever meets
    // (captions come at most a few per second, status lines and tickers about one).
    static constexpr size_t kMaxStatusLines = 64;
    static constexpr size_t kMaxTickers = 32;
    static constexpr size_t kMaxCaptions = 32;
    static constexpr size_t kMaxMessages = 16;

    using WakeFn = std::function<void()>;

    // Any thread. Called (outside the sink's lock, on the producing thread) once per take():
    // it must return at once, e.g. QMetaObject::invokeMethod(window, ..., Qt::QueuedConnection).
    void setWake(WakeFn wake);

    // Producers: any thread, never blocking on the consumer.
    void statusLine(std::u16string text);
    void programmeTicker(std::u16string text);
    void programmeList(const ProgrammeGuide& guide); // copied
    void caption(const CaptionBlock& block);         // copied
    void channelAvailable(int slot);
    void streamEstablished();
    void messageBox(std::string text, std::string title, unsigned flags);

    // The consumer (the window's UI thread): everything pending, in one call.
    EngineOutputs take();

private:
    template <class Fn> void produce(Fn&& fn);

    std::mutex lock_;
    EngineOutputs pending_;
    bool wakePosted_ = false;
    std::shared_ptr<const WakeFn> wake_;
};

} // namespace kobal
