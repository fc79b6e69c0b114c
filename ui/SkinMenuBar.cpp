#include "ui/SkinMenuBar.h"

#include "ui/MenuDropDown.h"

#include <QKeyEvent>
#include <QPainter>

namespace kobal {

CSkinMenuBar::CSkinMenuBar(QWidget* parent)
    : QWidget(parent), drop_(new CMenuDropDown(parent ? parent->window() : nullptr)),
      sub_(new CMenuDropDown(parent ? parent->window() : nullptr)) {
    setFixedSize(menu::kBarWidth, menu::kBarHeight);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    connect(drop_, &CMenuDropDown::hoverChanged, this, &CSkinMenuBar::onDropHover);
    connect(drop_, &CMenuDropDown::clicked, this, [this](int item) { choose(drop_, item); });
    connect(sub_, &CMenuDropDown::clicked, this, [this](int item) { choose(sub_, item); });
}

menu::Checks CSkinMenuBar::checks(int list) const {
    return checksFor ? checksFor(list) : menu::Checks{};
}

void CSkinMenuBar::paintEvent(QPaintEvent*) {
    // Too narrow a bar would cut titles: then nothing is drawn.
    if (width() < menu::kBarWidth) return;
    QPainter p(this);
    p.drawImage(QPointF(0, 0), menu::renderMenuBar(hovered_, open_, devicePixelRatioF()));
}

void CSkinMenuBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    hovered_ = menu::hitTitle(int(event->position().x()));
    open_ = !open_;
    update();
    if (open_)
        openDropDown(hovered_);
    else
        close();
}

void CSkinMenuBar::mouseMoveEvent(QMouseEvent* event) {
    if (!open_) return;
    const int column = menu::hitTitle(int(event->position().x()));
    if (column == hovered_) return;
    hovered_ = column;
    update();
    openDropDown(column);
}

void CSkinMenuBar::open(int column) {
    open_ = true;
    hovered_ = std::clamp(column, 0, menu::kColumns - 1);
    update();
    openDropDown(hovered_);
}

void CSkinMenuBar::close() {
    open_ = false;
    inSub_ = false;
    sub_->hide();
    drop_->hide();
    update();
}

void CSkinMenuBar::openDropDown(int column) {
    sub_->hide();
    inSub_ = false;
    drop_->open(column, mapToGlobal(QPoint(menu::bandStart(column), menu::kBarHeight)),
                checks(column));
}

void CSkinMenuBar::onDropHover(int item) {
    sub_->hide();
    inSub_ = false;
    if (item >= 0) openSubMenu(item);
}

bool CSkinMenuBar::openSubMenu(int item) {
    const int list = menu::subMenuOf(drop_->list(), item);
    if (list < 0 || (subMenuAllowed && !subMenuAllowed(list))) return false;
    const QPoint at =
        drop_->geometry().topLeft() + QPoint(menu::kDropWidth, menu::itemTop(drop_->list(), item));
    sub_->open(list, at, checks(list));
    return true;
}

void CSkinMenuBar::choose(CMenuDropDown* from, int item) {
    const int list = from->list();
    if (menu::subMenuOf(list, item) >= 0) return; // hovering opens it; a click chooses nothing
    close();
    emit chosen(list, item);
}

bool CSkinMenuBar::handleKey(const QKeyEvent& key) {
    if (!open_) return false;
    CMenuDropDown* active = inSub_ && sub_->isVisible() ? sub_ : drop_;
    switch (key.key()) {
    case Qt::Key_Escape:
        close();
        return true;
    case Qt::Key_Left:
        if (active == sub_) {
            sub_->hide();
            inSub_ = false;
        } else {
            open((hovered_ + menu::kColumns - 1) % menu::kColumns);
        }
        return true;
    case Qt::Key_Right:
        if (active == drop_ && drop_->hovered() >= 0 && sub_->isVisible()) {
            inSub_ = true;
            sub_->setHovered(menu::stepItem(sub_->list(), -1, +1));
        } else {
            open((hovered_ + 1) % menu::kColumns);
        }
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        active->setHovered(
            menu::stepItem(active->list(), active->hovered(), key.key() == Qt::Key_Down ? 1 : -1));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const int item = active->hovered();
        if (item < 0) return true;
        if (active == drop_ && menu::subMenuOf(drop_->list(), item) >= 0) {
            if (sub_->isVisible()) {
                inSub_ = true;
                sub_->setHovered(menu::stepItem(sub_->list(), -1, +1));
            }
            return true;
        }
        choose(active, item);
        return true;
    }
    default:
        return false;
    }
}

} // namespace kobal
