// kobal_mkstream's files as ordinary TS tools see them: one programme, H.264 320x180 and AAC,
// no decoding errors; dual mono decodes to two different programmes; the card shows the
// station's colour; damage options damage what they say.
#include "TunerTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tuner/StationCard.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using kobal::test::runCommand;

namespace {

std::string tool() {
    return kobal::test::binaryDir() + "/tools/kobal_mkstream/kobal_mkstream";
}

std::string make(const std::string& name, const std::string& args) {
    const std::string out = kobal::test::homeDir() + "/" + name;
    const int rc = runCommand(tool() + " " + args + " " + out + " 2>/dev/null");
    EXPECT_EQ(rc, 0) << args;
    return out;
}

// Zero crossings per second of each channel of interleaved 16-bit stereo.
std::pair<double, double> pitches(const std::string& pcm) {
    const auto* s = reinterpret_cast<const int16_t*>(pcm.data());
    const size_t frames = pcm.size() / 4;
    int up[2] = {0, 0};
    for (size_t i = 48000; i + 1 < frames; ++i)
        for (int c = 0; c < 2; ++c)
            if (s[2 * i + c] < 0 && s[2 * (i + 1) + c] >= 0) ++up[c];
    const double secs = (frames - 48000) / 48000.0;
    return {up[0] / secs, up[1] / secs};
}

} // namespace

TEST(MkStreamTool, FileIsOneCleanProgrammeForFfprobeAndFfmpeg) {
    const std::string f = make("t.ts", "--area 7 --slot 14 --seconds 6");
    std::string out;
    ASSERT_EQ(runCommand("ffprobe -v error -show_entries "
                         "program=program_id:stream=codec_name,profile,width,height,channels -of "
                         "compact " +
                             f,
                         &out),
              0);
    EXPECT_NE(out.find("program|program_id=57486"), std::string::npos) << out; // 0xE08E
    EXPECT_NE(out.find("codec_name=h264|profile=Constrained Baseline|width=320|height=180"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("codec_name=aac|profile=LC"), std::string::npos) << out;
    size_t programs = 0;
    for (size_t at = 0; (at = out.find("program|", at)) != std::string::npos; ++at) ++programs;
    EXPECT_EQ(programs, 1u);

    std::string errors;
    EXPECT_EQ(runCommand("ffmpeg -nostdin -v error -i " + f + " -f null - 2>&1", &errors), 0);
    EXPECT_EQ(errors, "");
}

TEST(MkStreamTool, DualMonoCarriesTwoDifferentTones) {
    const std::string f = make("dual.ts", "--area 7 --slot 14 --seconds 4 --dual-mono");
    std::string pcm;
    ASSERT_EQ(runCommand("ffmpeg -nostdin -v error -i " + f + " -map 0:a -f s16le -ac 2 -", &pcm),
              0);
    const auto [main, sub] = pitches(pcm);
    // ＮＨＫ総合 is the first Tokyo station: 400 Hz main, sub half as high again.
    EXPECT_NEAR(main, 400, 15);
    EXPECT_NEAR(sub, 600, 20);

    const std::string mono = make("mono.ts", "--area 7 --slot 14 --seconds 2");
    std::string info;
    runCommand("ffprobe -v error -select_streams a -show_entries stream=channels -of csv=p=0 " +
                   mono,
               &info);
    EXPECT_EQ(info.substr(0, 2), "1\n");
    EXPECT_EQ(info.find('2'), std::string::npos);
}

TEST(MkStreamTool, PictureShowsTheStationsCardColour) {
    for (int slot : {14, 12}) {
        const std::string f =
            make("c" + std::to_string(slot) + ".ts",
                 "--area 7 --slot " + std::to_string(slot) + " --seconds 2 --no-captions");
        std::string rgb;
        ASSERT_EQ(runCommand("ffmpeg -nostdin -v error -i " + f +
                                 " -frames:v 1 -f rawvideo -pix_fmt rgb24 -",
                             &rgb),
                  0);
        ASSERT_EQ(rgb.size(), 320u * 180 * 3);
        const veltra::CardColour want = veltra::stationCardColour(7, slot);
        // Corners and the middle of the left edge are background.
        for (int y : {2, 80, 177}) {
            for (int x : {2, 317}) {
                const auto* px = reinterpret_cast<const uint8_t*>(&rgb[(y * 320 + x) * 3]);
                EXPECT_NEAR(px[0], want.r, 12) << slot << " " << x << "," << y;
                EXPECT_NEAR(px[1], want.g, 12);
                EXPECT_NEAR(px[2], want.b, 12);
            }
        }
        // No captions asked for: no caption stream in the PMT.
        const std::string ts = kobal::test::readFile(f);
        const auto pmt = tunertest::sectionsOn(ts, 0x1FC8);
        ASSERT_FALSE(pmt.empty());
        EXPECT_TRUE(tunertest::pesOn(ts, 0x187).empty());
        EXPECT_EQ(pmt.front().size(), 12u + 2 * 8 + 4);
    }
}

TEST(MkStreamTool, DamageOptionsDamageAsAsked) {
    const std::string clean = kobal::test::readFile(make("clean.ts", "--seconds 3"));
    const std::string lost = kobal::test::readFile(make("lost.ts", "--seconds 3 --lose 100"));
    EXPECT_LT(lost.size(), clean.size() * 97 / 100);
    EXPECT_EQ(lost.size() % 188, 0u);

    const std::string bad = kobal::test::readFile(
        make("bad.ts", "--seconds 3 --bad-sync 50 --scrambled 50 --oversized-af 50"));
    ASSERT_EQ(bad.size(), clean.size());
    int badSync = 0, scrambled = 0, oversized = 0;
    for (size_t i = 0; i < bad.size(); i += 188) {
        const auto* p = reinterpret_cast<const uint8_t*>(&bad[i]);
        badSync += p[0] != 0x47;
        scrambled += (p[3] & 0xC0) != 0;
        oversized += (p[3] & 0x20) && p[4] > 183;
    }
    const int packets = static_cast<int>(bad.size() / 188);
    for (int n : {badSync, scrambled, oversized}) {
        EXPECT_GT(n, packets / 100);
        EXPECT_LT(n, packets / 10);
    }
    EXPECT_NE(runCommand(tool() + " --area 7 --slot 0 /dev/null 2>/dev/null"), 0); // no station
}

namespace {

uint16_t pidAt(const std::string& ts, size_t i) {
    return static_cast<uint16_t>((ts[i + 1] & 0x1F) << 8 | static_cast<uint8_t>(ts[i + 2]));
}

// Start code positions (of 00 00 01) in an elementary stream.
std::vector<size_t> startCodes(const std::vector<uint8_t>& es) {
    std::vector<size_t> at;
    for (size_t i = 0; i + 3 < es.size(); ++i)
        if (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 1) at.push_back(i);
    return at;
}

} // namespace

TEST(MkStreamTool, EdgeStructureOptionsProduceWhatTheySay) {
    const std::string ts = kobal::test::readFile(
        make("edge.ts",
             "--seconds 7 --pcr-on-video 300 --tiny-adts 200 --huge-pmt --huge-pes --huge-sps"));
    ASSERT_EQ(ts.size() % 188, 0u);
    for (size_t i = 0; i < ts.size(); i += 188) ASSERT_EQ(ts[i], 0x47) << i;

    // --pcr-on-video: the PMT names the video PID as PCR PID; PCRs come in packets with only an
    // adaptation field of 183 bytes on it (more than the regular 25 a second); the PCR PID of
    // before is gone; the video counters stay continuous (packets without payload repeat it).
    int pcrPackets = 0, oldPcr = 0, ccErrors = 0, pmtCcErrors = 0;
    int videoCc = -1, pmtCc = -1;
    for (size_t i = 0; i < ts.size(); i += 188) {
        const auto* p = reinterpret_cast<const uint8_t*>(&ts[i]);
        const uint16_t pid = pidAt(ts, i);
        oldPcr += pid == 0x1FF;
        if (pid == 0x1FC8) {
            if (pmtCc >= 0 && (p[3] & 0x0F) != ((pmtCc + 1) & 0x0F)) ++pmtCcErrors;
            pmtCc = p[3] & 0x0F;
        }
        if (pid != 0x181) continue;
        const bool payload = p[3] & 0x10;
        if (!payload) {
            EXPECT_EQ(p[3] & 0x30, 0x20);
            EXPECT_EQ(p[4], 183);
            EXPECT_TRUE(p[5] & 0x10);
            ++pcrPackets;
        }
        const int want = videoCc < 0 ? (p[3] & 0x0F) : payload ? (videoCc + 1) & 0x0F : videoCc;
        if ((p[3] & 0x0F) != want) ++ccErrors;
        videoCc = p[3] & 0x0F;
    }
    EXPECT_GT(pcrPackets, 7 * 25 + 20);
    EXPECT_EQ(oldPcr, 0);
    EXPECT_EQ(ccErrors, 0);
    EXPECT_EQ(pmtCcErrors, 0);

    // --huge-pmt: whole 4098-byte PMT sections with a good CRC that still list the streams,
    // between regular ones.
    int huge = 0, regular = 0;
    for (const auto& s : tunertest::sectionsOn(ts, 0x1FC8)) {
        ASSERT_EQ(tunertest::sectionCrc(s.data(), s.size()), 0u);
        EXPECT_EQ((s[8] & 0x1F) << 8 | s[9], 0x181);
        if (s.size() <= 1024) {
            ++regular;
            continue;
        }
        ++huge;
        EXPECT_EQ(s.size(), 4098u);
        const std::string bytes(s.begin(), s.end());
        EXPECT_NE(bytes.find("\x1B\xE1\x81"), std::string::npos); // H.264 on 0x181
        EXPECT_NE(bytes.find("\x0F\xE1\x83"), std::string::npos); // AAC on 0x183
    }
    EXPECT_GE(huge, 7);
    EXPECT_GT(regular, huge);

    // --huge-pes and --huge-sps: a video PES over 0x10000 bytes whose access unit is over
    // 39960; before IDR pictures, parameter sets (SPS, SPS, PPS) over 1016 bytes.
    size_t biggestPes = 0, biggestAu = 0, biggestSets = 0;
    for (const auto& pes : tunertest::pesOn(ts, 0x181)) {
        biggestPes = std::max(biggestPes, pes.data.size() + 14);
        const std::vector<size_t> at = startCodes(pes.data);
        size_t aud = std::string::npos, setsFrom = std::string::npos;
        for (size_t k = 0; k <= at.size(); ++k) {
            const size_t pos = k < at.size() ? at[k] : pes.data.size();
            const int type = k < at.size() ? pes.data[pos + 3] & 0x1F : 9;
            if (type == 9) {
                if (aud != std::string::npos) biggestAu = std::max(biggestAu, pos - aud);
                aud = pos;
            }
            if (type == 7 && setsFrom == std::string::npos) setsFrom = pos;
            if (type != 7 && type != 8 && setsFrom != std::string::npos) {
                biggestSets = std::max(biggestSets, pos - setsFrom);
                setsFrom = std::string::npos;
            }
        }
    }
    EXPECT_GT(biggestPes, 0x10000u);
    EXPECT_GT(biggestAu, 39960u);
    EXPECT_GT(biggestSets, 1016u);

    // --tiny-adts: audio PES that start with a header matching the stream's (sync word, layer,
    // profile, rate, channels) but declaring 0..8 bytes, followed by the real frame.
    int tiny = 0, frames = 0;
    for (const auto& pes : tunertest::pesOn(ts, 0x183)) {
        const auto& d = pes.data;
        ASSERT_GE(d.size(), 16u);
        ++frames;
        const size_t length = (d[3] & 3) << 11 | d[4] << 3 | d[5] >> 5;
        if (length > 8) continue;
        ++tiny;
        EXPECT_EQ(d[7], 0xFF);
        EXPECT_EQ(d[8], 0xF8);
        EXPECT_EQ(d[0], 0xFF);
        EXPECT_EQ(d[1], 0xF8);
        EXPECT_EQ(d[2], d[9]);
        EXPECT_EQ(d[3] & 0xFC, d[10] & 0xFC);
    }
    EXPECT_GT(tiny, frames / 10);
    EXPECT_LT(tiny, frames / 3);

    // Apart from the audio damage the file is still one H.264 and AAC programme to ffprobe.
    std::string out;
    ASSERT_EQ(
        runCommand("ffprobe -v quiet -show_entries stream=codec_name,width,height -of compact " +
                       kobal::test::homeDir() + "/edge.ts",
                   &out),
        0);
    EXPECT_NE(out.find("codec_name=h264|width=320|height=180"), std::string::npos) << out;
    EXPECT_NE(out.find("codec_name=aac"), std::string::npos) << out;
}
