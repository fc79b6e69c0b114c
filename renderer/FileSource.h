#pragma once
// The source for recorded files: libavformat demuxes the file (".rec" files are MPEG-TS)
// on its own thread into the packet queue, with times moved so that the file starts at 0.
// The thread waits while the queue holds enough, pushes an end-of-stream packet at the end
// of the file and then waits for a seek or the end.
#include "PacketQueue.h"
#include "Source.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

struct AVFormatContext;
struct AVPacket;

namespace kobal::render {

class FileSource : public Source {
public:
    explicit FileSource(PacketQueue& queue);
    ~FileSource() override;

    // S_OK, or an error code when the file is missing or holds no H.264/AAC stream we play.
    HRESULT open(const std::string& path);

    bool live() const override { return false; }
    int64_t durationUs() const override { return durationUs_; }
    bool canSeek() const override { return oc_ != nullptr; }
    bool seek(int64_t targetUs) override;
    void shutdown() override;
    bool hasVideo() const { return videoIndex_ >= 0; }
    bool hasAudio() const { return audioIndex_ >= 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    // For tools: how long the open's probe took, and whether the file needed the full probe.
    int64_t probeUs() const { return probeUs_; }
    bool probedInFull() const { return probedInFull_; }

private:
    void run();
    void seekBeforeKey(int64_t targetUs, AVPacket* pkt);
    PacketQueue& queue_;
    AVFormatContext* oc_ = nullptr;
    int videoIndex_ = -1, audioIndex_ = -1;
    int64_t startUs_ = 0, durationUs_ = 0;
    int width_ = 0, height_ = 0;
    int64_t probeUs_ = 0;
    bool probedInFull_ = false;
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::mutex m_;
    std::condition_variable cv_;
    bool seekRequested_ = false, seekDone_ = false;
    int64_t seekTarget_ = 0;
};

} // namespace kobal::render
