#pragma once
// The details dialog "予約録画の詳細設定" (template 505): where a reservation is confirmed or
// edited before it joins the list — from an iEPG import, the programme list, or the
// reservation list's 新規 and 変更.
//
// Use:
//   CReservationDetailDlg dlg(kind, shown, list, editIndex, channels, parent);
//   if (dlg.run()) { ...dlg.result()... }
// - kind (edit::): kIepg, kNew (the channel box lists `channels`, the first selected), kChange
//   (editIndex is the entry being changed: it is left out of the overlap check) or
//   kFromGuide. Except for kNew the channel box holds only shown's channel name (with its
//   slot) and is disabled.
// - run() shows it modally through kobal::runModal (tests answer it there). OK checks the
//   values (range, past time, overlap with the other entries of `list`); a failure is shown
//   in a box captioned "エラー" and the dialog stays open. For kIepg a start already in the
//   past is told ("iEPG エラー") and the dialog never opens.
// - result(): the accepted values; its id is shown's. A new id, the list and the scheduled
//   start are the caller's (PlayerReservations::runDetails, the sheet).
// The dialog works on copies: nothing outside it changes until the caller takes the result,
// so a cancelled change leaves the entry exactly as it was. UI thread.
#include "reservations/ProgrammeList.h"
#include "reservations/Reservation.h"
#include "skin/SkinnedDialog.h"

#include <vector>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimeEdit;

namespace kobal {

// Edit kinds of the details dialog.
namespace edit {
inline constexpr int kIepg = 201;
inline constexpr int kNew = 202;
inline constexpr int kChange = 203;
inline constexpr int kFromGuide = 204;
} // namespace edit

class CReservationDetailDlg : public CSkinnedDialog {
    Q_OBJECT
public:
    CReservationDetailDlg(int kind, const Reservation& shown, const ReservationList& list,
                          int editIndex = -1, std::vector<ChannelChoice> channels = {},
                          QWidget* parent = nullptr);

    bool run();
    const Reservation& result() const { return result_; }

    // The controls, for tests and screenshots.
    QComboBox* channelBox() const { return channel_; }
    QLineEdit* titleEdit() const { return title_; }
    QDateEdit* startDate() const { return startDate_; }
    QTimeEdit* startTime() const { return startTime_; }
    QDateEdit* endDate() const { return endDate_; }
    QTimeEdit* endTime() const { return endTime_; }
    QComboBox* repeatBox() const { return repeat_; }
    QPlainTextEdit* memoEdit() const { return memo_; }
    QPushButton* okButton() const { return ok_; }

public slots:
    void accept() override;

private:
    int kind_;
    int editIndex_;
    const ReservationList& list_;
    Reservation result_;
    QComboBox* channel_;
    QLineEdit* title_;
    QDateEdit* startDate_;
    QTimeEdit* startTime_;
    QDateEdit* endDate_;
    QTimeEdit* endTime_;
    QComboBox* repeat_;
    QPlainTextEdit* memo_;
    QPushButton* ok_;
};

} // namespace kobal
