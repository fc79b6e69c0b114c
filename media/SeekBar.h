#pragma once
// The main window's own seek bar: a 10-pixel band 57 to 47 pixels above the bottom of the
// client area, used in the views without a control panel (transparent and theater) while a
// recorded file plays, and as a read-only gauge of the time-shift hour while live television
// is held. SeekBarModel is the geometry and the mouse rules, renderSeekBar() the drawing;
// CSeekBar is the thin widget over both. UI thread.
//
// The thumb's place p runs from 0 to travel = client width − 223 pixels. A press grabs the
// thumb only strictly inside the band and strictly between 7 and 37 pixels right of p; on
// release the position becomes duration ÷ travel × p (tenths of a second).
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cstdint>

namespace kobal {

struct SeekBarModel {
    static constexpr int kBandTop = 57;    // pixels above the client area's bottom
    static constexpr int kBandBottom = 47; // likewise; the band is 10 pixels high
    static constexpr int kGrabLeft = 7;    // grab zone, right of the thumb's place
    static constexpr int kGrabRight = 37;
    static constexpr int kMargin = 223; // client width not travelled by the thumb

    int clientWidth = 0;
    int64_t duration = 0; // tenths of a second
    int thumb = 0;        // the thumb's place, 0 … travel()
    bool dragging = false;
    bool seekable = true; // false: a gauge only (time shift)
    int grabOffset = 0;

    int travel() const { return std::max(1, clientWidth - kMargin); }
    // The bar's rectangle in a client area of `client`.
    static QRect place(QSize client);
    // Thumb place for a position, and the position the place stands for (both truncated).
    int thumbFor(int64_t position) const;
    int64_t positionAt(int place) const;

    // Mouse, in client coordinates: press → true when it grabbed the thumb; move → true when
    // the thumb moved; release → true when a seek is due (to positionAt(thumb)).
    bool press(QPoint client, int clientHeight);
    bool move(int x);
    bool release();
};

struct SeekBarPictures {
    QImage channel, filled, thumb; // the playback panel's slider pictures
};

// Draws the bar at its logical size (place(client).size()) with the pictures' scale.
QImage renderSeekBar(const SeekBarModel& model, const SeekBarPictures& pictures);

class CSeekBar : public QWidget {
    Q_OBJECT
public:
    explicit CSeekBar(QWidget* parent);

    // Places the bar in the parent's client area of `client`.
    void place(QSize client);
    // A recorded file (seekable) or the time-shift gauge; position and duration in tenths of
    // a second. The thumb does not follow while the user holds it.
    void showPosition(int64_t position, int64_t duration, bool seekable);
    const SeekBarModel& model() const { return model_; }

signals:
    void seekRequested(int64_t tenths);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QPoint toClient(QPoint local) const { return local + pos(); }

    SeekBarModel model_;
    SeekBarPictures pictures_;
    int scale_ = 0;
};

} // namespace kobal
