#pragma once
// The presentation thread of a graph: takes packets from the source's queue, decodes them and
// presents pictures and sound by their timestamps.
//
// Timing: a media clock runs on the system clock while the graph runs and stands still while
// it is paused; when sound flows it follows the audio output (the time of the sample being
// heard), so audio is the master. Pictures are shown when the clock reaches them; a late one
// is skipped. The first picture after a start, a seek or a jump is shown at once. A picture or
// sound whose time lies far from the clock (channel change, loop point, timestamp wrap) moves
// the clock to it, so the picture never freezes waiting for a time that will not come.
//
// Threads: the presenter's own thread does all decoding, scaling and audio output; the public
// calls come from the graph (UI or worker thread) and only set state under the lock.
#include "AudioDecoder.h"
#include "AudioOutput.h"
#include "PacketQueue.h"
#include "VideoDecoder.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kobal::render {

class VideoWindow;

class Presenter {
public:
    struct Callbacks {
        std::function<void()> endOfStream;    // presenter thread
        std::function<void(int)> audioMode;   // presenter thread, on change (0, 1, 2)
        std::function<void(QSize)> videoSize; // presenter thread, on change
    };
    // live: timestamps follow the reception; start-up latency is kept small.
    Presenter(PacketQueue& queue, VideoWindow* window, bool live, Callbacks callbacks);
    ~Presenter();

    void start();
    void stop();

    void setRunning(bool running);
    bool running() const { return running_; }
    void setVolume(long hundredthsDb) { volume_ = hundredthsDb; }
    long volume() const { return volume_; }
    void setAudioChannel(int channel) { requestedChannel_ = channel; }

    // Drops everything pending and decoding state; the next picture at or after targetUs is
    // the first one shown. Called with the source already moved (seek).
    // moveSource runs while the presenter is held, so no packet of the old position slips in.
    void flush(int64_t targetUs, const std::function<void()>& moveSource = {});

    // Media clock (µs on the source's timeline); the origin is the first packet's time.
    int64_t positionUs() const;
    int64_t originUs() const { return origin_.load(); }
    QSize videoSize() const;
    AudioOutput* audio() const { return audio_.get(); }
    int audioMode() const { return audioMode_.load(); }

    // Counters for tools and tests.
    int64_t firstPictureLatencyMs() const { return firstPictureLatencyMs_.load(); }
    size_t picturesShown() const { return shown_.load(); }
    size_t picturesSkipped() const { return skipped_.load(); }
    // What became of the video units taken from the queue.
    struct VideoCounts {
        size_t units = 0;      // handed to the decoder
        size_t dropped = 0;    // not decoded: no picture to start from yet
        size_t decoded = 0;    // pictures out of the decoder
        size_t concealed = 0;  // of these, with damage the decoder concealed
        size_t renumbered = 0; // groups that lost their IDR, numbered on
    };
    VideoCounts videoCounts() const;
    // Longest wait between two pictures shown (ms, wall clock), pauses excluded.
    int64_t longestPictureGapMs() const;
    // Time of the picture shown last (INT64_MIN before the first).
    int64_t lastShownUs() const { return lastShownUs_.load(); }

private:
    struct PendingAudio {
        int64_t ptsUs;
        std::vector<int16_t> samples;
    };
    void run();
    void handle(MediaPacket& p);
    void presentDue(int64_t now);
    void writeAudioDue(int64_t now);
    // How long the thread may sleep before a picture or sound is due (µs, 1 ms to 100 ms).
    int64_t untilDueUs(int64_t now, bool running) const;
    int64_t clockNow() const;
    void setClock(int64_t mediaUs);
    void anchorIfNeeded();

    PacketQueue& queue_;
    VideoWindow* window_;
    const bool live_;
    Callbacks cb_;
    std::unique_ptr<AudioOutput> audio_;

    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> running_{false};
    std::atomic<long> volume_{0};
    std::atomic<int> requestedChannel_{1};
    std::atomic<int> audioMode_{-1};
    std::atomic<int64_t> origin_{INT64_MIN};

    // Held by the thread while it works; flush() takes it. The thread sleeps in the queue's
    // waitFor: packets, nudges (setRunning, flush) and stop wake it.
    mutable std::mutex work_;
    std::unique_ptr<VideoDecoder> video_;
    std::unique_ptr<AudioDecoder> audioDec_;
    PictureScaler scaler_;
    std::deque<FramePtr> pictures_;
    std::deque<PendingAudio> pendingAudio_;
    int64_t pendingAudioUs_ = 0;
    bool eosSeen_ = false, eosPosted_ = false;
    bool anchored_ = false;
    bool showNext_ = true; // next picture goes up at once
    // After a seek: pictures and sound before these times are dropped (INT64_MIN: none).
    int64_t seekVideoUs_ = INT64_MIN, seekAudioUs_ = INT64_MIN;
    int64_t audioEndUs_ = INT64_MIN; // media time where the written sound ends
    int64_t lastAudioWriteMs_ = 0;
    int64_t firstPacketMs_ = 0;
    int64_t firstIdrMs_ = 0;

    // Media clock.
    mutable std::mutex clockLock_;
    int64_t clockMedia_ = 0, clockSteady_ = 0;
    bool clockRunning_ = false;

    mutable std::mutex sizeLock_;
    QSize videoSize_;
    std::atomic<int64_t> firstPictureLatencyMs_{-1};
    std::atomic<size_t> shown_{0}, skipped_{0};
    std::atomic<size_t> videoUnits_{0}, videoDropped_{0}, videoDecoded_{0}, videoConcealed_{0},
        videoRenumbered_{0};
    std::atomic<int64_t> longestGapMs_{0};
    std::atomic<int64_t> lastShownMs_{0}; // 0: none since the start or the last pause
    std::atomic<int64_t> lastShownUs_{INT64_MIN};
};

} // namespace kobal::render
