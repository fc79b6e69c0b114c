#include "engine/EngineOutputs.h"

namespace kobal {

namespace {
template <class Seq, class T> void pushBounded(Seq& seq, T&& item, size_t max, size_t& dropped) {
    if (seq.size() >= max) {
        seq.erase(seq.begin());
        ++dropped;
    }
    seq.push_back(std::forward<T>(item));
}
} // namespace

void EngineOutputSink::setWake(WakeFn wake) {
    auto fn = wake ? std::make_shared<const WakeFn>(std::move(wake)) : nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    wake_ = std::move(fn);
}

template <class Fn> void EngineOutputSink::produce(Fn&& fn) {
    std::shared_ptr<const WakeFn> wake;
    {
        std::lock_guard<std::mutex> guard(lock_);
        fn(pending_);
        if (!wakePosted_) {
            wakePosted_ = true;
            wake = wake_;
        }
    }
    if (wake) (*wake)();
}

void EngineOutputSink::statusLine(std::u16string text) {
    produce([&](EngineOutputs& o) {
        pushBounded(o.statusLines, std::move(text), kMaxStatusLines, o.dropped);
    });
}

void EngineOutputSink::programmeTicker(std::u16string text) {
    produce(
        [&](EngineOutputs& o) { pushBounded(o.tickers, std::move(text), kMaxTickers, o.dropped); });
}

void EngineOutputSink::programmeList(const ProgrammeGuide& guide) {
    // Copied outside the lock: the producer's guide changes as soon as it returns.
    ProgrammeGuide copy = guide;
    produce([&](EngineOutputs& o) { o.programmeList = std::move(copy); });
}

void EngineOutputSink::caption(const CaptionBlock& block) {
    produce([&](EngineOutputs& o) { pushBounded(o.captions, block, kMaxCaptions, o.dropped); });
}

void EngineOutputSink::channelAvailable(int slot) {
    produce([&](EngineOutputs& o) { o.channelAvailable = slot; });
}

void EngineOutputSink::streamEstablished() {
    produce([&](EngineOutputs& o) { o.streamEstablished = true; });
}

void EngineOutputSink::messageBox(std::string text, std::string title, unsigned flags) {
    produce([&](EngineOutputs& o) {
        pushBounded(o.messages, EngineMessage{std::move(text), std::move(title), flags},
                    kMaxMessages, o.dropped);
    });
}

EngineOutputs EngineOutputSink::take() {
    EngineOutputs out;
    std::lock_guard<std::mutex> guard(lock_);
    std::swap(out, pending_);
    wakePosted_ = false;
    return out;
}

} // namespace kobal
