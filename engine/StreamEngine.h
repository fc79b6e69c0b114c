#pragma once
// The four-thread acquisition pipeline:
//
//   reader    polls the tuner (GetTSStream) and queues 1128-byte chunks
//   demux     while acquiring: finds the PMT on 0x1FC8 and the programme's PIDs
//   parse     while streaming: splits packets by PID, reassembles PES packets into EsUnits,
//             hands SI sections and caption packets to the SiSink
//   data pump cuts access units and ADTS frames and sends them to the renderer
//
// Each thread sleeps on its own wait set [stop, reset, semaphore, exited]; two FIFO queues
// (chunks, units) connect them, each behind its own lock; the renderer link has the third.
// No thread holds two of these locks at once.
//
// The words shared with the session (source kind, pipeline mode, acquisition stage, delivery
// state, PIDs) are read and written without locks (atomics).
#include <atomic>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/EsFramer.h"
#include "engine/TsDemux.h"

namespace kobal {

class Event;
class NamedSemaphore;
class Waitable;
class PlayerLinkEnd;
class SiSink;

inline constexpr int kChunkSize = 1128;
inline constexpr int kReaderBufferSize = 2256;
// The reader's time-out between passes (after the 5 ms pause), and the most chunks one pass
// takes from the tuner.
inline constexpr int kReaderIdlePollMs = 15;
inline constexpr int kReaderChunksPerPass = 4;
inline constexpr int kDemuxBufferSize = 11280;
inline constexpr int kDemuxKeep = 10152;
inline constexpr int kDemuxProbeMin = 4512;
// Chunks the demux thread keeps while it seeks the PMT (its buffer's worth): the parse thread
// gets them once the programme is known, so the stream's first pictures are not lost.
inline constexpr size_t kProbedChunksMax = 10;
inline constexpr int kParseBufferSize = 112988;
inline constexpr int kParseKeep = 111860;
// Bounds of the queues: while nobody takes chunks (a recorded file plays, the reader still
// polls) or units, the oldest items are dropped. About 25 s of a one-segment stream each.
inline constexpr size_t kChunkQueueMax = 1024;
inline constexpr size_t kUnitQueueMax = 1024;

enum SourceKind : int { kSourceNone = 0, kSourceLive = 1, kSourceFile = 3 };
enum PipelineMode : int { kModeAcquisition = 0, kModeStreaming = 1 };
enum AcquisitionStage : int { kStageSeeking = 2, kStageDone = 4 };

struct Chunk {
    uint8_t data[kChunkSize];
    int length = kChunkSize;
};

struct EngineCounters {
    uint64_t chunksRead = 0, chunksDropped = 0, unitsQueued = 0, unitsDropped = 0;
    uint64_t videoUnits = 0, audioUnits = 0; // taken by the data pump
    size_t chunkQueue = 0, unitQueue = 0, pendingVideoUnits = 0, pendingAudioUnits = 0;
};

class StreamEngine : private DemuxOutput {
public:
    enum Thread : int { kReader = 0, kDemux = 1, kParse = 2, kDataPump = 3, kThreadCount = 4 };

    // GetTSStream-like source: fills buffer (2256 bytes), nonzero when its first 1128 bytes
    // are new stream data.
    using StreamSource = std::function<int(unsigned char* buffer, int length)>;
    // Asks for the "error - Jor #2" message box; must return at once (the session queues it
    // for the window: the UI thread joins this thread at stop, so waiting here can deadlock).
    using MessageFn = std::function<void(const std::string& text)>;

    explicit StreamEngine(PlayerLinkEnd& link);
    ~StreamEngine();
    StreamEngine(const StreamEngine&) = delete;
    StreamEngine& operator=(const StreamEngine&) = delete;

    void setStreamSource(StreamSource source) { source_ = std::move(source); }
    void setMessageFn(MessageFn fn) { message_ = std::move(fn); }
    void setSink(SiSink* sink);

    // Lifecycle, main thread.
    void initialiseState();
    bool createWaitObjects();
    // Creates the threads in the order demux, parse, reader, data pump; false when one fails.
    bool createThreads();
    bool threadsExist() const { return threads_[kDemux].joinable(); }
    void resetPipeline();
    void startReading();
    // Stops reader, parse, demux, data pump in turn (each waited for); nothing without threads.
    void stopThreads();
    void closeWaitObjects();
    void emptyQueues();
    void deleteLocks() { initialised_ = false; }
    bool initialised() const { return initialised_; }

    // Shared words.
    std::atomic<int> sourceKind{kSourceNone};
    std::atomic<int> pipelineMode{kModeAcquisition};
    std::atomic<int> acquisitionStage{kStageDone};
    std::atomic<uint8_t> deliveryState{records::kDeliveryInitial};
    PidTable pids;

    EsFramer& framer() { return framer_; }
    EngineCounters counters();
    // CPU time used so far by a running engine thread, in seconds (-1 when it does not run).
    double threadCpuSeconds(Thread which) const;

private:
    // One thread's handles in wait order: [0] stop, [1] reset, [2] semaphore, [3] exited.
    struct WaitSlots {
        std::unique_ptr<Event> stop, reset, exited;
        std::unique_ptr<NamedSemaphore> semaphore;
        std::vector<Waitable*> handles() const;
    };

    void readerMain();
    void demuxMain();
    void parseMain();
    void dataPumpMain();
    void finishThread(Thread which);

    bool takeChunk(size_t moreThan, Chunk& out);
    // Puts chunks back at the head of the queue, in their order (within the queue's bound).
    void requeueChunks(const std::deque<Chunk>& chunks);
    void pushUnit(EsUnit&& unit) override;
    void wakeDataPump() override;
    void headerOnlyPes() override;

    PlayerLinkEnd& link_;
    StreamSource source_;
    MessageFn message_;
    std::atomic<SiSink*> sink_{nullptr};
    std::atomic<bool> initialised_{false};

    std::mutex chunkLock_;
    std::deque<std::unique_ptr<Chunk>> chunks_;
    std::mutex unitLock_;
    std::deque<std::unique_ptr<EsUnit>> units_;

    WaitSlots waits_[kThreadCount];
    std::thread threads_[kThreadCount];
    std::atomic<bool> running_[kThreadCount] = {};
    clockid_t cpuClocks_[kThreadCount] = {};

    PmtCollector pmt_;
    PacketScanner scanner_;
    EsFramer framer_;

    std::atomic<uint64_t> chunksRead_{0}, chunksDropped_{0}, unitsQueued_{0}, unitsDropped_{0};
    std::atomic<uint64_t> videoUnits_{0}, audioUnits_{0};
};

} // namespace kobal
