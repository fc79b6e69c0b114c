#pragma once
// A text line panel: one line of white text on a dark band, either fixed at the left edge or
// scrolling left at 50 pixels a second. The main window has two: the message line (panel
// index 0: on-screen messages and lasting states, with a countdown) and the programme ticker
// (panel index 1: the present and following programme, scrolling without end).
//
// Use (UI thread only):
//   ticker->setText(text, TextLinePanel::Scrolling); ticker->run(true, -1);
//   message->setText(text, TextLinePanel::Fixed);    message->run(true, 200); // 4 seconds
//
// Nothing repaints while nothing moves: the 20 ms step timer runs only while a scrolling text
// is shown on a visible panel; a fixed text's countdown is one single-shot timer.
#include "ui/PanelWidget.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QTimer>

namespace kobal {

// The line's state and its 20 ms step, apart from any timer (tests drive it directly).
struct TextLineState {
    QString text;
    QString fallback;     // what replaces the text when its countdown ends
    bool scroll = false;  // text mode 1
    bool running = false; // the step timer is wanted
    int x = 50;           // left edge of the text while running
    int countdown = -1;   // steps left before the text is replaced by the (empty) fallback

    void setText(const QString& t, bool scrolling) {
        text = t;
        scroll = scrolling;
    }
    // on: start from the left edge with a new countdown (−1 = never); off: the text stays.
    void run(bool on, int count);
    // One 20 ms step: one pixel left, one count down. True when the text was just replaced by
    // the fallback.
    bool step();
    // Where the text is drawn: a running scrolling text at x, re-entering at the right edge
    // once all of it has left on the left; anything else at the left edge.
    int left(int textWidth, int panelWidth);
};

struct TextLineLook {
    QFont font;
    QColor background{0, 0, 0};
    QColor text{255, 255, 255};
};

// The text drawn once on the line's background, the whole text wide: each 20 ms step then
// only copies it at the new x instead of laying the text out again.
struct TextStrip {
    QString text;
    QSize size; // logical: text width × line height
    qreal dpr = 0;
    QColor background, colour;
    QFont font;
    QImage image;
};

// Draws the line (fill, then the text transparently, vertically centred, clipped). May move
// state.x to the right edge (see TextLineState::left). With a strip, the text is drawn into
// it when it does not match and copied from it.
QImage renderTextLine(TextLineState& state, const TextLineLook& look, QSize size, qreal dpr,
                      TextStrip* strip = nullptr);

class TextLinePanel : public PanelWidget {
public:
    enum Mode { Fixed = 0, Scrolling = 1 };
    static constexpr int kStepMs = 20;
    static constexpr int kTimerBase = 10012; // the step timer's id is kTimerBase + panel index

    explicit TextLinePanel(int panelIndex, QWidget* parent = nullptr);

    // A fixed text wider than the line scrolls instead, so none of it is hidden (a message
    // would otherwise be cut where the level icon sits); it is fixed again when it fits.
    void setText(const QString& text, Mode mode);
    // on: the text starts at the left edge and is replaced by nothing after `countdown` steps
    // of 20 ms (−1: never); off: the text stays where it is.
    void run(bool on, int countdown);
    void setPanelIndex(int index) { index_ = index; }
    int panelIndex() const { return index_; }
    int timerId() const { return kTimerBase + index_; }
    void setColours(QColor background, QColor text);
    // The text shown when a countdown ends (empty unless set; the message line keeps the
    // channel's status line here, so a timed message gives way to it).
    void setFallback(const QString& text) { state_.fallback = text; }

    const TextLineState& state() const { return state_; }
    // True while a timer of the panel runs (something moves or counts down).
    bool stepping() const { return step_.isActive(); }
    bool counting() const { return countdown_.isActive(); }

protected:
    QImage render(QSize size, qreal dpr) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void onStep();
    void onCountdownEnd();
    void updateTimers();
    bool scrolls(const QString& text) const;

    int index_;
    Mode mode_ = Fixed; // as asked; a fixed text that does not fit scrolls
    TextLineState state_;
    TextLineLook look_;
    TextStrip strip_;
    QTimer step_;      // 20 ms while a scrolling text is visible
    QTimer countdown_; // single shot: the countdown of a text that does not move
};

} // namespace kobal
