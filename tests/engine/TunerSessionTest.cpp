// The tuner session on the simulator tuner with a renderer-side reader on the real link:
// copy-data commands, source kinds, live streaming, channel changes and stopping.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QThread>
#include <thread>

#include "broadcast/AreaPresetTable.h"
#include "engine/SessionWindow.h"
#include "engine/SiSink.h"
#include "engine/TunerSession.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "tests/engine/OutputTap.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TsPackets.h"
#include "tools/support/LinkReader.h"
#include "tuner/CTDMBDll.h"

using namespace kobal;
using namespace kobal::records;
using namespace std::chrono_literals;
using kobal::test::waitUntil;

namespace {

constexpr int kArea = 7;

// The window's side of both contracts; outputs are taken on the thread that made them.
struct RecordingHost : SessionWindow, test::OutputTap {
    std::u16string status = u"unchanged", message;
    std::atomic<int> marked{-1}, boxes{0}, established{0};
    std::vector<int> stopped;
    bool recording = false;
    int recordStops = 0, cursorRestores = 0;
    std::vector<std::pair<int, int>> started;

    void onStatusLine(const std::u16string& t) override { status = t; }
    void showMessage(const std::u16string& t) override { message = t; }
    void startTimer(int id, int ms) override { started.push_back({id, ms}); }
    void stopTimer(int id) override { stopped.push_back(id); }
    void restoreCursor() override { ++cursorRestores; }
    void onChannelAvailable(int slot) override { marked = slot; }
    bool recordingRunning() override { return recording; }
    void stopRecording(bool) override {
        recording = false;
        ++recordStops;
    }
    void onStreamEstablished() override { ++established; }
    void onMessage(const EngineMessage&) override { ++boxes; }
};

struct ResetCounter : SiSink {
    std::atomic<int> starts{0}, resets{0};
    void onParseStart() override { ++starts; }
    void onParseReset() override { ++resets; }
};

std::string keyFor(int slot) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d%02d%d", slot, 0, 0);
    return b;
}

struct Fixture : ::testing::Test {
    RecordingHost host;
    std::unique_ptr<TunerSession> session;
    const long pid = long(getpid());
    const int slot = AreaPresetTable::station(kArea, 0).slot;

    void SetUp() override {
        veltra::sim::setArea(kArea);
        session = std::make_unique<TunerSession>(host);
        host.listen(session->outputs());
    }
    void TearDown() override { session.reset(); }

    long start(const std::u16string& source, long sender = -1) {
        return session->onCopyData(kCopyDataStart, 0,
                                   TunerSession::startRecord(sender < 0 ? pid : sender, source));
    }
    long startLive(int onSlot) {
        session->setCurrentKey(keyFor(onSlot));
        return start(u"x-dmb://" + std::u16string(u"ch"));
    }
};

using TunerSessionTest = Fixture;

} // namespace

TEST_F(TunerSessionTest, CommandsFromAnotherProcessAreRefused) {
    EXPECT_EQ(start(u"x-dmb://", pid + 1), 0);
    EXPECT_EQ(session->onCopyData(kCopyDataRendererReady, pid + 1, {}), 0);
    EXPECT_EQ(session->onCopyData(kCopyDataRendererStopped, pid + 1, {}), 0);
    EXPECT_EQ(session->linkReady(), 3);
    EXPECT_EQ(session->sourceKind(), kSourceNone);
    EXPECT_EQ(session->onCopyData(kCopyDataStart, pid, {1, 2}), 0); // too short for an id
}

TEST_F(TunerSessionTest, SourceTextsWithoutTheLinkPrefix) {
    // No extension: nothing happens, success.
    EXPECT_EQ(session->start(u"/videos/plain"), 1);
    EXPECT_EQ(session->sourceKind(), kSourceNone);
    EXPECT_FALSE(session->link().exists());
    EXPECT_EQ(host.status, u"unchanged");
    // A recorded file, whatever the case of its extension: no thread, no link.
    EXPECT_EQ(start(u"/videos/show.rec"), 1);
    EXPECT_EQ(session->sourceKind(), kSourceFile);
    EXPECT_EQ(host.status, u"");
    EXPECT_FALSE(session->engine().threadsExist());
    EXPECT_FALSE(session->link().exists());
    session->setSourceKind(kSourceNone);
    EXPECT_EQ(session->start(u"C:\\rec.d\\SHOW.REC"), 1);
    EXPECT_EQ(session->sourceKind(), kSourceFile);
    // Another extension needs a renderer on the link; there is none.
    EXPECT_EQ(session->start(u"/videos/movie.mp4"), 0);
    EXPECT_FALSE(session->link().exists());
}

TEST_F(TunerSessionTest, LiveStartWithoutRendererFailsAndLeavesNoLink) {
    EXPECT_EQ(startLive(slot), 0);
    EXPECT_FALSE(session->link().exists());
    EXPECT_EQ(session->sourceKind(), kSourceNone);
    EXPECT_FALSE(session->engine().threadsExist());
}

TEST_F(TunerSessionTest, StopEngineWithoutThreadsLeavesHandlesAlone) {
    session->stopEngine();
    EXPECT_FALSE(session->engine().threadsExist());
    EXPECT_EQ(session->linkReady(), 0); // no source
    session->stopEngine();
}

TEST_F(TunerSessionTest, LiveChannelStreamsConfigFirstThenFrames) {
    LinkReader reader(0);
    ASSERT_TRUE(reader.open());
    reader.start();
    ASSERT_EQ(startLive(slot), 1);
    EXPECT_EQ(session->sourceKind(), kSourceLive);
    EXPECT_TRUE(session->engine().threadsExist());
    EXPECT_EQ(
        Profile::getString(paths::inInstall("config.ini"), "DMBControl", "CurrentChannel", ""),
        keyFor(slot));
    EXPECT_EQ(session->onCopyData(kCopyDataRendererReady, pid, {}), 1);
    EXPECT_EQ(session->linkReady(), 1);

    ASSERT_TRUE(reader.waitFor(kVideoFrame, 30, 60000));
    ASSERT_TRUE(reader.waitFor(kAudioFrame, 30, 60000));
    const LinkSummary s = reader.summary();
    EXPECT_TRUE(s.configBeforeFrames);
    EXPECT_FALSE(s.frameBeforeConfig);
    EXPECT_EQ(s.videoConfigCount, 1);
    ASSERT_GE(s.videoConfig.size(), 8u);
    EXPECT_EQ(s.videoConfig[3] & 0x1F, 7); // starts with the SPS and its start code
    ASSERT_EQ(s.audioConfig.size(), 7u);
    EXPECT_EQ(s.audioConfig[0], 0xFF);
    EXPECT_EQ(s.audioConfig[1], 0xF8);
    EXPECT_EQ(session->engine().deliveryState.load(), kDeliveryStreaming);
    EXPECT_EQ(session->engine().pids.video.load() != kNoPid, true);
    EXPECT_TRUE(waitUntil([&] { return host.marked == slot; }));
    EXPECT_EQ(session->tuner().slotPair[slot].available, 1);
    EXPECT_EQ(session->tuner().channelInfo[slot].found, 1);
    EXPECT_TRUE(session->streamEstablished());
    EXPECT_EQ(Profile::getString(paths::inInstall("config.ini"), "DMBControl", "LastChannel", ""),
              keyFor(slot));
    EXPECT_TRUE(session->slotReceivable(slot));

    // Stop (14): the threads end, the renderer sees the stop pulse, the link goes.
    session->setWaitingKey("12000");
    EXPECT_EQ(session->onCopyData(kCopyDataStop, pid, {}), 1);
    EXPECT_FALSE(session->engine().threadsExist());
    EXPECT_FALSE(session->link().exists());
    EXPECT_EQ(session->linkReady(), 0);
    EXPECT_TRUE(session->currentKey().empty());
    EXPECT_TRUE(session->waitingKey().empty());
    EXPECT_TRUE(waitUntil([&] { return reader.stopEventSeen(); }, 5s));
}

TEST_F(TunerSessionTest, ChannelChangeStartsDeliveryAgainWithoutNewThreads) {
    ResetCounter sink;
    session->setSiSink(&sink);
    LinkReader reader(0);
    ASSERT_TRUE(reader.open());
    reader.start();
    ASSERT_EQ(startLive(slot), 1);
    session->onCopyData(kCopyDataRendererReady, pid, {});
    ASSERT_TRUE(reader.waitFor(kVideoFrame, 5, 60000));
    EXPECT_TRUE(waitUntil([&] { return sink.starts == 1; }));

    // Watch the delivery state while the channel changes.
    std::atomic<bool> watching{true}, sawRestart{false};
    std::thread watch([&] {
        while (watching) {
            if (session->engine().deliveryState.load() != kDeliveryStreaming) sawRestart = true;
            std::this_thread::sleep_for(1ms);
        }
    });
    const int other = AreaPresetTable::station(kArea, 1).slot;
    ASSERT_GE(other, 0);
    session->setLinkReady(0); // the renderer rebuilt its graph: the pipeline is reset
    ASSERT_EQ(startLive(other), 1);
    session->onCopyData(kCopyDataRendererReady, pid, {});
    EXPECT_TRUE(waitUntil([&] { return session->engine().framer().stats().announcements == 2; }));
    watching = false;
    watch.join();
    EXPECT_TRUE(sawRestart);
    EXPECT_TRUE(waitUntil([&] { return sink.resets >= 1; }));
    EXPECT_EQ(sink.starts.load(), 1); // the same threads
    EXPECT_TRUE(reader.waitFor(kVideoConfig, 2, 10000));
    EXPECT_TRUE(waitUntil([&] { return host.marked == other; }));
    EXPECT_EQ(session->tuner().tunedSlot(), other);
}

TEST_F(TunerSessionTest, RendererStoppedEndsRecordingAndSource) {
    LinkReader reader(0);
    ASSERT_TRUE(reader.open());
    reader.start();
    ASSERT_EQ(startLive(slot), 1);
    host.recording = true;
    EXPECT_EQ(session->onCopyData(kCopyDataRendererStopped, pid, {}), 1);
    EXPECT_EQ(host.recordStops, 1);
    EXPECT_EQ(session->sourceKind(), kSourceNone);
    EXPECT_EQ(session->linkReady(), 0);
    EXPECT_FALSE(session->engine().threadsExist());
    EXPECT_FALSE(session->link().exists());
    EXPECT_NE(std::find(host.stopped.begin(), host.stopped.end(), kTimerSignalPoll),
              host.stopped.end());
}

TEST_F(TunerSessionTest, ReadyArmsTheTuneTimerOnlyForAWaitingKey) {
    EXPECT_EQ(session->onCopyData(kCopyDataRendererReady, pid, {}), 1);
    EXPECT_TRUE(host.started.empty());
    session->setLinkResetRequested(true);
    session->setWaitingKey("14000");
    EXPECT_EQ(session->onCopyData(kCopyDataRendererReady, pid, {}), 1);
    ASSERT_EQ(host.started.size(), 1u);
    EXPECT_EQ(host.started[0], std::make_pair(kTimerTuneWaiting, 100));
    EXPECT_FALSE(session->linkResetRequested());
    EXPECT_EQ(host.cursorRestores, 2);
}

TEST_F(TunerSessionTest, DeviceRemovalStopsEverythingAndAttachRestoresTheBars) {
    LinkReader reader(0);
    ASSERT_TRUE(reader.open());
    reader.start();
    ASSERT_EQ(startLive(slot), 1);
    host.setSignalBars(4);
    session->deviceRemoved();
    EXPECT_FALSE(session->tunerPresent());
    EXPECT_FALSE(session->engine().threadsExist());
    EXPECT_EQ(session->linkReady(), 0);
    EXPECT_EQ(host.signalBars(), 0);
    EXPECT_EQ(host.message, u"USBデバイスが取り外されました。");
    EXPECT_FALSE(session->tuner().IsOpen());
    session->deviceAttached();
    EXPECT_TRUE(session->tunerPresent());
    EXPECT_EQ(host.signalBars(), 4);
    EXPECT_TRUE(session->tuner().IsOpen());
}

TEST_F(TunerSessionTest, EngineMessageBoxesQueueForTheUiThreadAndNeverHoldTheEngine) {
    test::ensureQtApp(test::QtApp::Core);
    QObject window;
    std::vector<EngineMessage> shown;
    bool allOnUiThread = true;
    // The window's wake-up: one queued call, after which the UI thread takes everything.
    session->outputs().setWake([&] {
        QMetaObject::invokeMethod(
            &window,
            [&] {
                allOnUiThread &= QThread::currentThread() == window.thread();
                for (EngineMessage& m : session->outputs().take().messages)
                    shown.push_back(std::move(m));
            },
            Qt::QueuedConnection);
    });
    // Every video PES holds nothing but its header (the parse thread asks for a box each
    // time); the sound between them must still reach the data pump.
    test::Bytes stream;
    int ccPmt = 0, ccV = 0, ccA = 0;
    uint64_t pts = 90000;
    for (int n = 0; stream.size() < 400 * 1128; ++n, pts += 1920) {
        if (n % 60 == 0) {
            test::append(stream, test::oneSegPmt(ccPmt));
        } else if (n % 15 == 0) {
            test::Bytes header = test::pes(0xE0, {}, pts, true);
            header[8] = uint8_t(184 - 9);
            header.resize(184, 0xFF);
            test::append(stream, test::packet(0x181, true, ccV++, header));
        } else {
            test::append(stream,
                         test::packetize(0x183, test::pes(0xC0, test::adts(150), pts), ccA));
        }
    }
    std::atomic<size_t> given{0};
    session->setStreamSource([&](unsigned char* buffer, int) {
        const size_t at = given * 1128;
        if (at + 1128 > stream.size()) return 0;
        std::memcpy(buffer, stream.data() + at, 1128);
        ++given;
        return 1;
    });
    LinkReader reader(0);
    ASSERT_TRUE(reader.open());
    reader.start();
    ASSERT_EQ(startLive(slot), 1);
    // The UI thread is busy (it runs no events) while the engine goes on past the boxes.
    EXPECT_TRUE(waitUntil([&] { return session->engine().counters().audioUnits > 1000; }));
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(test::pumpUntil([&] { return !shown.empty(); }));
    EXPECT_TRUE(allOnUiThread);
    ASSERT_FALSE(shown.empty());
    EXPECT_LE(shown.size(), EngineOutputSink::kMaxMessages);
    EXPECT_EQ(shown[0].text, "error - Jor #2");
    EXPECT_EQ(shown[0].title, "1seg Message");
    session->onCopyData(kCopyDataStop, pid, {});
}

TEST(TunerSessionReplay, ARecordedChannelPlaysOnAcrossItsLoopPoint) {
    // A two-second recording of UHF 27: the replay tuner starts it over at its end, where the
    // timestamps and continuity counters jump back.
    const std::string dir = test::makeTempDir("replay-loop");
    ASSERT_EQ(test::runCommand(test::binaryDir() +
                               "/tools/kobal_mkstream/kobal_mkstream --area 7 --slot 14 "
                               "--seconds 2 '" +
                               dir + "/27.ts' 2>/dev/null"),
              0);
    setenv("KOBAL_TUNER", "replay", 1);
    setenv("KOBAL_REPLAY_DIR", dir.c_str(), 1);
    RecordingHost host;
    auto session = std::make_unique<TunerSession>(host);
    host.listen(session->outputs());
    unsetenv("KOBAL_TUNER");
    unsetenv("KOBAL_REPLAY_DIR");
    LinkReader reader(0);
    ASSERT_TRUE(reader.open());
    reader.start();
    session->setCurrentKey(keyFor(14));
    ASSERT_EQ(session->onCopyData(kCopyDataStart, 0,
                                  TunerSession::startRecord(long(getpid()), u"x-dmb://ch")),
              1);
    session->onCopyData(kCopyDataRendererReady, long(getpid()), {});
    // Two seconds hold 30 pictures and about 94 audio frames; three passes give more than
    // one pass could.
    EXPECT_TRUE(reader.waitFor(kVideoFrame, 75, 30000));
    EXPECT_TRUE(reader.waitFor(kAudioFrame, 230, 30000));
    EXPECT_EQ(session->engine().counters().unitsDropped, 0u);
    EXPECT_EQ(session->engine().deliveryState.load(), kDeliveryStreaming);
    EXPECT_EQ(reader.summary().videoConfigCount, 1); // one channel, one announcement
    session->onCopyData(kCopyDataStop, long(getpid()), {});
}
