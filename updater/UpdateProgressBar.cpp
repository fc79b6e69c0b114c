#include "updater/UpdateProgressBar.h"

#include <QPainter>
#include <algorithm>

namespace kobal::update {

void UpdateProgressBar::setRange(int low, int high) {
    low_ = low;
    high_ = std::max(low, high);
    setValue(value_);
}

void UpdateProgressBar::setValue(int value) {
    value = std::clamp(value, low_, high_);
    if (value == value_) return;
    value_ = value;
    update();
}

void UpdateProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    // A sunken trough in the status line's colours, filled from the left.
    p.setPen(QColor(0x28, 0x28, 0x28));
    p.setBrush(QColor(0x50, 0x50, 0x50));
    p.drawRect(r);
    const double share = high_ > low_ ? double(value_ - low_) / double(high_ - low_) : 0.0;
    if (share > 0) {
        QRectF fill = r.adjusted(1.5, 1.5, -1.5, -1.5);
        fill.setWidth(fill.width() * share);
        QLinearGradient g(fill.topLeft(), fill.bottomLeft());
        g.setColorAt(0, QColor(0xE0, 0xE0, 0xE0));
        g.setColorAt(1, QColor(0xA0, 0xA0, 0xA0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRect(fill);
    }
}

} // namespace kobal::update
