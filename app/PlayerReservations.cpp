#include "PlayerReservations.h"

#include "CPlayerDlg.h"
#include "engine/ProgrammeGuide.h"
#include "engine/TunerSession.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "platform/Scheduler.h"
#include "reservations/Alarm.h"
#include "reservations/AlarmDlg.h"
#include "reservations/ReservationForm.h"
#include "reservations/ReservationSheet.h"

#include <QApplication>
#include <QTabWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

namespace kobal {

PlayerReservations::PlayerReservations(CPlayerDlg* window) : window_(window) {
    QPointer<CPlayerDlg> w(window);
    Scheduler::setFailureHandler([w](const std::string& text) {
        if (w) w->showMessage(QString::fromStdString(text), -1);
    });
}

int64_t PlayerReservations::now() {
    // KOBAL_CLOCK_OFFSET (seconds) moves the reservations' and alarms' clock, so tests reach a
    // start or an alarm minute without waiting for it.
    static const int64_t offset = [] {
        const char* v = std::getenv("KOBAL_CLOCK_OFFSET");
        return v ? std::strtoll(v, nullptr, 10) : 0LL;
    }();
    return static_cast<int64_t>(std::time(nullptr)) + offset;
}

std::string PlayerReservations::playerProgram() {
    return paths::siblingProgram("kobal_player", "app");
}

void PlayerReservations::load() {
    timer_.loadAtStart(paths::inInstall("reserv.ini"), now(), &messages_);
}

void PlayerReservations::save() {
    if (!timer_.saveAtExit(paths::inInstall("reserv.ini")))
        std::fprintf(stderr, "kobal_player: reserv.ini could not be written\n");
}

int PlayerReservations::requestedSlotAtStart() {
    std::string error;
    const int slot = AlarmFile::requestedSlotAtStart(paths::inInstall("alarm.ini"), now(), &error);
    if (!error.empty()) messages_.push_back(error);
    return slot;
}

void PlayerReservations::check() {
    if (window_) timer_.check(now(), *this);
}

void PlayerReservations::reservedRecordingStopped() {
    if (window_) timer_.recordingStopped(now(), *this);
}

bool PlayerReservations::isRecording() const {
    return window_ && window_->s_.recording;
}

void PlayerReservations::stopRecording() {
    if (window_) window_->StopRecording(false);
}

bool PlayerReservations::tuneReservedSlot(int slot) {
    if (!window_ || !window_->session_ || !window_->session_->tunerPresent()) return false;
    const ChannelRecord* r = window_->scan_.recordOfSlot(slot);
    if (!r || r->state != 1) return false; // the channel is gone from the panel
    const std::string key = ChannelScan::keyOf(*r);
    if (window_->session_->currentKey() != key) window_->tuneKey(key);
    return true;
}

bool PlayerReservations::readyToRecord() {
    // The link carries the tuned channel; the recorder's start checks the free space itself.
    return window_ && window_->streamEstablished_ && window_->s_.signalLevel > 0;
}

bool PlayerReservations::startRecording() {
    if (!window_) return false;
    window_->StartRecording();
    // A reserved recording asks before the user stops it.
    window_->reservedRecording_ = window_->s_.recording;
    return window_->s_.recording;
}

void PlayerReservations::showMessage(const QString& text) {
    if (window_) window_->showMessage(text, -1);
}

void PlayerReservations::reservationsChanged() {
    if (sheet_) sheet_->refresh();
}

void PlayerReservations::createSheet() {
    if (!window_ || sheet_) return;
    sheet_ = new CReservationSheet(timer_.list(), window_);
    sheet_->now = [] { return now(); };
    sheet_->runDetails = [this](int kind, Reservation* buffer, int editIndex) {
        return runDetails(kind, buffer, editIndex);
    };
    sheet_->accepted = [](const Reservation& r) {
        TimerRecording::registerReservation(r, playerProgram());
    };
    sheet_->hide();
}

void PlayerReservations::showSheet(int page) {
    if (sheet_) sheet_->showPage(page);
}

void PlayerReservations::toggleSheet() {
    if (!sheet_) return;
    if (sheet_->isVisible())
        sheet_->hide();
    else
        sheet_->showPage(sheet_->pages()->currentIndex());
}

std::vector<ChannelChoice> PlayerReservations::channelLines() const {
    std::vector<ChannelChoice> lines;
    if (!window_) return lines;
    for (const ChannelRecord* r : window_->scan_.lines())
        lines.push_back({r->name, r->slot, r->slot * 1000 + r->tuneA * 10 + r->tuneB});
    return lines;
}

ChannelChoice PlayerReservations::tunedChannel() const {
    if (!window_ || !window_->session_) return {};
    const ChannelRecord* r =
        window_->scan_.recordOfSlot(ChannelScan::slotOfKey(window_->session_->currentKey()));
    if (!r) return {};
    return {r->name, r->slot, r->slot * 1000 + r->tuneA * 10 + r->tuneB};
}

void PlayerReservations::onGuide(const ProgrammeGuide& guide) {
    if (sheet_) sheet_->setProgrammes(buildProgrammeList(guide.events(), tunedChannel(), now()));
}

void PlayerReservations::runForm() {
    if (!window_) return;
    CReservationForm form(channelLines(), paths::inInstall("reserv.dat"), now(), window_);
    runModal(form);
}

bool PlayerReservations::runDetails(int, Reservation*, int) {
    return false; // the details dialog is opened here
}

void CPlayerDlg::showAlarmSettings() {
    if (busy() || QApplication::activeModalWidget()) return;
    // The channel panel's lines, each with its physical channel.
    std::vector<AlarmChannel> channels;
    for (const ChannelRecord* r : scan_.lines()) channels.push_back({r->name, r->physicalIndex});
    CAlarmDlg dialog(paths::inInstall("alarm.ini"), std::move(channels), &PlayerReservations::now,
                     this);
    runModal(dialog);
}

} // namespace kobal
