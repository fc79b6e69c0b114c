#pragma once
// The main window's four information panels in one place: the caption panel, the programme
// ticker, the message line and the recording indicator. InfoPanels creates them as children
// of the window, places them per view, shows each when it has something to show, and feeds
// them from the engine's outputs. The window keeps one InfoPanels; the panels belong to the
// window (Qt parent) and live as long as it. UI thread only.
//
// Wiring in the main window:
//   InfoPanels panels_{this};                       // in the constructor
//   panels_.place(view, size());                   // after every layout, after the video
//                                                  // widget was placed (panels are raised
//                                                  // above it)
//   panels_.apply(session.outputs().take());       // in the sink's wake-up handler (take()
//                                                  // the whole EngineOutputs once, then
//                                                  // handle its other parts as before), or
//                                                  // setStatusLine / setTicker / addCaption
//   panels_.showMessage(u"スクリーンをキャプチャしました。"_s);      // 4 seconds
//   panels_.showMessage(text, InfoPanels::kLasting);                 // stays until replaced
//   panels_.setCaptionsOn(captionsOn);  panels_.setRecording(true/false);
//   panels_.setElapsed(seconds);        // once a second while recording
//   panels_.clearCaptions();            // on channel change
#include "engine/EngineOutputs.h"
#include "ui/CaptionPanel.h"
#include "ui/RecordingIndicator.h"
#include "ui/SkinLayout.h"
#include "ui/TextLinePanel.h"

#include <QRect>

namespace kobal {

// Where the panels go in a client area of `client` in `view`; an empty rectangle: hidden in
// that view. In the theater view the client area is the whole screen.
struct InfoPanelPlaces {
    QRect ticker, message, captions, recording;
};
InfoPanelPlaces infoPanelPlaces(SkinView view, QSize client);

class InfoPanels {
public:
    static constexpr int kMessageSteps = 200; // 20 ms steps: a message shows 4 seconds
    static constexpr int kLasting = -1;       // a message that stays until replaced
    static constexpr std::uint32_t kMessageBackground = 0x141414;

    explicit InfoPanels(QWidget* window);
    InfoPanels(const InfoPanels&) = delete;
    InfoPanels& operator=(const InfoPanels&) = delete;

    // Places the panels for the view, shows those that have something to show there, and
    // raises them above their siblings, so the video widget never covers them.
    void place(SkinView view, QSize client);

    // The last status line goes to the message line (setStatusLine), the last ticker text to
    // the ticker (scrolling from its beginning), caption screens to the caption panel while
    // captions are on. The outputs' other parts are the window's.
    void apply(const EngineOutputs& outputs);

    // The channel's status line ("チャンネル : …", repeated with every service table): shown
    // in the message line unless a timed message is counting down, which it follows when the
    // count ends. An empty status line leaves nothing behind a message.
    void setStatusLine(const QString& text);
    // An on-screen message in the message line, replaced by the status line after
    // `countdown` steps of 20 ms (kLasting: never). A new message restarts the count.
    void showMessage(const QString& text, int countdown = kMessageSteps);
    // Back to the status line at once (the message is withdrawn).
    void clearMessage();
    void setTicker(const QString& text);
    // A caption screen, queued while captions are on (dropped otherwise).
    void addCaption(const CaptionBlock& block);
    void setCaptionsOn(bool on);
    void clearCaptions();
    void setRecording(bool on);
    // The message line shown or hidden (its texts keep coming while hidden).
    void setMessageLineOn(bool on);
    void setElapsed(long long seconds);

    bool captionsOn() const { return captionsOn_; }
    TextLinePanel& ticker() { return *ticker_; }
    TextLinePanel& messageLine() { return *message_; }
    CaptionPanel& captions() { return *captions_; }
    RecordingIndicator& recording() { return *recording_; }

private:
    void updateVisibility();

    TextLinePanel* ticker_;
    TextLinePanel* message_;
    CaptionPanel* captions_;
    RecordingIndicator* recording_;
    SkinView view_ = SkinView::Normal;
    QString status_;
    bool captionsOn_ = false;
    bool recordingOn_ = false;
    bool messageLineOn_ = true;
};

} // namespace kobal
