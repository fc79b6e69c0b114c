#include "app/ChannelPanel.h"

#include "app/PlayerCommands.h"
#include "app/WindowGeometry.h"
#include "ui/ChannelListBox.h"
#include "ui/HoverButton.h"
#include "ui/ShapedRegion.h"
#include "ui/SkinColours.h"
#include "ui/SkinFonts.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPictures.h"

#include <QPainter>
#include <QScreen>

namespace kobal {
namespace {
const QRect kListRect(17, 46, 190, 261); // 180 wide while the scroll bar shows
const QString kEmptyText = QStringLiteral("チャンネルが見つかりません。");
} // namespace

CChannelPanel::CChannelPanel(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), list_(new CChannelListBox(this)),
      bar_(new CChannelScrollBar(this)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("チャンネルリスト"));
    setFixedSize(223, 420);
    setWindowRegion(this, regionFromBitmap(skinImage(pic::kChannelWindow), kKeyGreen));
    list_->setScrollBar(bar_);
    bar_->model().trackHeight = kListRect.height();
    layoutList();
    connect(list_, &CChannelListBox::currentRowChanged, this, &CChannelPanel::lineChosen);
    const int ids[] = {cmd::kScanSingle, cmd::kScanFull, cmd::kScanList};
    int i = 0;
    for (const SkinTextButton& b : channelWindowButtons()) {
        auto* key = new CHoverButton(this);
        key->LoadBitmap(QString::fromLatin1(b.picture));
        key->move(b.rect.topLeft());
        key->SetToolTipText(QString::fromUtf8(b.label));
        const int id = ids[i++ % 3];
        connect(key, &QAbstractButton::clicked, this, [this, id] { emit command(id); });
    }
}

void CChannelPanel::layoutList() {
    const bool bar = lineCount() > kChannelPage;
    list_->setGeometry(kListRect.adjusted(0, 0, bar ? -10 : 0, 0));
    bar_->setGeometry(kListRect.left() + 180, kListRect.top(), 10, kListRect.height());
    bar_->setVisible(bar);
    list_->setVisible(lineCount() > 0);
    update();
}

void CChannelPanel::clear() {
    list_->clear();
    keys_.clear();
    slots_.clear();
    layoutList();
}

void CChannelPanel::fill(const ChannelScan& scan, const std::string& currentKey) {
    clear();
    for (const ChannelRecord* r : scan.lines()) {
        const QString text = QStringLiteral("%1    %2")
                                 .arg(r->physicalIndex + 13)
                                 .arg(QString::fromStdU16String(r->name));
        list_->addItem(text, r->state == 1, r->slot);
        keys_.push_back(ChannelScan::keyOf(*r));
        slots_.push_back(r->slot);
    }
    layoutList();
    selectKey(currentKey);
}

void CChannelPanel::selectKey(const std::string& key) {
    const int slot = ChannelScan::slotOfKey(key);
    for (int row = 0; row < int(slots_.size()); ++row)
        if (slots_[size_t(row)] == slot) {
            list_->setCurrentRow(row);
            return;
        }
}

void CChannelPanel::markReceivable(int slot) {
    for (int row = 0; row < int(slots_.size()); ++row)
        if (slots_[size_t(row)] == slot) list_->setReceived(row, true);
}

std::string CChannelPanel::keyOfLine(int row) const {
    return row >= 0 && row < int(keys_.size()) ? keys_[size_t(row)] : std::string();
}

int CChannelPanel::selectedSlot() const {
    if (slots_.empty()) return -1;
    const int row = list_->currentRow();
    return slots_[size_t(row >= 0 && row < int(slots_.size()) ? row : 0)];
}

int CChannelPanel::lineCount() const {
    return int(keys_.size());
}

QStringList CChannelPanel::lineTexts() const {
    QStringList out;
    for (int row = 0; row < list_->count(); ++row) out << list_->item(row).text;
    return out;
}

void CChannelPanel::placeBeside(const QWidget* owner) {
    const QRect frame = owner->frameGeometry();
    QPoint want(frame.right() + 1, frame.top());
    const QScreen* screen = owner->screen();
    if (!screen) return move(want);
    // Left of the window where the screen ends on the right; over the window (maximised, say)
    // where it ends on both sides.
    const QRect area = screen->availableGeometry();
    if (want.x() + width() - 1 > area.right() && frame.left() - width() >= area.left())
        want.setX(frame.left() - width());
    move(geometry::within(want, size(), area));
}

void CChannelPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, skinPixmap(pic::kChannelWindow));
    if (lineCount() == 0) {
        p.setFont(skinFont(kFontMincho, 9));
        p.setPen(fromColourRef(colour::kListOther));
        p.drawText(kListRect, Qt::AlignCenter | Qt::TextWordWrap, kEmptyText);
    }
}

} // namespace kobal
