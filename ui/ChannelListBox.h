#pragma once
// The channel list window's owner-drawn list (22-pixel lines, "MS-Mincho" 9 point, colours by
// reception) and its bitmap scroll bar (shown only beyond 12 lines, a page of 12). The
// drawing is in pure render functions, the scroll arithmetic in ChannelScrollModel; the two
// widgets are thin. UI thread.
#include <QFont>
#include <QImage>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <vector>

class QPainter;

namespace kobal {

struct ChannelListItem {
    QString text;          // "%d    %s": physical channel (slot + 13) and name
    bool received = false; // the reception mark of the channel's record
    QVariant data;         // the owner's record
};

constexpr int kChannelItemHeight = 22;
constexpr int kChannelPage = 12;

// One line: selection fill, text colour by state, text inset 8/4, dotted bottom line.
void paintChannelListItem(QPainter& p, const QRect& rect, const ChannelListItem& item,
                          bool selected, bool enabled, const QFont& font);
// The visible lines from `top` on, over the list's background.
QImage renderChannelList(const std::vector<ChannelListItem>& items, int top, int selected,
                         bool enabled, QSize size, const QFont& font, qreal dpr = 1.0);

struct ChannelScrollModel {
    int trackHeight = 273;
    int count = 0;
    int top = 0;      // top index of the list
    int thumbTop = 0; // pixels
    bool dragging = false;
    int pressY = 0;
    int pressThumbTop = 0;
    int pressX = 0;

    bool visible() const { return count > kChannelPage; }
    int thumbHeight() const; // track × 12 / count, at least 22
    double ratio() const;    // (track − thumb) / (count − 11)
    int maxTop() const { return std::max(0, count - 11); }
    // Thumb from the top index: (top + 0.5) × ratio, 0 below one ratio, inside the track.
    void syncThumb();
    // A press on the thumb (x 0 … 6, within its height) starts a drag; true when it did.
    bool press(int x, int y);
    // Dragging: returns the new top index (or −1 when not dragging).
    int drag(int y);
    // Release at the press point outside the thumb pages 12 up or down; returns the top.
    int release(int x, int y);
    // Wheel: one line per 120; returns the new top.
    int wheel(int delta);
};

QImage renderChannelScrollBar(const ChannelScrollModel& model, const QImage& track,
                              const QImage& thumb, qreal dpr = 1.0);

class CChannelScrollBar;

class CChannelListBox : public QWidget {
    Q_OBJECT
public:
    explicit CChannelListBox(QWidget* parent = nullptr);

    void clear();
    void addItem(const QString& text, bool received, const QVariant& data = {});
    int count() const { return int(items_.size()); }
    const ChannelListItem& item(int row) const { return items_.at(std::size_t(row)); }
    void setReceived(int row, bool received);
    int currentRow() const { return current_; }
    void setCurrentRow(int row); // scrolls it into view; emits nothing
    int topIndex() const { return top_; }
    void setTopIndex(int top);

    // The scroll bar this list drives (placed by the owner at the list's right edge); it is
    // shown only while the list holds more than 12 lines.
    void setScrollBar(CChannelScrollBar* bar);

signals:
    // The user selected a line (mouse or keys).
    void currentRowChanged(int row);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void select(int row);
    void syncBar();
    std::vector<ChannelListItem> items_;
    int current_ = -1;
    int top_ = 0;
    QFont font_;
    CChannelScrollBar* bar_ = nullptr;
};

class CChannelScrollBar : public QWidget {
    Q_OBJECT
public:
    explicit CChannelScrollBar(QWidget* parent = nullptr);
    ChannelScrollModel& model() { return model_; }
    const ChannelScrollModel& model() const { return model_; }
    // Forwarded by the list.
    void wheel(int delta);

signals:
    void topChanged(int top);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    ChannelScrollModel model_;
    QImage track_;
    QImage thumb_;
};

} // namespace kobal
