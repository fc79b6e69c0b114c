// The main window's one command dispatch: buttons, keys, the menu bar and the right-click
// menu all arrive here by command id.
#include "app/CPlayerDlg.h"
#include "app/ChannelPanel.h"
#include "app/PlayerCommands.h"
#include "app/PlayerHosts.h"
#include "app/SourceWorker.h"
#include "app/SystemEvents.h"
#include "app/Volume.h"
#include "app/WindowGeometry.h"
#include "broadcast/AreaPresetTable.h"
#include "channels/ChannelListFile.h"
#include "engine/EngineOutputs.h"
#include "engine/TunerSession.h"
#include "link/RendererLinkProtocol.h"
#include "platform/Dialogs.h"
#include "renderer/MediaGraph.h"
#include "tuner/CTDMBDll.h"
#include "ui/AnimatedPicture.h"
#include "ui/InfoPanels.h"
#include "ui/SkinPictures.h"
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace kobal {

void CPlayerDlg::onCommand(int id) {
    emit commandIssued(id);
    // Closing, Alt+F4 and minimising work whatever the window is doing.
    switch (id) {
    case cmd::kCloseButton:
    case cmd::kExit:
    case cmd::kCloseKey:
        requestClose();
        return;
    case cmd::kMinimise:
        showMinimized();
        return;
    default:
        break;
    }
    if (busy()) return;
    switch (id) {
    case cmd::kMute:
        mute(true);
        break;
    case cmd::kSound:
        mute(false);
        break;
    case cmd::kMuteToggle:
        mute(!s_.muted);
        break;
    case cmd::kVolumeUp:
        setVolumePosition(volume::up(s_.volumePosition));
        break;
    case cmd::kVolumeDown:
        setVolumePosition(volume::down(s_.volumePosition));
        break;
    case cmd::kPowerOn:
        powerOn();
        break;
    case cmd::kPowerOff:
        powerOff();
        break;
    case cmd::kChannelUp:
        stepChannel(+1);
        break;
    case cmd::kChannelDown:
        stepChannel(-1);
        break;
    case cmd::kHistoryBack:
        historyStep(-1);
        break;
    case cmd::kHistoryForward:
        historyStep(+1);
        break;
    case cmd::kScanSingle:
        userScan(ScanSingle);
        break;
    case cmd::kScanFull:
        userScan(ScanAll);
        break;
    case cmd::kScanList:
        userScan(ScanArbitrary);
        break;
    case cmd::kChannelPanel:
    case cmd::kChannelPanelMenu:
        toggleChannelPanel();
        break;
    case cmd::kChannelFileOpen:
        if (const QString path = ChannelListFile::chooseOpenPath(this); !path.isEmpty())
            openChannelListFile(path);
        break;
    case cmd::kChannelFileSave:
        if (!panel_) break;
        if (const QString path = ChannelListFile::chooseSavePath(this); !path.isEmpty())
            saveChannelListFile(path);
        break;
    case cmd::kViewToggle:
        if (s_.powerOn) toggleTransparent();
        break;
    case cmd::kTheaterButton:
        if (s_.tunerStatus != 256) enterTheater();
        break;
    case cmd::kTheaterToggle:
        if (session_ && !session_->currentKey().empty()) {
            s_.transparent = !s_.transparent;
            toggleTheater();
        }
        break;
    case cmd::kNormalView:
        if (s_.fullScreen) {
            s_.transparent = true;
            leaveTheater();
        } else if (s_.transparent) {
            toggleTransparent();
        }
        break;
    case cmd::kTransparentView:
        if (s_.fullScreen) {
            s_.fullScreen = false;
            videoRect_ = QRect();
            s_.transparent = false;
            showNormal();
        }
        toggleTransparent();
        break;
    case cmd::kTheaterView:
        if (!s_.fullScreen && session_ && !session_->currentKey().empty()) enterTheater();
        break;
    case cmd::kLeaveTheater:
        if (s_.fullScreen) leaveTheater();
        break;
    case cmd::kSize1x:
        applySizeMode(1);
        break;
    case cmd::kSize2x:
        applySizeMode(2);
        break;
    case cmd::kMaximise:
        maximise();
        break;
    case cmd::kAlwaysOnTop:
        toggleAlwaysOnTop();
        break;
    case cmd::kSignalDisplay:
        s_.levelDisplay = !s_.levelDisplay;
        update();
        break;
    case cmd::kCaptions:
        toggleCaptions();
        break;
    case cmd::kAudioMain:
        switchAudio(1);
        break;
    case cmd::kAudioSub:
        switchAudio(2);
        break;
    case cmd::kRecordStart:
        StartRecording();
        break;
    case cmd::kRecordStop:
        StopRecording();
        break;
    case cmd::kRecordToggle:
        ToggleRecording();
        break;
    case cmd::kOpenFile:
        openFiles();
        break;
    case cmd::kPlaylist:
        showPlaylistWindow();
        break;
    case cmd::kTimeShiftStart:
    case cmd::kTimeShiftPauseButton:
        timeShiftStart();
        break;
    case cmd::kTimeShiftPlay:
    case cmd::kTimeShiftPlayButton:
        timeShiftPlay();
        break;
    case cmd::kTimeShiftKey:
        if (s_.timeShiftActive)
            timeShiftPlay();
        else
            timeShiftStart();
        break;
    case cmd::kTimeShiftStop:
    case cmd::kTimeShiftStopButton:
        timeShiftStop();
        break;
    case cmd::kReservations:
        reservations_->runForm();
        startTimerId(timers::kReservation, 1000);
        break;
    default:
        menuCommand(id); // the commands of the menu bar alone
        break;
    }
}

void CPlayerDlg::toggleCaptions() {
    if (s_.sourceKind == 3) return;
    if (s_.timeShiftActive) {
        if (s_.signalLevel > 0)
            messageBox("タイムシフトの中なので始めることがないです", "Kobal メッセージ", MB_OK);
        return;
    }
    s_.captionsOn = !s_.captionsOn;
    panels_->setCaptionsOn(s_.captionsOn);
    if (s_.fullScreen) {
        videoRect_ = QRect();
        layoutChildren();
        return;
    }
    const QRect g = geometry();
    const int h = g.height() + (s_.captionsOn ? geometry::kCaptionRows : -geometry::kCaptionRows);
    setMinimumSize(geometry::minimumSize(s_.transparent, s_.captionsOn));
    setGeometry(g.x(), g.y(), g.width(), h);
    layoutChildren();
}

} // namespace kobal
