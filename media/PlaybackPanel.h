#pragma once
// The recorded-file playback panel (template 401): the skin's picture 404 shaped by its green
// key, the position and duration display, the position slider (control 1090) and the
// playing file's title. Shown by the main window while a recorded file plays. UI thread.
//
// Use: setTitle(name); setPosition(position, duration) every few hundred ms (tenths of a
// second); seekRequested(tenths) comes when the user lets go of the slider. The record key
// (1054, in the title bar) sends command(1054), which starts or stops a recording; the main
// window says when it may be pressed (disabled, it is drawn greyed).
#include "skin/QXBaseDialog.h"

#include <QImage>
#include <QPixmap>
#include <cstdint>

namespace kobal {

class CBitmapSlider;
class CHoverButton;

class CPlaybackPanel : public CQXBaseDialog {
    Q_OBJECT
public:
    static constexpr int kTemplate = 401;
    static constexpr int kSliderId = 1090;
    static constexpr int kRecordToggleId = 1054;

    explicit CPlaybackPanel(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    // Moves the slider unless the user holds it.
    void setPosition(int64_t positionTenths, int64_t durationTenths);
    QString timeText() const { return time_; }
    QString title() const { return title_; }
    CBitmapSlider& slider() const { return *slider_; }
    CHoverButton& recordButton() const { return *record_; }
    void setRecordToggleEnabled(bool on);

signals:
    void seekRequested(int64_t tenths);
    void command(int id);

protected:
    bool OnInitDialog() override;
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap background_;
    QImage outline_;
    CBitmapSlider* slider_;
    CHoverButton* record_;
    bool dragging_ = false;
    int64_t duration_ = -1;
    QString time_, title_;
};

} // namespace kobal
