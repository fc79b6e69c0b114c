#include "app/OptionSheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kobal {
namespace {

QGroupBox* group(const QString& title, QWidget* page) {
    auto* box = new QGroupBox(title, page);
    new QVBoxLayout(box);
    page->layout()->addWidget(box);
    return box;
}

} // namespace

COptionSheet::COptionSheet(QWidget* parent)
    : CSkinnedDialog(399, QStringLiteral("オプション"), parent), pages_(new QTabWidget(this)),
      basic_(new QButtonGroup(this)), start_(new QButtonGroup(this)) {
    auto* options = new QWidget;
    new QVBoxLayout(options);
    QGroupBox* basic = group(QStringLiteral("基本画面選択"), options);
    const std::pair<int, const char16_t*> kBasic[] = {
        {1086, u"通常モード"}, {1087, u"透過モード"}, {1088, u"シアターモード"}};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromUtf16(kBasic[i].second), basic);
        r->setObjectName(QString::number(kBasic[i].first));
        basic_->addButton(r, i);
        basic->layout()->addWidget(r);
    }
    QGroupBox* start = group(QStringLiteral("初期画面選択"), options);
    const std::pair<int, const char16_t*> kStart[] = {{1083, u"基本"}, {1084, u"前回終了時の状態"}};
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(QString::fromUtf16(kStart[i].second), start);
        r->setObjectName(QString::number(kStart[i].first));
        start_->addButton(r, i);
        start->layout()->addWidget(r);
    }
    QGroupBox* tray = group(QStringLiteral("トレーモード"), options);
    tray_ = new QCheckBox(QStringLiteral("トレーモード　使用"), tray);
    tray_->setObjectName(QStringLiteral("1085"));
    tray->layout()->addWidget(tray_);
    options->layout()->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
    pages_->addTab(options, QStringLiteral("オプション"));

    // The themes page holds its group box only: the skin has one look.
    auto* themes = new QWidget;
    new QVBoxLayout(themes);
    group(QStringLiteral("Theme"), themes)->setMinimumHeight(120);
    themes->layout()->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
    pages_->addTab(themes, QStringLiteral("Themes"));
    body()->addWidget(pages_);

    // No Apply and no Help: OK and Cancel only.
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    body()->addWidget(buttons);
    setValues(OptionValues{});
    resize(300, 330);
}

void COptionSheet::setValues(const OptionValues& v) {
    if (QAbstractButton* b = basic_->button(std::clamp(v.basicView, 0, 2))) b->setChecked(true);
    if (QAbstractButton* b = start_->button(v.startView == 1 ? 1 : 0)) b->setChecked(true);
    tray_->setChecked(v.trayMode == 1);
}

OptionValues COptionSheet::values() const {
    OptionValues v;
    v.basicView = std::max(0, basic_->checkedId());
    v.startView = std::max(0, start_->checkedId());
    v.trayMode = tray_->isChecked() ? 1 : 0;
    return v;
}

QAbstractButton* COptionSheet::control(int id) const {
    return findChild<QAbstractButton*>(QString::number(id));
}

} // namespace kobal
