#pragma once
// The alarm dialog "アラーム" (Tools menu "指定時刻アラートの設定"): the alarm page in the
// skinned dialog frame, with OK (writes alarm.ini, then closes) and キャンセル (writes nothing).
// UI thread.
#include "AlarmPage.h"
#include "skin/SkinnedDialog.h"

namespace kobal {

class CAlarmDlg : public CSkinnedDialog {
    Q_OBJECT
public:
    CAlarmDlg(const std::string& path, std::vector<AlarmChannel> channels,
              std::function<int64_t()> now, QWidget* parent = nullptr);
    CAlarmPage* page() const { return page_; }
    QPushButton* okButton() const { return ok_; }

private:
    CAlarmPage* page_;
    QPushButton* ok_;
};

} // namespace kobal
