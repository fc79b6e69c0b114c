#include "reservations/ReservationForm.h"

#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "reservations/FolderTreeDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

namespace kobal {
namespace {

const char* const kCaption = "DMB Message";

ReserveDatTime fromEdits(const QDateEdit* date, const QTimeEdit* time) {
    const QDate d = date->date();
    const QTime t = time->time();
    return {d.year(), d.month(), d.dayOfWeek() % 7, d.day(), t.hour(), t.minute(), 0};
}

void toEdits(const ReserveDatTime& v, QDateEdit* date, QTimeEdit* time) {
    date->setDate(QDate(v.year, v.month, v.day));
    time->setTime(QTime(v.hour, v.minute, v.second));
}

} // namespace

CReservationForm::CReservationForm(std::vector<ChannelChoice> lines, std::string file, int64_t now,
                                   QWidget* parent)
    : CSkinnedDialog(121, QStringLiteral("予約録画"), parent), lines_(std::move(lines)),
      file_(std::move(file)), enabled_(new QCheckBox(QStringLiteral("予約録画を行う"), this)),
      folder_(new QLineEdit(this)),
      folderButton_(new QPushButton(QStringLiteral("参照..."), this)) {
    body()->addWidget(enabled_);
    for (int i = 0; i < 2; ++i) {
        auto* box = new QGroupBox(QStringLiteral("予約 %1").arg(i + 1), this);
        auto* grid = new QGridLayout(box);
        Row& r = rows_[size_t(i)];
        r.enabled = new QCheckBox(QStringLiteral("有効"), box);
        r.repeat = new QComboBox(box);
        r.repeat->addItems({QStringLiteral("毎日"), QStringLiteral("一度")});
        r.channel = new QComboBox(box);
        for (const ChannelChoice& c : lines_)
            r.channel->addItem(QString::fromStdU16String(c.name), c.code);
        r.startDate = new QDateEdit(box);
        r.startTime = new QTimeEdit(box);
        r.endDate = new QDateEdit(box);
        r.endTime = new QTimeEdit(box);
        for (QDateEdit* d : {r.startDate, r.endDate}) {
            d->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
            d->setDateRange(QDate(1970, 1, 1), QDate(2037, 12, 31));
            d->setCalendarPopup(true);
        }
        for (QTimeEdit* t : {r.startTime, r.endTime}) t->setDisplayFormat(QStringLiteral("HH:mm"));
        grid->addWidget(r.enabled, 0, 0);
        grid->addWidget(new QLabel(QStringLiteral("繰返し"), box), 0, 1);
        grid->addWidget(r.repeat, 0, 2);
        grid->addWidget(new QLabel(QStringLiteral("チャンネル"), box), 0, 3);
        grid->addWidget(r.channel, 0, 4);
        grid->addWidget(new QLabel(QStringLiteral("開始日時"), box), 1, 0);
        grid->addWidget(r.startDate, 1, 1, 1, 2);
        grid->addWidget(r.startTime, 1, 3);
        grid->addWidget(new QLabel(QStringLiteral("終了日時"), box), 2, 0);
        grid->addWidget(r.endDate, 2, 1, 1, 2);
        grid->addWidget(r.endTime, 2, 3);
        grid->setColumnStretch(4, 1);
        connect(r.repeat, &QComboBox::currentIndexChanged, this, [this, i] { repeatChanged(i); });
        body()->addWidget(box);
    }
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("録画フォルダ"), this));
    folder_->setObjectName(QString::number(kFolderEdit));
    folder_->setReadOnly(true);
    folderButton_->setObjectName(QString::number(kFolderButton));
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(folderButton_);
    body()->addLayout(folderRow);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok_->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CReservationForm::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(folderButton_, &QPushButton::clicked, this, &CReservationForm::onFolder);
    body()->addWidget(buttons);
    chooseFolder = [this](const QString& initial) -> std::optional<QString> {
        CFolderTreeDlg dialog(initial, this);
        if (runModal(dialog) != QDialog::Accepted) return std::nullopt;
        return dialog.selectedPath();
    };

    // Start: now in every picker, or what reserv.dat holds.
    ReserveDat dat;
    for (ReserveDatRow& r : dat.rows) r.start = r.end = ReserveDatTime::fromTime(now - now % 60);
    std::string error;
    if (!ReserveDat::load(file_, &dat, &error)) messageBox(error, kCaption, MB_OK | MB_ICONWARNING);
    setValues(dat);
    if (const auto dir = Registry::read("rec_Dir")) folder_->setText(QString::fromStdString(*dir));
}

void CReservationForm::repeatChanged(int i) {
    const Row& r = rows_[size_t(i)];
    const bool dated = r.repeat->currentIndex() == ReserveDatRow::kOnce;
    r.startDate->setEnabled(dated);
    r.endDate->setEnabled(dated);
}

ReserveDat CReservationForm::values() const {
    ReserveDat dat;
    dat.enabled = enabled_->isChecked();
    for (size_t i = 0; i < rows_.size(); ++i) {
        const Row& r = rows_[i];
        ReserveDatRow& out = dat.rows[i];
        out.enabled = r.enabled->isChecked();
        out.repeat = std::max(0, r.repeat->currentIndex());
        out.channelCode = r.channel->currentIndex() >= 0 ? r.channel->currentData().toInt() : 0;
        out.start = fromEdits(r.startDate, r.startTime);
        out.end = fromEdits(r.endDate, r.endTime);
    }
    return dat;
}

void CReservationForm::setValues(const ReserveDat& dat) {
    enabled_->setChecked(dat.enabled);
    for (size_t i = 0; i < rows_.size(); ++i) {
        const Row& r = rows_[i];
        const ReserveDatRow& in = dat.rows[i];
        r.enabled->setChecked(in.enabled);
        r.repeat->setCurrentIndex(in.repeat);
        const int line = r.channel->findData(in.channelCode);
        if (line >= 0) r.channel->setCurrentIndex(line);
        toEdits(in.start, r.startDate, r.startTime);
        toEdits(in.end, r.endDate, r.endTime);
        repeatChanged(int(i));
    }
}

void CReservationForm::onOk() {
    const ReserveDat dat = values();
    const std::string problem = dat.check();
    if (!problem.empty()) {
        messageBox(problem, kCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    if (!ReserveDat::save(file_, dat)) {
        messageBox("予約ファイル (" + file_ + ") を書き込めませんでした。", kCaption,
                   MB_OK | MB_ICONERROR);
        reject();
        return;
    }
    accept();
}

void CReservationForm::onFolder() {
    const std::optional<QString> chosen = chooseFolder(folder_->text());
    if (!chosen || chosen->isEmpty()) return;
    const QString path = CFolderTreeDlg::withoutTrailingSlashes(*chosen);
    folder_->setText(path);
    Registry::write("rec_Dir", path.toStdString());
}

} // namespace kobal
