#include "reservations/ProgrammeListPage.h"

#include "reservations/ProgrammeList.h"
#include "reservations/ReservationListPage.h"
#include "ui/AribSymbols.h"
#include "ui/SkinFonts.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace kobal {

CProgrammeListPage::CProgrammeListPage(QWidget* parent)
    : QWidget(parent), channel_(new QLineEdit(this)), date_(new QLineEdit(this)),
      reserve_(new QPushButton(QStringLiteral("予約"), this)),
      table_(
          makeListView({QStringLiteral("時間"), QStringLiteral("番組名"), QStringLiteral("内容")},
                       {90, 130, 205}, 0, this)) {
    setObjectName(QString::number(kTemplateId));
    table_->setFont(skinFont(kFontAribGothic, 9));
    // The time column holds "00:00 - 00:00" whole in the font at hand.
    table_->setColumnWidth(
        0, std::max(90,
                    table_->fontMetrics().horizontalAdvance(QStringLiteral("00:00 - 00:00")) + 12));
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    channel_->setReadOnly(true);
    date_->setReadOnly(true);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("チャンネル "), this));
    top->addWidget(channel_, 3);
    top->addWidget(new QLabel(QStringLiteral("日付 "), this));
    top->addWidget(date_, 2);
    top->addWidget(reserve_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    connect(reserve_, &QPushButton::clicked, this, [this] {
        if (const int row = selectedRow(); row >= 0) emit reserveRequested(row);
    });
    connect(table_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { emit reserveRequested(row); });
}

void CProgrammeListPage::setEntries(const std::vector<Reservation>& entries) {
    table_->clearContents();
    table_->setRowCount(int(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const Reservation& e = entries[i];
        setListRow(table_, int(i),
                   {timeSpanText(e), showableText(QString::fromStdU16String(e.title)),
                    showableText(QString::fromStdU16String(e.memo))},
                   0);
    }
    channel_->setText(entries.empty() ? QString()
                                      : QString::fromStdU16String(entries.back().channelName));
    date_->setText(entries.empty() ? QString() : dateText(entries.back().start));
}

int CProgrammeListPage::selectedRow() const {
    const int row = table_->currentRow();
    return row >= 0 && table_->selectionModel()->isRowSelected(row) ? row : -1;
}

} // namespace kobal
