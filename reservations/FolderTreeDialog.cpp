#include "reservations/FolderTreeDialog.h"

#include "ui/FolderTree.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QPushButton>

namespace kobal {

CFolderTreeDlg::CFolderTreeDlg(const QString& initialFolder, QWidget* parent)
    : CSkinnedDialog(115, QStringLiteral("フォルダの選択"), parent), tree_(new CFolderTree(this)) {
    body()->addWidget(tree_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        selected_ = tree_->selectedPath();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    body()->addWidget(buttons);
    tree_->start(CFolderTree::machineRoots(), initialFolder);
    resize(300, 360);
}

QString CFolderTreeDlg::withoutTrailingSlashes(QString path) {
    while (path.size() > 1 && path.endsWith('/')) path.chop(1);
    return path;
}

} // namespace kobal
