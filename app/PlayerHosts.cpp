#include "app/PlayerHosts.h"

#include "app/CPlayerDlg.h"
#include "renderer/MediaGraph.h"

#include <QCoreApplication>
#include <QThread>

namespace kobal {
namespace {

bool onUiThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

void PlayerSessionWindow::showMessage(const std::u16string& text) {
    if (window_) window_->showMessage(QString::fromStdU16String(text), -1);
}

int PlayerSessionWindow::signalBars() {
    return window_ ? window_->s_.signalLevel : 0;
}

void PlayerSessionWindow::setSignalBars(int count) {
    if (!window_) return;
    window_->s_.signalLevel = count;
    window_->update();
}

void PlayerSessionWindow::startTimer(int id, int intervalMs) {
    if (window_) window_->startTimerId(id, intervalMs);
}

void PlayerSessionWindow::stopTimer(int id) {
    // The session stops timer 106 with the engine at every channel change; nothing would start
    // it again, and the reservations would never be recorded. The check itself waits for the
    // link, so it keeps running.
    if (id == timers::kReservation) return;
    if (window_) window_->stopTimerId(id);
}

bool PlayerSessionWindow::timerArmed(int id) {
    return window_ && window_->timerArmed(id);
}

void PlayerSessionWindow::restoreCursor() {
    if (!window_) return;
    window_->s_.opening = false;
    window_->updateCursor();
}

void PlayerSessionWindow::reopenAndRescan() {
    // Called inside the session's device handling: scan once that has returned.
    QPointer<CPlayerDlg> w = window_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [w] {
            if (w) w->startScan(ScanArea);
        },
        Qt::QueuedConnection);
}

void PlayerSessionWindow::requestQuit() {
    if (window_) window_->requestClose();
}

// ---------------------------------------------------------------------------------------------

long PlayerRendererHost::copyData(unsigned long command, long pid,
                                  const std::vector<uint8_t>& data) {
    QPointer<CPlayerDlg> w = window_;
    if (onUiThread()) return w ? w->onRendererCopyData(command, pid, data) : 0;
    if (command == render::kCopyDataStart) {
        // Sent while the worker builds the graph; the UI thread answers from its event loop
        // (it never waits for the worker, so this cannot deadlock).
        long result = 0;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] {
                if (w) result = w->onRendererCopyData(command, pid, data);
            },
            Qt::BlockingQueuedConnection);
        return result;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [w, command, pid, data] {
            if (w) w->onRendererCopyData(command, pid, data);
        },
        Qt::QueuedConnection);
    return 1;
}

void PlayerRendererHost::postGraphEvent() {
    QPointer<CPlayerDlg> w = window_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [w] {
            if (!w) return;
            if (auto g = w->graph()) {
                long code, p1, p2;
                while (g->GetEvent(&code, &p1, &p2, 0) == render::S_OK) w->onGraphEvent(code);
            }
        },
        Qt::QueuedConnection);
}

void PlayerRendererHost::audioModeChanged(int mode) {
    QPointer<CPlayerDlg> w = window_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [w, mode] {
            if (w) w->onAudioMode(mode);
        },
        Qt::QueuedConnection);
}

} // namespace kobal
