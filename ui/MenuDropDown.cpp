#include "ui/MenuDropDown.h"

#include <QMouseEvent>
#include <QPainter>

namespace kobal {

CMenuDropDown::CMenuDropDown(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus) {
    // The main window keeps the keyboard while a menu is open.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

void CMenuDropDown::open(int list, const QPoint& globalTopLeft, const menu::Checks& checks) {
    list_ = list;
    hovered_ = -1;
    checks_ = checks;
    setGeometry(QRect(globalTopLeft, QSize(menu::kDropWidth, menu::dropHeight(list))));
    show();
    raise();
    update();
}

void CMenuDropDown::setHovered(int item) {
    if (item == hovered_) return;
    const int old = hovered_;
    hovered_ = item;
    for (int i : {old, item})
        if (i >= 0)
            update(QRect(0, menu::itemTop(list_, i), menu::kDropWidth, menu::itemHeight(list_, i)));
    emit hoverChanged(item);
}

void CMenuDropDown::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(QPointF(0, 0), menu::renderDropDown(list_, hovered_, checks_, devicePixelRatioF()));
}

void CMenuDropDown::mouseMoveEvent(QMouseEvent* event) {
    const int item = menu::itemAt(list_, event->position().toPoint());
    if (item != menu::kSeparatorHit) setHovered(item);
}

void CMenuDropDown::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int item = menu::itemAt(list_, event->position().toPoint());
    if (item >= 0) emit clicked(item);
}

} // namespace kobal
