// kobal_tsdump over streams written by kobal_mkstream: every access unit and ADTS frame of the
// stream reaches the renderer's side of the link, whole and in order, as ffprobe counts them.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/TestSupport.h"

using namespace kobal::test;

namespace {

std::string tool(const std::string& name) {
    return binaryDir() + "/tools/" + name + "/" + name;
}

// Minimal readers for the tool's flat JSON.
long long jsonInt(const std::string& json, const std::string& key) {
    const size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos) return -1;
    return std::atoll(json.c_str() + at + key.size() + 3);
}
std::string jsonText(const std::string& json, const std::string& key) {
    const size_t at = json.find("\"" + key + "\": \"");
    if (at == std::string::npos) return {};
    const size_t from = at + key.size() + 5;
    return json.substr(from, json.find('"', from) - from);
}
std::vector<long> jsonList(const std::string& json, const std::string& key) {
    std::vector<long> out;
    const size_t at = json.find("\"" + key + "\": [");
    if (at == std::string::npos) return out;
    std::istringstream in(json.substr(at + key.size() + 5, json.find(']', at) - at));
    long v;
    char sep;
    while (in >> v) {
        out.push_back(v);
        if (!(in >> sep) || sep != ',') break;
    }
    return out;
}

// Packet sizes of one kind ("video" or "audio") as ffprobe reads the file.
std::vector<long> probeSizes(const std::string& file, const std::string& kind) {
    std::string out;
    EXPECT_EQ(runCommand("ffprobe -v error -show_entries packet=codec_type,size -of "
                         "compact=p=0:nk=1 '" +
                             file + "'",
                         &out),
              0);
    std::vector<long> sizes;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(kind + "|", 0) == 0)
            sizes.push_back(std::atol(line.c_str() + kind.size() + 1));
    }
    return sizes;
}

// Where `part` runs inside `whole` as one contiguous piece, -1 when it does not.
long findRun(const std::vector<long>& whole, const std::vector<long>& part) {
    if (part.empty() || part.size() > whole.size()) return -1;
    for (size_t i = 0; i + part.size() <= whole.size(); ++i) {
        if (std::equal(part.begin(), part.end(), whole.begin() + long(i))) return long(i);
    }
    return -1;
}

std::string makeStream(const std::string& name, const std::string& options, int seconds = 20) {
    const std::string file = makeTempDir("streams") + "/" + name;
    EXPECT_EQ(runCommand(tool("kobal_mkstream") + " --area 7 --slot 14 --seconds " +
                         std::to_string(seconds) + " " + options + " '" + file + "' 2>/dev/null"),
              0);
    return file;
}

// kobal_tsdump's report on a file (with every record's size), empty when the run failed.
std::string dumpFile(const std::string& file, const std::string& options = "") {
    std::string json;
    const int status = runCommand("timeout 120 " + tool("kobal_tsdump") + " --sizes " + options +
                                      " '" + file + "' 2>/dev/null",
                                  &json);
    EXPECT_EQ(status, 0) << file;
    return status == 0 ? json : std::string();
}

} // namespace

TEST(TsdumpEndToEnd, EveryFrameOfAFileReachesTheLinkWholeAndInOrder) {
    const std::string file = makeStream("clean.ts", "");
    const std::string json = dumpFile(file, "--stats");
    ASSERT_FALSE(json.empty());
    EXPECT_EQ(jsonText(json, "delivery_state"), "0xAA");
    EXPECT_NE(json.find("\"before_frames\": true"), std::string::npos);
    EXPECT_EQ(jsonInt(json, "video_records"), jsonInt(json, "video_sent"));
    EXPECT_EQ(jsonInt(json, "audio_records"), jsonInt(json, "audio_sent"));
    EXPECT_EQ(jsonInt(json, "units_dropped"), 0);
    EXPECT_EQ(jsonInt(json, "chunks_dropped"), 0);
    EXPECT_EQ(jsonText(json, "audio_config").size(), 14u);

    const auto video = probeSizes(file, "video"), audio = probeSizes(file, "audio");
    const auto sentVideo = jsonList(json, "video_sizes"), sentAudio = jsonList(json, "audio_sizes");
    ASSERT_GT(video.size(), 250u);
    ASSERT_GT(audio.size(), 800u);
    // Sent from the first access unit after the announcement up to the end, less the access
    // unit still carried (its end is the next delimiter) and the unfinished last PES. (The
    // test tone repeats its frame sizes, so the run is checked where it must end.)
    ASSERT_LE(sentVideo.size() + 2, video.size());
    const size_t v = video.size() - 2 - sentVideo.size();
    EXPECT_TRUE(std::equal(sentVideo.begin(), sentVideo.end(), video.begin() + long(v)))
        << "video records are not the stream's access units";
    EXPECT_EQ(findRun(video, sentVideo), long(v));
    // Audio: every frame up to the two units the data pump leaves queued.
    const size_t pending = size_t(jsonInt(json, "pending_audio_units"));
    ASSERT_LE(sentAudio.size() + pending, audio.size());
    const size_t a = audio.size() - pending - sentAudio.size();
    EXPECT_TRUE(std::equal(sentAudio.begin(), sentAudio.end(), audio.begin() + long(a)))
        << "audio records are not the stream's ADTS frames";
    EXPECT_LT(v, 40u);  // the first IDR comes within a couple of seconds
    EXPECT_LT(a, 150u); // and the sound starts with it
    // The tool times the first record from the IDR picture it belongs to, not a later one.
    EXPECT_GE(jsonInt(json, "first_video_after_idr_ms"), 0);
    EXPECT_GE(jsonInt(json, "first_video_after_whole_idr_ms"), 0);
}

TEST(TsdumpEndToEnd, DamagedStreamsPlayThroughWithoutOverrun) {
    const std::string file =
        makeStream("damaged.ts", "--lose 5 --bad-sync 5 --scrambled 5 --oversized-af 5 --seed 3");
    const std::string json = dumpFile(file);
    ASSERT_FALSE(json.empty());
    EXPECT_EQ(jsonText(json, "delivery_state"), "0xAA");
    EXPECT_GT(jsonInt(json, "video_records"), 100);
    EXPECT_GT(jsonInt(json, "audio_records"), 400);
    EXPECT_EQ(jsonInt(json, "units_dropped"), 0);
    for (long size : jsonList(json, "video_sizes")) EXPECT_LE(size, 39960);
    for (long size : jsonList(json, "audio_sizes")) {
        EXPECT_GE(size, 9);
        EXPECT_LT(size, 8192);
    }
}

// Structures at the edge of what the engine holds, each in a stream that is otherwise sound.
TEST(TsdumpEndToEnd, OutsizedAndOddStructuresStayWithinTheirBounds) {
    // PCR in adaptation-field-only packets on the video PID, in the middle of pictures: no
    // picture may lose a byte, so the records still match ffprobe's access units.
    {
        SCOPED_TRACE("--pcr-on-video");
        const std::string file = makeStream("pcr-on-video.ts", "--pcr-on-video 20", 10);
        const std::string json = dumpFile(file);
        ASSERT_FALSE(json.empty());
        EXPECT_EQ(jsonText(json, "delivery_state"), "0xAA");
        const auto video = probeSizes(file, "video");
        const auto sent = jsonList(json, "video_sizes");
        ASSERT_GT(sent.size(), 100u);
        EXPECT_EQ(findRun(video, sent), long(video.size() - 2 - sent.size()))
            << "a picture was cut short by a PCR-only packet";
    }
    // ADTS headers that declare less than their own size: no frame, no hang.
    {
        SCOPED_TRACE("--tiny-adts");
        const std::string file = makeStream("tiny-adts.ts", "--tiny-adts 30 --seed 5", 10);
        const std::string json = dumpFile(file);
        ASSERT_FALSE(json.empty());
        EXPECT_EQ(jsonText(json, "delivery_state"), "0xAA");
        EXPECT_GT(jsonInt(json, "audio_records"), 300);
        for (long size : jsonList(json, "audio_sizes")) EXPECT_GE(size, 9);
    }
    // A PMT section longer than the 4096-byte collector is dropped; the regular ones between
    // them still give the programme.
    {
        SCOPED_TRACE("--huge-pmt");
        const std::string file = makeStream("huge-pmt.ts", "--huge-pmt", 10);
        const std::string json = dumpFile(file);
        ASSERT_FALSE(json.empty());
        EXPECT_EQ(jsonText(json, "delivery_state"), "0xAA");
        EXPECT_NE(json.find("\"video\": 385"), std::string::npos);
        EXPECT_GT(jsonInt(json, "video_records"), 100);
    }
    // Pictures past the PES and access unit bounds are dropped; the others play on.
    {
        SCOPED_TRACE("--huge-pes");
        const std::string file = makeStream("huge-pes.ts", "--huge-pes", 12);
        const std::string json = dumpFile(file);
        ASSERT_FALSE(json.empty());
        EXPECT_EQ(jsonText(json, "delivery_state"), "0xAA");
        EXPECT_GT(jsonInt(json, "video_records"), 100);
        EXPECT_GE(jsonInt(json, "video_oversize"), 1);
        EXPECT_EQ(jsonInt(json, "units_dropped"), 0);
        for (long size : jsonList(json, "video_sizes")) EXPECT_LE(size, 39960);
    }
    // Parameter sets longer than the 1016-byte config block are never captured: without a
    // decoder configuration nothing is announced and no picture is sent.
    {
        SCOPED_TRACE("--huge-sps");
        const std::string file = makeStream("huge-sps.ts", "--huge-sps", 6);
        const std::string json = dumpFile(file);
        ASSERT_FALSE(json.empty());
        EXPECT_NE(jsonText(json, "delivery_state"), "0xAA");
        EXPECT_EQ(jsonInt(json, "video_records"), 0);
        EXPECT_EQ(jsonText(json, "video_config"), "");
    }
}
