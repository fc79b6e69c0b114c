#pragma once
// The reservation sheet "予約録画の設定": a modeless window, made hidden with the main window
// and shown on demand, with the pages "EPG リスト" (the programme list) and "予約録画リスト"
// (the reservation list). It works on the main window's ReservationList and programme
// entries; every change of the list ends in refresh().
//
// The reservation details dialog is the caller's: runDetails(kind, buffer, editIndex) runs it
// on the edit buffer and returns true on OK with the accepted values (a new id included, for
// every kind but a change) in *buffer. Leaving the list deletes a reservation's scheduled
// start (ReservationList::onRemoved); accepted() is told of every added or changed
// reservation, for its scheduled start. UI thread.
#include "reservations/Reservation.h"
#include "reservations/ReservationDetailDlg.h"
#include "skin/SkinnedDialog.h"

#include <functional>

class QTabWidget;

namespace kobal {

class CProgrammeListPage;
class CReservationListPage;

class CReservationSheet : public CSkinnedDialog {
    Q_OBJECT
public:
    CReservationSheet(ReservationList& list, QWidget* parent = nullptr);

    std::function<bool(int kind, Reservation* buffer, int editIndex)> runDetails;
    std::function<void(const Reservation&)> accepted;
    // The clock of the fresh reservations ("新規").
    std::function<int64_t()> now;

    // The programme list's entries (rebuilt by the owner when the guide changes).
    void setProgrammes(std::vector<Reservation> entries);
    const std::vector<Reservation>& programmes() const { return programmes_; }
    // The list's ordering pass, then the reservation list page redrawn.
    void refresh();
    // Shows the sheet on a page (0 programme list, 1 reservation list) and brings it forward.
    void showPage(int page);

    CProgrammeListPage* programmePage() const { return programmePage_; }
    CReservationListPage* reservationPage() const { return reservationPage_; }
    QTabWidget* pages() const { return pages_; }

    // The pages' buttons.
    void reserveProgramme(int row);
    void newReservation();
    void changeReservation();
    void deleteReservations();

private:
    bool refusedWhileRecording(const Reservation& r);

    ReservationList& list_;
    std::vector<Reservation> programmes_;
    QTabWidget* pages_;
    CProgrammeListPage* programmePage_;
    CReservationListPage* reservationPage_;
};

} // namespace kobal
