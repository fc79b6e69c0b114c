#pragma once
// The recording indicator: a red "REC" that blinks once a second, with the elapsed recording
// time beside it ("%02d:%02d:%02d", 25 pixels to the right; in the transparent view the panel
// is only wide enough for the label).
//
// Use (UI thread only): setRecording(true) when recording starts, setElapsed(seconds) once a
// second while it runs, setRecording(false) when it stops; setBackground() per view.
#include "ui/PanelWidget.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QTimer>

namespace kobal {

struct RecordingLook {
    QFont font;
    QColor background;
    QColor text;
};

// Fill, then the shown label and the second text (moved 25 pixels right), bold, centred
// vertically.
QImage renderRecordingIndicator(const QString& shownLabel, const QString& secondText,
                                const RecordingLook& look, QSize size, qreal dpr);

// "%02d:%02d:%02d" of a count of seconds.
QString elapsedText(long long seconds);

class RecordingIndicator : public PanelWidget {
public:
    static constexpr int kBlinkMs = 1000;
    static constexpr int kTimerId = 10001;
    static constexpr std::uint32_t kNormalBackground = 0x616161; // colour values 0x00BBGGRR
    static constexpr std::uint32_t kDarkBackground = 0x000000;   // full screen, transparent
    static constexpr std::uint32_t kTextColour = 0x1E1EFF;       // a red

    explicit RecordingIndicator(QWidget* parent = nullptr);

    // on: label and shown label := label, blinking once a second; off: label, shown label
    // and second text empty, the blink stops.
    void setRecording(bool on, const QString& label = QStringLiteral("REC"));
    void setSecondText(const QString& text);
    void setElapsed(long long seconds) { setSecondText(elapsedText(seconds)); }
    void setBackground(QColor colour);

    bool blinking() const { return blinking_; }
    const QString& shownLabel() const { return shown_; }
    bool timerRunning() const { return blink_.isActive(); }

protected:
    QImage render(QSize size, qreal dpr) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void onBlink();
    void updateTimer();

    RecordingLook look_;
    QString label_, shown_, second_;
    bool blinking_ = false;
    QTimer blink_;
};

} // namespace kobal
