#include "ui/TextLinePanel.h"

#include "ui/AribSymbols.h"
#include "ui/SkinFonts.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace kobal {

void TextLineState::run(bool on, int count) {
    running = on;
    if (!on) return;
    x = 0;
    countdown = count;
}

bool TextLineState::step() {
    --x;
    if (countdown > 0) --countdown;
    if (countdown == 0 && text != fallback) {
        text = fallback;
        return true;
    }
    return false;
}

int TextLineState::left(int textWidth, int panelWidth) {
    if (!scroll || !running) return 0;
    if (textWidth < -x) x = panelWidth;
    return x;
}

namespace {

// Copies `shown` logical columns of the strip to the line at `left` (may be negative: the
// text's start has scrolled out), row by row: a scrolling step costs a few row copies, not a
// painter.
void copyStrip(const QImage& strip, QImage& line, int left, int shown, qreal dpr) {
    const int from = qRound(left * dpr);
    const int to = std::min({line.width(), from + qRound(shown * dpr), from + strip.width()});
    const int start = std::max(0, from);
    if (to <= start) return;
    const int rows = std::min(line.height(), strip.height());
    for (int y = 0; y < rows; ++y)
        std::memcpy(line.scanLine(y) + size_t(start) * 4,
                    strip.constScanLine(y) + size_t(start - from) * 4, size_t(to - start) * 4);
}

} // namespace

QImage renderTextLine(TextLineState& state, const TextLineLook& look, QSize size, qreal dpr,
                      TextStrip* strip) {
    QImage image(size * dpr, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(look.background);
    if (state.text.isEmpty() || size.isEmpty()) return image;
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    if (!strip) {
        QPainter p(&image);
        p.setFont(look.font);
        p.setPen(look.text);
        const int left = state.left(p.fontMetrics().horizontalAdvance(state.text), size.width());
        p.drawText(QRect(left, 0, size.width() - left, size.height()), flags, state.text);
        return image;
    }
    if (strip->text != state.text || strip->dpr != dpr || strip->size.height() != size.height() ||
        strip->background != look.background || strip->colour != look.text ||
        strip->font != look.font) {
        strip->text = state.text;
        strip->dpr = dpr;
        strip->background = look.background;
        strip->colour = look.text;
        strip->font = look.font;
        strip->size =
            QSize(std::max(1, QFontMetrics(look.font, &image).horizontalAdvance(state.text)),
                  size.height());
        strip->image = QImage(strip->size * dpr, QImage::Format_RGB32);
        strip->image.setDevicePixelRatio(dpr);
        strip->image.fill(look.background);
        QPainter sp(&strip->image);
        sp.setFont(look.font);
        sp.setPen(look.text);
        sp.drawText(QRect(QPoint(), strip->size), flags, state.text);
    }
    const int left = state.left(strip->size.width(), size.width());
    // The text rectangle ends at the panel's right edge: a copy of what of the strip fits.
    const int shown = std::min(strip->size.width(), size.width() - left);
    if (shown > 0) copyStrip(strip->image, image, left, shown, dpr);
    return image;
}

TextLinePanel::TextLinePanel(int panelIndex, QWidget* parent)
    : PanelWidget(parent), index_(panelIndex) {
    look_.font = skinFont(kFontAribGothic, 10);
    step_.setInterval(kStepMs);
    step_.setTimerType(Qt::PreciseTimer);
    connect(&step_, &QTimer::timeout, this, [this] { onStep(); });
    countdown_.setSingleShot(true);
    connect(&countdown_, &QTimer::timeout, this, [this] { onCountdownEnd(); });
}

void TextLinePanel::setText(const QString& text, Mode mode) {
    mode_ = mode;
    const QString shown = showableText(text);
    state_.setText(shown, scrolls(shown));
    refresh();
    updateTimers();
}

bool TextLinePanel::scrolls(const QString& text) const {
    return mode_ == Scrolling || QFontMetrics(look_.font).horizontalAdvance(text) > width();
}

void TextLinePanel::resizeEvent(QResizeEvent* event) {
    const bool scroll = scrolls(state_.text);
    if (scroll != state_.scroll) {
        state_.scroll = scroll;
        if (!scroll) state_.x = 0;
        updateTimers();
    }
    PanelWidget::resizeEvent(event);
}

void TextLinePanel::run(bool on, int countdown) {
    countdown_.stop(); // a new count replaces what was left of the old one
    state_.run(on, countdown);
    refresh();
    updateTimers();
}

void TextLinePanel::setColours(QColor background, QColor text) {
    look_.background = background;
    look_.text = text;
    refresh();
}

QImage TextLinePanel::render(QSize size, qreal dpr) {
    return renderTextLine(state_, look_, size, dpr, &strip_);
}

void TextLinePanel::onStep() {
    state_.step();
    refreshNow();
    updateTimers();
}

void TextLinePanel::onCountdownEnd() {
    state_.countdown = 0;
    state_.text = state_.fallback;
    refresh();
    updateTimers();
}

void TextLinePanel::updateTimers() {
    const bool moving = state_.running && state_.scroll && !state_.text.isEmpty() && isVisible();
    if (moving) {
        if (countdown_.isActive()) { // the steps count on from here
            state_.countdown = std::max(1, countdown_.remainingTime() / kStepMs);
            countdown_.stop();
        }
        if (!step_.isActive()) step_.start();
        return;
    }
    step_.stop();
    if (state_.running && state_.countdown > 0 && !state_.text.isEmpty()) {
        if (!countdown_.isActive()) countdown_.start(state_.countdown * kStepMs);
    } else {
        countdown_.stop();
    }
}

void TextLinePanel::showEvent(QShowEvent*) {
    updateTimers();
}

void TextLinePanel::hideEvent(QHideEvent*) {
    updateTimers();
}

} // namespace kobal
