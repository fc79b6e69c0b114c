#pragma once
// The main window's self-drawn menu bar (280 × 20, six titles) and its two drop-downs, one for
// the columns and one for their sub-menus. A press on a title opens or closes; moving over the
// titles while open switches columns; hovering an item that ends in ">" opens its sub-menu
// where the owner allows it; a click on an item closes everything and emits chosen(list,
// item). The keys: open()/close(), and while open, handleKey() takes Esc, the arrows and Enter.
// The owner tells which items carry a check mark when a drop-down opens. UI thread.
#include "ui/MenuBarModel.h"

#include <QWidget>
#include <functional>

class QKeyEvent;

namespace kobal {

class CMenuDropDown;

class CSkinMenuBar : public QWidget {
    Q_OBJECT
public:
    explicit CSkinMenuBar(QWidget* parent);

    // The owner's state as check flags of a list (columns 0 … 5, menu::kSubAudio, kSubSize).
    std::function<menu::Checks(int list)> checksFor;
    // Whether a sub-menu may open now (audio mode known; not in full screen).
    std::function<bool(int list)> subMenuAllowed;

    bool isOpen() const { return open_; }
    int hoveredTitle() const { return hovered_; }
    CMenuDropDown* dropDown() const { return drop_; }
    CMenuDropDown* subMenu() const { return sub_; }

    // Opens the column (closing any other), or closes everything.
    void open(int column);
    void close();
    // Esc closes, Left/Right move between columns (Left leaves a sub-menu, Right enters one),
    // Up/Down move within the column or sub-menu, Enter/Return chooses. False for other keys
    // and while closed.
    bool handleKey(const QKeyEvent& key);

signals:
    void chosen(int list, int item);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void openDropDown(int column);
    void onDropHover(int item);
    void choose(CMenuDropDown* from, int item);
    bool openSubMenu(int item);
    menu::Checks checks(int list) const;

    bool open_ = false;
    int hovered_ = -1;
    bool inSub_ = false; // the keyboard moves in the sub-menu
    CMenuDropDown* drop_;
    CMenuDropDown* sub_;
};

} // namespace kobal
