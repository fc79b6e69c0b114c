#pragma once
// The playlist window (template 252): the skin's picture 396 shaped by its magenta key, the
// playlist's entries in order (file names, the current one marked), and its close key 1038,
// which only hides the window. Double-click or Enter activates an entry; the wheel and the
// arrow keys scroll. Files dropped on it go to the main window's drop handling. UI thread.
#include "skin/QXBaseDialog.h"

#include <QImage>
#include <QPixmap>
#include <QStringList>

namespace kobal {

class CHoverButton;

class CPlaylistWindow : public CQXBaseDialog {
    Q_OBJECT
public:
    static constexpr int kTemplate = 252;
    static constexpr int kCloseId = 1038;

    explicit CPlaylistWindow(QWidget* parent = nullptr);

    void setEntries(const QStringList& paths, int current);
    int selected() const { return selected_; }
    void select(int row);
    int rowAt(QPoint p) const; // -1 outside the entries

signals:
    void activated(int index);
    void filesDropped(const QStringList& paths);

protected:
    bool OnInitDialog() override;
    void paintEvent(QPaintEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void dragEnterEvent(QDragEnterEvent*) override;
    void dropEvent(QDropEvent*) override;

private:
    int visibleRows() const;
    void scrollTo(int row);

    QPixmap background_;
    QImage outline_;
    CHoverButton* close_;
    QStringList names_;
    int current_ = -1, selected_ = -1, top_ = 0;
};

} // namespace kobal
