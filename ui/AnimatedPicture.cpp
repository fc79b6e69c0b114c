#include "ui/AnimatedPicture.h"

#include "ui/GifSplitter.h"
#include "ui/SkinPictures.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace kobal {
namespace {
// Bounds for pictures from outside: canvas side and the decoded frames' total memory.
constexpr int kMaxSide = 4096;
constexpr qint64 kMaxFrameBytes = 64LL << 20;

QImage decode(const QByteArray& bytes, const char* format) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxSide || size.height() > kMaxSide)) return {};
    QImage image = reader.read();
    if (image.isNull()) return image;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

struct Frame {
    QImage image;
    int left = 0, top = 0, delay = 0, disposal = 0;
};
} // namespace

struct CAnimatedPicture::Shared {
    std::mutex lock; // canvas, stop flag, repaint
    std::condition_variable wake;
    bool stop = false;
    QImage canvas;
    QColor background = Qt::white;
    std::function<void()> repaint; // cleared before the thread is let go
    std::vector<Frame> frames;     // read-only while the thread runs
    QImage still;
    int scale = 1;
    std::mutex doneLock;
    std::condition_variable doneWake;
    bool done = false;
};

CAnimatedPicture::CAnimatedPicture(QWidget* parent)
    : QWidget(parent), shared_(std::make_shared<Shared>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CAnimatedPicture::~CAnimatedPicture() {
    UnLoad();
}

bool CAnimatedPicture::LoadFromResource(const QString& fileName) {
    const int scale = devicePixelRatioF() > 1.0 ? 2 : 1;
    const QByteArray bytes = skinBytes(fileName, scale);
    if (Load(bytes, scale)) return true;
    return scale > 1 && Load(skinBytes(fileName, 1), 1);
}

bool CAnimatedPicture::Load(const QByteArray& data, int scale) {
    UnLoad();
    scale = scale > 1 ? 2 : 1;
    auto& s = *shared_;
    const GifSplit gif = splitGif(data);
    QSize pixels;
    if (!gif.isGif || gif.frameCount < 2) {
        s.still = decode(data, gif.isGif ? "gif" : nullptr);
        if (s.still.isNull()) return false;
        s.still.setDevicePixelRatio(scale);
        pixels = gif.isGif && gif.screenWidth > 0 && gif.screenHeight > 0
                     ? QSize(gif.screenWidth, gif.screenHeight)
                     : s.still.size();
    } else {
        qint64 budget = kMaxFrameBytes;
        const QSize screen(gif.screenWidth, gif.screenHeight);
        for (const GifFrameBytes& f : gif.frames) {
            Frame frame{decode(f.gif, "gif"), f.left, f.top, f.delay, f.disposal};
            // Qt's reader places a frame on its logical screen; keep the frame's own area.
            const QRect area(f.left, f.top, f.width, f.height);
            if (frame.image.size() == screen && area.size() != screen &&
                QRect(QPoint(0, 0), screen).contains(area))
                frame.image = frame.image.copy(area);
            if (frame.image.isNull() || frame.image.sizeInBytes() > budget) continue;
            frame.image.setDevicePixelRatio(scale);
            budget -= frame.image.sizeInBytes();
            s.frames.push_back(std::move(frame));
        }
        if (s.frames.empty()) return false;
        pixels = QSize(gif.screenWidth, gif.screenHeight);
    }
    if (pixels.width() <= 0 || pixels.height() <= 0 || pixels.width() > kMaxSide ||
        pixels.height() > kMaxSide) {
        UnLoad();
        return false;
    }
    s.scale = scale;
    s.background = palette().color(QPalette::Button);
    s.canvas = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    s.canvas.fill(s.background);
    s.canvas.setDevicePixelRatio(scale);
    logical_ = pixels / scale;
    resize(logical_);
    return true;
}

int CAnimatedPicture::frameCount() const {
    const auto& s = *shared_;
    return s.frames.empty() ? (s.still.isNull() ? 0 : 1) : int(s.frames.size());
}

std::vector<int> CAnimatedPicture::frameMillis() const {
    std::vector<int> out;
    for (const Frame& f : shared_->frames) out.push_back(gifFrameMillis(f.delay));
    return out;
}

QImage CAnimatedPicture::canvas() const {
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->canvas;
}

void CAnimatedPicture::Draw() {
    auto shared = shared_;
    if (shared->canvas.isNull() || isAnimating()) return;
    if (shared->frames.empty()) {
        std::lock_guard<std::mutex> guard(shared->lock);
        QPainter p(&shared->canvas);
        p.drawImage(QPointF(0, 0), shared->still);
        update();
        return;
    }
    // Called under the canvas lock, which UnLoad() takes to clear it before the widget
    // goes; a queued call to a widget destroyed meanwhile is dropped by Qt.
    CAnimatedPicture* self = this;
    shared->repaint = [self] {
        QMetaObject::invokeMethod(
            self, [self] { self->update(); }, Qt::QueuedConnection);
    };
    shared->stop = false;
    shared->done = false;
    thread_ = std::thread([shared] {
        auto& s = *shared;
        const int n = int(s.frames.size());
        QImage saved;
        for (int i = 0;;) {
            const Frame& f = s.frames[std::size_t(i)];
            const QRect area(f.left, f.top, f.image.width(), f.image.height());
            {
                std::lock_guard<std::mutex> guard(s.lock);
                if (s.stop) break;
                if (f.disposal == 3) saved = s.canvas.copy(area);
                QPainter p(&s.canvas);
                p.drawImage(QPointF(f.left, f.top) / s.scale, f.image);
                if (s.repaint) s.repaint();
            }
            std::unique_lock<std::mutex> wait(s.lock);
            if (s.wake.wait_for(wait, std::chrono::milliseconds(gifFrameMillis(f.delay)),
                                [&] { return s.stop; }))
                break;
            QPainter p(&s.canvas);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            const QRectF logicalArea(QPointF(area.topLeft()) / s.scale,
                                     QSizeF(area.size()) / s.scale);
            if (f.disposal == 2)
                p.fillRect(logicalArea, s.background);
            else if (f.disposal == 3 && !saved.isNull())
                p.drawImage(logicalArea.topLeft(), saved);
            if (++i == n) {
                p.fillRect(QRectF(QPointF(0, 0), QSizeF(s.canvas.size()) / s.scale), s.background);
                i = 0;
            }
        }
        std::lock_guard<std::mutex> guard(s.doneLock);
        s.done = true;
        s.doneWake.notify_all();
    });
}

void CAnimatedPicture::stopThread(bool* joined) {
    if (!thread_.joinable()) return;
    auto& s = *shared_;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.stop = true;
        s.repaint = nullptr;
    }
    s.wake.notify_all();
    bool ended;
    {
        std::unique_lock<std::mutex> wait(s.doneLock);
        ended = s.doneWake.wait_for(wait, std::chrono::seconds(5), [&] { return s.done; });
    }
    if (ended) {
        thread_.join();
    } else {
        thread_.detach(); // it holds its own reference to the shared state
        *joined = false;
    }
}

bool CAnimatedPicture::UnLoad() {
    bool joined = true;
    stopThread(&joined);
    if (!joined) shared_ = std::make_shared<Shared>(); // the old state stays with the thread
    auto& s = *shared_;
    std::lock_guard<std::mutex> guard(s.lock);
    s.stop = false;
    s.frames.clear();
    s.still = QImage();
    s.canvas = QImage();
    s.background = Qt::white;
    s.scale = 1;
    logical_ = QSize();
    return joined;
}

void CAnimatedPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QImage image = canvas();
    if (image.isNull()) return;
    p.drawImage(QPointF(0, 0), image);
}

} // namespace kobal
