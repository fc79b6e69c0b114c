#include "reservations/ReservationSheet.h"

#include "platform/Dialogs.h"
#include "reservations/ProgrammeListPage.h"
#include "reservations/ReservationListPage.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>

#include <ctime>

namespace kobal {

CReservationSheet::CReservationSheet(ReservationList& list, QWidget* parent)
    : CSkinnedDialog(0, QStringLiteral("予約録画の設定"), parent), list_(list),
      pages_(new QTabWidget(this)), programmePage_(new CProgrammeListPage),
      reservationPage_(new CReservationListPage) {
    now = [] { return static_cast<int64_t>(std::time(nullptr)); };
    pages_->addTab(programmePage_, QStringLiteral("EPG リスト"));
    pages_->addTab(reservationPage_, QStringLiteral("予約録画リスト"));
    body()->addWidget(pages_, 1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::hide);
    body()->addWidget(buttons);
    connect(programmePage_, &CProgrammeListPage::reserveRequested, this,
            &CReservationSheet::reserveProgramme);
    connect(reservationPage_, &CReservationListPage::newRequested, this,
            &CReservationSheet::newReservation);
    connect(reservationPage_, &CReservationListPage::changeRequested, this,
            &CReservationSheet::changeReservation);
    connect(reservationPage_, &CReservationListPage::deleteRequested, this,
            &CReservationSheet::deleteReservations);
    resize(520, 360);
    refresh();
}

void CReservationSheet::setProgrammes(std::vector<Reservation> entries) {
    programmes_ = std::move(entries);
    programmePage_->setEntries(programmes_);
}

void CReservationSheet::refresh() {
    list_.bubbleEarliestToFront();
    reservationPage_->setReservations(list_.items());
}

void CReservationSheet::showPage(int page) {
    pages_->setCurrentIndex(page);
    show();
    raise();
    activateWindow();
}

void CReservationSheet::reserveProgramme(int row) {
    if (row < 0 || row >= int(programmes_.size()) || !runDetails) return;
    Reservation buffer = programmes_[size_t(row)];
    if (!runDetails(edit::kFromGuide, &buffer, -1)) return;
    list_.add(buffer);
    if (accepted) accepted(buffer);
    refresh();
    showPage(1);
}

void CReservationSheet::newReservation() {
    if (!runDetails) return;
    Reservation buffer = Reservation::fresh(now());
    if (!runDetails(edit::kNew, &buffer, -1)) return;
    list_.add(buffer);
    if (accepted) accepted(buffer);
    refresh();
}

bool CReservationSheet::refusedWhileRecording(const Reservation& r) {
    if (!r.recording) return false;
    messageBox("録画中にはリストを削除することができません。", "Kobal メッセージ",
               MB_OK | MB_ICONWARNING);
    return true;
}

void CReservationSheet::changeReservation() {
    const int row = reservationPage_->currentRow();
    if (row < 0 || row >= int(list_.size()) || !runDetails) return;
    if (refusedWhileRecording(list_.items()[size_t(row)])) return;
    Reservation buffer = list_.items()[size_t(row)];
    if (!runDetails(edit::kChange, &buffer, row)) return; // Cancel: the entry is untouched
    // The one-second check may have moved or finished entries while the dialog ran: the
    // change goes to the entry with its id, or back into the list when that one is gone.
    buffer.recording = 0;
    bool found = false;
    for (Reservation& r : list_.items()) {
        if (r.id != buffer.id) continue;
        if (refusedWhileRecording(r)) return;
        r = buffer;
        found = true;
        break;
    }
    if (!found) list_.add(buffer);
    if (accepted) accepted(buffer);
    refresh();
}

void CReservationSheet::deleteReservations() {
    const std::vector<int> rows = reservationPage_->selectedRows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it >= int(list_.size())) continue;
        if (refusedWhileRecording(list_.items()[size_t(*it)])) break;
        list_.remove(size_t(*it));
    }
    refresh();
}

} // namespace kobal
