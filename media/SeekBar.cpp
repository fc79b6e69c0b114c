#include "media/SeekBar.h"

#include "ui/SkinPictures.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kobal {
namespace {

// The drawn thumb (8 pixels) sits in the middle of the 30-pixel grab zone; the track runs
// under the thumb's whole travel with room for its caps.
constexpr int kThumbCentre = (SeekBarModel::kGrabLeft + SeekBarModel::kGrabRight) / 2; // 22
constexpr int kTrackLeft = kThumbCentre - 4;
constexpr int kCap = 5;

// A track picture drawn to `width` in three pieces: both caps as they are, the middle
// stretched.
void drawTrack(QPainter& p, const QImage& picture, int x, int width, int height) {
    if (picture.isNull() || width <= 0) return;
    const qreal dpr = picture.devicePixelRatio();
    const qreal pw = picture.width() / dpr;
    const int cap = std::min(kCap, width / 2);
    p.drawImage(QRectF(x, 0, cap, height), picture, QRectF(0, 0, cap * dpr, picture.height()));
    p.drawImage(QRectF(x + cap, 0, width - 2 * cap, height), picture,
                QRectF(cap * dpr, 0, (pw - 2 * kCap) * dpr, picture.height()));
    p.drawImage(QRectF(x + width - cap, 0, cap, height), picture,
                QRectF((pw - cap) * dpr, 0, cap * dpr, picture.height()));
}

} // namespace

QRect SeekBarModel::place(QSize client) {
    const int travel = std::max(1, client.width() - kMargin);
    return {0, client.height() - kBandTop, travel + kGrabRight + kGrabLeft, kBandTop - kBandBottom};
}

int SeekBarModel::thumbFor(int64_t position) const {
    if (duration <= 0) return 0;
    const double at = double(std::clamp<int64_t>(position, 0, duration)) / double(duration);
    return std::clamp(int(at * travel()), 0, travel());
}

int64_t SeekBarModel::positionAt(int place) const {
    return int64_t(double(duration) / double(travel()) * double(place));
}

bool SeekBarModel::press(QPoint at, int clientHeight) {
    const bool inBand = at.y() > clientHeight - kBandTop && at.y() < clientHeight - kBandBottom;
    const bool onThumb = at.x() > thumb + kGrabLeft && at.x() < thumb + kGrabRight;
    if (!seekable || duration <= 0 || !inBand || !onThumb) return false;
    dragging = true;
    grabOffset = at.x() - thumb;
    return true;
}

bool SeekBarModel::move(int x) {
    if (!dragging) return false;
    const int next = std::clamp(x - grabOffset, 0, travel());
    if (next == thumb) return false;
    thumb = next;
    return true;
}

bool SeekBarModel::release() {
    if (!dragging) return false;
    dragging = false;
    return seekable;
}

QImage renderSeekBar(const SeekBarModel& m, const SeekBarPictures& pics) {
    const qreal dpr = pics.channel.isNull() ? 1.0 : pics.channel.devicePixelRatio();
    const QSize size = SeekBarModel::place(QSize(m.clientWidth, 0)).size();
    QImage out(size * dpr, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(dpr);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int h = size.height();
    const int trackWidth = m.travel() + 2 * (kThumbCentre - kTrackLeft);
    const int centre = m.thumb + kThumbCentre;
    drawTrack(p, pics.channel, kTrackLeft, trackWidth, h);
    if (!pics.filled.isNull()) {
        // The filled track up to the thumb's centre, clipped from the whole filled picture so
        // its end cap stays round at the far end only.
        p.save();
        p.setClipRect(QRect(0, 0, centre, h));
        drawTrack(p, pics.filled, kTrackLeft, trackWidth, h);
        p.restore();
    }
    if (!pics.thumb.isNull()) {
        const qreal tw = pics.thumb.width() / pics.thumb.devicePixelRatio();
        // A gauge has no grip: its thumb is drawn faint.
        if (!m.seekable) p.setOpacity(0.45);
        p.drawImage(QPointF(centre - tw / 2, 0), pics.thumb);
    }
    return out;
}

CSeekBar::CSeekBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void CSeekBar::place(QSize client) {
    model_.clientWidth = client.width();
    setGeometry(SeekBarModel::place(client));
    model_.thumb = std::clamp(model_.thumb, 0, model_.travel());
    update();
}

void CSeekBar::showPosition(int64_t position, int64_t duration, bool seekable) {
    model_.duration = duration;
    model_.seekable = seekable;
    if (!seekable) model_.dragging = false;
    if (!model_.dragging) model_.thumb = model_.thumbFor(position);
    show();
    raise();
    update();
}

void CSeekBar::paintEvent(QPaintEvent*) {
    const int scale = devicePixelRatioF() > 1.0 ? 2 : 1;
    if (scale != scale_) {
        scale_ = scale;
        pictures_ = {skinImage(pic::kSeekChannel, scale), skinImage(pic::kSeekFilled, scale),
                     skinImage(pic::kSeekThumb, scale)};
    }
    QPainter p(this);
    p.drawImage(QPointF(0, 0), renderSeekBar(model_, pictures_));
}

void CSeekBar::mousePressEvent(QMouseEvent* e) {
    const int clientHeight = parentWidget() ? parentWidget()->height() : height();
    if (e->button() == Qt::LeftButton && model_.press(toClient(e->pos()), clientHeight)) {
        e->accept();
        update();
        return;
    }
    e->ignore();
}

void CSeekBar::mouseMoveEvent(QMouseEvent* e) {
    if (model_.move(toClient(e->pos()).x())) update();
}

void CSeekBar::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    if (model_.release()) emit seekRequested(model_.positionAt(model_.thumb));
    update();
}

} // namespace kobal
