#include "channels/AreaSelectDialog.h"

#include "broadcast/AreaPresetTable.h"
#include "platform/Dialogs.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kobal {

AreaSelectDialog::AreaSelectDialog(int initialArea, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("地域選択"));
    setObjectName(QStringLiteral("AreaSelectDialog"));

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("areaList"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int a = 0; a < AreaPresetTable::areaCount(); ++a)
        list_->addItem(QString::fromUtf8(AreaPresetTable::areaName(a)));
    if (AreaPresetTable::validArea(initialArea)) {
        list_->setCurrentRow(initialArea);
        list_->scrollToItem(list_->item(initialArea), QAbstractItemView::PositionAtCenter);
    } else {
        list_->setCurrentRow(-1);
    }

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    connect(ok_, &QPushButton::clicked, this, &AreaSelectDialog::onOk);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { onOk(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(220, 320);
}

void AreaSelectDialog::onOk() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    chosen_ = selected.isEmpty() ? -1 : list_->row(selected.first());
    accept();
}

bool AreaSelectDialog::run(int initialArea, int* area, QWidget* parent) {
    AreaSelectDialog dialog(initialArea, parent);
    const bool ok = runModal(dialog) == QDialog::Accepted;
    if (area) *area = ok ? dialog.chosenArea() : -1;
    return ok;
}

int AreaSelectDialog::askUntilChosen(int initialArea, QWidget* parent) {
    for (;;) {
        int area = -1;
        if (!run(initialArea, &area, parent)) return 0;
        if (AreaPresetTable::validArea(area)) return area;
    }
}

int selectArea(int initialArea, QWidget* parent) {
    int area = -1;
    AreaSelectDialog::run(initialArea, &area, parent);
    return area;
}

} // namespace kobal
