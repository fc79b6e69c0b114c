#pragma once
// Page "予約録画リスト" (504) of the reservation sheet: every reservation (channel, title,
// date and times, repeat) with "削除", "変更" and "新規". The rows are the list's entries in
// order, so row i is entry i. UI thread.
#include "reservations/Reservation.h"

#include <QStringList>
#include <QWidget>

#include <initializer_list>

class QPushButton;
class QTableWidget;

namespace kobal {

// A list view of the sheet's pages: grid lines, full-row selection, fixed column widths, the
// given column centred, read-only.
QTableWidget* makeListView(const QStringList& headers, std::initializer_list<int> widths,
                           int centredColumn, QWidget* parent);
// Sets row `row` of a list view to the texts (the centred column as makeListView chose).
void setListRow(QTableWidget* table, int row, const QStringList& texts, int centredColumn);

class CReservationListPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 504;

    explicit CReservationListPage(QWidget* parent = nullptr);

    void setReservations(const std::vector<Reservation>& list);
    // The row of the selection mark (-1 when none) and every selected row, ascending.
    int currentRow() const;
    std::vector<int> selectedRows() const;

    QTableWidget* table() const { return table_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* changeButton() const { return change_; }
    QPushButton* newButton() const { return new_; }

signals:
    void deleteRequested();
    void changeRequested();
    void newRequested();

private:
    QPushButton* delete_;
    QPushButton* change_;
    QPushButton* new_;
    QTableWidget* table_;
};

} // namespace kobal
