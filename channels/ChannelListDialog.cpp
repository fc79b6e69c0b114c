#include "channels/ChannelListDialog.h"

#include "broadcast/AreaPresetTable.h"
#include "channels/AreaSelectDialog.h"
#include "platform/Dialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kobal {
namespace {

// In-place editing of a channel name: an edit that ends empty keeps the name it started with.
class NameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(ChannelList::kNameUnits);
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            if (line->text().isEmpty()) return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }
};

QString q(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

ChannelListDialog::ChannelListDialog(int area, int listNumber, ChannelLists& lists,
                                     ChannelListScanHost* host, QWidget* parent)
    : QDialog(parent), target_(lists), host_(host), area_(area),
      current_(listNumber >= 0 && listNumber < ChannelList::kListCount ? listNumber : 0) {
    setWindowTitle(QStringLiteral("チャンネルリストの設定"));
    setObjectName(QStringLiteral("ChannelListDialog"));

    // Copies bound to nothing, numbered by their position.
    for (int n = 0; n < ChannelList::kListCount; ++n) {
        copies_[n].bind(n, std::string());
        copies_[n].copyFrom(lists[n]);
    }
    working_.copyFrom(copies_[current_]);

    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("listCombo"));
    combo_->setEditable(false);
    for (const auto& list : copies_) combo_->addItem(q(list.listName()));
    combo_->setCurrentIndex(current_);

    table_ = new QTableWidget(ChannelList::kSlotCount, 2, this);
    table_->setObjectName(QStringLiteral("channelTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("チャンネル"), QStringLiteral("No.")});
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->setColumnWidth(kNameColumn, 130);
    table_->setColumnWidth(kNumberColumn, 40);
    table_->setShowGrid(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::SelectedClicked);
    table_->setItemDelegateForColumn(kNameColumn, new NameDelegate(table_));
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (int slot = 0; slot < ChannelList::kSlotCount; ++slot) {
        auto* nameItem = new QTableWidgetItem;
        nameItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable |
                           Qt::ItemIsUserCheckable);
        table_->setItem(slot, kNameColumn, nameItem);
        auto* numberItem = new QTableWidgetItem(QString::number(slot + 13));
        numberItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        numberItem->setTextAlignment(Qt::AlignCenter);
        table_->setItem(slot, kNumberColumn, numberItem);
    }
    const int tableWidth =
        130 + 40 + table_->verticalScrollBar()->sizeHint().width() + 2 * table_->frameWidth();
    table_->setFixedWidth(tableWidth);

    rename_ = new QPushButton(QStringLiteral("リスト名変更"), this);
    rename_->setObjectName(QStringLiteral("renameButton"));
    areaButton_ = new QPushButton(QStringLiteral("地域選択"), this);
    areaButton_->setObjectName(QStringLiteral("areaButton"));
    enable_ = new QPushButton(QStringLiteral("有効"), this);
    enable_->setObjectName(QStringLiteral("enableButton"));
    disable_ = new QPushButton(QStringLiteral("無効"), this);
    disable_->setObjectName(QStringLiteral("disableButton"));
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    cancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    // Enter in the in-place editor must finish the edit, not close the dialog.
    for (QPushButton* b : {rename_, areaButton_, enable_, disable_, ok_, cancel_})
        b->setAutoDefault(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(rename_);
    buttons->addWidget(areaButton_);
    buttons->addSpacing(12);
    buttons->addWidget(enable_);
    buttons->addWidget(disable_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* body = new QHBoxLayout;
    body->addWidget(table_);
    body->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(combo_);
    layout->addLayout(body, 1);

    connect(combo_, &QComboBox::currentIndexChanged, this, &ChannelListDialog::onListChanged);
    connect(table_, &QTableWidget::cellChanged, this, &ChannelListDialog::onItemChanged);
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (row >= 0) selectedRow_ = row;
    });
    connect(rename_, &QPushButton::clicked, this, &ChannelListDialog::onRename);
    connect(areaButton_, &QPushButton::clicked, this, &ChannelListDialog::onArea);
    connect(enable_, &QPushButton::clicked, this, [this] { setLastSelectedFlag(1); });
    connect(disable_, &QPushButton::clicked, this, [this] { setLastSelectedFlag(0); });
    connect(ok_, &QPushButton::clicked, this, &ChannelListDialog::onOk);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    fillRows();
    resize(sizeHint().width(), 440);
}

void ChannelListDialog::fillRows() {
    filling_ = true;
    for (int slot = 0; slot < ChannelList::kSlotCount; ++slot) {
        std::string text = working_.name(slot);
        if (text.empty() && !AreaPresetTable::isPresetSlot(area_, slot, &text))
            text = ChannelList::defaultSlotName(slot);
        QTableWidgetItem* item = table_->item(slot, kNameColumn);
        item->setText(q(text));
        item->setCheckState(working_.enabled(slot) ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
    table_->setCurrentCell(selectedRow_, kNameColumn);
    table_->selectRow(selectedRow_);
    table_->setFocus();
}

void ChannelListDialog::namesFromRows(int maxUnits) {
    for (int slot = 0; slot < ChannelList::kSlotCount; ++slot) {
        const std::string text = table_->item(slot, kNameColumn)->text().toStdString();
        working_.setName(slot, maxUnits > 0 ? ChannelList::cutToUnits(text, maxUnits) : text);
    }
}

void ChannelListDialog::onListChanged(int index) {
    if (index < 0 || index >= ChannelList::kListCount || index == current_) return;
    namesFromRows(0);
    copies_[current_].copyFrom(working_);
    working_.clear();
    working_.copyFrom(copies_[index]);
    current_ = index;
    fillRows();
}

void ChannelListDialog::onItemChanged(int row, int column) {
    if (filling_ || column != kNameColumn || !ChannelList::validSlot(row)) return;
    const bool checked = table_->item(row, kNameColumn)->checkState() == Qt::Checked;
    // Text edits fire this too; only a change of the box touches the flag.
    if (checked != working_.enabled(row)) working_.setEnabled(row, checked ? 1 : 0);
}

void ChannelListDialog::setLastSelectedFlag(int flag) {
    int row = -1;
    for (int r = ChannelList::kSlotCount - 1; r >= 0 && row < 0; --r)
        if (table_->item(r, kNameColumn)->isSelected()) row = r;
    if (row < 0) return;
    working_.setEnabled(row, flag);
    filling_ = true;
    table_->item(row, kNameColumn)->setCheckState(flag ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
    table_->setCurrentCell(row, kNameColumn);
    table_->selectRow(row);
    table_->setFocus();
}

void ChannelListDialog::onRename() {
    ChannelListNameDialog dialog(q(working_.listName()), this);
    if (runModal(dialog) != QDialog::Accepted) return;
    const QString name = dialog.name();
    working_.setListName(name.toStdString());
    const QSignalBlocker block(combo_);
    combo_->setItemText(current_, name);
    combo_->setCurrentIndex(current_);
}

void ChannelListDialog::onArea() {
    int chosen = -1;
    if (!AreaSelectDialog::run(area_, &chosen, this)) return;
    // OK without a selected line keeps the area and the list as they are.
    if (!AreaPresetTable::validArea(chosen)) return;
    area_ = chosen;
    working_.clear();
    working_.fillFromArea(area_);
    selectedRow_ = 0;
    fillRows();
}

void ChannelListDialog::onOk() {
    namesFromRows(ChannelList::kNameUnits);
    copies_[current_].copyFrom(working_);
    for (int n = 0; n < ChannelList::kListCount; ++n) target_[n].copyFrom(copies_[n]);
    if (host_) host_->scanChannelListNow(target_[current_]);
    accept();
}

bool ChannelListDialog::mayOpen(bool scanning, bool playingFile, bool recording) {
    if (scanning || playingFile) return false;
    if (recording)
        return messageBox("チャンネルサーチを行うと録画が停止します。チャンネルサーチを行いますか",
                          "1seg Message", MB_YESNO | MB_ICONQUESTION) == IDYES;
    return true;
}

ChannelListNameDialog::ChannelListNameDialog(const QString& name, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("新しいチャンネルリスト名"));
    setObjectName(QStringLiteral("ChannelListNameDialog"));
    auto* label = new QLabel(QStringLiteral("新しいチャンネルリスト名を入力します"), this);
    edit_ = new QLineEdit(name, this);
    edit_->setObjectName(QStringLiteral("nameEdit"));
    // chlist.ini gives back at most 99 characters of a list name.
    edit_->setMaxLength(ChannelList::kStoredChars - 1);
    edit_->selectAll();
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addLayout(buttons);
    resize(300, sizeHint().height());
}

QString ChannelListNameDialog::name() const {
    return edit_->text();
}

} // namespace kobal
