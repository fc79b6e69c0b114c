#pragma once
// The alarm page "アラート" (478), also the body of the alarm dialog "アラーム" (398): the
// alarm list (No., 繰返し, 日時, チャンネル), "削除" under it, and the group "新しいアラーム"
// (repeat, date, time, channel, "追加"). It reads alarm.ini when built and writes it on save().
// It has no look of its own beyond its controls' colours: the skinned dialog or sheet that
// holds it draws the frame. UI thread.
#include "AlarmEditor.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QDateEdit;
class QPushButton;
class QTableWidget;
class QTimeEdit;

namespace kobal {

class CAlarmPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTemplate = 478;

    // channels: the channel panel's lines; now: the clock the alarms are compared with.
    CAlarmPage(std::string path, std::vector<AlarmChannel> channels, std::function<int64_t()> now,
               QWidget* parent = nullptr);

    // Writes alarm.ini (write and rename). False, after telling the user, when it could not.
    bool save();

    const AlarmEditor& editor() const { return editor_; }
    QTableWidget* list() const { return list_; }
    QComboBox* repeatCombo() const { return repeat_; }
    QDateEdit* datePicker() const { return date_; }
    QTimeEdit* timePicker() const { return time_; }
    QComboBox* channelCombo() const { return channel_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* deleteButton() const { return delete_; }

private:
    void onAdd();
    void onDelete();
    void fillList();

    std::string path_;
    std::vector<AlarmChannel> channels_;
    std::function<int64_t()> now_;
    AlarmEditor editor_;
    QTableWidget* list_;
    QPushButton* delete_;
    QComboBox* repeat_;
    QDateEdit* date_;
    QTimeEdit* time_;
    QComboBox* channel_;
    QPushButton* add_;
};

} // namespace kobal
