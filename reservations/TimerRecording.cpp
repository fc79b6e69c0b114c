#include "TimerRecording.h"

#include "platform/Scheduler.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace kobal {

TimerRecording::TimerRecording() {
    list_.onRemoved = [](const Reservation& r) { unregisterReservation(r); };
}

void TimerRecording::loadAtStart(const std::string& path, int64_t now,
                                 std::vector<std::string>* messages) {
    std::string error;
    if (!list_.load(path, &error)) messages->push_back(error);
    if (list_.purge(now))
        messages->push_back("予約録画リストから時間の経った予約が削除されました。");
    list_.bubbleEarliestToFront();
}

bool TimerRecording::saveAtExit(const std::string& path) const {
    return list_.save(path);
}

void TimerRecording::check(int64_t now, TimerRecordingHost& host) {
    if (list_.empty()) return;
    Reservation& r = list_.items().front();
    const int64_t stopAt = r.end - 19;
    if (r.recording) {
        if (now >= stopAt || !host.isRecording()) {
            if (host.isRecording()) {
                host.showMessage(QStringLiteral("予約録画を停止します。"));
                host.stopRecording(); // may report the stop, and so finish r, itself
            }
            recordingStopped(now, host);
        }
        return;
    }
    if (now >= stopAt) {
        // Its time went by without a recording (channel gone, clock jumped, machine asleep).
        finishFront(now, host);
        return;
    }
    if (r.slot < 0 || now < r.start - 9) return;
    if (!armed_) {
        // Looking for the channel in the panel is cheap, so it is tried every second (the
        // start-up scan may still be running).
        if (host.isRecording()) {
            host.showMessage(QStringLiteral("予約録画のため、現在の録画を停止します。"));
            host.stopRecording();
        }
        armed_ = host.tuneReservedSlot(r.slot);
        if (!armed_) return;
    }
    if (now >= r.start && !host.isRecording() && host.readyToRecord()) {
        host.showMessage(QStringLiteral("予約録画を開始します。"));
        if (host.startRecording()) {
            r.recording = 1;
            host.reservationsChanged();
        }
    }
}

void TimerRecording::recordingStopped(int64_t now, TimerRecordingHost& host) {
    if (!list_.empty() && list_.items().front().recording) finishFront(now, host);
}

void TimerRecording::finishFront(int64_t now, TimerRecordingHost& host) {
    armed_ = false;
    Reservation& r = list_.items().front();
    r.recording = 0;
    if (r.repeat == Reservation::kOnce) {
        list_.remove(0);
    } else {
        const int64_t step = r.repeat == Reservation::kDaily ? 86400 : 604800;
        r.start += step;
        r.end += step;
    }
    // Anything else whose time went by meanwhile goes too, and the earliest comes first.
    list_.purge(now);
    list_.bubbleEarliestToFront();
    host.reservationsChanged();
}

int64_t TimerRecording::now() {
    static const int64_t offset = [] {
        const char* v = std::getenv("KOBAL_CLOCK_OFFSET");
        return v ? std::strtoll(v, nullptr, 10) : 0LL;
    }();
    return static_cast<int64_t>(std::time(nullptr)) + offset;
}

bool TimerRecording::registerReservation(const Reservation& r, const std::string& program) {
    const std::tm t = localTm(r.start - 60);
    ScheduledTask task;
    task.year = t.tm_year + 1900;
    task.month = t.tm_mon + 1;
    task.day = t.tm_mday;
    task.weekday = t.tm_wday;
    task.hour = t.tm_hour;
    task.minute = t.tm_min;
    task.kind = r.repeat == Reservation::kDaily    ? ScheduledTask::kDaily
                : r.repeat == Reservation::kWeekly ? ScheduledTask::kWeekly
                                                   : ScheduledTask::kOnce;
    task.application = program;
    task.workingDirectory = std::filesystem::path(program).parent_path().string();
    task.comment = "Kobal_Player 予約録画";
    return Scheduler::registerTask(task, r.taskName(), false) == Scheduler::kOk;
}

void TimerRecording::unregisterReservation(const Reservation& r) {
    Scheduler::deleteTask(r.taskName());
}

} // namespace kobal
