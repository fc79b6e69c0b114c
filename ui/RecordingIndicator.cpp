#include "ui/RecordingIndicator.h"

#include "ui/SkinColours.h"
#include "ui/SkinFonts.h"

#include <QFontMetricsF>
#include <QPainter>

namespace kobal {

QImage renderRecordingIndicator(const QString& shownLabel, const QString& secondText,
                                const RecordingLook& look, QSize size, qreal dpr) {
    QImage image(size * dpr, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(look.background);
    if (size.isEmpty()) return image;
    QPainter p(&image);
    p.setFont(look.font);
    p.setPen(look.text);
    const QRect r(QPoint(), size);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    p.drawText(r, flags, shownLabel);
    // The elapsed time keeps to the panel: a hundred hours, or the wider glyphs of a scaled
    // screen, take a smaller size rather than lose their last digit at the edge.
    const QRect second = r.adjusted(25, 0, 0, 0);
    QFont font = look.font;
    while (second.width() > 0 && font.pixelSize() > 7 &&
           QFontMetricsF(font, &image).horizontalAdvance(secondText) > second.width() - 1) {
        font.setPixelSize(font.pixelSize() - 1);
        p.setFont(font);
    }
    p.drawText(second, flags, secondText);
    return image;
}

QString elapsedText(long long seconds) {
    seconds = std::max(0LL, seconds);
    return QString::asprintf("%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                             seconds % 60);
}

RecordingIndicator::RecordingIndicator(QWidget* parent) : PanelWidget(parent) {
    look_.font = QFont(kFontMsGothic);
    look_.font.setPixelSize(12);
    look_.font.setBold(true);
    look_.font.setHintingPreference(QFont::PreferFullHinting);
    look_.background = fromColourRef(kNormalBackground);
    look_.text = fromColourRef(kTextColour);
    blink_.setInterval(kBlinkMs);
    connect(&blink_, &QTimer::timeout, this, [this] { onBlink(); });
}

void RecordingIndicator::setRecording(bool on, const QString& label) {
    blinking_ = on;
    label_ = shown_ = on ? label : QString();
    if (!on) second_.clear();
    blink_.stop(); // a new start shows the label for a whole second first
    refresh();
    updateTimer();
}

void RecordingIndicator::setSecondText(const QString& text) {
    if (text == second_) return;
    second_ = text;
    refresh();
}

void RecordingIndicator::setBackground(QColor colour) {
    look_.background = colour;
    refresh();
}

QImage RecordingIndicator::render(QSize size, qreal dpr) {
    return renderRecordingIndicator(shown_, second_, look_, size, dpr);
}

void RecordingIndicator::onBlink() {
    shown_ = shown_.isEmpty() ? label_ : QString();
    refresh();
}

void RecordingIndicator::updateTimer() {
    if (blinking_ && isVisible()) {
        if (!blink_.isActive()) blink_.start();
    } else {
        blink_.stop();
    }
}

void RecordingIndicator::showEvent(QShowEvent*) {
    updateTimer();
}

void RecordingIndicator::hideEvent(QHideEvent*) {
    updateTimer();
}

} // namespace kobal
