#pragma once
// How the engine and the renderer reach the main window.
//  - PlayerSessionWindow: the tuner session's commands, all made on the UI thread.
//  - The engine threads' outputs go to the session's EngineOutputSink; its one wake-up is a
//    queued call, after which the window takes everything at once (CPlayerDlg::takeOutputs).
//  - PlayerRendererHost: the renderer's copy-data and events, handed to the UI thread with
//    queued calls; only the renderer's start (copy-data 2, sent while the worker builds a
//    graph) waits for its answer, which the UI thread gives from its event loop.
// Nothing here blocks an engine or renderer thread on the UI thread except that start.
#include "engine/SessionWindow.h"
#include "renderer/RendererHost.h"

#include <QPointer>

namespace kobal {

class CPlayerDlg;

class PlayerSessionWindow : public SessionWindow {
public:
    explicit PlayerSessionWindow(CPlayerDlg* window) : window_(window) {}

    void showMessage(const std::u16string& text) override;
    int signalBars() override;
    void setSignalBars(int count) override;
    void startTimer(int id, int intervalMs) override;
    void stopTimer(int id) override;
    bool timerArmed(int id) override;
    void restoreCursor() override;
    void reopenAndRescan() override;
    void requestQuit() override;

private:
    QPointer<CPlayerDlg> window_;
};

class PlayerRendererHost : public render::RendererHost {
public:
    explicit PlayerRendererHost(CPlayerDlg* window) : window_(window) {}
    long copyData(unsigned long command, long pid, const std::vector<uint8_t>& data) override;
    void postGraphEvent() override;
    void audioModeChanged(int mode) override;

private:
    QPointer<CPlayerDlg> window_;
};

} // namespace kobal
