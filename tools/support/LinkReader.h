#pragma once
// The renderer's part of the renderer link, for tools and tests that run the engine without
// the renderer: it creates the frame and stop events, opens the link as the second party with
// its own party id, and then takes every record on a thread of its own, signalling its event
// after each one. Records are summarised as they arrive (counts, byte totals, the config
// blocks, the first timestamps); up to a limit they are also kept whole.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kobal {

class NamedEvent;
class SharedMemoryLink;

struct ReceivedRecord {
    uint32_t type = 0;
    uint32_t length = 0;
    uint64_t timestamp = 0;
    std::vector<uint8_t> payload; // config bytes or frame payload (cut to length)
    std::chrono::steady_clock::time_point at;
};

struct LinkSummary {
    uint64_t videoRecords = 0, videoBytes = 0, audioRecords = 0, audioBytes = 0;
    uint64_t otherRecords = 0;
    std::vector<uint8_t> videoConfig, audioConfig; // first ones received
    int videoConfigCount = 0, audioConfigCount = 0;
    int64_t firstVideoTimestamp = -1, firstAudioTimestamp = -1;
    int64_t lastVideoTimestamp = -1;
    // Order of first arrivals: true when a config block came before the first frame record.
    bool configBeforeFrames = false;
    bool frameBeforeConfig = false;
    std::chrono::steady_clock::time_point firstVideoAt{};
    // Payload lengths of the frame records in arrival order (the first 200000 of each kind).
    std::vector<uint32_t> videoSizes, audioSizes;
};

class LinkReader {
public:
    static constexpr int kReaderPartyId = 7;

    explicit LinkReader(size_t keepRecords = 0, int partyId = kReaderPartyId);
    ~LinkReader();

    // Creates the two named events and opens the reading side of the link. True when the
    // link object was opened (the player's side may come later).
    bool open();
    // Starts taking records on the reader thread.
    void start();
    // Stops the thread and releases everything.
    void stop();

    LinkSummary summary();
    std::vector<ReceivedRecord> records();
    // Clears the summary and kept records (e.g. at a channel change) and takes records again
    // after a stop pulse.
    void clear();
    // Waits up to timeoutMs until at least count records of type have arrived.
    bool waitFor(uint32_t type, uint64_t count, int timeoutMs);
    // Number of times the frame event was found set.
    uint64_t frameEvents() const { return frameEvents_; }
    bool stopEventSeen() const { return stopSeen_; }

private:
    void run();
    void take(const uint8_t* data, size_t length);

    size_t keep_;
    int partyId_;
    std::unique_ptr<NamedEvent> frameEvent_, stopEvent_;
    std::unique_ptr<SharedMemoryLink> link_;
    std::vector<uint8_t> buffer_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> frameEvents_{0};
    std::atomic<bool> stopSeen_{false};
    std::mutex mutex_;
    LinkSummary summary_;
    std::vector<ReceivedRecord> kept_;
};

} // namespace kobal
