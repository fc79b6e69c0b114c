#include "reservations/ReservationListPage.h"

#include "reservations/ProgrammeList.h"
#include "ui/AribSymbols.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace kobal {

QTableWidget* makeListView(const QStringList& headers, std::initializer_list<int> widths,
                           int centredColumn, QWidget* parent) {
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->horizontalHeader()->setHighlightSections(false);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    if (QTableWidgetItem* h = t->horizontalHeaderItem(centredColumn))
        h->setTextAlignment(Qt::AlignCenter);
    int column = 0;
    for (int w : widths) t->setColumnWidth(column++, w);
    t->setShowGrid(true);
    t->setWordWrap(false);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Long texts end in "…" (their tooltip holds them whole); the last column takes the rest.
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return t;
}

void setListRow(QTableWidget* table, int row, const QStringList& texts, int centredColumn) {
    for (int c = 0; c < texts.size() && c < table->columnCount(); ++c) {
        auto* item = new QTableWidgetItem(texts[c]);
        item->setToolTip(texts[c]);
        if (c == centredColumn) item->setTextAlignment(Qt::AlignCenter);
        table->setItem(row, c, item);
    }
}

CReservationListPage::CReservationListPage(QWidget* parent)
    : QWidget(parent), delete_(new QPushButton(QStringLiteral("削除"), this)),
      change_(new QPushButton(QStringLiteral("変更"), this)),
      new_(new QPushButton(QStringLiteral("新規"), this)),
      table_(makeListView({QStringLiteral("CH"), QStringLiteral("番組名"), QStringLiteral("日時"),
                           QStringLiteral("繰返し")},
                          {30, 180, 150, 50}, 0, this)) {
    setObjectName(QString::number(kTemplateId));
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The date column holds "2027/01/01  00:00 - 00:00" whole in the font at hand.
    table_->setColumnWidth(2, std::max(150, table_->fontMetrics().horizontalAdvance(
                                                QStringLiteral("0000/00/00  00:00 - 00:00")) +
                                                12));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {delete_, change_, new_}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(buttons);
    layout->addWidget(table_, 1);
    connect(delete_, &QPushButton::clicked, this, &CReservationListPage::deleteRequested);
    connect(change_, &QPushButton::clicked, this, &CReservationListPage::changeRequested);
    connect(new_, &QPushButton::clicked, this, &CReservationListPage::newRequested);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &CReservationListPage::changeRequested);
}

void CReservationListPage::setReservations(const std::vector<Reservation>& list) {
    const int keep = table_->currentRow();
    table_->clearContents();
    table_->setRowCount(int(list.size()));
    for (size_t i = 0; i < list.size(); ++i) {
        QStringList row = reservationRow(list[i]);
        row[1] = showableText(row[1]); // the programme marks as bracketed text
        setListRow(table_, int(i), row, 0);
    }
    if (keep >= 0 && keep < table_->rowCount()) table_->setCurrentCell(keep, 0);
}

int CReservationListPage::currentRow() const {
    const int row = table_->currentRow();
    return row >= 0 && table_->selectionModel()->isRowSelected(row) ? row : -1;
}

std::vector<int> CReservationListPage::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace kobal
