#pragma once
// The options sheet "オプション" (Tools menu): the basic view, the view at start and the tray
// mode on the page "オプション", and the page "Themes". The values go in when the sheet opens
// and come out only when it ends with OK. UI thread.
#include "skin/SkinnedDialog.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QTabWidget;

namespace kobal {

struct OptionValues {
    int basicView = 0; // 0 normal, 1 transparent, 2 theater (DEFAULT_VIEW)
    int startView = 0; // 0 the basic view, 1 the state at the last exit (START_VIEW_LAST)
    int trayMode = 1;  // 1 use the tray mode (USE_TRAYMODE)
};

class COptionSheet : public CSkinnedDialog {
    Q_OBJECT
public:
    explicit COptionSheet(QWidget* parent = nullptr);

    void setValues(const OptionValues& values);
    OptionValues values() const;

    // A control by its id (1083 … 1088), for the owner's tests.
    QAbstractButton* control(int id) const;
    QTabWidget* pages() const { return pages_; }

private:
    QTabWidget* pages_;
    QButtonGroup* basic_;
    QButtonGroup* start_;
    QCheckBox* tray_;
};

} // namespace kobal
