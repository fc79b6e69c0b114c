// The four engine threads on a stream source of the test's own: when the reader polls, how
// the consumers take chunks, the bound of the chunk queue, and a data pump that keeps up.
#include <gtest/gtest.h>

#include <thread>

#include "engine/PlayerLinkEnd.h"
#include "engine/SharedMemoryLink.h"
#include "engine/StreamEngine.h"
#include "link/RendererLinkProtocol.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TsPackets.h"

using namespace kobal;
using namespace kobal::test;
using namespace std::chrono_literals;

namespace {

// Hands out a prepared byte stream chunk by chunk (then nothing, or null packets).
struct ChunkSource {
    Bytes stream;
    size_t limit = SIZE_MAX; // chunks handed out at most
    bool padAfterEnd = false;
    bool endless = false;
    std::atomic<size_t> calls{0}, given{0};

    int operator()(unsigned char* buffer, int) {
        ++calls;
        if (given >= limit) return 0;
        const size_t at = given * 1128;
        if (endless || at + 1128 <= stream.size()) {
            std::memset(buffer, 0xFF, 1128);
            if (at + 1128 <= stream.size()) std::memcpy(buffer, stream.data() + at, 1128);
            ++given;
            return 1;
        }
        if (!padAfterEnd) return 0;
        Bytes nulls;
        for (int i = 0; i < 6; ++i) append(nulls, packet(0x1FFF, false, 0, {}));
        std::memcpy(buffer, nulls.data(), 1128);
        ++given;
        return 1;
    }
};

struct Engine {
    PlayerLinkEnd link;
    StreamEngine engine{link};
    ChunkSource source;

    explicit Engine(int kind) {
        engine.setStreamSource([this](unsigned char* b, int n) { return source(b, n); });
        engine.sourceKind = kind;
        engine.initialiseState();
        EXPECT_TRUE(engine.createWaitObjects());
        EXPECT_TRUE(engine.createThreads());
    }
    ~Engine() {
        engine.stopThreads();
        engine.closeWaitObjects();
        engine.emptyQueues();
    }
};

// PMT, then runs of one-packet audio PES (several per chunk) with a video PES now and then,
// an IDR picture first, as a tune meets a station's stream.
Bytes busyStream(int chunks, int* audioPes, int* videoPes = nullptr) {
    Bytes s;
    int ccPmt = 0, ccA = 0, ccV = 0, video = 0;
    *audioPes = 0;
    uint64_t pts = 90000;
    for (int packetNo = 0; int(s.size()) < chunks * 1128; ++packetNo) {
        if (packetNo % 60 == 0) {
            append(s, oneSegPmt(ccPmt));
        } else if (packetNo % 15 == 0) {
            append(s, packetize(0x181, pes(0xE0, accessUnit(packetNo % 150 == 15, 300), pts, true),
                                ccV));
            ++video;
        } else {
            append(s, packetize(0x183, pes(0xC0, adts(150), pts), ccA));
            ++*audioPes;
        }
        pts += 1920;
    }
    s.resize(size_t(chunks) * 1128);
    if (videoPes) *videoPes = video;
    return s;
}

} // namespace

TEST(StreamPipeline, ReaderPollsOnlyOnceStartedAndConsumersLeaveTwoChunks) {
    Engine e(kSourceLive);
    int unused = 0;
    e.source.stream = busyStream(20, &unused);
    e.source.limit = 2;
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(e.source.calls.load(), 0u); // no GetTSStream before the start
    e.engine.startReading();
    ASSERT_TRUE(test::waitUntil([&] { return e.source.calls > 20; }));
    EXPECT_EQ(e.engine.acquisitionStage.load(), kStageSeeking);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(e.engine.counters().chunkQueue, 2u); // two are not enough to take one
    e.source.limit = 3;
    ASSERT_TRUE(test::waitUntil([&] { return e.engine.counters().chunksRead == 3; }));
    EXPECT_TRUE(test::waitUntil([&] { return e.engine.counters().chunkQueue == 2; }));
}

TEST(StreamPipeline, RecordedFileLeavesChunksQueuedWithinTheBound) {
    Engine e(kSourceFile);
    e.source.endless = true;
    e.engine.startReading();
    ASSERT_TRUE(test::waitUntil(
        [&] { return e.engine.counters().chunksRead > kChunkQueueMax + 20; }, 120s));
    const EngineCounters c = e.engine.counters();
    EXPECT_LE(c.chunkQueue, kChunkQueueMax);
    EXPECT_GT(c.chunksDropped, 0u);
    EXPECT_EQ(e.engine.pipelineMode.load(), kModeAcquisition); // the demux thread ignored them
}

TEST(StreamPipeline, FindsTheProgrammeAndTheDataPumpKeepsUpWithManyUnits) {
    Engine e(kSourceLive);
    int audioPes = 0, videoPes = 0;
    e.source.stream = busyStream(700, &audioPes, &videoPes);
    e.source.padAfterEnd = true;
    e.engine.startReading();
    ASSERT_TRUE(test::waitUntil([&] { return e.engine.pipelineMode == kModeStreaming; }));
    EXPECT_EQ(e.engine.pids.video.load(), 0x181);
    EXPECT_EQ(e.engine.pids.audio.load(), 0x183);
    ASSERT_TRUE(test::waitUntil([&] { return e.source.given > 720; }, 120s));
    std::this_thread::sleep_for(300ms);
    const EngineCounters c = e.engine.counters();
    // About six units per chunk: one unit per wake-up would fall behind and drop.
    EXPECT_EQ(c.unitsDropped, 0u);
    EXPECT_LE(c.unitQueue, 2u);
    EXPECT_EQ(c.audioUnits + c.pendingAudioUnits + c.videoUnits + c.pendingVideoUnits,
              c.unitsQueued);
    // What the demux thread went over while it looked for the PMT is parsed too: nothing is
    // missing, the first IDR picture included (the last video PES has no end yet).
    EXPECT_EQ(c.audioUnits + c.pendingAudioUnits, uint64_t(audioPes));
    EXPECT_EQ(c.videoUnits + c.pendingVideoUnits, uint64_t(videoPes) - 1);
    const FramerStats f = e.engine.framer().stats();
    EXPECT_GT(f.audioCut, c.audioUnits - 200); // frames before the first IDR are not cut
    EXPECT_EQ(e.engine.deliveryState.load(), records::kDeliveryStreaming);
}

TEST(StreamPipeline, StoppingDoesNotWaitForEveryQueuedFrameWhileTheRendererDoesNotRead) {
    Engine e(kSourceLive);
    // A renderer end that connects and then never takes a record: every waiting send costs
    // the pump a second.
    ASSERT_TRUE(e.link.createIfMissing());
    auto silent = SharedMemoryLink::open(records::kRendererLinkName, records::kRendererLinkDataSize,
                                         false, 7);
    ASSERT_TRUE(silent->connect());
    ASSERT_TRUE(e.link.connected());
    int audioPes = 0;
    e.source.stream = busyStream(400, &audioPes);
    e.source.padAfterEnd = true;
    e.engine.startReading();
    ASSERT_TRUE(test::waitUntil([&] { return e.engine.counters().unitQueue > 40; }, 60s));
    const auto before = std::chrono::steady_clock::now();
    e.engine.stopThreads();
    const auto took = std::chrono::steady_clock::now() - before;
    // One send in progress may finish its wait; the queued frames behind it are not sent.
    EXPECT_LT(took, 5s);
    EXPECT_FALSE(e.engine.threadsExist());
}

TEST(StreamPipeline, StoppingWithoutThreadsDoesNothing) {
    PlayerLinkEnd link;
    StreamEngine engine(link);
    engine.stopThreads();
    EXPECT_FALSE(engine.threadsExist());
    engine.closeWaitObjects();
    engine.emptyQueues();
    EXPECT_EQ(engine.threadCpuSeconds(StreamEngine::kReader), -1);
}
