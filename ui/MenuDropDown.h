#pragma once
// One drop-down window of the skinned menu bar (a column's items or a sub-menu): a frameless
// window above the others, drawn by renderDropDown. It only reports the pointer; the menu bar
// decides what opens and what is chosen. UI thread.
#include "ui/MenuBarModel.h"

#include <QWidget>

namespace kobal {

class CMenuDropDown : public QWidget {
    Q_OBJECT
public:
    explicit CMenuDropDown(QWidget* owner);

    // Shows `list` with its top-left at a global point, nothing hovered.
    void open(int list, const QPoint& globalTopLeft, const menu::Checks& checks);
    int list() const { return list_; }
    int hovered() const { return hovered_; }
    const menu::Checks& checks() const { return checks_; }
    // Sets the hovered item (the keyboard's way); -1 none. Emits hoverChanged when it changes.
    void setHovered(int item);

signals:
    void hoverChanged(int item);
    void clicked(int item);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int list_ = -1;
    int hovered_ = -1;
    menu::Checks checks_{};
};

} // namespace kobal
