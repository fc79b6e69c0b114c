#pragma once
// The media graph the player's graph wrapper drives: built on a name, it plays a live link
// ("x-dmb://…") or a recorded file through one presenter into one video window. The calls and
// result codes follow the media-graph interfaces the player was written against (render,
// media control, seeking in 100 ns units, basic audio in hundredths of a decibel, basic video,
// video window, event queue).
//
// Threads: RenderFile may run on a worker thread; the video window is created on the UI
// thread (the call waits for it there, so the UI thread must be free while a worker builds).
// All other calls are cheap and may come from any thread. Graph events are queued here and
// announced to the host with message 1001; the host drains them with GetEvent.
#include "MediaTypes.h"
#include "PacketQueue.h"
#include "RendererHost.h"

#include <QImage>
#include <QPointer>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

class QWidget;

namespace kobal::render {

class Presenter;
class Source;
class LinkSource;
class FileSource;
class VideoWindow;

class MediaGraph {
public:
    enum State { Stopped = 0, Paused = 1, Running = 2 };

    explicit MediaGraph(RendererHost* host);
    ~MediaGraph();
    MediaGraph(const MediaGraph&) = delete;
    MediaGraph& operator=(const MediaGraph&) = delete;

    // "x-dmb://…" builds the live link source; anything else is opened as a media file.
    HRESULT RenderFile(const std::string& name);

    // Media control.
    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();
    State GetState() const { return state_; }

    // Basic video: the size of the decoded pictures (E_FAIL before the first one).
    HRESULT GetVideoSize(long* width, long* height) const;

    // Video window (UI thread).
    QWidget* videoWindow() const;
    HRESULT put_Owner(QWidget* owner);
    HRESULT SetWindowPosition(int x, int y, int width, int height);
    HRESULT put_Visible(bool visible);

    // Basic audio: -10000 (silence) … 0.
    HRESULT put_Volume(long hundredthsDb);
    HRESULT get_Volume(long* hundredthsDb) const;

    // Seeking, in 100 ns units.
    HRESULT GetCapabilities(unsigned* caps) const;
    // S_OK when all asked capabilities are there, S_FALSE when some, E_FAIL when none; caps is
    // cut to those present.
    HRESULT CheckCapabilities(unsigned* caps) const;
    HRESULT GetDuration(int64_t* duration) const;
    HRESULT GetCurrentPosition(int64_t* position) const;
    // Absolute positioning; the stop position is left alone.
    HRESULT SetCurrentPosition(int64_t position);

    // Event queue. timeoutMs 0: do not wait. E_ABORT when no event came.
    HRESULT GetEvent(long* code, long* param1, long* param2, int timeoutMs);
    HRESULT FreeEventParams(long, long, long) { return S_OK; }

    // For tools and tests.
    QImage currentPicture() const;
    bool isLive() const { return live_; }
    Presenter* presenter() const { return presenter_.get(); }
    LinkSource* linkSource() const;
    FileSource* fileSource() const;
    PacketQueue& queue() { return *queue_; }
    int audioMode() const { return audioMode_; }

private:
    void teardown();
    void pushEvent(long code, long p1, long p2);

    RendererHost* host_;
    std::unique_ptr<PacketQueue> queue_;
    std::unique_ptr<Source> source_;
    std::unique_ptr<Presenter> presenter_;
    QPointer<VideoWindow> window_;
    bool live_ = false;
    std::atomic<State> state_{Stopped}; // read from any thread
    long volume_ = 0;
    std::atomic<int> audioMode_{0};

    mutable std::mutex eventLock_;
    std::condition_variable eventCv_;
    std::deque<std::array<long, 3>> events_;
};

} // namespace kobal::render
