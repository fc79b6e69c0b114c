#include "AlarmDlg.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QPushButton>

namespace kobal {

CAlarmDlg::CAlarmDlg(const std::string& path, std::vector<AlarmChannel> channels,
                     std::function<int64_t()> now, QWidget* parent)
    : CSkinnedDialog(398, QStringLiteral("アラーム"), parent),
      page_(new CAlarmPage(path, std::move(channels), std::move(now), this)) {
    body()->addWidget(page_, 1);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok_->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    // OK closes only once the file is written; Cancel writes nothing.
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (page_->save()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    body()->addWidget(buttons);
    resize(370, 400);
}

} // namespace kobal
