#pragma once
// The player's main window: owner of the tuner session, the media graph, the channel lists
// and scan results, the worker thread that opens sources and every child control. All of it
// runs on the UI thread, apart from the worker (which only builds media graphs) and the scan
// thread (which only calls the tuner's scan). Engine and renderer threads reach the window
// through queued calls; the window never waits for them.
//
// Buttons, keys, the right-click menu and other processes all end in onCommand(id) or the
// copy-data handlers, so a command behaves the same whichever way it came.
#include "app/CPlayerApp.h"
#include "app/ConfigStore.h"
#include "app/PlayerReservations.h"
#include "app/PlayerTimers.h"
#include "channels/ChannelHistory.h"
#include "channels/ChannelListDialog.h"
#include "channels/ChannelScan.h"
#include "media/Playlist.h"
#include "media/TimeShift.h"

#include "skin/QXBaseDialog.h"

#include <QImage>
#include <QPointer>
#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

class QTimer;
class QAbstractButton;

namespace kobal {

class TunerSession;
class SourceWorker;
class SystemEvents;
class PlayerSessionWindow;
class PlayerRendererHost;
class InfoPanels;
class CAnimatedPicture;
class CChannelPanel;
class CChannelPopup;
class CSkinMenuBar;
namespace render {
class MediaGraph;
}

class CPlayerDlg : public CQXBaseDialog, public ChannelListScanHost {
    Q_OBJECT
public:
    explicit CPlayerDlg(const StartupArgs& args = {});
    ~CPlayerDlg() override;

    // The window's initialisation, in order: worker, settings, view, volume, tuner session
    // (with the start-up scan), timers, screen saver. False when the worker could not start
    // (the window then stays up without its session).
    bool initialise();

    // From a second start: "+x" closes (leaving tray mode), "+tray" nothing, anything else is
    // an iEPG file. Answers 1.
    long onArgument(const std::string& text);
    // Other copy-data numbers from other processes are not ours to take: 0.
    long onCopyData(unsigned long n, const std::string& text);
    // Copy-data from the renderer and from the window itself (2, 3, 4, 10, 14).
    long onRendererCopyData(unsigned long command, long processId,
                            const std::vector<uint8_t>& data);
    void activate();
    void requestClose();
    void onCommand(int id);

    // The reservation sheet (View menu "予約録画設定表示", command cmd::kReservationWindow;
    // reservationSettingsVisible() gives the menu's check mark) and the alarm settings (Tools
    // menu "指定時刻アラートの設定", command cmd::kAlarmSettings: the alarm dialog, in
    // PlayerReservations.cpp); the others in PlayerMenus.cpp.
    void toggleReservationSettings();
    bool reservationSettingsVisible() const;
    void showAlarmSettings();

    // An iEPG file (second argument, a second start's relay, a drop) becomes a reservation
    // through the details dialog, from the event loop: the caller never waits for it.
    void importIepg(const std::string& path);
    // The open-file dialog "ファイル選択" (multi-select, starting in `folder`); tests answer it.
    std::function<QStringList(const QString& folder)> chooseFiles;

    // Recording, playback and time shift (PlayerMedia.cpp).
    void StartRecording();
    // ask: a reserved recording asks before it stops (not when the window closes).
    void StopRecording(bool ask = true);
    void ToggleRecording();
    void openFiles();
    void playEntry(int index);
    void seekTo(int64_t tenths);
    void onGraphEvent(long code);
    const media::Playlist& playlist() const { return playlist_; }
    const media::TimeShiftBudget& timeShiftBudget() const { return timeShiftBudget_; }
    // Writable for tests, which cannot wait an hour for it to run out.
    media::TimeShiftBudget& timeShiftBudget() { return timeShiftBudget_; }
    QString elapsedDisplay() const { return elapsed_; }
    QString positionDisplay() const { return position_; }
    QString title() const { return title_; }
    int64_t durationTenths() const { return durationTenths_; }
    class CPlaybackPanel* playbackPanel() const {
        return playbackPanel_;
    }
    class CPlaylistWindow* playlistWindow() const {
        return playlistWindow_;
    }
    // The window's own seek bar (transparent and theater views); nullptr until first needed.
    class CSeekBar* seekBar() const {
        return seekBar_;
    }

    // State, for the window's own pieces and tests.
    struct State {
        int sourceKind = 0;
        int playState = -1;
        bool recording = false;
        bool powerOn = false;
        bool muted = false;
        int volumePosition = 450;
        int savedVolume = 450;
        int signalLevel = 0;
        int tunerStatus = 0;
        bool lowSignalShown = false;
        bool lowSignalArmed = false;
        long lowSignalMillis = 0;
        long long lowSignalTick = -1;
        bool timeShiftActive = false;
        bool captionsOn = false;
        bool fullScreen = false;
        bool transparent = false;
        bool maximised = false;
        int sizeMode = 1;
        bool scanning = false;
        bool opening = false;
        bool closing = false;
        bool deviceBusy = false;
        bool levelDisplay = true;
        bool channelDisplay = true; // the message line with the channel's name
        int audioMode = 0;
    };
    const State& state() const { return s_; }
    const ConfigStore& config() const { return config_; }
    QString statusText() const { return status_; }
    bool openInProgress() const { return openInProgress_.load(); }
    std::shared_ptr<render::MediaGraph> graph() const;
    TunerSession* session() const { return session_.get(); }
    const ChannelScan& channels() const { return scan_; }
    // The reservation sheet "予約録画の設定" (made hidden once the settings are loaded).
    CReservationSheet* reservationSheet() const {
        return reservations_ ? reservations_->sheet() : nullptr;
    }
    PlayerReservations& reservations() const { return *reservations_; }
    QRect pictureRect() const;
    // The caption panel, ticker, message line and recording indicator.
    InfoPanels& panels() const { return *panels_; }
    QWidget* button(int id) const;
    // The skinned menu bar (its drop-downs open from it).
    CSkinMenuBar* menuBar() const { return menuBar_; }
    bool timerArmed(int id) const;

    // Channels: the panel (created by the first scan), the theater pop-up, the history, and
    // the ".chl" commands without their file dialogs.
    CChannelPanel* channelPanel() const { return panel_; }
    CChannelPopup* channelPopup() const { return popup_; }
    const ChannelHistory& history() const { return history_; }
    void openChannelListFile(const QString& path);
    void saveChannelListFile(const QString& path);
    void chooseChannelLine(int row);
    void showChannelPopup(const QPoint& globalPos);
    // The channel list dialog's OK: a scan of exactly that list's enabled slots.
    void scanChannelListNow(const ChannelList& list) override;

signals:
    void closed();
    // Every command as it reaches onCommand, whichever way it came.
    void commandIssued(int id);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void closeEvent(QCloseEvent*) override;
    void OnLButtonDown(Qt::KeyboardModifiers flags, const QPoint& point) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent*) override;

private:
    friend class PlayerSessionWindow;
    friend class PlayerRendererHost;
    friend class PlayerReservations;

    // What the engine threads produced since the last wake-up.
    void takeOutputs();

    // Timers by id.
    void startTimerId(int id, int ms);
    void stopTimerId(int id);
    void onTimer(int id);
    void pollSignal();
    void lowSignalCheck();

    // Sources: the UI thread prepares, the worker opens.
    void openPath(const std::string& link);
    void prepareOpen();
    void workerJob(const std::string& link);
    void openFinished(std::shared_ptr<render::MediaGraph> graph, long result,
                      const std::string& link);
    void stopPlayback();

    // Channels.
    bool startScan(ScanMode kind);
    void scanFinished();
    void tuneKey(const std::string& key);
    void stepChannel(int direction);
    bool channelChangeRefused();
    void userScan(ScanMode kind);
    void historyStep(int direction);
    void ensurePanel();
    void toggleChannelPanel();
    void showChannelListSettings(); // "チャンネルリストの設定"
    void setScanParameters(const ChannelList& list);
    void powerOffScan(int slot);

    // Commands.
    bool busy() const;
    void setVolumePosition(int position);
    void applyVolume();
    void mute(bool on);
    void powerOn();
    void powerOff();
    void toggleCaptions();
    void switchAudio(int mode);
    void onAudioMode(int mode);
    void onDevicesChanged();
    void onSleep(bool sleeping);

    // Views.
    void toggleTransparent();
    void enterTheater();
    void leaveTheater();
    void toggleTheater();
    void applySizeMode(int mode);
    void maximise();
    void toggleAlwaysOnTop();
    void applyView(int view);
    void layoutChildren();
    void placeVideo();
    void reshape();
    void setTopMost(bool on);
    int videoHeight() const;
    // The channel panel and the playback panel, attached to the window (and the playlist
    // window, which the transparent view also puts away).
    void hideAttachedWindows(bool playlistToo);
    void placeAttachedWindows();
    void restoreAttachedWindows();

    // The status line and on-screen messages (the information panel's message line).
    void setStatus(const QString& text);
    void showMessage(const QString& text, int tickerMs);
    void updateCursor();
    void showPicture(int id); // 501, 502, 0 hides

    // Recording, playback and time shift (PlayerMedia.cpp).
    void recordTimer();
    void positionTimer();
    void timeShiftStart();
    void timeShiftPlay();
    void timeShiftStop();
    void timeShiftTimer();
    bool timeShiftRefused();
    void sendRecordCommand(uint32_t value);
    void sourcePrepared(const std::string& display);
    void sourceOpened(bool ok, const std::string& link);
    void dragEnterEvent(QDragEnterEvent*) override;
    void dropEvent(QDropEvent*) override;
    void dropFiles(const QStringList& paths);
    void showPlaylistWindow();
    void refreshPlaylistWindow();
    void ensurePlaybackPanel();
    void showPlaybackPanel();
    void placePlaybackPanel();
    void togglePlaybackPanel();
    // The skinned menu bar, the option pages, the key list and help (PlayerMenus.cpp).
    void buildMenuBar();
    void placeMenuBar();
    bool menuEvent(QObject* watched, QEvent* event);
    void onMenuChosen(int list, int item);
    std::array<bool, 12> menuChecks(int list) const;
    void menuCommand(int id);
    void showOptions();
    void showKeyList();
    void showHelp();
    void showVersion();
    void toggleChannelDisplay();
    void refreshSeekBar();
    void refreshRecordToggle();
    bool recordToggleActs() const;
    void recordingFailed();

    void closeSequence();
    void buildControls();
    void refreshButtons();

    StartupArgs args_;
    State s_;
    ConfigStore config_;
    std::unique_ptr<PlayerReservations> reservations_;
    // The alarm's slot for the start-up scan (-1: none); cleared after the first scan.
    int requestedSlot_ = -1;
    ChannelLists lists_;
    StartupSettings start_;
    ChannelScan scan_;
    ScanMode scanKind_ = ScanNone;
    std::thread scanThread_;
    // The slots and names the next All or Arbitrary scan passes to the tuner; kept until the
    // scan has finished (the scan thread reads its own copy).
    std::vector<int> scanSlots_;
    std::vector<ChannelList::NameBuffer> scanNames_;
    int singleSlot_ = 0;
    bool quietScan_ = false; // power off's probe: no tuning follows
    ChannelHistory history_;
    bool historyFlag_ = true;
    CChannelPanel* panel_ = nullptr;
    CChannelPopup* popup_ = nullptr;
    std::unique_ptr<PlayerSessionWindow> sessionWindow_;
    std::unique_ptr<PlayerRendererHost> rendererHost_;
    std::unique_ptr<TunerSession> session_;
    std::unique_ptr<SourceWorker> worker_;
    std::unique_ptr<SystemEvents> system_;

    mutable std::mutex graphLock_;
    std::shared_ptr<render::MediaGraph> graph_; // built and released by the worker
    std::atomic<bool> openInProgress_{false};
    std::string currentLink_, pendingLink_;
    bool streamEstablished_ = false;

    std::map<int, QTimer*> timers_;
    QRect savedRect_;
    bool restoreSaved_ = false;
    QRect videoRect_; // theater picture; empty: still to be computed
    bool closeDone_ = false;

    QString status_;
    QImage frame_; // the normal view's background
    std::unique_ptr<InfoPanels> panels_;
    CAnimatedPicture* picture_ = nullptr; // GIF 501 / 502
    int pictureId_ = 0;
    class CBitmapSlider* volume_ = nullptr;
    std::map<int, QAbstractButton*> buttons_;
    // Recording, playback and time shift.
    media::Playlist playlist_;
    media::TimeShiftBudget timeShiftBudget_;
    bool timeShifted_ = false; // the picture runs behind the broadcast since a pause
    bool reservedRecording_ = false;
    bool recordToggleAllowed_ = true; // the source is live and plays
    long long recordStartMs_ = 0;
    int lastSecond_ = -1;
    int64_t durationTenths_ = 0, positionTenths_ = 0;
    QString elapsed_, position_, title_;
    class CPlaybackPanel* playbackPanel_ = nullptr;
    class CPlaylistWindow* playlistWindow_ = nullptr;
    CSkinMenuBar* menuBar_ = nullptr;
    bool altAlone_ = false; // Alt went down and nothing else since: its release opens the menu
    class CSeekBar* seekBar_ = nullptr;
};

} // namespace kobal
