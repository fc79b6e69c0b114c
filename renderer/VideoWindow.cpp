#include "VideoWindow.h"

#include "platform/ScreenBlit.h"

#include <QMetaObject>
#include <QPainter>
#include <QResizeEvent>

namespace kobal::render {

VideoWindow::VideoWindow(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    resize(320, 180);
    width_ = 320;
    height_ = 180;
}

void VideoWindow::present(QImage picture) {
    {
        std::lock_guard<std::mutex> lk(lock_);
        picture_ = std::move(picture);
    }
    ++presented_;
    // One queued repaint at a time: a busy UI thread must not collect a backlog of them.
    if (!updatePending_.exchange(true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                updatePending_ = false;
                if (!blitToScreen(this, currentPicture())) update();
            },
            Qt::QueuedConnection);
}

QSize VideoWindow::targetSize() const {
    return QSize(width_.load(), height_.load());
}

QImage VideoWindow::currentPicture() const {
    std::lock_guard<std::mutex> lk(lock_);
    return picture_;
}

void VideoWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QImage pic = currentPicture();
    if (pic.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    if (pic.size() == size())
        p.drawImage(0, 0, pic);
    else
        p.drawImage(rect(), pic); // window resized since this picture was scaled
}

void VideoWindow::resizeEvent(QResizeEvent* e) {
    width_ = e->size().width();
    height_ = e->size().height();
    QWidget::resizeEvent(e);
}

} // namespace kobal::render
