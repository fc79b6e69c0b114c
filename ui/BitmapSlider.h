#pragma once
// The bitmap slider (the main window's volume, the playback panel's position): a track
// picture, an optional filled track left of the thumb, and a thumb picture. SliderModel is
// the arithmetic and the mouse and key rules, renderSlider() the drawing; CBitmapSlider is the
// thin widget over both. UI thread.
#include "ui/AppMessage.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace kobal {

struct SliderModel {
    int minimum = 0;
    int maximum = 100;
    int position = 0;
    int width = 0;      // the control's width
    int thumbWidth = 0; // the thumb picture's width
    bool enabled = true;
    bool dragging = false;
    int grabOffset = 0; // pointer x minus thumb centre at the press

    // Horizontal pixel of the thumb's centre for value v, and the value at pixel x; both in
    // floating point, truncated toward zero. A zero-width range or track maps to its start.
    int centre(int v) const;
    int valueAt(int x) const;
    int clamp(int v) const;

    void setRange(int min, int max);
    void setPosition(int v) { position = clamp(v); }
    void setEnabled(bool on);

    // Mouse and keys; each returns the notification to post (kSliderDragging,
    // kSliderChanged) or 0 for none.
    unsigned press(int x);
    unsigned move(int x);
    unsigned release();
    unsigned arrowKey(int step); // −10 or +10
};

struct SliderPictures {
    QImage channel; // the track; its height is the control's height
    QImage filled;  // may be null
    QImage thumb;
};

// Draws the slider at its logical size (model width × channel height) with the pictures'
// scale; background fills what the pictures leave.
QImage renderSlider(const SliderModel& model, const SliderPictures& pictures, QColor background);

class CBitmapSlider : public QWidget {
    Q_OBJECT
public:
    explicit CBitmapSlider(QWidget* parent = nullptr);

    // Track: the control becomes width × the channel picture's height. filledName may be
    // empty. Pictures are skin names (SkinPictures.h). False when a picture is missing.
    bool setTrack(int width, const QString& channelName, const QString& filledName);
    bool setThumb(const QString& thumbName);
    // The same with the pictures themselves (their devicePixelRatio gives their scale).
    void setTrack(int width, const QImage& channel, const QImage& filled);
    void setThumb(const QImage& thumb);
    void setRange(int minimum, int maximum, bool redraw = true);
    void setPosition(int value);
    int position() const { return model_.position; }
    void setSliderEnabled(bool on);
    void setBackground(QColor colour);
    const SliderModel& model() const { return model_; }

    // The control id sent as wParam (1060 volume, 1090 playback position).
    void setControlId(int id) { id_ = id; }
    int controlId() const { return id_; }

signals:
    // Emitted beside the AppMessageEvent (kSliderDragging / kSliderChanged, control id,
    // position) that is posted to the parent.
    void dragging(int position);
    void changed(int position);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void notify(unsigned message);
    SliderModel model_;
    SliderPictures pictures_;
    QColor background_;
    int id_ = 0;
};

} // namespace kobal
