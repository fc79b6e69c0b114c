#pragma once
// The folder choice dialog (template 115): the folder tree (control 999) of this machine's
// roots with OK and キャンセル. The caller gives the folder to start from; after OK,
// selectedPath() is the chosen folder with a trailing "/". UI thread.
#include "skin/SkinnedDialog.h"

namespace kobal {

class CFolderTree;

class CFolderTreeDlg : public CSkinnedDialog {
    Q_OBJECT
public:
    explicit CFolderTreeDlg(const QString& initialFolder, QWidget* parent = nullptr);

    QString selectedPath() const { return selected_; }
    CFolderTree* tree() const { return tree_; }

    // The chosen path as the caller stores it: trailing "/" removed ("/" itself kept).
    static QString withoutTrailingSlashes(QString path);

private:
    CFolderTree* tree_;
    QString selected_;
};

} // namespace kobal
