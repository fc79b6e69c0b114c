#include "PlayerReservations.h"

#include "CPlayerDlg.h"
#include "engine/ProgrammeGuide.h"
#include "engine/TunerSession.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "platform/Scheduler.h"
#include "reservations/Alarm.h"
#include "reservations/AlarmDlg.h"
#include "reservations/FileIo.h"
#include "reservations/IepgFile.h"
#include "reservations/ReservationDetailDlg.h"
#include "reservations/ReservationForm.h"
#include "reservations/ReservationSheet.h"
#include "reservations/StationSlot.h"

#include <QApplication>
#include <QMetaObject>
#include <QTabWidget>
#include <cstdio>
#include <sys/stat.h>
#include <utility>

namespace kobal {

PlayerReservations::PlayerReservations(CPlayerDlg* window) : window_(window) {
    QPointer<CPlayerDlg> w(window);
    Scheduler::setFailureHandler([w](const std::string& text) {
        if (w) w->showMessage(QString::fromStdString(text), -1);
    });
}

int64_t PlayerReservations::now() {
    return TimerRecording::now();
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

void PlayerReservations::importIepg(const std::string& path) {
    constexpr size_t kMaxWaiting = 16;
    if (imports_.size() >= kMaxWaiting) return;
    imports_.push_back(path);
    if (importing_ || imports_.size() > 1) return; // the running pass takes it
    QPointer<CPlayerDlg> w(window_);
    QMetaObject::invokeMethod(
        window_.data(),
        [this, w] {
            if (w) importQueued();
        },
        Qt::QueuedConnection);
}

void PlayerReservations::importQueued() {
    importing_ = true;
    while (!imports_.empty() && window_) {
        const std::string path = std::move(imports_.front());
        imports_.pop_front();
        importIepgNow(path);
    }
    imports_.clear();
    importing_ = false;
}

void PlayerReservations::importIepgNow(const std::string& path) {
    if (!window_) return;
    std::string bytes;
    IepgProgramme programme;
    IepgError error = IepgError::TooLarge;
    if (!readWholeFile(path, &bytes, IepgFile::kMaxBytes)) {
        // Missing, unreadable or no regular file: nothing to import. Only a file too large
        // to be iEPG is told.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_size <= static_cast<off_t>(IepgFile::kMaxBytes))
            return;
    } else {
        error = IepgFile::parse(bytes, &programme);
    }
    if (error != IepgError::None) {
        std::fprintf(stderr, "kobal_player: %s: no iEPG file (%s)\n", path.c_str(),
                     IepgFile::errorName(error));
        messageBox("誤った時間を入力しました。", "iEPG エラー", MB_OK | MB_ICONERROR);
        return;
    }
    Reservation r;
    r.channelName = programme.station;
    r.title = programme.title;
    r.start = programme.start;
    r.end = programme.end;
    r.repeat = Reservation::kOnce;
    r.slot = channelSlotForStation(programme.station, window_->config_.settings().areaNum);
    if (!runDetails(edit::kIepg, &r, -1) || !window_) return;
    timer_.list().add(r);
    TimerRecording::registerReservation(r, playerProgram());
    reservationsChanged();
    showSheet(1);
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

bool PlayerReservations::runDetails(int kind, Reservation* buffer, int editIndex) {
    if (!window_) return false;
    CReservationDetailDlg dialog(kind, *buffer, timer_.list(), editIndex,
                                 kind == edit::kNew ? channelLines() : std::vector<ChannelChoice>{},
                                 window_);
    if (!dialog.run() || !window_) return false;
    *buffer = dialog.result();
    if (kind != edit::kChange) {
        // A new reservation's id comes from the "TASKID" counter, which moves on.
        int& counter = window_->config_.settings().taskId;
        buffer->id = nextReservationId(counter);
        counter = buffer->id;
    }
    return true;
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
