#include "ui/CaptionPanel.h"

#include "ui/AribSymbols.h"
#include "ui/SkinColours.h"
#include "ui/SkinFonts.h"

#include <QPainter>

namespace kobal {
namespace {

// Colour codes 1–8 as colour values 0x00BBGGRR.
constexpr std::uint32_t kPalette[8] = {0x000000, 0x0000FF, 0x00FF00, 0x00FFFF,
                                       0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
constexpr int kDefaultTicks = 50; // a line that gave no display time stays 5 seconds

QString lineText(const CaptionLine& line) {
    size_t n = 0;
    while (n < kCaptionTextMax && line.text[n]) ++n;
    return showableText(QString::fromUtf16(line.text, qsizetype(n)));
}

} // namespace

QColor captionColour(int code) {
    return fromColourRef(code >= 1 && code <= 8 ? kPalette[code - 1] : 0xFFFFFF);
}

bool CaptionScreens::add(const CaptionBlock& block) {
    CaptionScreen s;
    for (int k = 0; k < kCaptionLines && block.lines[k].lineCount != 0; ++k) {
        const CaptionLine& l = block.lines[k];
        CaptionUnit& u = s.units[k];
        u.inUse = true;
        u.clear = l.clear == 1;
        u.mark = l.returnFlag - 1;
        u.colour = l.colour;
        u.remaining = l.wait - 1 < 0 ? kDefaultTicks : l.wait - 1;
        u.text = lineText(l);
    }
    if (!queue_.empty() && queue_.front().firstEmpty() && s.firstEmpty()) return false;
    if (queue_.size() >= kMaxQueued) {
        queue_.pop_front();
        ++dropped_;
    }
    queue_.push_back(std::move(s));
    return true;
}

void CaptionScreens::showNext() {
    current_.reset();
    if (queue_.empty()) return;
    current_ = std::move(queue_.front());
    queue_.pop_front();
}

bool CaptionScreens::tick() {
    if (!current_) return false;
    bool ranOut = false, allOut = true;
    for (CaptionUnit& u : current_->units) {
        if (!u.inUse) continue;
        if (u.remaining > 0 && --u.remaining == 0) ranOut = true;
        if (u.remaining > 0) allOut = false;
    }
    if (ranOut && allOut) current_.reset();
    return ranOut;
}

bool CaptionScreens::counting() const {
    if (!current_) return false;
    for (const CaptionUnit& u : current_->units)
        if (u.inUse && u.remaining > 0) return true;
    return false;
}

void CaptionScreens::clear() {
    queue_.clear();
    current_.reset();
}

QStringList splitCaptionText(const QString& text, int panelWidth, int x, const QFontMetrics& fm) {
    QStringList pieces;
    QString rest = text;
    while (!rest.isEmpty()) {
        const int w = fm.horizontalAdvance(rest);
        if (x + w <= panelWidth || w <= 0) {
            pieces << rest;
            break;
        }
        qsizetype n = qsizetype(double(panelWidth - x) * double(rest.size()) / double(w));
        n = std::clamp<qsizetype>(n, 0, rest.size() - 1);
        if (n > 0 && rest[n - 1].isHighSurrogate()) --n;             // never halve a character
        if (n == 0 && x == 0) n = rest[0].isHighSurrogate() ? 2 : 1; // always move on
        pieces << rest.left(n);
        rest = rest.mid(n);
        x = 0;
    }
    return pieces;
}

QImage renderCaptionScreen(const CaptionScreen* screen, const QFont& font, QSize size, qreal dpr) {
    QImage image(size * dpr, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::black);
    if (!screen || !screen->units[0].inUse || size.width() < CaptionPanel::kMinWidth) return image;
    QPainter p(&image);
    p.setFont(font);
    p.setClipRect(QRect(QPoint(), size));
    const QFontMetrics fm = p.fontMetrics();
    const int width = size.width();
    int line = screen->units[0].mark;
    int end = 0; // where the previous drawn line's text ended
    for (const CaptionUnit& u : screen->units) {
        if (!u.inUse) break;
        if (u.remaining <= 0) continue;
        const int x = u.mark == 1 ? 0 : end;
        const QStringList pieces = splitCaptionText(u.text, width, x, fm);
        p.setPen(captionColour(u.colour));
        for (qsizetype k = 0; k < pieces.size(); ++k) {
            const int left = k == 0 ? x : 0;
            p.drawText(QRect(left, line * CaptionPanel::kLineHeight, width - left,
                             CaptionPanel::kLineHeight),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, pieces[k]);
            ++line;
        }
        // A split line keeps its starting x and adds its last piece's width.
        end = x + (pieces.isEmpty() ? 0 : fm.horizontalAdvance(pieces.back()));
    }
    return image;
}

CaptionPanel::CaptionPanel(QWidget* parent) : PanelWidget(parent) {
    font_ = skinFont(kFontAribGothic, 10);
    delay_.setSingleShot(true);
    delay_.setInterval(kDelayMs);
    connect(&delay_, &QTimer::timeout, this, [this] { onDelayEnd(); });
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, [this] { onTick(); });
}

void CaptionPanel::addScreen(const CaptionBlock& block) {
    if (screens_.add(block)) delay_.start(); // each new screen restarts the delay
}

void CaptionPanel::clear() {
    delay_.stop();
    tick_.stop();
    screens_.clear();
    refresh();
}

QImage CaptionPanel::render(QSize size, qreal dpr) {
    return renderCaptionScreen(screens_.current(), font_, size, dpr);
}

void CaptionPanel::closeEvent(QCloseEvent*) {
    tick_.stop();
}

void CaptionPanel::onDelayEnd() {
    tick_.stop();
    screens_.showNext();
    refresh();
    // Only a shown screen has time to count down; an empty panel stays still.
    if (screens_.counting()) tick_.start();
}

void CaptionPanel::onTick() {
    if (screens_.tick()) refresh();
    if (!screens_.counting()) tick_.stop();
}

} // namespace kobal
