#pragma once
// The two-slot reservation form (template 121): the form's enable switch, two rows (enable,
// repeat 毎日/一度, channel, start and end date and time; the dates only for 一度), and the
// recording folder (edit 1034, read from and stored to the registry's "rec_Dir" at once when
// the folder button 1037 chose one). OK checks the rows and writes reserv.dat; a damaged
// reserv.dat is told, kept aside and the form starts empty. UI thread.
#include "reservations/ProgrammeList.h"
#include "reservations/ReserveDat.h"
#include "skin/SkinnedDialog.h"

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace kobal {

class CReservationForm : public CSkinnedDialog {
    Q_OBJECT
public:
    static constexpr int kFolderEdit = 1034;
    static constexpr int kFolderButton = 1037;

    // lines: the channel panel's lines; file: where reserv.dat is read and written.
    CReservationForm(std::vector<ChannelChoice> lines, std::string file, int64_t now,
                     QWidget* parent = nullptr);

    // The folder dialog (template 115) from the given folder: the chosen folder, or nothing
    // on Cancel. Tests replace it.
    std::function<std::optional<QString>(const QString& initial)> chooseFolder;

    // What the controls hold, as reserv.dat stores it.
    ReserveDat values() const;
    void setValues(const ReserveDat& dat);

    struct Row {
        QCheckBox* enabled;
        QComboBox* repeat;
        QComboBox* channel;
        QDateEdit* startDate;
        QTimeEdit* startTime;
        QDateEdit* endDate;
        QTimeEdit* endTime;
    };
    const Row& row(int i) const { return rows_[size_t(i)]; }
    QCheckBox* formEnabled() const { return enabled_; }
    QLineEdit* folderEdit() const { return folder_; }
    QPushButton* folderButton() const { return folderButton_; }
    QPushButton* okButton() const { return ok_; }

private:
    void onOk();
    void onFolder();
    void repeatChanged(int row);

    std::vector<ChannelChoice> lines_;
    std::string file_;
    QCheckBox* enabled_;
    std::array<Row, 2> rows_{};
    QLineEdit* folder_;
    QPushButton* folderButton_;
    QPushButton* ok_ = nullptr;
};

} // namespace kobal
