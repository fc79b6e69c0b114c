#pragma once
// CHoverButton: a push button drawn from a skin picture of three frames side by side —
// normal, pressed, hovered. Both programs use it. Clicks arrive as clicked() like any
// QAbstractButton. A disabled button shows its normal frame greyed (made from that frame
// when the picture is loaded), so a key that does nothing never looks pressable. UI thread only.
#include <QAbstractButton>
#include <QImage>
#include <QPixmap>

namespace kobal {

class CHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CHoverButton(QWidget* parent = nullptr);
    ~CHoverButton() override;

    // Takes the frames from the skin picture `name` (see SkinPictures.h; the @2x picture on
    // high-density screens). n ≠ 0: the frame is the picture's whole width, else a third of
    // it. The button takes one frame's size and keeps its position. False when the picture
    // is missing (the button then keeps its size and draws nothing).
    bool LoadBitmap(const QString& name, int n = 0);
    bool LoadBitmap(const QPixmap& frames, int n = 0);

    // Tooltip text; activate = false removes it.
    void SetToolTipText(const QString& text, bool activate = true);

    QSize frameSize() const { return frame_; }
    // The frame drawn now: 0 normal, 1 pressed, 2 hovered.
    int currentFrame() const;
    bool hovered() const { return hover_; }
    bool pressedLatch() const { return latch_; }

    // Frame choice: held down → 1 (and the latch is set); disabled → 0; latch → 1;
    // hover → 2; else 0. The latch keeps a clicked button pressed until the pointer leaves.
    static int chooseFrame(bool down, bool enabled, bool latch, bool hover);

    // The disabled look of a frame: its grey value pulled towards the key's dark face, so
    // the cap stays and the symbol (a red record dot included) fades to a dim grey.
    static QImage greyed(const QImage& frame);

    QSize sizeHint() const override { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap frames_;
    QPixmap disabled_; // frame 0, greyed
    QSize frame_;
    bool hover_ = false;
    bool latch_ = false;
};

} // namespace kobal
