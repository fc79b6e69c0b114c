#pragma once
// The small modal dialog "地域選択": a list of the 47 broadcast areas, OK and キャンセル.
#include <QDialog>

class QListWidget;
class QPushButton;

namespace kobal {

class AreaSelectDialog : public QDialog {
    Q_OBJECT
public:
    explicit AreaSelectDialog(int initialArea, QWidget* parent = nullptr);

    // Index of the selected line when OK was pressed, -1 when no line was selected.
    int chosenArea() const { return chosen_; }
    QListWidget* areaList() const { return list_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // Runs the dialog modally (through kobal::runModal). True when it was closed with OK;
    // *area is then the selected index or -1.
    static bool run(int initialArea, int* area, QWidget* parent = nullptr);

    // Asks until OK returns a valid area; cancelling gives area 0. Used at first start.
    static int askUntilChosen(int initialArea, QWidget* parent = nullptr);

private:
    void onOk();

    QListWidget* list_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    int chosen_ = -1;
};

// Runs the dialog with the initial area selected: the area number, or -1 when cancelled or
// closed without a selection.
int selectArea(int initialArea, QWidget* parent = nullptr);

} // namespace kobal
