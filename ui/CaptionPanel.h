#pragma once
// The caption panel: broadcast caption screens (CaptionBlock, from the caption decoder through
// the engine's output sink) drawn in their colours, 20 pixels a line, on black.
//
// Timing: each added screen is queued and (re)starts a 300 ms display delay; when the delay
// ends the first queued screen replaces the one on display. While a screen is shown a 100 ms
// tick counts down each line's display time (its wait in tenths of a second, 5 seconds when
// it gave none); a screen whose lines have all run out is dropped. Panels narrower than 301
// pixels show nothing.
//
// Use (UI thread only): panel->addScreen(block) for every caption screen taken from the sink;
// panel->clear() when captions are switched off or the channel changes.
#include "engine/Caption.h"
#include "ui/PanelWidget.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <deque>
#include <optional>

namespace kobal {

// One line of a queued or shown screen.
struct CaptionUnit {
    bool inUse = false;
    bool clear = false;
    int mark = 0;      // 1 when a carriage return opened the line (it starts at the left edge)
    int colour = 8;    // palette code 1–8
    int remaining = 0; // display time left in 100 ms ticks; drawn only while above 0
    QString text;
};

struct CaptionScreen {
    std::array<CaptionUnit, kCaptionLines> units;
    bool firstEmpty() const { return units[0].text.isEmpty(); }
};

// The panel's queue and its two timers' work, apart from the timers (tests drive it).
class CaptionScreens {
public:
    // At most this many screens wait; beyond it the oldest waiting one goes, so a broadcast
    // that sends screens faster than the delay can never grow the queue without bound.
    static constexpr size_t kMaxQueued = 16;

    // Queues a copy of the block's used lines. False when it was dropped: an empty screen
    // behind an empty first queued screen adds nothing. The caller restarts the delay.
    bool add(const CaptionBlock& block);
    // The display delay ended: the first queued screen (or none) replaces the current one.
    void showNext();
    // One 100 ms tick. True when the picture changes (a line ran out).
    bool tick();
    void clear();

    const CaptionScreen* current() const { return current_ ? &*current_ : nullptr; }
    // True while a shown line still has display time to count down.
    bool counting() const;
    size_t queued() const { return queue_.size(); }
    size_t dropped() const { return dropped_; }

private:
    std::deque<CaptionScreen> queue_;
    std::optional<CaptionScreen> current_;
    size_t dropped_ = 0;
};

// Colour code 1–8 to its colour; anything else is white.
QColor captionColour(int code);

// Splits a line at the panel's width: a piece that would pass the right edge is cut after
// (width − x) × characters ÷ text width characters and the rest goes on at x = 0.
QStringList splitCaptionText(const QString& text, int panelWidth, int x, const QFontMetrics& fm);

// The screen's picture: black, each shown line in its colour, lines 20 pixels apart.
QImage renderCaptionScreen(const CaptionScreen* screen, const QFont& font, QSize size, qreal dpr);

class CaptionPanel : public PanelWidget {
public:
    static constexpr int kDelayMs = 300; // timer 15051
    static constexpr int kTickMs = 100;  // timer 15050
    static constexpr int kDelayTimerId = 15051;
    static constexpr int kTickTimerId = 15050;
    static constexpr int kLineHeight = 20;
    static constexpr int kMinWidth = 301;

    explicit CaptionPanel(QWidget* parent = nullptr);

    void addScreen(const CaptionBlock& block);
    // Stops both timers, drops the shown and every queued screen, shows black.
    void clear();

    const CaptionScreens& screens() const { return screens_; }
    bool delaying() const { return delay_.isActive(); }
    bool ticking() const { return tick_.isActive(); }

protected:
    QImage render(QSize size, qreal dpr) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void onDelayEnd();
    void onTick();

    CaptionScreens screens_;
    QFont font_;
    QTimer delay_;
    QTimer tick_;
};

} // namespace kobal
