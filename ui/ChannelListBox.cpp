#include "ui/ChannelListBox.h"

#include "ui/SkinColours.h"
#include "ui/SkinFonts.h"
#include "ui/SkinPictures.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kobal {

void paintChannelListItem(QPainter& p, const QRect& rect, const ChannelListItem& item,
                          bool selected, bool enabled, const QFont& font) {
    if (selected) p.fillRect(rect, fromColourRef(colour::kListSelectedFill));
    std::uint32_t text;
    if (selected)
        text = item.received ? colour::kListSelectedReceived : colour::kListSelectedOther;
    else if (!enabled)
        text = colour::kListDisabled;
    else
        text = item.received ? colour::kListReceived : colour::kListOther;
    p.setFont(font);
    p.setPen(fromColourRef(text));
    p.drawText(rect.adjusted(8, 4, -8, -4),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextExpandTabs,
               item.text);
    QPen dots(fromColourRef(colour::kListDots), 1, Qt::DotLine);
    p.setPen(dots);
    const int y = rect.bottom();
    p.drawLine(rect.left(), y, rect.right(), y);
}

QImage renderChannelList(const std::vector<ChannelListItem>& items, int top, int selected,
                         bool enabled, QSize size, const QFont& font, qreal dpr) {
    QImage out(size * dpr, QImage::Format_RGB32);
    out.setDevicePixelRatio(dpr);
    out.fill(fromColourRef(colour::kListBackground));
    QPainter p(&out);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int row = std::max(0, top), y = 0; row < int(items.size()) && y < size.height();
         ++row, y += kChannelItemHeight) {
        paintChannelListItem(p, QRect(0, y, size.width(), kChannelItemHeight),
                             items[std::size_t(row)], row == selected, enabled, font);
    }
    return out;
}

int ChannelScrollModel::thumbHeight() const {
    if (count <= 0) return trackHeight;
    return std::max(22, trackHeight * kChannelPage / count);
}

double ChannelScrollModel::ratio() const {
    if (count <= 11) return 0.0;
    return double(trackHeight - thumbHeight()) / double(count - 11);
}

void ChannelScrollModel::syncThumb() {
    const double r = ratio();
    const double t = (top + 0.5) * r;
    thumbTop = t < r ? 0 : int(t);
    thumbTop = std::clamp(thumbTop, 0, std::max(0, trackHeight - thumbHeight()));
}

bool ChannelScrollModel::press(int x, int y) {
    pressY = y;
    pressThumbTop = thumbTop;
    pressX = x;
    dragging = x >= 0 && x <= 6 && y >= thumbTop && y < thumbTop + thumbHeight();
    return dragging;
}

int ChannelScrollModel::drag(int y) {
    if (!dragging) return -1;
    thumbTop =
        std::clamp(pressThumbTop + (y - pressY), 0, std::max(0, trackHeight - thumbHeight()));
    const double r = ratio();
    if (r > 0) top = std::clamp(int(std::floor(thumbTop / r + 0.5)), 0, maxTop());
    return top;
}

int ChannelScrollModel::release(int x, int y) {
    if (dragging) {
        dragging = false;
        return top;
    }
    if (x != pressX || y != pressY) return top;
    if (y < thumbTop)
        top = std::max(0, top - kChannelPage);
    else if (y >= thumbTop + thumbHeight())
        top = std::min(maxTop(), top + kChannelPage);
    syncThumb();
    return top;
}

int ChannelScrollModel::wheel(int delta) {
    for (int steps = std::abs(delta) / 120; steps > 0; --steps) {
        if (delta > 0 && top > 0)
            --top;
        else if (delta < 0 && top + kChannelPage < count)
            ++top;
    }
    if (count > 11) thumbTop = top * (trackHeight - thumbHeight()) / (count - 11);
    return top;
}

QImage renderChannelScrollBar(const ChannelScrollModel& m, const QImage& track, const QImage& thumb,
                              qreal dpr) {
    QImage out(QSize(10, m.trackHeight) * dpr, QImage::Format_RGB32);
    out.setDevicePixelRatio(dpr);
    out.fill(fromColourRef(colour::kListBackground));
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    drawStretched(p, QRectF(0, 0, 10, m.trackHeight), track);
    const int h = m.thumbHeight();
    const int y = std::clamp(m.thumbTop, 0, std::max(0, m.trackHeight - h));
    drawStretched(p, QRectF(2, y, 9, h), thumb);
    return out;
}

CChannelListBox::CChannelListBox(QWidget* parent)
    : QWidget(parent), font_(skinFont(kFontMincho, 9)) {
    setFocusPolicy(Qt::StrongFocus);
}

void CChannelListBox::clear() {
    items_.clear();
    current_ = -1;
    top_ = 0;
    syncBar();
    update();
}

void CChannelListBox::addItem(const QString& text, bool received, const QVariant& data) {
    items_.push_back({text, received, data});
    syncBar();
    update();
}

void CChannelListBox::setReceived(int row, bool received) {
    if (row < 0 || row >= count()) return;
    items_[std::size_t(row)].received = received;
    update();
}

void CChannelListBox::setCurrentRow(int row) {
    current_ = row >= 0 && row < count() ? row : -1;
    if (current_ >= 0) {
        if (current_ < top_)
            setTopIndex(current_);
        else if (current_ >= top_ + kChannelPage)
            setTopIndex(current_ - kChannelPage + 1);
    }
    update();
}

void CChannelListBox::setTopIndex(int top) {
    top_ = std::clamp(top, 0, std::max(0, count() - 11));
    syncBar();
    update();
}

void CChannelListBox::setScrollBar(CChannelScrollBar* bar) {
    bar_ = bar;
    if (bar_)
        connect(bar_, &CChannelScrollBar::topChanged, this, [this](int top) {
            top_ = top;
            update();
        });
    syncBar();
}

void CChannelListBox::syncBar() {
    if (!bar_) return;
    auto& m = bar_->model();
    m.count = count();
    m.top = top_;
    m.syncThumb();
    bar_->setVisible(m.visible());
    bar_->update();
}

void CChannelListBox::select(int row) {
    if (row < 0 || row >= count() || row == current_) return;
    setCurrentRow(row);
    emit currentRowChanged(row);
}

void CChannelListBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(QPointF(0, 0), renderChannelList(items_, top_, current_, isEnabled(), size(), font_,
                                                 devicePixelRatioF()));
}

void CChannelListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    select(top_ + int(event->position().y()) / kChannelItemHeight);
}

void CChannelListBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
        select(std::max(0, current_ - 1));
        break;
    case Qt::Key_Down:
        select(std::min(count() - 1, current_ + 1));
        break;
    case Qt::Key_PageUp:
        select(std::max(0, current_ - kChannelPage));
        break;
    case Qt::Key_PageDown:
        select(std::min(count() - 1, current_ + kChannelPage));
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CChannelListBox::wheelEvent(QWheelEvent* event) {
    if (bar_ && bar_->model().visible()) bar_->wheel(event->angleDelta().y());
}

CChannelScrollBar::CChannelScrollBar(QWidget* parent) : QWidget(parent) {
    const int scale = devicePixelRatioF() > 1.0 ? 2 : 1;
    track_ = skinImage(pic::kScrollTrack, scale);
    thumb_ = skinImage(pic::kScrollThumb, scale);
    resize(10, model_.trackHeight);
    hide();
}

void CChannelScrollBar::wheel(int delta) {
    const int before = model_.top;
    if (model_.wheel(delta) != before) emit topChanged(model_.top);
    update();
}

void CChannelScrollBar::paintEvent(QPaintEvent*) {
    if (!model_.visible()) return;
    QPainter p(this);
    p.drawImage(QPointF(0, 0), renderChannelScrollBar(model_, track_, thumb_, devicePixelRatioF()));
}

void CChannelScrollBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    model_.press(int(event->position().x()), int(event->position().y()));
}

void CChannelScrollBar::mouseMoveEvent(QMouseEvent* event) {
    const int before = model_.top;
    if (model_.drag(int(event->position().y())) < 0) return;
    if (model_.top != before) emit topChanged(model_.top);
    update();
}

void CChannelScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int before = model_.top;
    model_.release(int(event->position().x()), int(event->position().y()));
    if (model_.top != before) emit topChanged(model_.top);
    update();
}

} // namespace kobal
