#include "MediaGraph.h"

#include "FileSource.h"
#include "LinkSource.h"
#include "Presenter.h"
#include "VideoWindow.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <cstring>
#include <unistd.h>

namespace kobal::render {

namespace {
// Widgets live on the UI thread; a graph built on a worker thread waits for it there.
template <class F> void onUiThread(F&& f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(app, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

bool isLink(const std::string& name) {
    return name.size() >= 8 && strncasecmp(name.c_str(), "x-dmb://", 8) == 0;
}

// One-segment pictures, reported until the first one is decoded.
constexpr long kDefaultWidth = 320, kDefaultHeight = 180;
} // namespace

MediaGraph::MediaGraph(RendererHost* host) : host_(host) {}

MediaGraph::~MediaGraph() {
    teardown();
    if (window_) {
        VideoWindow* w = window_;
        if (QCoreApplication::instance() &&
            QThread::currentThread() != QCoreApplication::instance()->thread())
            w->deleteLater();
        else
            delete w;
    }
}

void MediaGraph::teardown() {
    if (presenter_) presenter_->stop();
    if (source_) source_->shutdown();
    presenter_.reset();
    source_.reset();
    queue_.reset();
    state_ = Stopped;
    std::lock_guard<std::mutex> lk(eventLock_);
    events_.clear();
}

LinkSource* MediaGraph::linkSource() const {
    return live_ ? static_cast<LinkSource*>(source_.get()) : nullptr;
}

FileSource* MediaGraph::fileSource() const {
    return live_ ? nullptr : static_cast<FileSource*>(source_.get());
}

HRESULT MediaGraph::RenderFile(const std::string& name) {
    teardown();
    if (name.empty()) return E_POINTER;
    live_ = isLink(name);
    PacketQueue::Limits limits;
    if (live_) {
        limits.memoryBytes = 24u << 20;
        limits.maxAgeMs = 3600 * 1000;
        limits.spillFolder = paths::cacheFolder();
    } else {
        limits.memoryBytes = 64u << 20; // the file source reads only a few MB ahead
    }
    queue_ = std::make_unique<PacketQueue>(limits);
    if (!window_) {
        onUiThread([this] {
            if (QCoreApplication::instance()) window_ = new VideoWindow();
        });
    }
    Presenter::Callbacks cb;
    cb.endOfStream = [this] { pushEvent(EC_COMPLETE, S_OK, 0); };
    cb.audioMode = [this](int mode) {
        audioMode_ = mode;
        if (host_) host_->audioModeChanged(mode);
    };
    presenter_ = std::make_unique<Presenter>(*queue_, window_.data(), live_, cb);
    presenter_->setVolume(volume_);
    // Its thread opens the decoders and the sound output while the source opens.
    presenter_->start();
    if (live_) {
        LinkSource::Callbacks lcb;
        lcb.audioChannel = [this](int channel) {
            if (presenter_) presenter_->setAudioChannel(channel);
        };
        lcb.recordingFailed = [this] { pushEvent(EC_RECORDING_STOPPED, 0, 0); };
        auto src = std::make_unique<LinkSource>(host_, *queue_, lcb);
        const HRESULT hr = src->open(name);
        if (failed(hr)) {
            src.reset(); // before the queue it writes into
            presenter_.reset();
            queue_.reset();
            return hr;
        }
        source_ = std::move(src);
    } else {
        auto src = std::make_unique<FileSource>(*queue_);
        const HRESULT hr = src->open(name);
        if (failed(hr)) {
            src.reset(); // before the queue it writes into
            presenter_.reset();
            queue_.reset();
            return hr;
        }
        source_ = std::move(src);
    }
    state_ = Stopped;
    // The player learns of a recorded file the same way as of a link. Its answer comes from the
    // UI thread; the presenter decodes the first picture meanwhile.
    if (!live_ && host_) {
        const uint32_t pid = uint32_t(getpid());
        std::vector<uint8_t> data(4);
        std::memcpy(data.data(), &pid, 4);
        for (char16_t c : QString::fromStdString(name).toStdU16String()) {
            data.push_back(uint8_t(c));
            data.push_back(uint8_t(c >> 8));
        }
        host_->copyData(kCopyDataStart, long(pid), data);
    }
    return S_OK;
}

HRESULT MediaGraph::Run() {
    if (!presenter_) return VFW_E_WRONG_STATE;
    presenter_->setRunning(true);
    state_ = Running;
    return S_OK;
}

HRESULT MediaGraph::Pause() {
    if (!presenter_) return VFW_E_WRONG_STATE;
    presenter_->setRunning(false);
    state_ = Paused;
    return S_OK;
}

HRESULT MediaGraph::Stop() {
    if (!presenter_) return S_OK;
    presenter_->setRunning(false);
    // A stopped live source is gone for good (the player builds a new graph to watch again).
    if (live_ && source_) source_->shutdown();
    state_ = Stopped;
    return S_OK;
}

HRESULT MediaGraph::GetVideoSize(long* width, long* height) const {
    if (!width || !height) return E_POINTER;
    QSize size = presenter_ ? presenter_->videoSize() : QSize();
    if (size.isEmpty() && !live_ && source_) {
        auto* file = static_cast<FileSource*>(source_.get());
        size = QSize(file->width(), file->height());
    }
    if (size.isEmpty()) {
        if (!presenter_) return VFW_E_NOT_CONNECTED;
        size = QSize(kDefaultWidth, kDefaultHeight);
    }
    *width = size.width();
    *height = size.height();
    return S_OK;
}

QWidget* MediaGraph::videoWindow() const {
    return window_.data();
}

HRESULT MediaGraph::put_Owner(QWidget* owner) {
    if (!window_) return E_UNEXPECTED;
    VideoWindow* w = window_;
    onUiThread([w, owner] {
        const bool visible = w->isVisible();
        w->setParent(owner);
        if (visible || owner) w->show();
    });
    return S_OK;
}

HRESULT MediaGraph::SetWindowPosition(int x, int y, int width, int height) {
    if (!window_) return E_UNEXPECTED;
    VideoWindow* w = window_;
    onUiThread([w, x, y, width, height] {
        w->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
    });
    return S_OK;
}

HRESULT MediaGraph::put_Visible(bool visible) {
    if (!window_) return E_UNEXPECTED;
    VideoWindow* w = window_;
    onUiThread([w, visible] { w->setVisible(visible); });
    return S_OK;
}

HRESULT MediaGraph::put_Volume(long v) {
    if (v < -10000 || v > 0) return E_FAIL;
    volume_ = v;
    if (presenter_) presenter_->setVolume(v);
    return S_OK;
}

HRESULT MediaGraph::get_Volume(long* v) const {
    if (!v) return E_POINTER;
    *v = volume_;
    return S_OK;
}

HRESULT MediaGraph::GetCapabilities(unsigned* caps) const {
    if (!caps) return E_POINTER;
    *caps = AM_SEEKING_CanGetCurrentPos;
    if (source_ && source_->canSeek())
        *caps |= AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                 AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetDuration;
    return S_OK;
}

HRESULT MediaGraph::CheckCapabilities(unsigned* caps) const {
    if (!caps) return E_POINTER;
    unsigned have = 0;
    GetCapabilities(&have);
    const unsigned asked = *caps;
    *caps = asked & have;
    if (*caps == asked) return S_OK;
    return *caps ? S_FALSE : E_FAIL;
}

HRESULT MediaGraph::GetDuration(int64_t* duration) const {
    if (!duration) return E_POINTER;
    *duration = source_ ? source_->durationUs() * 10 : 0;
    return source_ ? S_OK : E_UNEXPECTED;
}

HRESULT MediaGraph::GetCurrentPosition(int64_t* position) const {
    if (!position) return E_POINTER;
    if (!presenter_) return E_UNEXPECTED;
    int64_t us = presenter_->positionUs();
    if (source_ && source_->durationUs() > 0) us = std::min(us, source_->durationUs());
    *position = us * 10;
    return S_OK;
}

HRESULT MediaGraph::SetCurrentPosition(int64_t position) {
    if (!presenter_ || !source_) return E_UNEXPECTED;
    if (!source_->canSeek()) return E_NOTIMPL;
    int64_t target = std::max<int64_t>(0, position / 10);
    if (source_->durationUs() > 0) target = std::min(target, source_->durationUs());
    bool ok = false;
    Source* src = source_.get();
    presenter_->flush(target, [&] { ok = src->seek(target); });
    {
        // A new end will be announced for the new position.
        std::lock_guard<std::mutex> lk(eventLock_);
        events_.clear();
    }
    return ok ? S_OK : E_FAIL;
}

void MediaGraph::pushEvent(long code, long p1, long p2) {
    {
        std::lock_guard<std::mutex> lk(eventLock_);
        events_.push_back({code, p1, p2});
    }
    eventCv_.notify_all();
    if (host_) host_->postGraphEvent();
}

HRESULT MediaGraph::GetEvent(long* code, long* param1, long* param2, int timeoutMs) {
    if (!code || !param1 || !param2) return E_POINTER;
    std::unique_lock<std::mutex> lk(eventLock_);
    if (events_.empty() && timeoutMs > 0)
        eventCv_.wait_for(lk, std::chrono::milliseconds(timeoutMs),
                          [&] { return !events_.empty(); });
    if (events_.empty()) return E_ABORT;
    *code = events_.front()[0];
    *param1 = events_.front()[1];
    *param2 = events_.front()[2];
    events_.pop_front();
    return S_OK;
}

QImage MediaGraph::currentPicture() const {
    return window_ ? window_->currentPicture() : QImage();
}

} // namespace kobal::render
