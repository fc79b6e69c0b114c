#pragma once
// "チャンネルリストの設定": rename, switch and edit the five channel lists, enable or disable
// slots and refill the current list from an area preset. The dialog works on copies; OK hands
// them back to the owner's lists and runs a scan of the chosen list at once.
#include "channels/ChannelList.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kobal {

// What OK needs from the main window: an arbitrary scan of exactly the enabled slots of the
// list, with their names, run synchronously on the UI thread.
class ChannelListScanHost {
public:
    virtual ~ChannelListScanHost() = default;
    virtual void scanChannelListNow(const ChannelList& list) = 0;
};

class ChannelListDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kNameColumn = 0;
    static constexpr int kNumberColumn = 1;

    // lists are the owner's five lists; they change only when OK is pressed.
    ChannelListDialog(int area, int listNumber, ChannelLists& lists, ChannelListScanHost* host,
                      QWidget* parent = nullptr);

    // After OK: the area and the list the caller takes over as current.
    int area() const { return area_; }
    int listNumber() const { return current_; }
    const ChannelList& workingCopy() const { return working_; }

    QComboBox* listCombo() const { return combo_; }
    QTableWidget* table() const { return table_; }
    QPushButton* renameButton() const { return rename_; }
    QPushButton* areaButton() const { return areaButton_; }
    QPushButton* enableButton() const { return enable_; }
    QPushButton* disableButton() const { return disable_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // Whether the editor may open now. Refused while scanning or playing a recorded file;
    // while recording the user is asked first, because the scan on OK stops the recording.
    static bool mayOpen(bool scanning, bool playingFile, bool recording);

private:
    void fillRows();
    void namesFromRows(int maxUnits);
    void onListChanged(int index);
    void onItemChanged(int row, int column);
    void setLastSelectedFlag(int flag);
    void onRename();
    void onArea();
    void onOk();

    ChannelLists& target_;
    ChannelListScanHost* host_;
    ChannelLists copies_;
    ChannelList working_;
    int area_;
    int current_;
    int selectedRow_ = 0;
    bool filling_ = false;

    QComboBox* combo_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* rename_ = nullptr;
    QPushButton* areaButton_ = nullptr;
    QPushButton* enable_ = nullptr;
    QPushButton* disable_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// "新しいチャンネルリスト名": one edit field prefilled with the current list name.
class ChannelListNameDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChannelListNameDialog(const QString& name, QWidget* parent = nullptr);
    QString name() const;
    QLineEdit* edit() const { return edit_; }
    QPushButton* okButton() const { return ok_; }

private:
    QLineEdit* edit_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace kobal
