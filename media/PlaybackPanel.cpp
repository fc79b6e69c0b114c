#include "media/PlaybackPanel.h"

#include "media/RecorderControl.h"
#include "ui/BitmapSlider.h"
#include "ui/HoverButton.h"
#include "ui/ShapedRegion.h"
#include "ui/SkinFonts.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPictures.h"

#include <QPainter>

namespace kobal {

CPlaybackPanel::CPlaybackPanel(QWidget* parent)
    : CQXBaseDialog(kTemplate, parent), slider_(new CBitmapSlider(this)),
      record_(new CHoverButton(this)) {
    setWindowTitle(QStringLiteral("再生パネル"));
    setFixedSize(358, 157);
    background_ = skinPixmap(pic::kPlaybackPanel);
    outline_ = skinImage(pic::kPlaybackPanel);
    slider_->setControlId(kSliderId);
    slider_->setTrack(310, pic::kSeekChannel, pic::kSeekFilled);
    slider_->setThumb(pic::kSeekThumb);
    slider_->setBackground(QColor(0x0a, 0x0b, 0x0d));
    slider_->move(23, 72);
    slider_->setRange(0, 0);
    // The display follows the thumb while it is held; the seek happens on release.
    connect(slider_, &CBitmapSlider::dragging, this, [this](int v) {
        dragging_ = true;
        time_ = QString::fromStdString(media::positionText(v, std::max<int64_t>(duration_, 0)));
        update(playbackTimeRect());
    });
    connect(slider_, &CBitmapSlider::changed, this, [this](int v) {
        dragging_ = false;
        emit seekRequested(v);
    });
    time_ = QString::fromStdString(media::positionText(0, 0));
    // The record key sits at the right end of the title bar.
    record_->LoadBitmap(QStringLiteral("btn_rec_small"));
    record_->SetToolTipText(QStringLiteral("録画開始/停止"));
    record_->setFocusPolicy(Qt::NoFocus);
    record_->move(playbackRecordKeyRect().topLeft());
    connect(record_, &QAbstractButton::clicked, this, [this] { emit command(kRecordToggleId); });
}

void CPlaybackPanel::setRecordToggleEnabled(bool on) {
    record_->setEnabled(on);
}

bool CPlaybackPanel::OnInitDialog() {
    CQXBaseDialog::OnInitDialog();
    setWindowRegion(this, regionFromBitmap(outline_, kKeyGreen));
    return true;
}

void CPlaybackPanel::setTitle(const QString& title) {
    title_ = title;
    update(playbackTitleRect());
}

void CPlaybackPanel::setPosition(int64_t position, int64_t duration) {
    if (duration != duration_) {
        duration_ = duration;
        slider_->setRange(0, int(std::clamp<int64_t>(duration - 1, 0, INT32_MAX)));
    }
    if (dragging_) return;
    slider_->setPosition(int(std::clamp<int64_t>(position, 0, INT32_MAX)));
    time_ = QString::fromStdString(media::positionText(position, duration));
    update(playbackTimeRect());
}

void CPlaybackPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), background_);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(QColor(0xd8, 0xdc, 0xe0));
    p.setFont(skinFont(kFontMsGothic, 11));
    p.drawText(playbackTimeRect(), Qt::AlignCenter, time_);
    p.setFont(skinFileNameFont(kFontMsGothic, 9));
    const QRect t = playbackTitleRect().adjusted(8, 0, -8, 0);
    p.drawText(t, Qt::AlignVCenter | Qt::AlignLeft,
               p.fontMetrics().elidedText(title_, Qt::ElideMiddle, t.width()));
}

} // namespace kobal
