#include "ui/BitmapSlider.h"

#include "ui/SkinColours.h"
#include "ui/SkinPictures.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace kobal {

int SliderModel::centre(int v) const {
    const int half = thumbWidth / 2;
    if (maximum == minimum) return half;
    return int(double(v - minimum) / double(maximum - minimum) * double(width - thumbWidth) + half);
}

int SliderModel::valueAt(int x) const {
    const int span = width - thumbWidth;
    if (span == 0) return minimum;
    return int(minimum + double(x - thumbWidth / 2) / double(span) * double(maximum - minimum));
}

int SliderModel::clamp(int v) const {
    return std::clamp(v, std::min(minimum, maximum), std::max(minimum, maximum));
}

void SliderModel::setRange(int min, int max) {
    minimum = min;
    maximum = max;
    position = clamp(position);
}

void SliderModel::setEnabled(bool on) {
    enabled = on;
    if (!on) dragging = false;
}

unsigned SliderModel::press(int x) {
    if (!enabled) return 0;
    dragging = true;
    const int c = centre(position);
    grabOffset = std::abs(x - c) > thumbWidth / 2 ? 0 : x - c;
    return move(x);
}

unsigned SliderModel::move(int x) {
    if (!dragging) return 0;
    const int half = thumbWidth / 2;
    x = std::clamp(x - grabOffset, half, std::max(half, width - half));
    if (x == centre(position)) return 0;
    position = clamp(valueAt(x));
    return kSliderDragging;
}

unsigned SliderModel::release() {
    if (!enabled) return 0;
    dragging = false;
    return kSliderChanged;
}

unsigned SliderModel::arrowKey(int step) {
    if (!enabled) return 0;
    position = clamp(position + step);
    return kSliderChanged;
}

QImage renderSlider(const SliderModel& m, const SliderPictures& pics, QColor background) {
    const qreal dpr = pics.channel.isNull() ? 1.0 : pics.channel.devicePixelRatio();
    const int height = pics.channel.isNull() ? 0 : int(pics.channel.height() / dpr);
    QImage out(QSize(m.width, height) * dpr, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(dpr);
    out.fill(background);
    if (out.isNull()) return out;
    QPainter p(&out);
    const int c = m.centre(m.position);
    if (!pics.filled.isNull() && m.enabled) {
        // Track right of the thumb's centre, filled track left of it, both in place.
        p.drawImage(QRectF(c, 0, m.width - c, height), pics.channel,
                    QRectF(c * dpr, 0, (m.width - c) * dpr, height * dpr));
        p.drawImage(QRectF(0, 0, c, height), pics.filled, QRectF(0, 0, c * dpr, height * dpr));
    } else {
        p.drawImage(QPointF(0, 0), pics.channel);
    }
    if (!pics.thumb.isNull()) p.drawImage(QPointF(c - m.thumbWidth / 2, 0), pics.thumb);
    return out;
}

CBitmapSlider::CBitmapSlider(QWidget* parent)
    : QWidget(parent), background_(fromColourRef(colour::kSliderBackground)) {
    setFocusPolicy(Qt::ClickFocus);
}

bool CBitmapSlider::setTrack(int width, const QString& channelName, const QString& filledName) {
    const int scale = devicePixelRatioF() > 1.0 ? 2 : 1;
    const QImage filled = filledName.isEmpty() ? QImage() : skinImage(filledName, scale);
    setTrack(width, skinImage(channelName, scale), filled);
    return !pictures_.channel.isNull() && (filledName.isEmpty() || !filled.isNull());
}

bool CBitmapSlider::setThumb(const QString& thumbName) {
    setThumb(skinImage(thumbName, devicePixelRatioF() > 1.0 ? 2 : 1));
    return !pictures_.thumb.isNull();
}

void CBitmapSlider::setTrack(int width, const QImage& channel, const QImage& filled) {
    pictures_.channel = channel;
    pictures_.filled = filled;
    model_.width = width;
    if (!channel.isNull()) resize(width, int(channel.height() / channel.devicePixelRatio()));
    update();
}

void CBitmapSlider::setThumb(const QImage& thumb) {
    pictures_.thumb = thumb;
    model_.thumbWidth = thumb.isNull() ? 0 : int(thumb.width() / thumb.devicePixelRatio());
    update();
}

void CBitmapSlider::setRange(int minimum, int maximum, bool redraw) {
    model_.setRange(minimum, maximum);
    if (redraw) update();
}

void CBitmapSlider::setPosition(int value) {
    model_.setPosition(value);
    update();
}

void CBitmapSlider::setSliderEnabled(bool on) {
    if (!on && model_.dragging && QWidget::mouseGrabber() == this) releaseMouse();
    model_.setEnabled(on);
    update();
}

void CBitmapSlider::setBackground(QColor colour) {
    background_ = colour;
    update();
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(QPointF(0, 0), renderSlider(model_, pictures_, background_));
}

void CBitmapSlider::notify(unsigned message) {
    if (message == 0) return;
    if (parentWidget())
        QCoreApplication::postEvent(parentWidget(),
                                    new AppMessageEvent(message, id_, model_.position));
    if (message == kSliderDragging)
        emit dragging(model_.position);
    else
        emit changed(model_.position);
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !model_.enabled) return;
    setFocus(Qt::MouseFocusReason);
    notify(model_.press(int(event->position().x())));
    update();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!model_.dragging) return;
    const unsigned m = model_.move(int(event->position().x()));
    if (m) update();
    notify(m);
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !model_.enabled || !model_.dragging) return;
    const unsigned m = model_.release();
    update();
    notify(m);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
    const int step = event->key() == Qt::Key_Left ? -10 : event->key() == Qt::Key_Right ? 10 : 0;
    if (step == 0) return QWidget::keyPressEvent(event);
    notify(model_.arrowKey(step));
    update();
}

} // namespace kobal
