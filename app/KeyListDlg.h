#pragma once
// The key list "キー操作一覧" (Help menu): a read-only table of the keyboard shortcuts,
// columns "機能" and "キー操作", and an OK button. UI thread.
#include "skin/SkinnedDialog.h"

#include <span>

class QTableWidget;

namespace kobal {

struct KeyListRow {
    const char16_t* function;
    const char16_t* keys;
};
// The rows, in the order shown.
std::span<const KeyListRow> keyListRows();

class CKeyListDlg : public CSkinnedDialog {
    Q_OBJECT
public:
    explicit CKeyListDlg(QWidget* parent = nullptr);
    QTableWidget* table() const { return table_; }

private:
    QTableWidget* table_;
};

} // namespace kobal
