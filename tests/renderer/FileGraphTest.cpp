// The media graph on recorded files: render, play to the end, seek, pause, volume.
#include "RendererTestSupport.h"
#include "renderer/AudioOutput.h"
#include "renderer/FileSource.h"
#include "renderer/Presenter.h"

#include "../support/TestSupport.h"

#include <QWidget>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kobal;
using namespace std::chrono_literals;
using namespace kobal::render;
using kobal::test::RecordingHost;

namespace {

class FileGraphTest : public ::testing::Test {};

int64_t seconds(double s) {
    return int64_t(s * kUnitsPerSecond);
}

TEST_F(FileGraphTest, FilesThatAreNotMediaFailWithAnErrorCode) {
    RecordingHost host;
    MediaGraph graph(&host);
    const std::string text = test::homeDir() + "/notes.rec";
    ASSERT_TRUE(test::writeFile(text, std::string(4096, 'x') + "not a transport stream"));
    const HRESULT hr = graph.RenderFile(text);
    EXPECT_TRUE(failed(hr));
    EXPECT_EQ(graph.RenderFile(test::homeDir() + "/missing.rec"), HRESULT_FILE_NOT_FOUND);
    const std::string empty = test::homeDir() + "/empty.rec";
    ASSERT_TRUE(test::writeFile(empty, ""));
    EXPECT_TRUE(failed(graph.RenderFile(empty)));
    // A failed build leaves a graph that refuses control calls instead of crashing.
    EXPECT_TRUE(failed(graph.Run()));
    int64_t pos = 0;
    EXPECT_TRUE(failed(graph.GetCurrentPosition(&pos)));
    EXPECT_EQ(host.count(kCopyDataStart), 0);
    // Its event queue is empty, and says so the way the player's event loop expects.
    long code = 0, p1 = 0, p2 = 0;
    EXPECT_EQ(graph.GetEvent(&code, &p1, &p2, 0), E_ABORT);
    MediaGraph fresh(&host);
    EXPECT_EQ(fresh.GetEvent(&code, &p1, &p2, 0), E_ABORT);
    EXPECT_EQ(fresh.GetEvent(&code, &p1, &p2, 20), E_ABORT);
}

TEST_F(FileGraphTest, PlaysAFileToItsEndAndAnnouncesCompletion) {
    const std::string ts = test::makeTs(4);
    ASSERT_FALSE(ts.empty());
    RecordingHost host;
    MediaGraph graph(&host);
    ASSERT_EQ(graph.RenderFile(ts), S_OK);

    // The host learns of the file with copy-data 2: our pid, then the UTF-16 path.
    ASSERT_EQ(host.count(kCopyDataStart), 1);
    {
        const std::vector<uint8_t>& d = host.payloads[0];
        ASSERT_EQ(d.size(), 4 + ts.size() * 2);
        uint32_t pid;
        std::memcpy(&pid, d.data(), 4);
        EXPECT_EQ(pid, uint32_t(getpid()));
        EXPECT_EQ(d[4], uint8_t(ts[0]));
        EXPECT_EQ(d[5], 0);
    }

    int64_t duration = 0;
    ASSERT_EQ(graph.GetDuration(&duration), S_OK);
    EXPECT_NEAR(double(duration) / kUnitsPerSecond, 4.0, 0.3);
    unsigned caps =
        AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards;
    EXPECT_EQ(graph.CheckCapabilities(&caps), S_OK);
    EXPECT_EQ(caps, 7u);

    QWidget owner;
    owner.resize(640, 360);
    ASSERT_EQ(graph.put_Owner(&owner), S_OK);
    ASSERT_EQ(graph.SetWindowPosition(0, 0, 640, 360), S_OK);
    owner.show();
    ASSERT_EQ(graph.Run(), S_OK);
    bool complete = false;
    EXPECT_TRUE(test::pumpUntil([&] { return complete |= test::drainComplete(graph); }, 30000ms));
    EXPECT_GT(host.graphEvents.load(), 0);

    long w = 0, h = 0;
    ASSERT_EQ(graph.GetVideoSize(&w, &h), S_OK);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 180);
    // Pictures are scaled to the window's size, and most of the 60 were shown.
    EXPECT_EQ(graph.currentPicture().size(), QSize(640, 360));
    EXPECT_GT(graph.presenter()->picturesShown(), 40u);
    int64_t pos = 0;
    ASSERT_EQ(graph.GetCurrentPosition(&pos), S_OK);
    EXPECT_NEAR(double(pos) / kUnitsPerSecond, 4.0, 0.5);
}

// A recording damaged from its first packets on (adaptation fields running past their packet)
// still plays whole, sound and duration included, as other players play it: the format guess
// must not take it for bare H.264 (this stream and seed make libavformat's guess do so).
TEST_F(FileGraphTest, ARecordingDamagedFromItsStartPlaysWhole) {
    const std::string tool = test::binaryDir() + "/tools/kobal_mkstream/kobal_mkstream";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "kobal_mkstream not built";
    const std::string rec = test::homeDir() + "/damaged.rec";
    ASSERT_EQ(test::runCommand("'" + tool + "' --area 7 --slot 14 --seconds 4 --oversized-af 50 " +
                               "--seed 1 '" + rec + "' >/dev/null 2>&1"),
              0);
    RecordingHost host;
    MediaGraph graph(&host);
    ASSERT_EQ(graph.RenderFile(rec), S_OK);
    int64_t duration = 0;
    ASSERT_EQ(graph.GetDuration(&duration), S_OK);
    EXPECT_NEAR(double(duration) / kUnitsPerSecond, 4.0, 0.5);
    ASSERT_NE(graph.fileSource(), nullptr);
    EXPECT_TRUE(graph.fileSource()->hasAudio());
    ASSERT_EQ(graph.Run(), S_OK);
    EXPECT_TRUE(test::pumpUntil([&] { return test::drainComplete(graph); }, 30000ms));
    EXPECT_GT(graph.presenter()->picturesShown(), 30u);
}

TEST_F(FileGraphTest, SeeksForwardAndBackAndStillEnds) {
    const std::string ts = test::makeTs(8);
    ASSERT_FALSE(ts.empty());
    RecordingHost host;
    MediaGraph graph(&host);
    ASSERT_EQ(graph.RenderFile(ts), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    test::pumpFor(500ms);

    ASSERT_EQ(graph.SetCurrentPosition(seconds(5)), S_OK);
    test::pumpFor(300ms);
    int64_t pos = 0;
    ASSERT_EQ(graph.GetCurrentPosition(&pos), S_OK);
    EXPECT_GE(double(pos) / kUnitsPerSecond, 4.9);
    EXPECT_LT(double(pos) / kUnitsPerSecond, 6.5);

    ASSERT_EQ(graph.SetCurrentPosition(seconds(1)), S_OK);
    test::pumpFor(300ms);
    ASSERT_EQ(graph.GetCurrentPosition(&pos), S_OK);
    EXPECT_GE(double(pos) / kUnitsPerSecond, 0.9);
    EXPECT_LT(double(pos) / kUnitsPerSecond, 2.5);
    const size_t shownBefore = graph.presenter()->picturesShown();

    // Near the end: the rest plays and the end is announced.
    ASSERT_EQ(graph.SetCurrentPosition(seconds(6.5)), S_OK);
    bool complete = false;
    const int64_t t0 = steadyMs();
    EXPECT_TRUE(test::pumpUntil([&] { return complete |= test::drainComplete(graph); }, 20000ms));
    EXPECT_LT(steadyMs() - t0, 6000); // not the whole file again
    EXPECT_GT(graph.presenter()->picturesShown(), shownBefore);
}

TEST_F(FileGraphTest, PauseHoldsThePositionAndRunGoesOn) {
    const std::string ts = test::makeTs(6);
    ASSERT_FALSE(ts.empty());
    MediaGraph graph(nullptr);
    ASSERT_EQ(graph.RenderFile(ts), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    test::pumpFor(1000ms);
    ASSERT_EQ(graph.Pause(), S_OK);
    EXPECT_EQ(graph.GetState(), MediaGraph::Paused);
    int64_t p0 = 0, p1 = 0, p2 = 0;
    graph.GetCurrentPosition(&p0);
    test::pumpFor(1000ms);
    graph.GetCurrentPosition(&p1);
    EXPECT_EQ(p0, p1);
    ASSERT_EQ(graph.Run(), S_OK);
    test::pumpFor(700ms);
    graph.GetCurrentPosition(&p2);
    EXPECT_GT(p2, p1 + seconds(0.4));
}

TEST_F(FileGraphTest, ASeekWhilePausedShowsThePictureItLandsOn) {
    const std::string ts = test::makeTs(6);
    ASSERT_FALSE(ts.empty());
    MediaGraph graph(nullptr);
    ASSERT_EQ(graph.RenderFile(ts), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(test::pumpUntil([&] { return graph.presenter()->picturesShown() > 3; }, 5000ms));
    ASSERT_EQ(graph.Pause(), S_OK);
    test::pumpFor(200ms);
    const QImage before = graph.currentPicture();
    const size_t shown = graph.presenter()->picturesShown();
    ASSERT_EQ(graph.SetCurrentPosition(seconds(4)), S_OK);
    ASSERT_TRUE(
        test::pumpUntil([&] { return graph.presenter()->picturesShown() > shown; }, 5000ms));
    EXPECT_NE(graph.currentPicture(), before);
    test::pumpFor(500ms);
    // Still paused: one picture, and the position stays where the seek put it.
    EXPECT_EQ(graph.presenter()->picturesShown(), shown + 1);
    int64_t pos = 0;
    graph.GetCurrentPosition(&pos);
    EXPECT_NEAR(double(pos) / kUnitsPerSecond, 4.0, 0.2);
}

// A transport stream has no index: a seek must still land on the picture at the target when
// the IDR pictures are far apart (here 6 s).
TEST_F(FileGraphTest, APausedSeekShowsThePictureAtTheTargetWhateverTheGroupLength) {
    const std::string ts = test::makeTs(12, 440, 90);
    ASSERT_FALSE(ts.empty());
    MediaGraph graph(nullptr);
    ASSERT_EQ(graph.RenderFile(ts), S_OK);
    ASSERT_EQ(graph.Pause(), S_OK);
    // The first picture goes up while paused; a seek is judged by the pictures after it.
    ASSERT_TRUE(test::pumpUntil([&] { return graph.presenter()->picturesShown() > 0; }, 5000ms));
    for (double target : {5.5, 11.5, 2.0, 7.0}) {
        const size_t shown = graph.presenter()->picturesShown();
        ASSERT_EQ(graph.SetCurrentPosition(seconds(target)), S_OK);
        ASSERT_TRUE(
            test::pumpUntil([&] { return graph.presenter()->picturesShown() > shown; }, 5000ms))
            << "no picture after the seek to " << target;
        EXPECT_NEAR(double(graph.presenter()->lastShownUs()) / 1e6, target, 0.1);
        int64_t pos = 0;
        graph.GetCurrentPosition(&pos);
        EXPECT_NEAR(double(pos) / kUnitsPerSecond, target, 0.1);
    }
    // Running on from there plays from the target.
    ASSERT_EQ(graph.Run(), S_OK);
    const size_t before = graph.presenter()->picturesShown();
    ASSERT_TRUE(
        test::pumpUntil([&] { return graph.presenter()->picturesShown() > before + 3; }, 5000ms));
    EXPECT_GT(graph.presenter()->lastShownUs(), seconds(7.0) / 10);
    EXPECT_LT(graph.presenter()->lastShownUs(), seconds(9.0) / 10);
}

// Volume positions of the main window's slider map to hundredths of a decibel; the sound
// that comes out must carry the gain that value means.
TEST_F(FileGraphTest, VolumePositionsGiveTheirGains) {
    auto volumeForPosition = [](int p) -> long {
        if (p < 20) return -10000;
        return long(-double((p - 900) * (p - 900)) / 160.0);
    };
    EXPECT_EQ(volumeForPosition(900), 0);
    EXPECT_EQ(volumeForPosition(20), -4840);
    EXPECT_EQ(volumeForPosition(19), -10000);

    const std::string ts = test::makeTs(12);
    ASSERT_FALSE(ts.empty());
    MediaGraph graph(nullptr);
    ASSERT_EQ(graph.RenderFile(ts), S_OK);
    ASSERT_EQ(graph.put_Volume(0), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    AudioOutput* out = nullptr;
    ASSERT_TRUE(
        test::pumpUntil([&] { return (out = graph.presenter()->audio()) != nullptr; }, 5000ms));
    test::pumpFor(1200ms);
    auto lastHalfSecond = [&] {
        std::vector<int16_t> t = out->tap();
        const size_t keep = 48000; // 0.5 s of stereo
        if (t.size() > keep) t.erase(t.begin(), t.end() - keep);
        return t;
    };
    const double full = test::rms(lastHalfSecond(), 0);
    ASSERT_GT(full, 1000.0);
    for (int position : {600, 300, 20, 10}) {
        const long v = volumeForPosition(position);
        ASSERT_EQ(graph.put_Volume(v), S_OK);
        test::pumpFor(1000ms);
        const double level = test::rms(lastHalfSecond(), 0);
        const double expected = v <= -10000 ? 0.0 : std::pow(10.0, v / 2000.0);
        if (expected == 0.0)
            EXPECT_EQ(level, 0.0) << "position " << position;
        else
            EXPECT_NEAR(level / full, expected, expected * 0.1 + 0.002) << "position " << position;
    }
    EXPECT_TRUE(failed(graph.put_Volume(1)));
    EXPECT_TRUE(failed(graph.put_Volume(-10001)));
}

} // namespace
