#include "app/KeyListDlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kobal {
namespace {

const KeyListRow kRows[] = {
    {u"開始", u"ctrl + P"},
    {u"停止", u"ctrl + S"},
    {u"タイムシフト開始", u"ctrl + T"},
    {u"タイムシフト再生", u"ctrl + T"},
    {u"通常モード", u"ctrl + 1"},
    {u"透過モード", u"ctrl + 2"},
    {u"シアターモード", u"ctrl + 3"},
    {u"チャンネルリスト", u"ctrl + L"},
    {u"等倍", u"alt + 1"},
    {u"2倍", u"alt + 2"},
    {u"最大化", u"alt + Enter"},
    {u"目次", u"F1"},
    {u"チャンネルアップ", u"alt + UP"},
    {u"チャンネルダウン", u"alt + DOWN"},
    {u"戻る", u"alt + LEFT"},
    {u"進む", u"alt + RIGHT"},
};

} // namespace

std::span<const KeyListRow> keyListRows() {
    return kRows;
}

CKeyListDlg::CKeyListDlg(QWidget* parent)
    : CSkinnedDialog(477, QStringLiteral("キー操作一覧"), parent),
      table_(new QTableWidget(int(std::size(kRows)), 2, this)) {
    table_->setObjectName(QStringLiteral("1100"));
    table_->setHorizontalHeaderLabels({QStringLiteral("機能"), QStringLiteral("キー操作")});
    table_->verticalHeader()->hide();
    table_->setShowGrid(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->setColumnWidth(0, 120);
    table_->setColumnWidth(1, 100);
    table_->verticalHeader()->setDefaultSectionSize(19);
    for (int r = 0; r < int(std::size(kRows)); ++r) {
        table_->setItem(r, 0, new QTableWidgetItem(QString::fromUtf16(kRows[r].function)));
        table_->setItem(r, 1, new QTableWidgetItem(QString::fromUtf16(kRows[r].keys)));
    }
    body()->addWidget(table_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    body()->addWidget(buttons);
    resize(262, 430);
}

} // namespace kobal
