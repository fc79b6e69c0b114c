#pragma once
// CAnimatedPicture shows a picture; an animated GIF plays on a thread of its own. Loading
// cuts the GIF into single-frame GIFs (GifSplitter.h) that Qt's image reader decodes; the
// thread composes them on a canvas with each frame's delay (0 to 4 hundredths count as
// 100 ms) and disposal, and asks the widget to repaint; painting copies the canvas. Any other
// picture (PNG, JPEG, a one-frame GIF) is shown still, without a thread.
//
// Threads: every public call belongs to the UI thread. The canvas is shared under a mutex
// that the animation holds only while it draws one frame; UnLoad() wakes the thread and
// waits at most 5 s for it (it ends at once unless something is badly wrong).
#include <QColor>
#include <QImage>
#include <QWidget>

#include <memory>
#include <thread>

namespace kobal {

class CAnimatedPicture : public QWidget {
    Q_OBJECT
public:
    explicit CAnimatedPicture(QWidget* parent = nullptr);
    ~CAnimatedPicture() override;

    // A skin resource ("501.gif"); the @2x file on high-density screens.
    bool LoadFromResource(const QString& fileName);
    // Picture bytes; scale 2 marks a picture drawn for high-density screens (its logical size
    // is half its pixels). The control takes the picture's logical size (GIF: its logical
    // screen) and keeps its position; the canvas starts in the palette's Button colour (the
    // background that disposal restores), so set the palette first. False when nothing could
    // be decoded.
    bool Load(const QByteArray& data, int scale = 1);
    // Starts showing: the animation thread for several frames, one rendering otherwise.
    void Draw();
    // Stops the animation and drops everything loaded. True when the thread (if any) ended
    // within 5 s.
    bool UnLoad();

    bool isAnimating() const { return thread_.joinable(); }
    int frameCount() const;
    QSize pictureSize() const { return logical_; }
    // The frame delays in milliseconds as the thread waits them.
    std::vector<int> frameMillis() const;
    // A copy of the canvas (device pixels, devicePixelRatio set).
    QImage canvas() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    struct Shared;
    void stopThread(bool* joined);
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    QSize logical_;
};

} // namespace kobal
