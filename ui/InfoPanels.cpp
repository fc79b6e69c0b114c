#include "ui/InfoPanels.h"

#include "ui/SkinColours.h"

namespace kobal {

InfoPanelPlaces infoPanelPlaces(SkinView view, QSize client) {
    const int w = client.width(), h = client.height();
    switch (view) {
    case SkinView::Normal:
        return {{25, h - 187, w - 50, 13},
                {25, h - 165, w - 72, 13},
                {25, h - 250, w - 50, 60},
                {160, 18, 80, 20}};
    case SkinView::Transparent:
        return {{}, {14, h - 24, w - 80, 20}, {14, h - 84, w - 28, 60}, {310, 3, 25, 20}};
    case SkinView::Theater:
        return {{}, {14, h - 24, w - 80, 20}, {180, h - 80, w - 360, 60}, {300, 0, 80, 20}};
    }
    return {};
}

InfoPanels::InfoPanels(QWidget* window)
    : ticker_(new TextLinePanel(1, window)), message_(new TextLinePanel(0, window)),
      captions_(new CaptionPanel(window)), recording_(new RecordingIndicator(window)) {
    message_->setColours(fromColourRef(kMessageBackground), Qt::white);
    for (QWidget* w : {static_cast<QWidget*>(ticker_), static_cast<QWidget*>(message_),
                       static_cast<QWidget*>(captions_), static_cast<QWidget*>(recording_)})
        w->hide();
}

void InfoPanels::place(SkinView view, QSize client) {
    view_ = view;
    const InfoPanelPlaces places = infoPanelPlaces(view, client);
    ticker_->setGeometry(places.ticker);
    message_->setGeometry(places.message);
    captions_->setGeometry(places.captions);
    recording_->setGeometry(places.recording);
    recording_->setBackground(fromColourRef(view == SkinView::Normal
                                                ? RecordingIndicator::kNormalBackground
                                                : RecordingIndicator::kDarkBackground));
    updateVisibility();
    for (QWidget* w : {static_cast<QWidget*>(captions_), static_cast<QWidget*>(ticker_),
                       static_cast<QWidget*>(message_), static_cast<QWidget*>(recording_)})
        w->raise();
}

void InfoPanels::updateVisibility() {
    ticker_->setVisible(view_ == SkinView::Normal);
    message_->setVisible(messageLineOn_);
    captions_->setVisible(captionsOn_);
    recording_->setVisible(recordingOn_);
}

void InfoPanels::apply(const EngineOutputs& outputs) {
    if (!outputs.statusLines.empty())
        setStatusLine(QString::fromStdU16String(outputs.statusLines.back()));
    if (!outputs.tickers.empty()) setTicker(QString::fromStdU16String(outputs.tickers.back()));
    for (const CaptionBlock& block : outputs.captions) addCaption(block);
}

void InfoPanels::setStatusLine(const QString& text) {
    status_ = text;
    message_->setFallback(text);
    if (message_->counting() || message_->state().text == text) return;
    message_->setText(text, TextLinePanel::Fixed);
    message_->run(true, kLasting);
}

void InfoPanels::showMessage(const QString& text, int countdown) {
    message_->setText(text, TextLinePanel::Fixed);
    message_->run(true, countdown);
}

void InfoPanels::clearMessage() {
    showMessage(status_, kLasting);
}

void InfoPanels::addCaption(const CaptionBlock& block) {
    if (captionsOn_) captions_->addScreen(block);
}

void InfoPanels::setTicker(const QString& text) {
    ticker_->setText(text, TextLinePanel::Scrolling);
    ticker_->run(true, -1);
}

void InfoPanels::setCaptionsOn(bool on) {
    captionsOn_ = on;
    if (!on) captions_->clear();
    updateVisibility();
}

void InfoPanels::clearCaptions() {
    captions_->clear();
}

void InfoPanels::setRecording(bool on) {
    recordingOn_ = on;
    recording_->setRecording(on);
    updateVisibility();
}

void InfoPanels::setMessageLineOn(bool on) {
    messageLineOn_ = on;
    updateVisibility();
}

void InfoPanels::setElapsed(long long seconds) {
    recording_->setElapsed(seconds);
}

} // namespace kobal
