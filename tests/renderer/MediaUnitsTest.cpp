// Renderer parts on their own, on real bytes: the continuous timeline, the time-shift queue,
// the link source's handling of records, dual-mono decoding, damaged video and the recorder's
// failures.
#include "RendererTestSupport.h"
#include "link/RendererLinkProtocol.h"
#include "renderer/AudioDecoder.h"
#include "renderer/LinkSource.h"
#include "renderer/PacketQueue.h"
#include "renderer/StreamTimeline.h"
#include "renderer/TsRecorder.h"
#include "renderer/VideoDecoder.h"

#include "../support/TestSupport.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>

extern "C" {
#include <libavutil/frame.h>
}

using namespace kobal;
using namespace kobal::render;
using namespace kobal::records;

namespace {

constexpr int64_t kFrame90 = 6000; // 15 fps in 90 kHz ticks

// The packets of a file, as a sender would cut them from the stream.
std::vector<MediaPacket> readPackets(const std::string& path) {
    std::vector<MediaPacket> out;
    for (test::FilePacket& f : test::filePackets(path)) {
        MediaPacket p;
        p.kind = f.video ? MediaPacket::Video : MediaPacket::Audio;
        p.key = f.key;
        p.ptsUs = f.ptsUs;
        p.data = std::move(f.data);
        out.push_back(std::move(p));
    }
    return out;
}

// Mean absolute difference of two pictures' luma.
double lumaDifference(const AVFrame* a, const AVFrame* b) {
    if (a->width != b->width || a->height != b->height) return 255;
    double sum = 0;
    for (int y = 0; y < a->height; ++y)
        for (int x = 0; x < a->width; ++x)
            sum += std::abs(int(a->data[0][y * a->linesize[0] + x]) -
                            int(b->data[0][y * b->linesize[0] + x]));
    return sum / (double(a->width) * a->height);
}

// The pictures of a file, in order.
std::vector<MediaPacket> videoPackets(const std::string& path) {
    std::vector<MediaPacket> video;
    for (auto& p : readPackets(path))
        if (p.kind == MediaPacket::Video) video.push_back(std::move(p));
    return video;
}

// NAL unit types of an Annex B access unit, in order.
std::vector<int> nalTypes(const std::vector<uint8_t>& au) {
    std::vector<int> out;
    for (size_t i = 0; i + 3 < au.size(); ++i)
        if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) {
            out.push_back(au[i + 3] & 0x1F);
            i += 2;
        }
    return out;
}

// The access unit without the NAL units of the given type (start codes of three bytes kept
// with the units that stay).
std::vector<uint8_t> withoutNals(const std::vector<uint8_t>& au, std::initializer_list<int> drop) {
    std::vector<size_t> starts;
    for (size_t i = 0; i + 3 < au.size(); ++i)
        if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) starts.push_back(i);
    std::vector<uint8_t> out(au.begin(), au.begin() + long(starts.empty() ? au.size() : starts[0]));
    for (size_t k = 0; k < starts.size(); ++k) {
        const size_t end = k + 1 < starts.size() ? starts[k + 1] : au.size();
        const int type = au[starts[k] + 3] & 0x1F;
        if (std::find(drop.begin(), drop.end(), type) == drop.end())
            out.insert(out.end(), au.begin() + long(starts[k]), au.begin() + long(end));
    }
    return out;
}

std::vector<uint8_t> onlyNals(const std::vector<uint8_t>& au, std::initializer_list<int> keep) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 3 < au.size(); ++i) {
        if (au[i] || au[i + 1] || au[i + 2] != 1) continue;
        size_t end = i + 3;
        while (end + 2 < au.size() && !(au[end] == 0 && au[end + 1] == 0 && au[end + 2] == 1))
            ++end;
        if (end + 2 >= au.size()) end = au.size();
        if (std::find(keep.begin(), keep.end(), au[i + 3] & 0x1F) != keep.end())
            out.insert(out.end(), au.begin() + long(i), au.begin() + long(end));
        i = end - 1;
    }
    return out;
}

// A record as it comes out of the link: header words and payload, the whole record size.
std::vector<uint8_t> frameRecord(bool video, const std::vector<uint8_t>& payload, uint64_t ts90,
                                 uint32_t lengthField = 0xFFFFFFFFu) {
    std::vector<uint8_t> rec(video ? kVideoFrameRecordSize : kAudioFrameRecordSize, 0xFF);
    const size_t n = std::min(payload.size(), rec.size() - kFrameHeaderSize);
    const uint32_t h[6] = {video ? uint32_t(kVideoFrame) : uint32_t(kAudioFrame),
                           lengthField == 0xFFFFFFFFu ? uint32_t(n) : lengthField,
                           0xFFFFFFFFu,
                           0xFFFFFFFFu,
                           uint32_t(ts90),
                           uint32_t(ts90 >> 32)};
    std::memcpy(rec.data(), h, sizeof h);
    std::memcpy(rec.data() + kFrameHeaderSize, payload.data(), n);
    return rec;
}

std::vector<uint8_t> configRecord(uint32_t type, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> rec(kConfigBlockSize, 0);
    const uint32_t h[2] = {type, uint32_t(bytes.size())};
    std::memcpy(rec.data(), h, 8);
    std::memcpy(rec.data() + 8, bytes.data(), std::min(bytes.size(), kConfigPayloadMax));
    return rec;
}

TEST(StreamTimeline, StaysContinuousAcrossWrapLoopAndChannelChange) {
    StreamTimeline tl;
    const uint64_t wrap = 1ull << 33;
    uint64_t raw = wrap - 10 * kFrame90; // ten frames before the counter wraps
    int64_t last = tl.map(StreamTimeline::Video, raw, 66'667);
    auto step = [&](uint64_t r) {
        const int64_t t = tl.map(StreamTimeline::Video, r, 66'667);
        EXPECT_GT(t, last);
        EXPECT_LT(t - last, 200'000) << "raw " << r;
        last = t;
    };
    for (int i = 1; i < 30; ++i) step((raw + uint64_t(i) * kFrame90) % wrap); // through the wrap
    // A looping source jumps back 20 s; a channel change jumps anywhere.
    raw = (raw + 30 * kFrame90) % wrap;
    uint64_t looped = raw - 20 * 90000;
    for (int i = 0; i < 10; ++i) step(looped + uint64_t(i) * kFrame90);
    const uint64_t other = 123456789;
    for (int i = 0; i < 10; ++i) step(other + uint64_t(i) * kFrame90);
}

TEST(StreamTimeline, StepArtefactsAreReplacedAndAudioFollowsTheVideoJump) {
    StreamTimeline tl;
    const int64_t a0 = tl.map(StreamTimeline::Audio, 900000, 21'333);
    const int64_t v0 = tl.map(StreamTimeline::Video, 900000, 66'667);
    EXPECT_EQ(a0, v0);
    // The second frame of a unit carries the unit's time plus 500,000 ticks (5.5 s): not a
    // real time, it gets the expected one.
    const int64_t a1 = tl.map(StreamTimeline::Audio, 900000 + 500000, 21'333);
    EXPECT_NEAR(double(a1 - a0), 21'333, 2);
    const int64_t a2 = tl.map(StreamTimeline::Audio, 900000 + 3840, 21'333);
    EXPECT_NEAR(double(a2 - a0), 42'667, 2);
    // Channel change: both streams jump by 100 s; the timeline goes on without a gap and the
    // two streams stay side by side.
    const uint64_t base = 900000 + 9'000'000;
    int64_t v = 0, a = 0;
    for (int i = 0; i < 4; ++i) {
        v = tl.map(StreamTimeline::Video, base + uint64_t(i) * kFrame90, 66'667);
        a = tl.map(StreamTimeline::Audio, base + uint64_t(i) * kFrame90, 21'333);
    }
    EXPECT_LT(v - v0, 1'000'000);
    EXPECT_LT(std::llabs(a - v), 100'000);
}

TEST(PacketQueue, SpillsBeyondMemoryAndGivesEverythingBackInOrder) {
    PacketQueue::Limits limits;
    limits.memoryBytes = 16 * 1024;
    limits.spillFolder = test::makeTempDir("spill");
    PacketQueue q(limits);
    for (int i = 0; i < 500; ++i) {
        MediaPacket p;
        p.kind = i % 3 ? MediaPacket::Audio : MediaPacket::Video;
        p.key = i % 30 == 0;
        p.ptsUs = i * 1000;
        p.arrivalMs = steadyMs();
        p.data.assign(1000 + i, uint8_t(i));
        q.push(std::move(p));
    }
    EXPECT_EQ(q.count(), 500u);
    EXPECT_LE(q.memoryBytes(), limits.memoryBytes);
    EXPECT_GT(q.spilledBytes(), 400'000);
    // Nothing is left lying in the folder: the spill file has no name.
    EXPECT_TRUE(std::filesystem::is_empty(limits.spillFolder));
    for (int i = 0; i < 500; ++i) {
        MediaPacket p;
        ASSERT_TRUE(q.pop(p, 0)) << i;
        EXPECT_EQ(p.ptsUs, i * 1000);
        EXPECT_EQ(p.key, i % 30 == 0);
        ASSERT_EQ(p.data.size(), size_t(1000 + i));
        EXPECT_EQ(p.data.front(), uint8_t(i));
        EXPECT_EQ(p.data.back(), uint8_t(i));
        // Packets pushed while the spilled part drains keep their place behind it.
        if (i == 250) {
            MediaPacket late;
            late.ptsUs = 999'999;
            late.arrivalMs = steadyMs();
            late.data.assign(10, 1);
            q.push(std::move(late));
        }
    }
    MediaPacket late;
    ASSERT_TRUE(q.pop(late, 0));
    EXPECT_EQ(late.ptsUs, 999'999);
    EXPECT_FALSE(q.pop(late, 10));
}

TEST(PacketQueue, DropsWhatIsOlderThanTheLimitAndBoundsMemoryWithoutSpill) {
    PacketQueue::Limits limits;
    limits.maxAgeMs = 100;
    limits.memoryBytes = 4096;
    PacketQueue q(limits);
    MediaPacket old;
    old.arrivalMs = steadyMs() - 1000;
    old.data.assign(10, 0);
    q.push(std::move(old));
    MediaPacket fresh;
    fresh.arrivalMs = steadyMs();
    fresh.ptsUs = 7;
    q.push(std::move(fresh));
    EXPECT_EQ(q.count(), 1u);
    for (int i = 0; i < 100; ++i) {
        MediaPacket p;
        p.arrivalMs = steadyMs();
        p.data.assign(500, 0);
        q.push(std::move(p));
    }
    EXPECT_LE(q.memoryBytes(), 4096u);
    EXPECT_GT(q.droppedCount(), 50u);
}

TEST(PacketQueue, TheVideoPacketAfterALostOneIsMarked) {
    auto video = [](int i, int64_t arrivalMs) {
        MediaPacket p;
        p.kind = MediaPacket::Video;
        p.ptsUs = i;
        p.arrivalMs = arrivalMs;
        p.data.assign(1000, uint8_t(i));
        return p;
    };
    {
        // Memory bound without a spill file: the oldest go; the first one taken out after
        // them follows a gap, the ones after it do not.
        PacketQueue::Limits limits;
        limits.memoryBytes = 4096;
        PacketQueue q(limits);
        for (int i = 0; i < 10; ++i) q.push(video(i, steadyMs()));
        ASSERT_GT(q.droppedCount(), 0u);
        MediaPacket p;
        ASSERT_TRUE(q.pop(p, 0));
        EXPECT_TRUE(p.afterGap);
        while (q.pop(p, 0)) EXPECT_FALSE(p.afterGap) << p.ptsUs;
    }
    {
        // Age limit: sound between the lost picture and the next one is not marked.
        PacketQueue::Limits limits;
        limits.maxAgeMs = 100;
        PacketQueue q(limits);
        q.push(video(0, steadyMs() - 1000));
        MediaPacket audio;
        audio.kind = MediaPacket::Audio;
        audio.arrivalMs = steadyMs();
        audio.data.assign(100, 0);
        q.push(std::move(audio));
        q.push(video(1, steadyMs()));
        EXPECT_EQ(q.droppedCount(), 1u);
        MediaPacket p;
        ASSERT_TRUE(q.pop(p, 0));
        EXPECT_EQ(p.kind, MediaPacket::Audio);
        EXPECT_FALSE(p.afterGap);
        ASSERT_TRUE(q.pop(p, 0));
        EXPECT_EQ(p.ptsUs, 1);
        EXPECT_TRUE(p.afterGap);
    }
    {
        // A packet the spill file cannot take is lost on the way in: the next one put in is
        // marked, not the ones already waiting.
        PacketQueue::Limits limits;
        limits.memoryBytes = 2500;
        limits.spillFolder = "/proc/kobal-no-such-folder";
        PacketQueue q(limits);
        for (int i = 0; i < 3; ++i) q.push(video(i, steadyMs()));
        EXPECT_EQ(q.droppedCount(), 1u);
        MediaPacket p;
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(q.pop(p, 0));
            EXPECT_FALSE(p.afterGap);
        }
        q.push(video(3, steadyMs()));
        ASSERT_TRUE(q.pop(p, 0));
        EXPECT_EQ(p.ptsUs, 3);
        EXPECT_TRUE(p.afterGap);
    }
    {
        // The mark survives the spill file.
        PacketQueue::Limits limits;
        limits.memoryBytes = 1500;
        limits.spillFolder = test::makeTempDir("spill-gap");
        PacketQueue q(limits);
        for (int i = 0; i < 4; ++i) {
            MediaPacket v = video(i, steadyMs());
            v.afterGap = i == 2;
            v.key = i == 3;
            q.push(std::move(v));
        }
        EXPECT_GT(q.spilledBytes(), 0);
        MediaPacket p;
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(q.pop(p, 0));
            EXPECT_EQ(p.afterGap, i == 2) << i;
            EXPECT_EQ(p.key, i == 3) << i;
        }
    }
}

// The link source on records as the sender fills them: the announced parameter sets, times,
// and records it has to drop.
TEST(LinkSourceRecords, AnnouncedParameterSetsFollowTheDelimiterOfAnIdrThatLacksThem) {
    const std::string ts = test::makeTs(2, 440, 15, true);
    ASSERT_FALSE(ts.empty());
    std::vector<MediaPacket> video = videoPackets(ts);
    ASSERT_GE(video.size(), 20u);
    const std::vector<uint8_t>& idr = video[0].data;
    ASSERT_EQ(nalTypes(idr).front(), 9);
    const std::vector<uint8_t> sets = onlyNals(idr, {7, 8});
    const std::vector<uint8_t> bare = withoutNals(idr, {7, 8});
    ASSERT_FALSE(sets.empty());
    ASSERT_EQ(nalTypes(bare).front(), 9);

    PacketQueue q;
    LinkSource src(nullptr, q, {});
    auto rec = configRecord(kVideoConfig, sets);
    src.handleRecord(rec.data(), rec.size());
    rec = frameRecord(true, bare, 900000);
    src.handleRecord(rec.data(), rec.size());
    MediaPacket p;
    ASSERT_TRUE(q.pop(p, 0));
    EXPECT_TRUE(p.key);
    std::vector<int> want = nalTypes(bare);
    want.insert(want.begin() + 1, {7, 8});
    EXPECT_EQ(nalTypes(p.data), want) << "access unit delimiter, parameter sets, the rest";
    VideoDecoder dec;
    std::vector<FramePtr> frames;
    dec.decode(p.data.data(), p.data.size(), p.ptsUs, p.key, frames);
    EXPECT_EQ(frames.size(), 1u);

    // Units that have their own parameter sets, and other pictures, pass as they are.
    for (size_t i : {size_t(15), size_t(16)}) {
        rec = frameRecord(true, video[i].data, 900000 + 6000 * i);
        src.handleRecord(rec.data(), rec.size());
        ASSERT_TRUE(q.pop(p, 0));
        EXPECT_EQ(p.data, video[i].data);
    }
}

TEST(LinkSourceRecords, PicturesTakeTheirOwnTimeAndThoseAfterALostUnitAreShown) {
    const std::string ts = test::makeTs(4, 440, 15, true);
    ASSERT_FALSE(ts.empty());
    std::vector<MediaPacket> video = videoPackets(ts);
    ASSERT_GE(video.size(), 59u);
    ASSERT_TRUE(video[15].key && video[30].key && video[45].key);

    PacketQueue q;
    LinkSource src(nullptr, q, {});
    auto rec = configRecord(kVideoConfig, onlyNals(video[0].data, {7, 8}));
    src.handleRecord(rec.data(), rec.size());
    // The sender cuts unit i when unit i+1 arrives, and gives it that unit's time. Unit 50
    // never arrives (lost before the link: only its frame number tells).
    const uint64_t base = 900000;
    for (size_t i = 0; i < 59; ++i) {
        const uint64_t next = base + kFrame90 * (i + 1);
        if (i == 50) continue;
        if (i == 20)
            rec = frameRecord(true, video[i].data, next, 50000); // longer than its record
        else if (i == 37)
            rec = frameRecord(true, video[i].data, next, 0);
        else
            rec = frameRecord(true, video[i].data, next);
        src.handleRecord(rec.data(), rec.size());
    }
    EXPECT_EQ(src.recordsDropped(), 2u);

    VideoDecoder dec;
    std::vector<size_t> shown;
    std::map<int64_t, size_t> unitAt;
    size_t i = 0;
    MediaPacket p;
    while (q.pop(p, 0)) {
        if (i == 20 || i == 37 || i == 50) ++i;
        // Each picture's time is its own unit's time (10 s = 900000 ticks at the start); the
        // one after a unit lost unseen takes the lost one's time.
        if (i != 51) {
            EXPECT_NEAR(double(p.ptsUs), 10'000'000 + double(i) * 1e6 / 15, 2) << "unit " << i;
        }
        unitAt[p.ptsUs] = i;
        std::vector<FramePtr> frames;
        dec.decode(p.data.data(), p.data.size(), p.ptsUs, p.key, frames, p.afterGap);
        for (auto& f : frames) shown.push_back(unitAt.count(f->pts) ? unitAt[f->pts] : 999);
        ++i;
    }
    ASSERT_EQ(i, 59u);
    // Units lost at the link or before it: the pictures after them are still shown.
    for (size_t u : shown) EXPECT_NE(u, 999u);
    for (size_t u : {size_t(0), size_t(19), size_t(21), size_t(30), size_t(38), size_t(49),
                     size_t(51), size_t(58)})
        EXPECT_NE(std::find(shown.begin(), shown.end(), u), shown.end()) << "picture " << u;
}

TEST(AudioDecoder, DualMonoIsDetectedAndEachProgrammeCanBeChosen) {
    const std::string a = test::makeMonoAdts(2, 440), b = test::makeMonoAdts(2, 1000);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    const auto mono = test::adtsFrames(test::readFile(a));
    const auto dual = test::spliceDualMono(mono, test::adtsFrames(test::readFile(b)));
    ASSERT_GT(dual.size(), 60u);

    AdtsInfo info;
    ASSERT_TRUE(parseAdts(mono[5].data(), mono[5].size(), info));
    EXPECT_FALSE(info.dualMono);
    ASSERT_TRUE(parseAdts(dual[5].data(), dual[5].size(), info));
    EXPECT_TRUE(info.dualMono);
    EXPECT_EQ(info.channelConfig, 2);
    EXPECT_EQ(info.sampleRate, 48000);

    auto play = [&](int channel, size_t from, size_t to, AudioDecoder& dec) {
        dec.setChannel(channel);
        std::vector<int16_t> pcm;
        for (size_t i = from; i < to; ++i) dec.decode(dual[i].data(), dual[i].size(), pcm);
        return pcm;
    };
    AudioDecoder dec;
    const auto mainPcm = play(1, 0, 40, dec);
    EXPECT_EQ(dec.audioMode(), 1);
    const auto subPcm = play(2, 40, 80, dec);
    EXPECT_EQ(dec.audioMode(), 2);
    for (int ch : {0, 1}) {
        EXPECT_NEAR(test::toneHz(mainPcm, ch), 440, 25) << ch;
        EXPECT_NEAR(test::toneHz(subPcm, ch), 1000, 40) << ch;
    }
    // A single programme reports mode 0 whatever was chosen.
    AudioDecoder single;
    single.setChannel(2);
    std::vector<int16_t> pcm;
    for (size_t i = 0; i < 20; ++i) single.decode(mono[i].data(), mono[i].size(), pcm);
    EXPECT_EQ(single.audioMode(), 0);
    EXPECT_NEAR(test::toneHz(pcm, 1), 440, 40);
    // Garbage never crashes and yields nothing.
    std::vector<uint8_t> junk(300, 0xFF);
    EXPECT_EQ(single.decode(junk.data(), junk.size(), pcm), 0);
}

TEST(VideoDecoder, ADamagedStreamKeepsMovingAndAJoinWaitsForAnIdrPicture) {
    const std::string ts = test::makeTs(4, 440, 15);
    ASSERT_FALSE(ts.empty());
    std::vector<MediaPacket> video = videoPackets(ts);
    ASSERT_GE(video.size(), 55u);
    ASSERT_TRUE(video[15].key && video[30].key);

    VideoDecoder dec;
    std::vector<FramePtr> frames;
    auto feed = [&](size_t i) {
        dec.decode(video[i].data.data(), video[i].data.size(), video[i].ptsUs, video[i].key,
                   frames);
    };
    // Starts at the first IDR even when the stream is joined in the middle.
    for (size_t i = 3; i < 15; ++i) feed(i);
    EXPECT_TRUE(frames.empty());
    for (size_t i = 15; i < 20; ++i) feed(i);
    EXPECT_EQ(frames.size(), 5u);
    // A picture cut short, one with garbage in its slice data and one missing: the picture
    // keeps moving: the pictures after them come out, the damage concealed.
    frames.clear();
    MediaPacket& cut = video[20];
    cut.data.resize(cut.data.size() / 3);
    feed(20);
    for (size_t i = 21; i < 30; ++i) {
        if (i == 22)
            for (size_t k = 10; k < video[i].data.size(); ++k) video[i].data[k] ^= 0x5A;
        if (i != 25) feed(i);
    }
    std::vector<int64_t> times;
    for (auto& f : frames) times.push_back(f->pts);
    for (size_t i : {size_t(20), size_t(23), size_t(26), size_t(29)})
        EXPECT_NE(std::find(times.begin(), times.end(), video[i].ptsUs), times.end()) << i;
    EXPECT_GT(dec.concealedPictures(), 0u);
    // After a flush (seek, new source) there is nothing to conceal with: the next IDR.
    dec.flush();
    frames.clear();
    for (size_t i = 26; i < 40; ++i) feed(i);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front()->pts, video[30].ptsUs);
    EXPECT_GT(dec.droppedUnits(), 0u);
    // A lost IDR (a damaged packet drops its whole unit): the pictures of its group count
    // from it, and still come out, each in turn.
    ASSERT_TRUE(video[45].key);
    for (size_t i = 40; i < 45; ++i) feed(i);
    frames.clear();
    for (size_t i = 46; i < 55; ++i) feed(i);
    ASSERT_EQ(frames.size(), 9u);
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i]->pts, video[46 + i].ptsUs);
    // They build on the last picture shown, not on an older IDR: the picture goes on from
    // where it was instead of jumping back a group.
    VideoDecoder clean;
    std::vector<FramePtr> truth;
    for (size_t i = 30; i < 47; ++i)
        clean.decode(video[i].data.data(), video[i].data.size(), video[i].ptsUs, video[i].key,
                     truth);
    ASSERT_EQ(truth.size(), 17u);
    const AVFrame* olderIdr = truth.front().get();
    const AVFrame* wanted = truth.back().get();
    EXPECT_LT(lumaDifference(frames[0].get(), wanted),
              lumaDifference(frames[0].get(), olderIdr) / 2);
    // Random bytes and empty units never crash.
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = uint8_t(i * 37 + 11);
    dec.decode(junk.data(), junk.size(), 0, true, frames);
    dec.decode(junk.data(), 0, 0, true, frames);
}

TEST(TsRecorder, AMissingFolderFailsCleanlyAndAFullDiskKeepsWhatWasWritten) {
    const std::string ts = test::makeTs(6, 440, 15, true);
    ASSERT_FALSE(ts.empty());
    auto packets = readPackets(ts);
    ASSERT_FALSE(packets.empty());
    std::vector<uint8_t> adts(packets[1].data.begin(), packets[1].data.begin() + 7);
    for (auto& p : packets)
        if (p.kind == MediaPacket::Audio) {
            adts.assign(p.data.begin(), p.data.begin() + 7);
            break;
        }

    TsRecorder rec;
    const std::string missing = test::homeDir() + "/no/such/folder/a.rec";
    EXPECT_FALSE(rec.start(missing, {}, adts));
    EXPECT_FALSE(rec.active());
    EXPECT_FALSE(std::filesystem::exists(missing));

    // /dev/full: every write fails as on a full disk; the recorder stops, it does not spin.
    ASSERT_TRUE(rec.start("/dev/full", {}, adts));
    for (auto& p : packets) rec.write(p);
    EXPECT_FALSE(rec.active());
    EXPECT_TRUE(rec.failed());

    // A file that may grow only so far: what was written before opens and plays.
    const std::string part = test::homeDir() + "/part.rec";
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 120 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ASSERT_TRUE(rec.start(part, {}, adts));
    for (auto& p : packets) rec.write(p);
    const bool stoppedItself = !rec.active() && rec.failed();
    rec.stop();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(stoppedItself);
    std::string probe;
    ASSERT_EQ(test::runCommand("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" +
                                   part + "'",
                               &probe),
              0);
    EXPECT_NE(probe.find("h264"), std::string::npos);
    EXPECT_FALSE(readPackets(part).empty());
}

} // namespace
