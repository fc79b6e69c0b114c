// End to end: the simulator tuner, the real engine (tuner session, pipeline, framing, link) and
// the renderer, as the player puts them together.
#include "RendererTestSupport.h"
#include "broadcast/AreaPresetTable.h"
#include "engine/SessionWindow.h"
#include "engine/TunerSession.h"
#include "link/RendererLinkProtocol.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "renderer/AudioOutput.h"
#include "renderer/LinkSource.h"
#include "renderer/Presenter.h"
#include "tuner/CTDMBDll.h"
#include "tuner/StationCard.h"
#include "tuner/StationStream.h"

#include "../support/TestSupport.h"

#include <QCoreApplication>
#include <QThread>
#include <QWidget>
#include <filesystem>
#include <gtest/gtest.h>

using namespace kobal;
using namespace std::chrono_literals;
using namespace kobal::render;
using namespace kobal::records;

namespace {

constexpr int kArea = 7;

int slotOfStation(int index) {
    return AreaPresetTable::station(kArea, index).slot;
}

// Leftmost column of the test card's moving white square (rows 96-119), -1 when not found.
int squareX(const QImage& img) {
    const int y = 108;
    if (img.height() <= y) return -1;
    for (int x = 0; x < img.width(); ++x) {
        const QRgb p = img.pixel(x, y);
        if (std::min({qRed(p), qGreen(p), qBlue(p)}) > 200) return x;
    }
    return -1;
}

class LiveGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        veltra::sim::setArea(kArea);
        session = std::make_unique<TunerSession>(sessionWindow);
        // The session lives on the UI thread: copy-data from the reader thread is posted there.
        host.onCopyData = [this](unsigned long c, long pid, const std::vector<uint8_t>& d) -> long {
            if (QThread::currentThread() == QCoreApplication::instance()->thread())
                return session->onCopyData(c, pid, d);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [this, c, pid, d] { session->onCopyData(c, pid, d); },
                Qt::QueuedConnection);
            return 1;
        };
        owner = std::make_unique<QWidget>();
        owner->resize(320, 180);
        owner->show();
    }
    void TearDown() override {
        graph.reset();
        test::pumpFor(200ms);
        session.reset();
        owner.reset();
    }

    void watch(int slot) {
        graph.reset();
        test::pumpFor(100ms);
        char key[16];
        std::snprintf(key, sizeof key, "%02d000", slot);
        session->setCurrentKey(key);
        graph = std::make_unique<MediaGraph>(&host);
        ASSERT_EQ(graph->RenderFile(std::string("x-dmb://") + key), S_OK);
        graph->put_Owner(owner.get());
        graph->SetWindowPosition(0, 0, 320, 180);
        ASSERT_EQ(graph->Run(), S_OK);
        ASSERT_TRUE(
            test::pumpUntil([&] { return graph->presenter()->picturesShown() > 15; }, 30000ms))
            << "no picture from slot " << slot;
    }

    // Card background: a block of the card's upper left, away from the name and the square.
    QColor background() { return test::meanColour(graph->currentPicture(), QRect(4, 4, 30, 20)); }

    SessionWindow sessionWindow;
    std::unique_ptr<TunerSession> session;
    test::RecordingHost host;
    std::unique_ptr<MediaGraph> graph;
    std::unique_ptr<QWidget> owner;
};

void expectColour(const QColor& got, veltra::CardColour want) {
    EXPECT_NEAR(got.red(), want.r, 12);
    EXPECT_NEAR(got.green(), want.g, 12);
    EXPECT_NEAR(got.blue(), want.b, 12);
}

TEST_F(LiveGraphTest, EachChannelShowsItsOwnTestCard) {
    const int first = slotOfStation(0), second = slotOfStation(2);
    watch(first);
    const QColor a = background();
    expectColour(a, veltra::stationCardColour(kArea, first));
    EXPECT_EQ(host.count(kCopyDataReady), 1);
    EXPECT_LT(graph->presenter()->firstPictureLatencyMs(), 1000);

    watch(second);
    const QColor b = background();
    expectColour(b, veltra::stationCardColour(kArea, second));
    EXPECT_GT(std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                  std::abs(a.blue() - b.blue()),
              60);
    // The first graph said it stopped when it went.
    EXPECT_GE(host.count(kCopyDataStopped), 1);

    // Once both ends are gone, no named object of theirs is left: not in /dev/shm, not as a
    // lock file (they would collect over days, one set per install folder).
    graph.reset();
    test::pumpFor(200ms);
    session.reset();
    const std::string prefix = "kobal-" + paths::objectScope() + "-";
    std::vector<std::string> left;
    std::error_code ec;
    for (const std::string& folder : {std::string("/dev/shm"), paths::runtimeFolder()})
        for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
            const std::string name = e.path().filename().string();
            if (name.rfind(prefix, 0) == 0 || name.rfind("sem." + prefix, 0) == 0)
                left.push_back(name);
        }
    EXPECT_TRUE(left.empty()) << left.size() << " left, first " << left.front();
}

TEST_F(LiveGraphTest, DualMonoReportsItsModeAndSwitchesTheTone) {
    const int slot = slotOfStation(1);
    veltra::StationConfig cfg;
    ASSERT_TRUE(veltra::stationConfigFor(kArea, slot, 0, &cfg));
    ASSERT_TRUE(cfg.service.dualMono);
    watch(slot);
    ASSERT_TRUE(test::pumpUntil([&] { return host.lastMode.load() == 1; }, 10000ms));
    AudioOutput* out = graph->presenter()->audio();
    ASSERT_NE(out, nullptr);
    auto recentTone = [&] {
        std::vector<int16_t> t = out->tap();
        if (t.size() > 48000) t.erase(t.begin(), t.end() - 48000);
        return test::toneHz(t, 0);
    };
    test::pumpFor(1200ms);
    EXPECT_NEAR(recentTone(), cfg.toneHz, cfg.toneHz * 0.05);

    const uint32_t sub[3] = {kAudioChannelCommand, 0, kAudioSub};
    ASSERT_TRUE(session->link().sendCommand(sub, sizeof sub));
    ASSERT_TRUE(test::pumpUntil([&] { return host.lastMode.load() == 2; }, 5000ms));
    test::pumpFor(1500ms);
    EXPECT_NEAR(recentTone(), cfg.subToneHz, cfg.subToneHz * 0.05);

    const uint32_t main[3] = {kAudioChannelCommand, 0, kAudioMain};
    ASSERT_TRUE(session->link().sendCommand(main, sizeof main));
    ASSERT_TRUE(test::pumpUntil([&] { return host.lastMode.load() == 1; }, 5000ms));
}

TEST_F(LiveGraphTest, TimeShiftResumesWithTheFrameThatWasShowing) {
    watch(slotOfStation(0));
    test::pumpFor(500ms);
    const int64_t start = steadyMs();
    int64_t before = 0;
    graph->GetCurrentPosition(&before);
    ASSERT_EQ(graph->Pause(), S_OK);
    test::pumpFor(100ms);
    const int x0 = squareX(graph->currentPicture());
    ASSERT_GE(x0, 0);
    test::pumpFor(3000ms);
    // Still the same picture while paused, and the stream kept coming in.
    EXPECT_EQ(squareX(graph->currentPicture()), x0);
    EXPECT_GT(graph->queue().count(), 50u);
    ASSERT_EQ(graph->Run(), S_OK);
    const size_t shown = graph->presenter()->picturesShown();
    ASSERT_TRUE(
        test::pumpUntil([&] { return graph->presenter()->picturesShown() > shown; }, 2000ms));
    const int x1 = squareX(graph->currentPicture());
    EXPECT_LE(std::abs(x1 - x0), 12) << "did not go on from the paused frame";
    // Behind live by the paused time.
    test::pumpFor(1000ms);
    int64_t after = 0;
    graph->GetCurrentPosition(&after);
    const double wall = double(steadyMs() - start) / 1000.0;
    const double played = double(after - before) / kUnitsPerSecond;
    EXPECT_NEAR(wall - played, 3.1, 0.7);
}

TEST_F(LiveGraphTest, FiftyRecordingStartsAndStopsInARowEachGiveAFile) {
    // Commands share the one-slot link with the frames the data pump sends all the time; none
    // may be overwritten before the renderer took it.
    const std::string dir = test::homeDir() + "/rec50";
    ASSERT_TRUE(paths::makeFolders(dir));
    watch(slotOfStation(0));
    ASSERT_TRUE(test::pumpUntil([&] { return session->streamEstablished(); }, 10000ms));
    const uint32_t start[3] = {kRecordingCommand, 12, kRecordStart};
    const uint32_t stop[3] = {kRecordingCommand, 12, kRecordStop};
    for (int i = 0; i < 50; ++i) {
        const std::string path = dir + "/" + std::to_string(i) + ".rec";
        ASSERT_TRUE(
            Profile::writeString(paths::inInstall("config.ini"), "RECControl", "FileName", path));
        ASSERT_TRUE(session->link().sendCommand(start, sizeof start));
        // The renderer reads the name when it handles the start: the next name waits for that.
        ASSERT_TRUE(test::pumpUntil([&] { return graph->linkSource()->recording(); }, 3000ms))
            << "start " << i << " was lost";
        ASSERT_TRUE(session->link().sendCommand(stop, sizeof stop));
        ASSERT_TRUE(test::pumpUntil([&] { return !graph->linkSource()->recording(); }, 3000ms))
            << "stop " << i << " was lost";
        EXPECT_TRUE(std::filesystem::exists(path)) << path;
    }
}

TEST_F(LiveGraphTest, ATenSecondRecordingIsAnOrdinaryTransportStreamThatPlaysBack) {
    const std::string path = test::homeDir() + "/rec/live.rec";
    ASSERT_TRUE(paths::makeFolders(test::homeDir() + "/rec"));
    watch(slotOfStation(0));
    ASSERT_TRUE(test::pumpUntil([&] { return session->streamEstablished(); }, 10000ms));
    ASSERT_TRUE(
        Profile::writeString(paths::inInstall("config.ini"), "RECControl", "FileName", path));
    const uint32_t start[3] = {kRecordingCommand, 12, kRecordStart};
    ASSERT_TRUE(session->link().sendCommand(start, sizeof start));
    ASSERT_TRUE(test::pumpUntil([&] { return graph->linkSource()->recording(); }, 3000ms));
    // The file opens on the next IDR picture, up to a second after the start: aim for the
    // middle of the range.
    test::pumpFor(10500ms);
    const uint32_t stop[3] = {kRecordingCommand, 12, kRecordStop};
    ASSERT_TRUE(session->link().sendCommand(stop, sizeof stop));
    ASSERT_TRUE(test::pumpUntil([&] { return !graph->linkSource()->recording(); }, 3000ms));
    graph.reset();

    std::string probe;
    ASSERT_EQ(test::runCommand("ffprobe -v error -show_entries stream=codec_name:format=duration "
                               "-of default=nw=1 '" +
                                   path + "'",
                               &probe),
              0);
    EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
    EXPECT_NE(probe.find("codec_name=aac"), std::string::npos) << probe;
    const size_t at = probe.find("duration=");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::atof(probe.c_str() + at + 9), 10.0, 1.0) << probe;
    // The sound starts with the first picture (the station's frames share one time grid: the
    // first audio frame at or after the picture is less than one audio frame later).
    auto startOf = [&](const char* stream) {
        std::string out;
        EXPECT_EQ(test::runCommand(std::string("ffprobe -v error -select_streams ") + stream +
                                       " -show_entries stream=start_time -of csv=p=0 '" + path +
                                       "'",
                                   &out),
                  0);
        return std::atof(out.c_str());
    };
    const double lead = startOf("a:0") - startOf("v:0");
    EXPECT_GE(lead, -0.001);
    EXPECT_LT(lead, 0.025);

    MediaGraph playback(&host);
    ASSERT_EQ(playback.RenderFile(path), S_OK);
    int64_t duration = 0;
    playback.GetDuration(&duration);
    EXPECT_NEAR(double(duration) / kUnitsPerSecond, 10.0, 1.0);
    ASSERT_EQ(playback.Run(), S_OK);
    ASSERT_TRUE(test::pumpUntil([&] { return playback.presenter()->picturesShown() > 5; }, 5000ms));
    expectColour(test::meanColour(playback.currentPicture(), QRect(4, 4, 30, 20)),
                 veltra::stationCardColour(kArea, slotOfStation(0)));
    ASSERT_EQ(playback.SetCurrentPosition(duration - 2 * kUnitsPerSecond), S_OK);
    bool complete = false;
    const int64_t t0 = steadyMs();
    EXPECT_TRUE(
        test::pumpUntil([&] { return complete |= test::drainComplete(playback); }, 15000ms));
    EXPECT_LT(steadyMs() - t0, 6000);
}

} // namespace
