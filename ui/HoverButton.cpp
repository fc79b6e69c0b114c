#include "ui/HoverButton.h"

#include "ui/SkinPictures.h"

#include <QEnterEvent>
#include <QPainter>

namespace kobal {

CHoverButton::CHoverButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    // Drawn pressed once → stays pressed until the pointer leaves.
    connect(this, &QAbstractButton::pressed, this, [this] { latch_ = true; });
}

CHoverButton::~CHoverButton() = default;

bool CHoverButton::LoadBitmap(const QString& name, int n) {
    return LoadBitmap(skinPixmap(name), n);
}

bool CHoverButton::LoadBitmap(const QPixmap& frames, int n) {
    if (frames.isNull()) return false;
    frames_ = frames;
    const QSize logical = (QSizeF(frames.size()) / frames.devicePixelRatio()).toSize();
    frame_ = QSize(n != 0 ? logical.width() : logical.width() / 3, logical.height());
    const qreal dpr = frames.devicePixelRatio();
    disabled_ = QPixmap::fromImage(greyed(
        frames.toImage().copy(0, 0, qRound(frame_.width() * dpr), qRound(frame_.height() * dpr))));
    disabled_.setDevicePixelRatio(dpr);
    resize(frame_);
    update();
    return true;
}

void CHoverButton::SetToolTipText(const QString& text, bool activate) {
    setToolTip(activate ? text : QString());
}

int CHoverButton::chooseFrame(bool down, bool enabled, bool latch, bool hover) {
    if (down) return 1;
    if (!enabled) return 0;
    if (latch) return 1;
    if (hover) return 2;
    return 0;
}

QImage CHoverButton::greyed(const QImage& frame) {
    QImage out = frame.convertToFormat(QImage::Format_ARGB32);
    // Grey values move 45 % of their way from the face's mid tone: the light symbol ends at
    // about half its brightness, the cap's gloss flattens, the outline stays.
    constexpr int kFace = 0x26;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            const int grey = kFace + (qGray(c) - kFace) * 45 / 100;
            line[x] = qRgba(grey, grey, grey, qAlpha(c));
        }
    }
    return out;
}

int CHoverButton::currentFrame() const {
    return chooseFrame(isDown(), isEnabled(), latch_, hover_);
}

void CHoverButton::paintEvent(QPaintEvent*) {
    if (frames_.isNull()) return;
    if (isDown()) latch_ = true;
    QPainter p(this);
    if (!isEnabled()) {
        p.drawPixmap(QPointF(0, 0), disabled_);
        return;
    }
    const qreal dpr = frames_.devicePixelRatio();
    const QRectF source(currentFrame() * frame_.width() * dpr, 0, frame_.width() * dpr,
                        frame_.height() * dpr);
    p.drawPixmap(QRectF(QPointF(0, 0), QSizeF(frame_)), frames_, source);
}

void CHoverButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event) {
    hover_ = false;
    latch_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CHoverButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) update();
    QAbstractButton::changeEvent(event);
}

} // namespace kobal
