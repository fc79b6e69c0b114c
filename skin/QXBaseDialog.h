#pragma once
// CQXBaseDialog: the skin library's dialog base for the player's skinned top-level windows
// (the main window, the recorded-file playback panel). A frameless dialog that paints nothing
// of the system's look; a left press on its body that no child control takes goes to
// OnLButtonDown(), which by default moves the window with the window system's own move
// (QWindow::startSystemMove), so dragging works alike on X11 and Wayland. UI thread.
#include <QDialog>

namespace kobal {

class CQXBaseDialog : public QDialog {
    Q_OBJECT
public:
    // templateId names the dialog (kept for the derived window's own use); a null parent
    // makes a top-level window with its own taskbar entry.
    explicit CQXBaseDialog(int templateId, QWidget* parent = nullptr);
    ~CQXBaseDialog() override;

    int templateId() const { return templateId_; }

    // Runs once, before the window is first shown. Derived windows call the base first, then
    // bind their controls, load their pictures, place their controls and set their region.
    virtual bool OnInitDialog();
    // A left press on the body at a client point; the base starts a window move: the window
    // system's own where it has one, else the window follows the pointer until release.
    virtual void OnLButtonDown(Qt::KeyboardModifiers flags, const QPoint& point);

    // Whether OnInitDialog() has run (it runs once, before the window is first shown).
    bool initialised() const { return initialised_; }

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int templateId_;
    bool initialised_ = false;
    bool following_ = false; // moving by hand: no system move on this platform
    QPoint grab_;            // pointer's offset from the window's top-left
};

} // namespace kobal
