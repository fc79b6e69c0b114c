#include "AlarmPage.h"

#include "Reservation.h"
#include "platform/Dialogs.h"
#include "ui/SkinColours.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace kobal {
namespace {

// The pickers and combos in the skin's colours; the list, buttons and group come from the
// skinned dialog's own style.
QString pickerStyle() {
    QString sheet = QStringLiteral(
        "QComboBox,QDateEdit,QTimeEdit{background:#141312;color:@text;border:1px solid @line;"
        "padding:1px 4px;min-height:18px;}"
        "QComboBox:hover,QDateEdit:hover,QTimeEdit:hover{border-color:@hover;}"
        "QComboBox QAbstractItemView{background:@bar;color:@text;border:1px solid @open;"
        "selection-background-color:@hover;selection-color:@hoverText;}"
        "QCalendarWidget QWidget{background:@face;color:@text;}"
        "QCalendarWidget QToolButton{background:@bar;color:@barText;border:none;padding:2px;}"
        "QCalendarWidget QAbstractItemView{background:#141312;color:@text;"
        "selection-background-color:@hover;selection-color:@hoverText;}");
    const std::pair<const char*, std::uint32_t> kColours[] = {
        {"@face", colour::kPanelFace},  {"@barText", colour::kMenuBarText},
        {"@bar", colour::kMenuBar},     {"@open", colour::kMenuOpen},
        {"@text", colour::kPopupText},  {"@hoverText", colour::kHoverText},
        {"@hover", colour::kHoverFill}, {"@line", colour::kMenuSeparator}};
    for (const auto& [name, value] : kColours)
        sheet.replace(QLatin1String(name), fromColourRef(value).name());
    return sheet;
}

QTableWidgetItem* cell(const std::u16string& text, Qt::Alignment align = Qt::AlignLeft) {
    auto* item = new QTableWidgetItem(QString::fromStdU16String(text));
    item->setTextAlignment(align | Qt::AlignVCenter);
    item->setToolTip(item->text()); // "everyweek" and long names are cut to their column
    return item;
}

} // namespace

CAlarmPage::CAlarmPage(std::string path, std::vector<AlarmChannel> channels,
                       std::function<int64_t()> now, QWidget* parent)
    : QWidget(parent), path_(std::move(path)), channels_(std::move(channels)), now_(std::move(now)),
      list_(new QTableWidget(0, 4, this)), delete_(new QPushButton(QStringLiteral("削除"), this)),
      repeat_(new QComboBox(this)), date_(new QDateEdit(this)), time_(new QTimeEdit(this)),
      channel_(new QComboBox(this)), add_(new QPushButton(QStringLiteral("追加"), this)) {
    setObjectName(QString::number(kTemplate));
    setWindowTitle(QStringLiteral("アラート"));
    setStyleSheet(pickerStyle());

    list_->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("繰返し"),
                                      QStringLiteral("日時"), QStringLiteral("チャンネル")});
    const int widths[] = {35, 60, 120, 110};
    for (int c = 0; c < 4; ++c) list_->setColumnWidth(c, widths[c]);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(19);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setMinimumSize(35 + 60 + 120 + 110 + 20, 150);

    repeat_->addItems({QStringLiteral("一度"), QStringLiteral("毎日")});
    const QDateTime start = QDateTime::fromSecsSinceEpoch(now_());
    date_->setDisplayFormat(QStringLiteral("yyyy/MM/dd")); // the year is the first four
    date_->setCalendarPopup(true);
    date_->setDate(start.date());
    const QString format = QLocale().timeFormat(QLocale::ShortFormat);
    time_->setDisplayFormat(
        QString::fromStdU16String(AlarmEditor::withoutSeconds(format.toStdU16String())));
    time_->setTime(QTime(start.time().hour(), start.time().minute()));
    // Typed, or stepped with the arrow keys and the wheel: the skin has no spin arrows.
    time_->setButtonSymbols(QAbstractSpinBox::NoButtons);
    for (const AlarmChannel& c : channels_) channel_->addItem(QString::fromStdU16String(c.name));
    add_->setEnabled(!channels_.empty());

    connect(repeat_, &QComboBox::currentIndexChanged, this,
            [this](int index) { date_->setVisible(index == 0); });
    connect(add_, &QPushButton::clicked, this, &CAlarmPage::onAdd);
    connect(delete_, &QPushButton::clicked, this, &CAlarmPage::onDelete);

    auto* below = new QHBoxLayout;
    below->addStretch(1);
    below->addWidget(delete_);
    auto* group = new QGroupBox(QStringLiteral("新しいアラーム"), this);
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(6);
    grid->addWidget(repeat_, 0, 0);
    grid->addWidget(date_, 0, 1);
    grid->addWidget(time_, 0, 2);
    grid->addWidget(channel_, 1, 0, 1, 2);
    grid->addWidget(add_, 1, 2);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_, 1);
    layout->addLayout(below);
    layout->addWidget(group);

    std::vector<Alarm> alarms;
    std::string error;
    if (!AlarmFile::load(path_, &alarms, &error)) messageBox(error, "Kobal メッセージ", MB_OK);
    editor_ = AlarmEditor(std::move(alarms));
    fillList();
}

void CAlarmPage::fillList() {
    const std::vector<Alarm>& rows = editor_.rows();
    list_->clearContents();
    list_->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const Alarm& a = rows[size_t(r)];
        const std::string number = std::to_string(r + 1);
        list_->setItem(r, 0, cell(std::u16string(number.begin(), number.end()), Qt::AlignHCenter));
        list_->setItem(r, 1, cell(AlarmEditor::repeatText(a.repeat)));
        list_->setItem(r, 2, cell(AlarmEditor::timeText(a)));
        list_->setItem(r, 3, cell(a.channelName));
    }
    add_->setEnabled(!channels_.empty() && rows.size() < AlarmFile::kMaxAlarms);
}

void CAlarmPage::onAdd() {
    const int index = channel_->currentIndex();
    if (index < 0 || size_t(index) >= channels_.size()) return;
    const QDate d = date_->date();
    const QTime t = time_->time();
    const auto result =
        editor_.add(repeat_->currentIndex() == 1 ? Alarm::kDaily : Alarm::kOnce, d.year(),
                    d.month(), d.day(), t.hour(), t.minute(), channels_[size_t(index)], now_());
    if (result == AlarmEditor::AddResult::YearOutOfRange)
        messageBox("入力範囲を超過しました。", "エラー", MB_OK | MB_ICONERROR);
    else if (result == AlarmEditor::AddResult::InThePast)
        messageBox("誤った時間を入力しました。", "エラー", MB_OK | MB_ICONERROR);
    fillList();
}

void CAlarmPage::onDelete() {
    std::vector<int> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedRows()) rows.push_back(i.row());
    editor_.remove(std::move(rows));
    fillList();
}

bool CAlarmPage::save() {
    if (AlarmFile::save(path_, editor_.toSave(now_()))) return true;
    messageBox("アラームの設定 (" + path_ + ") を保存できませんでした。", "エラー",
               MB_OK | MB_ICONERROR);
    return false;
}

} // namespace kobal
