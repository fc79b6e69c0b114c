#pragma once
// The live source for "x-dmb://…" names. In order: it creates the frame and stop events by
// name, opens its end of the renderer link, and only then sends copy-data 2 (process id, then
// the name) to the host, whose tuner session needs both ends present. Its reader thread then
// connects, sends copy-data 3 once it can receive, and takes every record — also while the
// graph is paused, so the sender's waiting sends never stall. It sends copy-data 4 when it
// stops, whether the graph stops it or the player pulses the stop event.
//
// Records: config blocks are kept (they open the decoders and the recorder), frames get a
// continuous time (StreamTimeline) and go to the queue and, while recording, to the
// recorder. The sender cuts an access unit only when the next one's delimiter arrives, by
// which time the record carries the next unit's time: a picture's own time is one record
// step earlier. Anything that does not fit its record is dropped; a dropped video record
// marks the next one as following a gap, so decoding waits for an IDR picture. 0x108 starts
// or stops the recording into the file named under [RECControl] FileName of config.ini;
// 0x109 picks the main or sub programme of dual mono.
#include "PacketQueue.h"
#include "RendererHost.h"
#include "RendererLinkEnd.h"
#include "Source.h"
#include "StreamTimeline.h"
#include "TsRecorder.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kobal::render {

class LinkSource : public Source {
public:
    struct Callbacks {
        std::function<void(int)> audioChannel; // 0x109: 1 main, 2 sub (reader thread)
        std::function<void()> recordingFailed; // a write failed, the file closed (reader thread)
    };
    LinkSource(RendererHost* host, PacketQueue& queue, Callbacks callbacks);
    ~LinkSource() override;

    // Events, link end, copy-data 2, reader thread. Returns an error code when the named
    // objects cannot be had or the host refuses the start (answer 0).
    HRESULT open(const std::string& name);

    bool live() const override { return true; }
    int64_t durationUs() const override { return 0; }
    bool canSeek() const override { return false; }
    bool seek(int64_t) override { return false; }
    void shutdown() override;

    bool connected() const { return connected_; }
    bool recording() const;
    // Statistics for tools and tests.
    size_t recordsTaken() const { return records_; }
    size_t recordsDropped() const { return dropped_; }
    size_t videoQueued() const { return videoQueued_; } // access units handed to the presenter

    // Handles one record as taken from the link (public for tests that feed records directly).
    void handleRecord(const uint8_t* data, size_t size);

private:
    void readerLoop();
    void startRecording();
    void stopRecording();

    RendererHost* host_;
    PacketQueue& queue_;
    Callbacks cb_;
    std::string name_;
    std::unique_ptr<RendererLinkEnd> link_;
    std::unique_ptr<NamedEvent> frameEvent_, stopEvent_;
    std::thread reader_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> stoppedSent_{false};
    bool accepted_ = false;
    StreamTimeline timeline_;
    std::vector<uint8_t> videoConfig_, audioConfig_;
    int64_t audioFrameUs_ = 21'333;
    int64_t lastVideoUs_ = INT64_MIN;
    bool videoGap_ = false; // a video record was dropped since the last one queued
    mutable std::mutex recLock_;
    TsRecorder recorder_;
    std::atomic<size_t> records_{0}, dropped_{0}, videoQueued_{0};
};

} // namespace kobal::render
