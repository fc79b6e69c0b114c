#pragma once
// The channel panel (template 329): a window of its own, 223 × 420, shaped by picture 413,
// with the skinned channel list box, its scroll bar and the three scan keys. It lists the
// records a scan left, selects the line of the channel being watched and reports a chosen
// line or a scan key to the main window, which does the tuning and scanning. UI thread.
#include "channels/ChannelScan.h"

#include <QWidget>
#include <string>
#include <vector>

namespace kobal {

class CChannelListBox;
class CChannelScrollBar;

class CChannelPanel : public QWidget {
    Q_OBJECT
public:
    explicit CChannelPanel(QWidget* owner);

    // Lists the records' lines ("%d    %s") and selects the line of currentKey.
    void fill(const ChannelScan& scan, const std::string& currentKey);
    void clear();
    // Selects the line whose record has the key's slot, without reporting it.
    void selectKey(const std::string& key);
    // The receivable mark of a slot's line (the engine saw the channel deliver).
    void markReceivable(int slot);
    // The key of a line, empty outside the list.
    std::string keyOfLine(int row) const;
    // The physical slot of the selected line (the first line's when none is), -1 when empty.
    int selectedSlot() const;
    int lineCount() const;
    QStringList lineTexts() const;
    CChannelListBox* list() const { return list_; }
    CChannelScrollBar* scrollBar() const { return bar_; }
    // Places the panel against the owner's right edge, top-aligned (its left edge where the
    // screen has no room on the right), inside the screen.
    void placeBeside(const QWidget* owner);

signals:
    void lineChosen(int row);
    void command(int id);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void layoutList();
    CChannelListBox* list_;
    CChannelScrollBar* bar_;
    std::vector<std::string> keys_;
    std::vector<int> slots_;
};

} // namespace kobal
