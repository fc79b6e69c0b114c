#pragma once
// The main window's channel pop-up: the channel list's lines in a 200-pixel-wide pop-up,
// 24 pixels per line, the line under the pointer lit. A click on a line emits chosen(row);
// losing the focus (a click elsewhere) closes it. UI thread.
#include <QFont>
#include <QImage>
#include <QStringList>
#include <QWidget>

namespace kobal {

constexpr int kPopupWidth = 200;
constexpr int kPopupItemHeight = 24;

QImage renderChannelPopup(const QStringList& items, int hovered, const QFont& font,
                          qreal dpr = 1.0);

class CChannelPopup : public QWidget {
    Q_OBJECT
public:
    explicit CChannelPopup(QWidget* parent = nullptr);
    // Takes the lines (copied from the channel list box when it opens) and sizes itself.
    void setItems(const QStringList& items);
    const QStringList& items() const { return items_; }
    int hovered() const { return hovered_; }
    // Shows the pop-up with its top-left at a global position.
    void popup(const QPoint& globalTopLeft);

signals:
    void chosen(int row);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent*) override;

private:
    void setHovered(int row);
    QStringList items_;
    int hovered_ = -1;
    QFont font_;
};

} // namespace kobal
