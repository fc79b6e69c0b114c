#include "ui/PanelWidget.h"

#include "platform/ScreenBlit.h"

#include <QPainter>

namespace kobal {

PanelWidget::PanelWidget(QWidget* parent) : QWidget(parent) {
    // The panel covers every pixel of itself: no background erase before each copy.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void PanelWidget::refresh() {
    picture_ = render(size(), devicePixelRatioF());
    update();
}

void PanelWidget::refreshNow() {
    picture_ = render(size(), devicePixelRatioF());
    if (!blitToScreen(this, picture_)) repaint();
}

void PanelWidget::paintEvent(QPaintEvent*) {
    // A move to a screen of another density is seen here, the only place that must know.
    if (picture_.isNull() || picture_.devicePixelRatio() != devicePixelRatioF() ||
        picture_.deviceIndependentSize().toSize() != size())
        picture_ = render(size(), devicePixelRatioF());
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

void PanelWidget::resizeEvent(QResizeEvent*) {
    picture_ = render(size(), devicePixelRatioF());
}

} // namespace kobal
