#include "engine/TunerSession.h"

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "engine/SessionWindow.h"
#include "platform/ConfigIni.h"
#include "platform/MessageBoxCodes.h"
#include "platform/Profile.h"
#include "tuner/CTDMBDll.h"

namespace kobal {

namespace {

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool startsWithXdmb(const std::u16string& text) {
    return text.compare(0, 5, u"x-dmb") == 0;
}

std::u16string upper(std::u16string text) {
    for (auto& c : text) {
        if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    }
    return text;
}

// Extension of a path (from its last dot after the last separator), "" when it has none.
std::u16string extensionOf(const std::u16string& path) {
    const size_t sep = path.find_last_of(u"/\\");
    const size_t dot = path.find_last_of(u'.');
    if (dot == std::u16string::npos || (sep != std::u16string::npos && dot < sep)) return {};
    return path.substr(dot);
}

// atoi over a part of the key (digits after optional blanks and sign).
int keyNumber(const std::string& key, size_t from, size_t count) {
    if (from >= key.size()) return 0;
    return atoiText(key.substr(from, count));
}

} // namespace

TunerSession::TunerSession(SessionWindow& window)
    : window_(window), tuner_(std::make_unique<CTDMBDll>()), serviceInfo_(&outputs_),
      engine_(link_) {
    engine_.setSink(&serviceInfo_);
    engine_.setStreamSource(
        [this](unsigned char* buffer, int length) { return tuner_->GetTSStream(buffer, length); });
    engine_.setMessageFn(
        [this](const std::string& text) { outputs_.messageBox(text, "1seg Message", MB_OK); });
    engine_.framer().setOnAnnounced([this] { onAnnounced(); });
}

TunerSession::~TunerSession() {
    engine_.stopThreads();
    link_.destroy();
    link_.closeEvents(false);
    engine_.closeWaitObjects();
    engine_.emptyQueues();
    if (tuner_->IsOpen()) tuner_->Close();
}

void TunerSession::setStreamSource(StreamEngine::StreamSource source) {
    if (source)
        engine_.setStreamSource(std::move(source));
    else
        engine_.setStreamSource([this](unsigned char* buffer, int length) {
            return tuner_->GetTSStream(buffer, length);
        });
}

bool TunerSession::ownProcess(long processId) const {
    return processId == long(getpid());
}

long TunerSession::onCopyData(unsigned long command, long processId,
                              const std::vector<uint8_t>& data) {
    switch (command) {
    case kCopyDataStart: {
        const auto request = records::readStartPayload(data);
        if (!request || !ownProcess(long(request->processId))) return 0;
        const std::u16string& source = request->source;
        if (linkReady_ == 0) resetPipeline();
        link_.openEvents();
        window_.setSignalBars(0);
        const int result = start(source);
        sleepMs(10);
        const int kind = engine_.sourceKind;
        if (kind == kSourceLive || kind == kSourceFile) startReading();
        sleepMs(1);
        return result;
    }
    case kCopyDataRendererReady:
        if (!ownProcess(processId)) return 0;
        linkReady_ = 1;
        linkResetRequested_ = false;
        window_.restoreCursor();
        if (!waitingKey_.empty()) window_.startTimer(kTimerTuneWaiting, 100);
        return 1;
    case kCopyDataRendererStopped:
        if (!ownProcess(processId)) return 0;
        if (window_.recordingRunning()) window_.stopRecording(true);
        closeLink();
        engine_.sourceKind = kSourceNone;
        linkReady_ = 0;
        return 1;
    case kCopyDataStop:
        linkResetRequested_ = false;
        window_.restoreCursor();
        waitingKey_.clear();
        currentKey_.clear();
        closeLink();
        linkReady_ = 0;
        return 1;
    default:
        return 0;
    }
}

int TunerSession::start(const std::u16string& source) {
    if (linkResetRequested_) link_.destroy();

    if (!startsWithXdmb(source)) {
        const std::u16string ext = extensionOf(source);
        if (ext.empty()) return 1;
        if (upper(ext) == u".REC") {
            // Recorded files are played by the renderer alone: no engine thread runs.
            outputs_.statusLine(u"");
            engine_.sourceKind = kSourceFile;
            return 1;
        }
    }

    link_.createIfMissing();
    const int tuned = link_.connected() ? tune(source) : 0;
    if (tuned == 0) {
        link_.destroy();
        return 0;
    }
    if (tuned == 3) return 1;
    if (engine_.threadsExist()) return 1;

    engine_.initialiseState();
    engine_.createWaitObjects(); // the start goes on whatever the outcome
    if (!engine_.createThreads()) return 0;
    return 1;
}

int TunerSession::tune(const std::u16string& source) {
    engine_.sourceKind = kSourceNone;
    if (startsWithXdmb(source)) {
        if (!tuner_->IsOpen()) {
            if (!tuner_->Open(window_.windowHandle())) {
                window_.requestQuit();
                return 0;
            }
            sleepMs(100);
        }
        config::write(config::kCurrentChannel, currentKey_);
        if (tuner_->IsOpen() &&
            tuner_->SetChannel(keyNumber(currentKey_, 0, 2), keyNumber(currentKey_, 2, 2),
                               keyNumber(currentKey_, 4, std::string::npos), 0.0f)) {
            engine_.sourceKind = kSourceLive;
            return 1;
        }
        return 0;
    }
    if (upper(source).find(u".REC") != std::u16string::npos) {
        engine_.sourceKind = kSourceFile;
        return 3;
    }
    return 0;
}

void TunerSession::closeLink() {
    link_.closeEvents(!linkResetRequested_);
    if (!linkResetRequested_) {
        if (window_.timerArmed(kTimerSignalCheck)) window_.stopTimer(kTimerSignalCheck);
        window_.stopTimer(kTimerSignalPoll);
        stopEngine();
    } else {
        link_.closeAndDestroy();
    }
}

void TunerSession::stopEngine() {
    if (engine_.sourceKind == kSourceNone) linkReady_ = 0;
    if (window_.recordingRunning()) window_.stopRecording(false);
    engine_.stopThreads();
    link_.destroy();
    engine_.closeWaitObjects();
    engine_.emptyQueues();
    engine_.deleteLocks();
}

bool TunerSession::slotReceivable(int slot) {
    if (!tuner_->IsOpen() && !tuner_->Open(window_.windowHandle())) {
        window_.requestQuit();
        return false;
    }
    if (slot < 0 || slot >= veltra::kSlotCount) return false;
    return tuner_->IsOpen() && tuner_->slotPair[slot].available != 0;
}

void TunerSession::deviceRemoved() {
    linkReady_ = 0;
    tunerPresent_ = false;
    tuner_->Close();
    outputs_.statusLine(u"");
    window_.hideChannelPanel();
    window_.stopTimer(kTimerSignalPoll);
    if (window_.timerArmed(kTimerSignalCheck)) window_.stopTimer(kTimerSignalCheck);
    stopEngine();
    savedSignalBars_ = window_.signalBars();
    window_.setSignalBars(0);
    window_.showMessage(u"USBデバイスが取り外されました。");
}

void TunerSession::deviceAttached() {
    tunerPresent_ = true;
    window_.setSignalBars(savedSignalBars_);
    window_.stopTimer(kTimerSignalPoll);
    window_.reopenAndRescan();
    if (!tuner_->IsOpen() && !tuner_->Open(window_.windowHandle()))
        window_.showMessage(u"USBデバイスが見つかりません。システムを確認してください。");
}

// Data pump thread, after the config blocks went out (no lock held): the channel delivers, so
// mark it receivable.
void TunerSession::onAnnounced() {
    const std::string key = config::read(config::kCurrentChannel, "No-Channel", 31);
    // Only a key that names a slot marks one ("No-Channel" names none).
    if (key.size() >= 2 && key[0] >= '0' && key[0] <= '9' && key[1] >= '0' && key[1] <= '9') {
        const int slot = (key[0] - '0') * 10 + (key[1] - '0');
        if (slot < veltra::kSlotCount) {
            if (tuner_->IsOpen()) {
                tuner_->channelInfo[slot].found = 1;
                tuner_->slotPair[slot].available = 1;
            }
            outputs_.channelAvailable(slot);
        }
    }
    config::write(config::kLastChannel, key);
    streamEstablished_ = true;
    outputs_.streamEstablished();
}

} // namespace kobal
