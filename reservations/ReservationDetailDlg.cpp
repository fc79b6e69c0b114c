#include "ReservationDetailDlg.h"

#include "TimerRecording.h"
#include "platform/Dialogs.h"
#include "ui/SkinColours.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPolygonF>
#include <QPushButton>
#include <QTimeEdit>

namespace kobal {
namespace {

constexpr const char* kMessageDateTime = "誤った時間を入力しました。";

// A combo box whose drop-down mark is drawn here, in the skin's text colour (style sheets take
// the mark only as a picture; a drawn one stays sharp at any scale).
class SkinComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void paintEvent(QPaintEvent* e) override {
        QComboBox::paintEvent(e);
        if (!isEnabled()) return; // a fixed choice shows no drop-down
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(fromColourRef(colour::kPopupText));
        const QPointF c(width() - 9.0, height() / 2.0 + 1.0);
        p.drawPolygon(
            QPolygonF({c + QPointF(-4, -2.5), c + QPointF(4, -2.5), c + QPointF(0, 2.5)}));
    }
};

QString qs(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

int64_t secondsOf(const QDateEdit* date, const QTimeEdit* time) {
    const QDate d = date->date();
    const QTime t = time->time();
    return localTime(d.year(), d.month(), d.day(), t.hour(), t.minute());
}

} // namespace

CReservationDetailDlg::CReservationDetailDlg(int kind, const Reservation& shown,
                                             const ReservationList& list, int editIndex,
                                             std::vector<ChannelChoice> channels, QWidget* parent)
    : CSkinnedDialog(505, QStringLiteral("予約録画の詳細設定"), parent), kind_(kind),
      editIndex_(editIndex), list_(list), result_(shown) {
    setObjectName(QStringLiteral("ReservationDetailDlg"));

    channel_ = new SkinComboBox(this);
    if (kind == edit::kNew) {
        for (const ChannelChoice& c : channels) channel_->addItem(qs(c.name), c.slot);
        channel_->setCurrentIndex(channels.empty() ? -1 : 0);
    } else {
        channel_->addItem(qs(shown.channelName), shown.slot);
        channel_->setEnabled(false);
    }
    title_ = new QLineEdit(qs(shown.title), this);
    title_->setMaxLength(999);
    const QDateTime start = QDateTime::fromSecsSinceEpoch(shown.start);
    const QDateTime end = QDateTime::fromSecsSinceEpoch(shown.end);
    auto makeDate = [this](const QDate& d) {
        auto* e = new QDateEdit(d, this);
        e->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        e->setDateRange(QDate(1900, 1, 1), QDate(2100, 12, 31));
        e->setButtonSymbols(QAbstractSpinBox::NoButtons);
        return e;
    };
    auto makeTime = [this](const QTime& t) {
        auto* e = new QTimeEdit(QTime(t.hour(), t.minute()), this);
        e->setDisplayFormat(QStringLiteral("HH:mm"));
        e->setButtonSymbols(QAbstractSpinBox::NoButtons);
        return e;
    };
    startDate_ = makeDate(start.date());
    startTime_ = makeTime(start.time());
    endDate_ = makeDate(end.date());
    endTime_ = makeTime(end.time());
    repeat_ = new SkinComboBox(this);
    repeat_->addItems({QStringLiteral("一度"), QStringLiteral("毎日"), QStringLiteral("毎週")});
    repeat_->setCurrentIndex(std::clamp(shown.repeat - Reservation::kOnce, 0, 2));
    memo_ = new QPlainTextEdit(qs(shown.memo), this);
    memo_->setTabChangesFocus(true);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    connect(ok_, &QPushButton::clicked, this, &CReservationDetailDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
    grid->addWidget(label("チャンネル"), 0, 0);
    grid->addWidget(channel_, 0, 1, 1, 2);
    grid->addWidget(label("番組名"), 1, 0);
    grid->addWidget(title_, 1, 1, 1, 2);
    grid->addWidget(label("開始日時"), 2, 0);
    grid->addWidget(startDate_, 2, 1);
    grid->addWidget(startTime_, 2, 2);
    grid->addWidget(label("終了日時"), 3, 0);
    grid->addWidget(endDate_, 3, 1);
    grid->addWidget(endTime_, 3, 2);
    grid->addWidget(label("繰返し"), 4, 0);
    grid->addWidget(repeat_, 4, 1);
    grid->addWidget(memo_, 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    body()->addLayout(grid, 1);
    body()->addLayout(buttons);
    resize(330, 300);
}

bool CReservationDetailDlg::run() {
    if (kind_ == edit::kIepg && result_.start < TimerRecording::now()) {
        messageBox(kMessageDateTime, "iEPG エラー", MB_OK | MB_ICONERROR);
        return false;
    }
    return runModal(*this) == QDialog::Accepted;
}

void CReservationDetailDlg::accept() {
    const int64_t start = secondsOf(startDate_, startTime_);
    const int64_t end = secondsOf(endDate_, endTime_);
    const int repeat = Reservation::kOnce + std::max(0, repeat_->currentIndex());
    const std::string error = list_.validate(kind_ == edit::kChange ? editIndex_ : -1, start, end,
                                             repeat, TimerRecording::now());
    if (!error.empty()) {
        messageBox(error, "エラー", MB_OK | MB_ICONERROR);
        return;
    }
    Reservation r = result_;
    r.title = title_->text().left(999).toStdU16String();
    if (channel_->currentIndex() >= 0) {
        r.channelName = channel_->currentText().toStdU16String();
        r.slot = channel_->currentData().toInt();
    }
    r.start = start;
    r.end = end;
    r.repeat = repeat;
    r.memo = memo_->toPlainText().left(999).toStdU16String();
    result_ = std::move(r);
    QDialog::accept();
}

} // namespace kobal
