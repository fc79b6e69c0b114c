#pragma once
// Shared pieces of the renderer tests: media files made with the ffmpeg CLI, and measurements
// on pictures and sound. Every renderer test has the null audio output and a widget application.
#include "renderer/MediaGraph.h"
#include "renderer/RendererHost.h"
#include "tests/support/TestSupport.h"

#include <QImage>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kobal::test {

// ffmpeg-made transport stream: testsrc picture (320x180, 15 fps, IDR every gop frames) and a
// sine tone. Cached per argument set inside the test's home. Empty on failure.
std::string makeTs(double seconds, int toneHz = 440, int gop = 15, bool aud = false);
// A mono ADTS (MPEG-2, CRC) stream of a tone.
std::string makeMonoAdts(double seconds, int toneHz);

// The packets of a media file as libavformat reads them: each frame (what a sender cuts from
// the stream), or with `perPes` each PES as it stands, unparsed (those without a time left out).
struct FilePacket {
    bool video = false;
    bool key = false;
    uint64_t ts90 = 0; // presentation time, 90 kHz
    std::vector<uint8_t> data;
    int64_t ptsUs = 0; // the same in microseconds
};
std::vector<FilePacket> filePackets(const std::string& path, bool perPes = false);

// Splits an ADTS byte stream into frames.
std::vector<std::vector<uint8_t>> adtsFrames(const std::string& bytes);
// Builds dual-mono frames (two single channel elements under channel configuration 2) from
// two mono streams: the first is the main programme, the second the sub.
std::vector<std::vector<uint8_t>> spliceDualMono(const std::vector<std::vector<uint8_t>>& main,
                                                 const std::vector<std::vector<uint8_t>>& sub);

double rms(const std::vector<int16_t>& stereo, int channel);

// Mean colour of a rectangle of a picture.
QColor meanColour(const QImage& img, const QRect& r);

// Records what the renderer tells its host.
class RecordingHost : public render::RendererHost {
public:
    long copyData(unsigned long command, long pid, const std::vector<uint8_t>& data) override;
    void postGraphEvent() override { ++graphEvents; }
    void audioModeChanged(int mode) override {
        lastMode = mode;
        ++modeMessages;
    }
    // Called for every copy-data (on the sender's thread); answer returned (default 1).
    std::function<long(unsigned long, long, const std::vector<uint8_t>&)> onCopyData;
    std::atomic<int> graphEvents{0}, modeMessages{0}, lastMode{-1};
    std::mutex lock;
    std::vector<unsigned long> commands;
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<long> pids;
    int count(unsigned long command);
};

// Drains the graph's events; true when EC_COMPLETE was among them.
bool drainComplete(render::MediaGraph& graph);

} // namespace kobal::test
