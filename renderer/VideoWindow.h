#pragma once
// The graph's video window: a plain widget the owner adopts as a child and places. It shows
// the latest picture the presenter handed over (already scaled to the window's size) and
// paints black where there is none. present() and targetSize() may be called from any thread;
// everything else belongs to the UI thread.
#include <QImage>
#include <QWidget>
#include <atomic>
#include <mutex>

namespace kobal::render {

class VideoWindow : public QWidget {
    Q_OBJECT
public:
    explicit VideoWindow(QWidget* parent = nullptr);

    void present(QImage picture);
    // The size pictures should be scaled to (the window's size, or the picture's own when the
    // window has no size yet).
    QSize targetSize() const;
    QImage currentPicture() const;
    int presentedCount() const { return presented_.load(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    mutable std::mutex lock_;
    QImage picture_;
    std::atomic<int> width_{0}, height_{0};
    std::atomic<int> presented_{0};
    std::atomic<bool> updatePending_{false};
};

} // namespace kobal::render
