#pragma once
// The common shape of the information panels: a thin widget that shows a picture made by its
// panel's pure render function. The picture is rendered at the screen's device pixel ratio
// whenever the panel's state or size changes and copied to the screen in one piece, so
// scrolling and caption changes never flicker. UI thread only.
#include <QImage>
#include <QWidget>

namespace kobal {

class PanelWidget : public QWidget {
public:
    explicit PanelWidget(QWidget* parent = nullptr);

    // What the panel shows now (tests read pixels from it).
    const QImage& picture() const { return picture_; }

protected:
    // Renders the panel's state at `size` (logical pixels) and device pixel ratio `dpr`.
    virtual QImage render(QSize size, qreal dpr) = 0;
    // Renders again and schedules one repaint.
    void refresh();
    // Renders again and paints at once: for a step that runs on its own timer, whose update
    // would otherwise be posted and wake the event loop a second time.
    void refreshNow();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage picture_;
};

} // namespace kobal
