// The live link source against the player's real end of the shared-memory link: the start
// order, records taken while paused, damaged records, the stop event, and the times of
// pictures cut by the player's own framer.
#include "renderer/LinkSource.h"
#include "RendererTestSupport.h"
#include "engine/EsFramer.h"
#include "engine/PlayerLinkEnd.h"
#include "engine/SharedMemoryLink.h"
#include "link/RendererLinkProtocol.h"
#include "renderer/Presenter.h"
#include "renderer/RendererLinkEnd.h"

#include "../support/TestSupport.h"

#include "platform/NamedObjects.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

using namespace kobal;
using namespace std::chrono_literals;
using namespace kobal::render;
using namespace kobal::records;

namespace {

using Frame = test::FilePacket;

// SPS and PPS (with start codes) of an IDR access unit.
std::vector<uint8_t> parameterSets(const std::vector<uint8_t>& au) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 3 < au.size(); ++i) {
        if (au[i] || au[i + 1] || au[i + 2] != 1) continue;
        const int type = au[i + 3] & 0x1F;
        size_t end = i + 3;
        while (end + 2 < au.size() && !(au[end] == 0 && au[end + 1] == 0 && au[end + 2] == 1))
            ++end;
        if (end + 2 >= au.size()) end = au.size();
        if (type == 7 || type == 8)
            out.insert(out.end(), au.begin() + long(i), au.begin() + long(end));
        i = end - 1;
    }
    return out;
}

// Broadcast audio is MPEG-2 ADTS with a check word; the encoder writes MPEG-4 ADTS without.
std::vector<uint8_t> asBroadcastAdts(const std::vector<uint8_t>& f) {
    if (f.size() < 7 || !(f[1] & 1)) return f;
    std::vector<uint8_t> o(f.begin(), f.begin() + 7);
    const size_t len = f.size() + 2;
    o[1] = 0xF8;
    o[3] = uint8_t((o[3] & 0xFC) | ((len >> 11) & 3));
    o[4] = uint8_t(len >> 3);
    o[5] = uint8_t(((len & 7) << 5) | (o[5] & 0x1F));
    o.push_back(0);
    o.push_back(0);
    o.insert(o.end(), f.begin() + 7, f.end());
    return o;
}

// What identifies a frame whatever its headers: a picture's slice data (without the
// trailing zero that may belong to the next unit's start code), an ADTS frame's raw data.
std::string pictureKey(const std::vector<uint8_t>& au) {
    for (size_t i = 0; i + 3 < au.size(); ++i)
        if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) {
            const int t = au[i + 3] & 0x1F;
            if (t == 1 || t == 5) {
                size_t end = au.size();
                while (end > i + 3 && au[end - 1] == 0) --end;
                return std::string(au.begin() + long(i) + 3, au.begin() + long(end));
            }
        }
    return {};
}

std::string soundKey(const std::vector<uint8_t>& f) {
    const size_t header = f.size() > 1 && (f[1] & 1) ? 7 : 9;
    return f.size() > header ? std::string(f.begin() + long(header), f.end()) : std::string();
}

class LinkSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.onCopyData = [this](unsigned long c, long, const std::vector<uint8_t>&) -> long {
            if (c == kCopyDataStart) {
                // What the tuner session does at copy-data 2: both named events exist, the
                // renderer's end is in the header, the player's end opens and connects.
                eventsAtStart = NamedEvent::open(kFrameEventName) != nullptr &&
                                NamedEvent::open(kStopEventName) != nullptr;
                player = SharedMemoryLink::open(kRendererLinkName, kRendererLinkDataSize, false);
                connectedAtStart = player->connect();
            }
            return 1;
        };
    }
    void TearDown() override {
        graph.reset();
        if (player) player->destroy();
    }

    bool send(const void* record, size_t size, bool wait = true) {
        return player->send(record, size, wait);
    }
    void sendConfig(const std::vector<Frame>& frames) {
        std::vector<uint8_t> block(kConfigBlockSize, 0);
        for (const Frame& f : frames)
            if (f.video && f.key) {
                const auto ps = parameterSets(f.data);
                const uint32_t h[2] = {kVideoConfig, uint32_t(ps.size())};
                std::memcpy(block.data(), h, 8);
                std::memcpy(block.data() + 8, ps.data(), std::min(ps.size(), kConfigPayloadMax));
                break;
            }
        ASSERT_TRUE(send(block.data(), block.size(), false));
        std::fill(block.begin(), block.end(), 0);
        for (const Frame& f : frames)
            if (!f.video) {
                const uint32_t h[2] = {kAudioConfig, 7};
                std::memcpy(block.data(), h, 8);
                std::memcpy(block.data() + 8, f.data.data(), 7);
                break;
            }
        ASSERT_TRUE(send(block.data(), block.size()));
    }
    // One frame record, sent whole; length may lie (damaged records).
    bool sendFrame(const Frame& f, uint32_t lengthField = 0xFFFFFFFFu) {
        std::vector<uint8_t> rec(f.video ? kVideoFrameRecordSize : kAudioFrameRecordSize, 0xFF);
        const size_t n = std::min(f.data.size(), rec.size() - kFrameHeaderSize);
        const uint32_t h[6] = {f.video ? uint32_t(kVideoFrame) : uint32_t(kAudioFrame),
                               lengthField == 0xFFFFFFFFu ? uint32_t(n) : lengthField,
                               0xFFFFFFFFu,
                               0xFFFFFFFFu,
                               uint32_t(f.ts90),
                               uint32_t(f.ts90 >> 32)};
        std::memcpy(rec.data(), h, sizeof h);
        std::memcpy(rec.data() + kFrameHeaderSize, f.data.data(), n);
        return send(rec.data(), rec.size());
    }
    void build() {
        graph = std::make_unique<MediaGraph>(&host);
        ASSERT_EQ(graph->RenderFile("x-dmb://14000"), S_OK);
        ASSERT_TRUE(eventsAtStart);
        ASSERT_TRUE(connectedAtStart);
        // The player's end opened an existing mapping: it is the client, we are the server.
        EXPECT_EQ(player->serverIdInHeader(), uint32_t(kRendererPartyId));
        EXPECT_EQ(player->clientIdInHeader(), 2u);
        ASSERT_TRUE(test::pumpUntil([&] { return host.count(kCopyDataReady) == 1; }, 5000ms));
    }

    test::RecordingHost host;
    std::unique_ptr<SharedMemoryLink> player;
    std::unique_ptr<MediaGraph> graph;
    bool eventsAtStart = false, connectedAtStart = false;
};

TEST_F(LinkSourceTest, StartsInOrderAndShowsWhatTheLinkCarries) {
    const auto frames = test::filePackets(test::makeTs(4, 440, 15, true));
    ASSERT_GT(frames.size(), 100u);
    build();
    ASSERT_EQ(host.count(kCopyDataStart), 1);
    {
        // Copy-data 2: our process id, then the link as UTF-16.
        const auto& d = host.payloads[0];
        ASSERT_EQ(d.size(), 4u + 2 * std::strlen("x-dmb://14000"));
        uint32_t pid;
        std::memcpy(&pid, d.data(), 4);
        EXPECT_EQ(pid, uint32_t(getpid()));
        EXPECT_EQ(d[4], 'x');
        EXPECT_EQ(d[5], 0);
    }
    ASSERT_EQ(graph->Run(), S_OK);
    sendConfig(frames);
    for (const Frame& f : frames) ASSERT_TRUE(sendFrame(f));
    EXPECT_TRUE(test::pumpUntil([&] { return graph->presenter()->picturesShown() > 40; }, 15000ms));
    EXPECT_EQ(graph->linkSource()->recordsDropped(), 0u);
    EXPECT_EQ(graph->currentPicture().size(), QSize(320, 180));
    unsigned caps = AM_SEEKING_CanSeekAbsolute;
    EXPECT_TRUE(failed(graph->CheckCapabilities(&caps))); // live: no seeking
}

TEST_F(LinkSourceTest, APausedGraphStillTakesEveryRecordPromptly) {
    const auto frames = test::filePackets(test::makeTs(6, 440, 15, true));
    build();
    ASSERT_EQ(graph->Run(), S_OK);
    ASSERT_EQ(graph->Pause(), S_OK);
    sendConfig(frames);
    int64_t slowest = 0;
    for (const Frame& f : frames) {
        const int64_t t0 = steadyMs();
        ASSERT_TRUE(sendFrame(f));
        slowest = std::max(slowest, steadyMs() - t0);
    }
    // The commands the player sends meanwhile are taken too.
    const uint32_t scan[256] = {kScanNotice};
    EXPECT_TRUE(send(scan, sizeof scan));
    const uint32_t sub[3] = {kAudioChannelCommand, 0, kAudioSub};
    EXPECT_TRUE(send(sub, sizeof sub));
    // One more waiting send: it returns only once the reader took the previous record.
    const int64_t t0 = steadyMs();
    EXPECT_TRUE(send(scan, sizeof scan));
    slowest = std::max(slowest, steadyMs() - t0);
    EXPECT_LT(slowest, 500) << "a waiting send stalled on the paused renderer";
    const size_t expected = frames.size() + 2 + 3;
    EXPECT_TRUE(
        test::pumpUntil([&] { return graph->linkSource()->recordsTaken() == expected; }, 3000ms));
    // Nothing was shown while paused; everything waits for the picture to go on.
    EXPECT_EQ(graph->presenter()->picturesShown(), 0u);
    EXPECT_GE(graph->queue().count(), frames.size() - 2);
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_TRUE(test::pumpUntil([&] { return graph->presenter()->picturesShown() > 20; }, 10000ms));
}

TEST_F(LinkSourceTest, DamagedRecordsAreDroppedAndThePictureComesBack) {
    const auto frames = test::filePackets(test::makeTs(6, 440, 15, true));
    build();
    ASSERT_EQ(graph->Run(), S_OK);
    sendConfig(frames);
    size_t videoIndex = 0, damaged = 0;
    for (const Frame& f : frames) {
        if (!f.video) {
            ASSERT_TRUE(sendFrame(f));
            continue;
        }
        ++videoIndex;
        if (videoIndex == 20) {
            ASSERT_TRUE(sendFrame(f, 50000)); // longer than its record
            ++damaged;
        } else if (videoIndex == 21) {
            ASSERT_TRUE(sendFrame(f, 0));
            ++damaged;
        } else if (videoIndex == 25) {
            Frame cut = f;
            cut.data.resize(cut.data.size() / 2); // an access unit cut short
            ASSERT_TRUE(sendFrame(cut));
        } else {
            ASSERT_TRUE(sendFrame(f));
        }
        if (videoIndex == 30) {
            // Records of no known type, and an audio record of garbage.
            const uint32_t unknown[3] = {0x555, 12, 1};
            ASSERT_TRUE(send(unknown, sizeof unknown));
            Frame junk{false, false, f.ts90, std::vector<uint8_t>(900, 0xFF)};
            ASSERT_TRUE(sendFrame(junk));
            ++damaged;
        }
    }
    EXPECT_GE(graph->linkSource()->recordsDropped(), damaged);
    // Pictures after the damage: the last IDR group of the stream is shown.
    EXPECT_TRUE(test::pumpUntil([&] { return graph->presenter()->picturesShown() > 60; }, 15000ms));
}

// The player's framer cuts an access unit when the next one's delimiter arrives and gives the
// record that unit's time. Pictures must still keep their own time against the sound, live and
// in recordings: a recording made through the framer has the source's audio/video alignment.
TEST_F(LinkSourceTest, PicturesCutByTheFramerKeepTheirTimeAgainstTheSound) {
    // White noise: every audio frame differs, so each can be found again in the recording.
    const std::string src = test::homeDir() + "/noise-aud.ts";
    ASSERT_EQ(test::runCommand(
                  "ffmpeg -v error -y -f lavfi -i testsrc=size=320x180:rate=15 -f lavfi -i "
                  "anoisesrc=color=white:sample_rate=48000:amplitude=0.3 -t 6 -pix_fmt yuv420p "
                  "-c:v libx264 -profile:v baseline -g 15 -x264-params aud=1 -c:a aac -b:a 64k "
                  "-ac 1 -f mpegts '" +
                  src + "' </dev/null"),
              0);
    std::map<std::string, int64_t> pictureUs, soundUs;
    size_t pictures = 0, sounds = 0;
    for (const Frame& f : test::filePackets(src)) {
        const int64_t us = int64_t(f.ts90) * 100 / 9;
        if (f.video) {
            pictureUs[pictureKey(f.data)] = us;
            ++pictures;
        } else {
            soundUs[soundKey(f.data)] = us;
            ++sounds;
        }
    }
    ASSERT_GT(pictures, 80u);
    ASSERT_EQ(pictureUs.size(), pictures) << "pictures are not unique";
    ASSERT_EQ(soundUs.size(), sounds) << "audio frames are not unique";

    kobal::PlayerLinkEnd engineLink;
    host.onCopyData = [&](unsigned long c, long, const std::vector<uint8_t>&) -> long {
        if (c == kCopyDataStart) {
            engineLink.openEvents();
            connectedAtStart = engineLink.createIfMissing() && engineLink.connected();
        }
        return 1;
    };
    graph = std::make_unique<MediaGraph>(&host);
    ASSERT_EQ(graph->RenderFile("x-dmb://14000"), S_OK);
    ASSERT_TRUE(connectedAtStart);
    ASSERT_TRUE(test::pumpUntil([&] { return host.count(kCopyDataReady) == 1; }, 5000ms));
    ASSERT_EQ(graph->Run(), S_OK);
    const std::string rec = test::homeDir() + "/rec/framer.rec";
    ASSERT_TRUE(paths::makeFolders(test::homeDir() + "/rec"));
    ASSERT_TRUE(
        Profile::writeString(paths::inInstall("config.ini"), "RECControl", "FileName", rec));

    std::atomic<uint8_t> state{0}; // as the PMT probe leaves it
    kobal::EsFramer framer(engineLink, state);
    auto video = std::make_unique<kobal::records::VideoFrameRecord>();
    auto audio = std::make_unique<kobal::records::AudioFrameRecord>();
    bool recording = false;
    for (const test::FilePacket& u : test::filePackets(src, true)) {
        if (u.video) {
            video->header.type = kobal::records::kVideoFrame;
            video->header.setTimestamp(u.ts90);
            framer.frameVideo(u.data.data(), u.data.size(), *video);
        } else {
            std::vector<uint8_t> bytes;
            const std::string raw(u.data.begin(), u.data.end());
            for (const auto& f : test::adtsFrames(raw)) {
                const auto b = asBroadcastAdts(f);
                bytes.insert(bytes.end(), b.begin(), b.end());
            }
            audio->header.type = kobal::records::kAudioFrame;
            audio->header.setTimestamp(u.ts90);
            framer.frameAudio(bytes.data(), bytes.size(), *audio);
        }
        if (!recording && state.load() == kobal::records::kDeliveryStreaming) {
            const uint32_t start[3] = {kRecordingCommand, 12, kRecordStart};
            ASSERT_TRUE(engineLink.sendCommand(start, sizeof start));
            recording = true;
        }
    }
    ASSERT_TRUE(recording);
    const uint32_t stop[3] = {kRecordingCommand, 12, kRecordStop};
    ASSERT_TRUE(engineLink.sendCommand(stop, sizeof stop));
    ASSERT_TRUE(test::pumpUntil([&] { return !graph->linkSource()->recording(); }, 3000ms));
    EXPECT_GT(framer.stats().videoSent, 60u);
    EXPECT_EQ(graph->linkSource()->recordsDropped(), 0u);
    graph.reset();

    // The recording as any player reads it.
    struct Seen {
        int64_t recUs, srcUs;
    };
    std::vector<Seen> shown, sound;
    for (const test::FilePacket& p : test::filePackets(rec)) {
        if (p.video) {
            const auto it = pictureUs.find(pictureKey(p.data));
            if (it != pictureUs.end()) shown.push_back({p.ptsUs, it->second});
        } else {
            const auto it = soundUs.find(soundKey(p.data));
            if (it != soundUs.end()) sound.push_back({p.ptsUs, it->second});
        }
    }
    ASSERT_GT(shown.size(), 40u);
    ASSERT_GT(sound.size(), 100u);
    // Video against audio start, as in the source: the sound opens with the first audio frame
    // at or after the first picture.
    int64_t firstSoundUs = INT64_MAX;
    for (const auto& [key, us] : soundUs)
        if (us >= shown.front().srcUs) firstSoundUs = std::min(firstSoundUs, us);
    EXPECT_NEAR(double(sound.front().recUs - shown.front().recUs) / 1000,
                double(firstSoundUs - shown.front().srcUs) / 1000, 10.0);
    // And every picture against the sound.
    const Seen& a0 = sound.front();
    for (const Seen& v : shown)
        EXPECT_NEAR(double((v.recUs - a0.recUs) - (v.srcUs - a0.srcUs)) / 1000, 0.0, 10.0)
            << "picture at " << v.srcUs << " us in the source";
}

TEST_F(LinkSourceTest, TheStopEventEndsTheSourceWithCopyData4) {
    build();
    ASSERT_EQ(graph->Run(), S_OK);
    auto stop = NamedEvent::open(kStopEventName);
    ASSERT_TRUE(stop);
    ASSERT_TRUE(stop->set());
    EXPECT_TRUE(test::pumpUntil([&] { return host.count(kCopyDataStopped) == 1; }, 5000ms));
    {
        std::lock_guard<std::mutex> lk(host.lock);
        EXPECT_EQ(host.pids.back(), long(getpid()));
        EXPECT_TRUE(host.payloads.back().empty());
    }
    // Stopping the graph afterwards does not say it twice.
    graph->Stop();
    graph.reset();
    EXPECT_EQ(host.count(kCopyDataStopped), 1);
}

TEST_F(LinkSourceTest, ARefusedStartFailsTheBuildAndSaysNothingMore) {
    host.onCopyData = [](unsigned long, long, const std::vector<uint8_t>&) -> long { return 0; };
    graph = std::make_unique<MediaGraph>(&host);
    EXPECT_TRUE(failed(graph->RenderFile("x-dmb://14000")));
    graph.reset();
    EXPECT_EQ(host.count(kCopyDataStart), 1);
    EXPECT_EQ(host.count(kCopyDataReady), 0);
    EXPECT_EQ(host.count(kCopyDataStopped), 0);
}

TEST(RendererLinkEnd, AKilledRendererIsRecognisedAndTheLastToLeaveRemovesTheEvents) {
    const std::string name = "renderer-killed";
    constexpr size_t kSize = 64;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A renderer that creates the link and is then killed without leaving.
        RendererLinkEnd end(name, kSize, kRendererPartyId);
        const char ok = end.open() ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    {
        // The player's end finds nobody alive and starts afresh, as it does after a killed player.
        auto player = SharedMemoryLink::open(name, kSize, false);
        EXPECT_TRUE(player->isServer());
        EXPECT_EQ(player->serverIdInHeader(), uint32_t(kPlayerPartyId));
        EXPECT_EQ(player->clientIdInHeader(), 0u);

        RendererLinkEnd renderer(name, kSize, kRendererPartyId);
        ASSERT_TRUE(renderer.open());
        ASSERT_TRUE(renderer.connect());
        ASSERT_TRUE(player->connect());
        player->destroy();
        EXPECT_TRUE(NamedEvent::open(clientEventName(name, kRendererPartyId)));
        EXPECT_TRUE(renderer.destroy()); // the last to leave
    }
    EXPECT_FALSE(NamedEvent::open(clientEventName(name, kRendererPartyId)));
    EXPECT_FALSE(NamedEvent::open(serverEventName(name, kPlayerPartyId)));
    EXPECT_FALSE(SharedMemory::open(mapName(name), 0));
}

} // namespace
