// The main window's recording, file playback and time shift. The renderer writes the
// recording; the window names the file, checks the disk and sends start and stop over the
// renderer link. Files open through the same worker as channels.
#include "app/CPlayerDlg.h"
#include "app/PlayerCommands.h"
#include "app/PlayerReservations.h"
#include "app/WindowGeometry.h"
#include "engine/TunerSession.h"
#include "link/RendererLinkProtocol.h"
#include "media/CPlayerGraph.h"
#include "media/PlaybackPanel.h"
#include "media/PlaylistWindow.h"
#include "media/RecorderControl.h"
#include "media/SeekBar.h"
#include "platform/Dialogs.h"
#include "renderer/MediaGraph.h"
#include "ui/InfoPanels.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <ctime>
#include <unistd.h>
#include <utility>

namespace kobal {
namespace {

constexpr const char* kTitle = "Kobal メッセージ";
const QString kOverBudget =
    QStringLiteral("タイムシフトが許容範囲を超えたため、再生に切り替わりました。");

std::string recordFolder() {
    std::string folder = ConfigStore::recordFolder();
    if (folder.empty()) {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) folder = cwd;
    }
    return folder;
}

bool isLinkName(const std::string& s) {
    return s.compare(0, 5, "x-dmb") == 0;
}

// Places a side window at `want`, pulled back inside the screen of `owner` so that its keys
// stay reachable on a small or scaled screen.
void placeBeside(QWidget* window, const QWidget* owner, QPoint want) {
    const QScreen* screen = owner->screen();
    window->move(screen ? geometry::within(want, window->size(), screen->availableGeometry())
                        : want);
}

std::string fileTitle(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

// --- recording -------------------------------------------------------------------------------

void CPlayerDlg::sendRecordCommand(uint32_t value) {
    if (!session_) return;
    const uint32_t command[3] = {records::kRecordingCommand, 12, value};
    session_->link().sendCommand(command, sizeof command);
}

void CPlayerDlg::StartRecording() {
    if (s_.recording || s_.sourceKind == 3 || !session_ || session_->currentKey().empty() ||
        s_.signalLevel == 0 || !streamEstablished_ || !isLinkName(currentLink_))
        return;
    if (s_.timeShiftActive) {
        messageBox("タイムシフト中には録画ができません。", kTitle, MB_OK);
        return;
    }
    const std::string folder = recordFolder();
    if (!media::enoughSpaceToRecord(folder)) {
        stopTimerId(timers::kReservation);
        const QString text = QStringLiteral("ディスク容量が不足しています。");
        showMessage(text, 200);
        setStatus(text);
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // The name is claimed by creating the file, so an earlier recording is never overwritten
    // and a folder or file that cannot be made is reported instead of a "REC" over nothing.
    const media::RecordFile file =
        media::claimRecordFile(folder, media::recordFileName(currentLink_, local));
    if (file.path.empty()) {
        messageBox("録画ファイルを作成できません。\n" + file.error, kTitle, MB_OK | MB_ICONERROR);
        return;
    }
    config_.writeRecordFileName(file.path);
    sendRecordCommand(records::kRecordStart);
    s_.recording = true;
    refreshRecordToggle();
    panels_->setRecording(true);
    panels_->setElapsed(0);
    elapsed_ = QStringLiteral("00:00:00");
    lastSecond_ = 0;
    recordStartMs_ = timers::tickMs();
    startTimerId(timers::kRecordTime, 1000);
    refreshButtons();
}

void CPlayerDlg::StopRecording(bool ask) {
    if (!s_.recording) return;
    if (ask && reservedRecording_ && !s_.closing &&
        messageBox("録画を中止しますが、よろしいですか", kTitle, MB_YESNO) != IDYES)
        return;
    s_.recording = false;
    sendRecordCommand(records::kRecordStop);
    panels_->setRecording(false);
    stopTimerId(timers::kRecordTime);
    elapsed_.clear();
    refreshRecordToggle();
    // A reserved recording that stops, for whatever reason, finishes its reservation now, so
    // the list saved at exit no longer holds it as waiting.
    if (std::exchange(reservedRecording_, false) && reservations_)
        reservations_->reservedRecordingStopped();
    refreshButtons();
}

// The playback panel's key starts a recording and stops one, whoever started it. Stopping
// needs no disk space; a reserved recording the user chose to keep stays reserved.
bool CPlayerDlg::recordToggleActs() const {
    return s_.powerOn && !s_.opening && !openInProgress_ && !s_.scanning && recordToggleAllowed_ &&
           s_.sourceKind != 3;
}

void CPlayerDlg::ToggleRecording() {
    if (!recordToggleActs()) return;
    const bool wasRecording = s_.recording;
    if (wasRecording || media::enoughSpaceToRecord(recordFolder()))
        onRendererCopyData(cmd::kCopyDataRecord, long(getpid()), {});
    if (!(wasRecording && s_.recording)) reservedRecording_ = false;
}

// The renderer could write no more (the disk filled up, most often) and closed the file: what
// it holds plays. The window stops showing "REC" and says why instead of counting on.
void CPlayerDlg::recordingFailed() {
    if (!s_.recording) return;
    StopRecording(false);
    const QString text =
        media::enoughSpaceToRecord(recordFolder())
            ? QStringLiteral("録画ファイルに書き込めないため、録画を停止しました。")
            : QStringLiteral("ディスク容量が不足しています。");
    showMessage(text, 200);
    setStatus(text);
}

void CPlayerDlg::recordTimer() {
    const long long e = timers::tickMs() - recordStartMs_;
    const int second = int(e / 1000 % 60);
    if (second != lastSecond_) {
        lastSecond_ = second;
        if (s_.recording) {
            panels_->setElapsed(e / 1000);
            elapsed_ = QString::fromStdString(media::clockText(e / 100));
        } else {
            elapsed_ = QStringLiteral("00:00:00");
            return;
        }
        update();
    }
    if (s_.recording) startTimerId(timers::kRecordTime, 1000);
}

// --- sources ---------------------------------------------------------------------------------

// UI thread, before the worker opens `display`: a file ends a recording and time shift.
void CPlayerDlg::sourcePrepared(const std::string& display) {
    if (!isLinkName(display) && s_.recording) StopRecording(false);
    stopTimerId(timers::kTimeShift);
    stopTimerId(timers::kPosition);
    durationTenths_ = positionTenths_ = 0;
    position_.clear();
    if (s_.timeShiftActive) {
        s_.timeShiftActive = false;
        refreshButtons();
    }
    if (playbackPanel_ && isLinkName(display)) playbackPanel_->hide();
    refreshSeekBar();
}

void CPlayerDlg::sourceOpened(bool ok, const std::string& link) {
    // A live source that plays can be recorded; a failed open or a file cannot.
    recordToggleAllowed_ = ok && isLinkName(link);
    refreshRecordToggle();
    if (!ok || isLinkName(link)) {
        if (ok) title_ = QString::fromStdString(link);
        return;
    }
    if (!media::isRecordedFile(link)) return;
    if (session_) {
        session_->setSourceKind(kSourceFile);
        session_->setCurrentKey("");
    }
    s_.sourceKind = 3;
    title_ = QString::fromStdString(fileTitle(link));
    durationTenths_ = media::CPlayerGraph(graph()).GetDuration();
    position_ = QString::fromStdString(media::positionText(0, durationTenths_));
    setStatus(title_);
    startTimerId(timers::kPosition, 100);
    // The playback panel sits under the window while the file plays.
    ensurePlaybackPanel();
    playbackPanel_->setTitle(title_);
    playbackPanel_->setPosition(0, durationTenths_);
    if (!s_.fullScreen) showPlaybackPanel();
    refreshPlaylistWindow();
    refreshSeekBar();
}

void CPlayerDlg::ensurePlaybackPanel() {
    if (playbackPanel_) return;
    playbackPanel_ = new CPlaybackPanel(this);
    playbackPanel_->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    connect(playbackPanel_, &CPlaybackPanel::seekRequested, this, [this](int64_t t) { seekTo(t); });
    connect(playbackPanel_, &CPlaybackPanel::command, this, &CPlayerDlg::onCommand);
}

// The panel's record key is enabled exactly where ToggleRecording would act.
void CPlayerDlg::refreshRecordToggle() {
    if (playbackPanel_) playbackPanel_->setRecordToggleEnabled(recordToggleActs());
}

void CPlayerDlg::showPlaybackPanel() {
    refreshRecordToggle();
    placePlaybackPanel();
    playbackPanel_->show();
}

void CPlayerDlg::placePlaybackPanel() {
    placeBeside(playbackPanel_, this, {frameGeometry().left(), frameGeometry().bottom() + 1});
}

// "再生パネル表示": the panel also opens while nothing plays (its slider then rests at 0).
void CPlayerDlg::togglePlaybackPanel() {
    if (playbackPanel_ && playbackPanel_->isVisible()) {
        playbackPanel_->hide();
        return;
    }
    ensurePlaybackPanel();
    showPlaybackPanel();
}

void CPlayerDlg::positionTimer() {
    auto g = graph();
    if (!g || s_.sourceKind != 3) return;
    int64_t p = 0;
    if (media::CPlayerGraph(g).GetPosition(&p)) {
        positionTenths_ = p;
        position_ = QString::fromStdString(media::positionText(p, durationTenths_));
        if (playbackPanel_) playbackPanel_->setPosition(p, durationTenths_);
        refreshSeekBar();
    }
    startTimerId(timers::kPosition, 300);
}

// The window's own seek bar serves the views without a control panel: it seeks in a recorded
// file, and while live television is held it shows how much of the hour is spent.
void CPlayerDlg::refreshSeekBar() {
    const bool panelless = s_.transparent || s_.fullScreen;
    const bool file = s_.sourceKind == 3 && durationTenths_ > 0;
    const bool held = s_.sourceKind != 3 && (s_.timeShiftActive || timeShifted_);
    if (!panelless || (!file && !held)) {
        if (seekBar_) seekBar_->hide();
        return;
    }
    if (!seekBar_) {
        seekBar_ = new CSeekBar(this);
        connect(seekBar_, &CSeekBar::seekRequested, this, [this](int64_t t) { seekTo(t); });
    }
    seekBar_->place(size());
    if (file)
        seekBar_->showPosition(positionTenths_, durationTenths_, true);
    else
        seekBar_->showPosition(int64_t(timeShiftBudget_.seconds()) * 10,
                               int64_t(media::TimeShiftBudget::kSeconds) * 10, false);
}

void CPlayerDlg::seekTo(int64_t tenths) {
    if (s_.sourceKind != 3 || openInProgress_) return;
    media::CPlayerGraph(graph()).Seek(std::clamp<int64_t>(tenths, 0, durationTenths_));
}

void CPlayerDlg::openFiles() {
    QString folder = QString::fromStdString(ConfigStore::recordFolder());
    const QStringList files =
        chooseFiles ? chooseFiles(folder)
                    : QFileDialog::getOpenFileNames(this, QStringLiteral("ファイル選択"), folder,
                                                    QStringLiteral("1SEG REC Files (*.rec);;All "
                                                                   "Files (*)"));
    if (files.isEmpty()) return;
    if (s_.captionsOn) toggleCaptions();
    if (s_.recording) {
        if (messageBox("再生を行うと録画が停止します。再生を行いますか。", kTitle, MB_YESNO) !=
            IDYES)
            return;
        StopRecording(false);
    }
    stopTimerId(timers::kTimeShift);
    // Only the first selected file plays; it is the playlist's only entry.
    playlist_.clear();
    playlist_.append(files.front().toStdString());
    playlist_.save(config_.paths().playlistFile);
    refreshPlaylistWindow();
    playEntry(0);
}

void CPlayerDlg::playEntry(int index) {
    if (index < 0 || index >= playlist_.count() || s_.closing) return;
    playlist_.setIndex(index);
    const std::string path = playlist_.current();
    if (openInProgress_) {
        pendingLink_ = path;
        return;
    }
    currentLink_ = path;
    startTimerId(timers::kPrepareOpen, 100);
}

void CPlayerDlg::onGraphEvent(long code) {
    if (code == render::EC_RECORDING_STOPPED) {
        recordingFailed();
        return;
    }
    if (code != render::EC_COMPLETE || s_.sourceKind != 3) return;
    // The index moves on; the next entry plays when it is chosen in the playlist.
    playlist_.advance();
    if (auto g = graph()) g->Pause();
    s_.playState = 3;
    stopTimerId(timers::kPosition);
    position_ = QString::fromStdString(media::positionText(durationTenths_, durationTenths_));
    positionTenths_ = durationTenths_;
    if (playbackPanel_) playbackPanel_->setPosition(durationTenths_, durationTenths_);
    refreshSeekBar();
    refreshPlaylistWindow();
    update();
}

void CPlayerDlg::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CPlayerDlg::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls()) paths << url.toLocalFile();
    dropFiles(paths);
    e->acceptProposedAction();
}

// Dropped iEPG files (".pl", and ".tvpi"/".tvpid" as web pages name them) are reservations;
// anything else is not for the player.
void CPlayerDlg::dropFiles(const QStringList& dropped) {
    std::vector<std::string> paths;
    for (const QString& path : dropped) {
        const QString name = path.toLower();
        if (name.endsWith(QStringLiteral(".pl")) || name.endsWith(QStringLiteral(".tvpi")) ||
            name.endsWith(QStringLiteral(".tvpid")))
            paths.push_back(path.toStdString());
    }
    for (const std::string& p : paths) importIepg(p);
}

void CPlayerDlg::showPlaylistWindow() {
    if (!playlistWindow_) {
        playlistWindow_ = new CPlaylistWindow(this);
        playlistWindow_->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        connect(playlistWindow_, &CPlaylistWindow::activated, this, [this](int i) {
            // Through the event loop, as the window's activation posts it.
            QMetaObject::invokeMethod(
                this, [this, i] { playEntry(i); }, Qt::QueuedConnection);
        });
        connect(playlistWindow_, &CPlaylistWindow::filesDropped, this, &CPlayerDlg::dropFiles);
    }
    if (!playlistWindow_->isVisible()) {
        // Right of the window, or left of it where the screen ends.
        QPoint at(frameGeometry().right() + 1, frameGeometry().top());
        if (const QScreen* screen = this->screen();
            screen && at.x() + playlistWindow_->width() > screen->availableGeometry().right())
            at.setX(frameGeometry().left() - playlistWindow_->width());
        placeBeside(playlistWindow_, this, at);
    }
    refreshPlaylistWindow();
    playlistWindow_->show();
    playlistWindow_->raise();
}

void CPlayerDlg::refreshPlaylistWindow() {
    if (!playlistWindow_) return;
    QStringList paths;
    for (const std::string& p : playlist_.entries()) paths << QString::fromStdString(p);
    playlistWindow_->setEntries(paths, playlist_.index());
}

// --- time shift ------------------------------------------------------------------------------

bool CPlayerDlg::timeShiftRefused() {
    if (!graph() || s_.recording || s_.sourceKind == 3 || s_.lowSignalShown) return true;
    if (s_.captionsOn) {
        messageBox("字幕表示中は、タイムシフトは実行できません。", kTitle, MB_OK);
        return true;
    }
    return false;
}

void CPlayerDlg::timeShiftStart() {
    if (!streamEstablished_ || s_.timeShiftActive || timeShiftRefused()) return;
    // The renderer keeps an hour at most: the budget counts every paused second per channel.
    if (timeShiftBudget_.exhausted()) {
        showMessage(kOverBudget, 200);
        return;
    }
    startTimerId(timers::kTimeShift, 1000);
    graph()->Pause();
    s_.playState = 2;
    s_.timeShiftActive = true;
    timeShifted_ = true;
    // The picture falls behind the broadcast from now on: the signal poll counts by how much,
    // so a loss of reception shows its notice only once the kept pictures have played.
    s_.lowSignalTick = timers::tickMs();
    refreshButtons();
    refreshSeekBar();
}

void CPlayerDlg::timeShiftPlay() {
    if (timeShiftRefused() || !s_.timeShiftActive) return;
    stopTimerId(timers::kTimeShift);
    graph()->Run();
    s_.playState = 1;
    s_.timeShiftActive = false;
    s_.lowSignalTick = -1; // behind by what was counted, no further
    refreshButtons();
    refreshSeekBar();
}

void CPlayerDlg::timeShiftStop() {
    if (!graph() || s_.recording || s_.sourceKind == 3 || !session_ ||
        (!s_.timeShiftActive && !timeShifted_))
        return;
    stopTimerId(timers::kTimeShift);
    s_.timeShiftActive = false;
    s_.lowSignalArmed = false;
    s_.lowSignalMillis = 0;
    refreshButtons();
    refreshSeekBar();
    // Back to the broadcast: the last channel of the history is tuned again (which gives the
    // budget back), without adding it to the history a second time.
    std::string key = history_.last();
    if (key.empty()) key = session_->currentKey();
    if (key.empty()) return;
    historyFlag_ = false;
    tuneKey(key);
    historyFlag_ = true;
}

void CPlayerDlg::timeShiftTimer() {
    if (!s_.timeShiftActive) return;
    const bool spent = timeShiftBudget_.tick();
    refreshSeekBar();
    if (!spent) {
        startTimerId(timers::kTimeShift, 1000);
        return;
    }
    showMessage(kOverBudget, 200);
    // The message shows for two seconds before the picture moves again.
    QTimer::singleShot(2000, this, [this] {
        if (!s_.timeShiftActive) return;
        if (auto g = graph()) g->Run();
        s_.playState = 1;
        s_.timeShiftActive = false;
        s_.lowSignalTick = -1;
        refreshButtons();
        refreshSeekBar();
    });
}

} // namespace kobal
