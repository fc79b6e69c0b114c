#pragma once
// Page "EPG リスト" (503) of the reservation sheet: the tuned channel's programme guide, one
// row per event (time, title, description), the channel and date of the last row above it,
// and "予約" to reserve the selected programme. UI thread.
#include "reservations/Reservation.h"

#include <QWidget>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kobal {

class CProgrammeListPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 503;

    explicit CProgrammeListPage(QWidget* parent = nullptr);

    // Redraws the rows from the entries (empty: no rows, empty edits).
    void setEntries(const std::vector<Reservation>& entries);
    // The selected row, -1 when none.
    int selectedRow() const;

    QTableWidget* table() const { return table_; }
    QLineEdit* channelEdit() const { return channel_; }
    QLineEdit* dateEdit() const { return date_; }
    QPushButton* reserveButton() const { return reserve_; }

signals:
    void reserveRequested(int row);

private:
    QLineEdit* channel_;
    QLineEdit* date_;
    QPushButton* reserve_;
    QTableWidget* table_;
};

} // namespace kobal
