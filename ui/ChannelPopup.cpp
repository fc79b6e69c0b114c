#include "ui/ChannelPopup.h"

#include "ui/SkinColours.h"
#include "ui/SkinFonts.h"

#include <QMouseEvent>
#include <QPainter>

namespace kobal {

QImage renderChannelPopup(const QStringList& items, int hovered, const QFont& font, qreal dpr) {
    const QSize size(kPopupWidth, int(items.size()) * kPopupItemHeight);
    QImage out(size * dpr, QImage::Format_RGB32);
    out.setDevicePixelRatio(dpr);
    out.fill(fromColourRef(colour::kPopupBackground));
    if (out.isNull()) return out;
    QPainter p(&out);
    p.setFont(font);
    for (int i = 0; i < items.size(); ++i) {
        const QRect row(0, i * kPopupItemHeight, kPopupWidth, kPopupItemHeight);
        if (i == hovered) p.fillRect(row, fromColourRef(colour::kHoverFill));
        p.setPen(fromColourRef(i == hovered ? colour::kHoverText : colour::kPopupText));
        p.drawText(QRect(10, row.top(), kPopupWidth - 10, kPopupItemHeight),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, items[i]);
    }
    return out;
}

CChannelPopup::CChannelPopup(QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), font_(skinFont(kFontMincho, 9)) {
    setMouseTracking(true);
}

void CChannelPopup::setItems(const QStringList& items) {
    items_ = items;
    hovered_ = -1;
    resize(kPopupWidth, int(items_.size()) * kPopupItemHeight);
    update();
}

void CChannelPopup::popup(const QPoint& globalTopLeft) {
    move(globalTopLeft);
    show();
    setFocus(Qt::PopupFocusReason);
}

void CChannelPopup::setHovered(int row) {
    if (row == hovered_) return;
    const int old = hovered_;
    hovered_ = row;
    for (int r : {old, row})
        if (r >= 0) update(QRect(0, r * kPopupItemHeight, kPopupWidth, kPopupItemHeight));
}

void CChannelPopup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(QPointF(0, 0), renderChannelPopup(items_, hovered_, font_, devicePixelRatioF()));
}

void CChannelPopup::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (!rect().contains(pos)) return setHovered(-1);
    const int row = pos.y() / kPopupItemHeight;
    setHovered(row < items_.size() ? row : -1);
}

void CChannelPopup::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !rect().contains(pos)) {
        close(); // a press outside a pop-up closes it
        return;
    }
    const int row = pos.y() / kPopupItemHeight;
    if (row >= 0 && row < items_.size()) {
        hide();
        emit chosen(row);
    }
}

void CChannelPopup::leaveEvent(QEvent*) {
    setHovered(-1);
}

} // namespace kobal
