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
#include <malloc.h>
#include <unistd.h>

namespace kobal {
namespace {

std::string lowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool isLink(const std::string& s) {
    return s.compare(0, 5, "x-dmb") == 0;
}

// Waits in the event loop until done() or the time is up (the worker and the renderer may
// need the UI thread meanwhile).
void pumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace

CPlayerDlg::CPlayerDlg(const StartupArgs& args)
    : CQXBaseDialog(103), args_(args), sessionWindow_(std::make_unique<PlayerSessionWindow>(this)),
      rendererHost_(std::make_unique<PlayerRendererHost>(this)) {
    setWindowTitle(kPlayerTitle);
    setWindowIcon(QIcon(skinPixmap(pic::kPlayerIcon)));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    qApp->installEventFilter(this);
    buildMenuBar();
}

CPlayerDlg::~CPlayerDlg() {
    qApp->removeEventFilter(this);
    if (!closeDone_) closeSequence();
    if (scanThread_.joinable()) scanThread_.join();
    worker_.reset();
    session_.reset(); // closes the tuner
}

bool CPlayerDlg::initialise() {
    worker_ = std::make_unique<SourceWorker>([this](const std::string& link) { workerJob(link); });
    buildControls();

    reservations_ = std::make_unique<PlayerReservations>(this);
    {
        ConfigStore::Hooks hooks;
        hooks.loadReservations = [this] { reservations_->load(); };
        hooks.saveReservations = [this] { reservations_->save(); };
        config_.setHooks(std::move(hooks));
    }
    start_ = config_.LoadSettings(lists_);
    reservations_->createSheet();
    playlist_.load(config_.paths().playlistFile);
    setAcceptDrops(true);
    requestedSlot_ = reservations_->requestedSlotAtStart();
    s_.volumePosition = start_.volumePos;
    s_.savedVolume = start_.volumePos;
    if (start_.muted) {
        s_.muted = true;
        s_.volumePosition = 0;
    }
    // The simulator airs the chosen area.
    if (AreaPresetTable::validArea(start_.channels.area))
        veltra::sim::setArea(start_.channels.area);
    session_ = std::make_unique<TunerSession>(*sessionWindow_);
    QPointer<CPlayerDlg> self(this);
    session_->outputs().setWake([self] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self) self->takeOutputs();
            },
            Qt::QueuedConnection);
    });

    move(start_.position);
    applyView(start_.startView);
    setTopMost(start_.topMost);

    if (!args_.importPath.empty()) importIepg(args_.importPath);

    showPicture(501);
    applyVolume();
    layoutChildren();

    // The tuner session starts with a scan; its end tunes the channel.
    s_.powerOn = true;
    scanKind_ = start_.channels.scanKind;
    if (scanKind_ == ScanArbitrary) setScanParameters(lists_[size_t(start_.channels.listNumber)]);
    startScan(scanKind_);

    startTimerId(timers::kReservation, 1000);
    // A damaged reservation or alarm file, and the start-up purge, are told once the window is
    // up.
    for (const std::string& text : reservations_->takeMessages())
        messageBox(text, "Kobal メッセージ", MB_OK);
    system_ = std::make_unique<SystemEvents>();
    connect(system_.get(), &SystemEvents::devicesChanged, this, &CPlayerDlg::onDevicesChanged);
    connect(system_.get(), &SystemEvents::prepareForSleep, this, &CPlayerDlg::onSleep);
    system_->inhibitScreenSaver();
    refreshButtons();
    return true;
}

void CPlayerDlg::takeOutputs() {
    if (!session_) return;
    EngineOutputs out = session_->outputs().take();
    // Status lines, ticker and captions go to the information panels.
    if (!out.statusLines.empty()) status_ = QString::fromStdU16String(out.statusLines.back());
    panels_->apply(out);
    if (out.streamEstablished) streamEstablished_ = true;
    if (out.channelAvailable && panel_) panel_->markReceivable(*out.channelAvailable);
    if (out.programmeList) reservations_->onGuide(*out.programmeList);
    for (const EngineMessage& m : out.messages) messageBox(m.text, m.title, m.flags);
}

// --- timers ----------------------------------------------------------------------------------

void CPlayerDlg::startTimerId(int id, int ms) {
    QTimer*& t = timers_[id];
    if (!t) {
        t = new QTimer(this);
        // The one-shots re-arm themselves where they need to.
        t->setSingleShot(id != timers::kReservation && id != timers::kSignalPoll);
        connect(t, &QTimer::timeout, this, [this, id] { onTimer(id); });
    }
    t->start(std::max(0, ms));
}

void CPlayerDlg::stopTimerId(int id) {
    auto it = timers_.find(id);
    if (it != timers_.end() && it->second) it->second->stop();
}

bool CPlayerDlg::timerArmed(int id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second && it->second->isActive();
}

void CPlayerDlg::onTimer(int id) {
    switch (id) {
    case timers::kPrepareOpen:
        prepareOpen();
        break;
    case timers::kReservation:
        if (reservations_) reservations_->check();
        break;
    case timers::kTuneWaiting:
        if (session_) {
            config_.writeCurrentChannel(session_->currentKey());
            const std::string key = session_->waitingKey();
            session_->setWaitingKey("");
            if (!key.empty()) tuneKey(key);
        }
        break;
    case timers::kSignalPoll:
        pollSignal();
        break;
    case timers::kLowSignal:
        lowSignalCheck();
        break;
    case timers::kRecordTime:
        recordTimer();
        break;
    case timers::kPosition:
        positionTimer();
        break;
    case timers::kTimeShift:
        timeShiftTimer();
        break;
    case timers::kScanRetry:
        if (!startScan(ScanArea))
            showMessage(QStringLiteral("USBデバイスが見つかりません。システムを確認してください。"),
                        -1);
        break;
    default:
        break;
    }
}

void CPlayerDlg::pollSignal() {
    if (!session_ || !session_->tuner().IsOpen()) {
        stopTimerId(timers::kSignalPoll);
        return;
    }
    CTDMBDll& tuner = session_->tuner();
    s_.tunerStatus = int(tuner.receptionStatus);
    const int level = timers::signalLevelFor(tuner.signalLevel);
    if (level > 0) s_.lowSignalShown = false;
    if (level != s_.signalLevel) {
        s_.signalLevel = level;
        update(geometry::levelIcon(size()));
    }
    if (s_.tunerStatus == 255 && !s_.lowSignalArmed) {
        if (!s_.timeShiftActive) {
            startTimerId(timers::kLowSignal, int(s_.lowSignalMillis + 5000));
            s_.lowSignalArmed = true;
        }
        s_.lowSignalTick = -1;
    } else if (s_.tunerStatus == 0 && s_.lowSignalArmed) {
        stopTimerId(timers::kLowSignal);
        auto g = graph();
        if (g) g->put_Visible(true);
        showPicture(0);
        if (g && s_.sourceKind != 3 && s_.timeShiftActive) g->Run();
        if (s_.lowSignalShown) showMessage(QString(), 0);
        s_.timeShiftActive = false;
        s_.lowSignalArmed = false;
        s_.lowSignalShown = false;
    }
    if (s_.lowSignalTick != -1) {
        const long long now = timers::tickMs();
        s_.lowSignalMillis += long(now - s_.lowSignalTick + 200);
        s_.lowSignalTick = now;
    }
}

void CPlayerDlg::lowSignalCheck() {
    auto g = graph();
    if (!g || !session_ || session_->sourceKind() != kSourceLive) return;
    if (!s_.timeShiftActive) g->Pause();
    s_.timeShiftActive = true;
    g->put_Visible(false);
    showPicture(502);
    s_.lowSignalShown = true;
    s_.lowSignalMillis = 0;
    s_.lowSignalTick = -1;
    const QString text = QStringLiteral("受信レベルが低いため、表示できません。");
    showMessage(text, -1);
    setStatus(text);
}

// --- sources ---------------------------------------------------------------------------------

std::shared_ptr<render::MediaGraph> CPlayerDlg::graph() const {
    std::lock_guard<std::mutex> lk(graphLock_);
    return graph_;
}

void CPlayerDlg::openPath(const std::string& link) {
    if (link.empty() || s_.closing) return;
    if (openInProgress_) {
        pendingLink_ = link;
        return;
    }
    currentLink_ = link;
    startTimerId(timers::kPrepareOpen, 100);
}

void CPlayerDlg::prepareOpen() {
    if (openInProgress_) {
        startTimerId(timers::kPrepareOpen, 100);
        return;
    }
    std::string display = currentLink_;
    if (!pendingLink_.empty()) {
        display = currentLink_ = pendingLink_;
        pendingLink_.clear();
    }
    sourcePrepared(display);
    streamEstablished_ = false;
    // A new source starts level with the broadcast: nothing of a time shift is behind it.
    s_.lowSignalTick = -1;
    s_.lowSignalMillis = 0;
    s_.timeShiftActive = false;
    s_.lowSignalArmed = false;
    stopTimerId(timers::kLowSignal);
    // The old picture goes now; its graph goes on the worker.
    if (auto g = graph()) g->put_Visible(false);
    openInProgress_ = true;
    s_.opening = true;
    s_.playState = 3;
    updateCursor();
    worker_->release(display);
}

// Worker thread: release the old graph, build the new one (its video window is made on the
// UI thread, and the renderer's start is answered there), hand it to the UI thread.
void CPlayerDlg::workerJob(const std::string& link) {
    std::shared_ptr<render::MediaGraph> old;
    {
        std::lock_guard<std::mutex> lk(graphLock_);
        old = std::move(graph_);
    }
    if (old) {
        old.reset();
        // Hand the old graph's freed buffers back to the system: they stay in the malloc
        // arenas of its threads, and the next graph's threads reuse only part of them (the
        // resident size grew by some 20 MB over a few channel changes, then stayed there).
        malloc_trim(0);
        // The old graph's "stopped" (copy-data 4, posted from its reader) pulses the renderer's
        // stop event: let the UI thread take it before the new graph opens that event.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] {}, Qt::BlockingQueuedConnection);
    }
    if (link.empty()) {
        // Releasing only (power off, close).
        QMetaObject::invokeMethod(
            this,
            [this] {
                openInProgress_ = false;
                recordToggleAllowed_ = false; // nothing plays now
                refreshRecordToggle();
            },
            Qt::QueuedConnection);
        return;
    }
    auto g = std::make_shared<render::MediaGraph>(rendererHost_.get());
    const long hr = g->RenderFile(link);
    QPointer<CPlayerDlg> self(this);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, g, hr, link]() mutable {
            if (self) self->openFinished(std::move(g), hr, link);
        },
        Qt::QueuedConnection);
}

void CPlayerDlg::openFinished(std::shared_ptr<render::MediaGraph> g, long hr,
                              const std::string& link) {
    if (hr == render::S_OK && !s_.closing) {
        {
            std::lock_guard<std::mutex> lk(graphLock_);
            graph_ = g;
        }
        g->put_Owner(this);
        g->put_Visible(true);
        placeVideo();
        showPicture(0);
        applyVolume();
        g->Run();
        s_.playState = 1;
        if (isLink(link)) {
            std::string rest = link.size() > 8 ? link.substr(8) : std::string();
            for (char& c : rest)
                if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
            setStatus(QStringLiteral("チャンネル : ") + QString::fromStdString(rest));
        }
        startTimerId(timers::kSignalPoll, 800);
    } else {
        // The worker releases the graph that failed when it next runs.
        if (!s_.closing) {
            std::lock_guard<std::mutex> lk(graphLock_);
            graph_ = std::move(g);
        }
        if (session_) session_->onCopyData(kCopyDataStop, long(getpid()), {});
        const QString text = QStringLiteral("受信レベルが低いため、表示できません。");
        showMessage(text, -1);
        showPicture(502);
    }
    s_.opening = false;
    openInProgress_ = false;
    sourceOpened(hr == render::S_OK && !s_.closing, link);
    updateCursor();
    panels_->clearCaptions();
    if (!pendingLink_.empty()) startTimerId(timers::kPrepareOpen, 100);
}

void CPlayerDlg::stopPlayback() {
    // Every way the source goes (power off, device removal, a scan, sleep) ends a recording.
    if (s_.recording) StopRecording(false);
    s_.playState = 3;
    stopTimerId(timers::kSignalPoll);
    if (graph()) {
        openInProgress_ = true;
        refreshRecordToggle();
        worker_->release(std::string()); // the worker releases its graph
    }
}

long CPlayerDlg::onRendererCopyData(unsigned long command, long processId,
                                    const std::vector<uint8_t>& data) {
    if (!session_) return 0;
    if (command == cmd::kCopyDataRecord && processId == long(getpid())) {
        if (s_.recording)
            StopRecording();
        else
            StartRecording();
        return 1;
    }
    // The renderer stopped: what it wrote is complete; the recording is over.
    if (command == kCopyDataRendererStopped && processId == long(getpid()) && s_.recording)
        StopRecording(false);
    const long result = session_->onCopyData(command, processId, data);
    s_.sourceKind = session_->sourceKind();
    if (command == kCopyDataRendererReady && result) {
        s_.opening = false;
        updateCursor();
    }
    return result;
}

// --- channels --------------------------------------------------------------------------------

void CPlayerDlg::tuneKey(const std::string& key) {
    const ChannelRecord* r = scan_.recordOfSlot(ChannelScan::slotOfKey(key));
    if (!r || r->state != 1 || !session_) return;
    session_->setCurrentKey(key);
    config_.writeCurrentChannel(key);
    timeShiftBudget_.channelTuned();
    timeShifted_ = false;
    if (historyFlag_) history_.add(key);
    if (panel_) panel_->selectKey(key);
    s_.powerOn = true;
    refreshButtons();
    openPath("x-dmb://" + lowerCase(key));
}

void CPlayerDlg::stepChannel(int direction) {
    if (!session_ || session_->currentKey().empty() || s_.scanning || s_.opening ||
        openInProgress_ || s_.sourceKind == 3)
        return;
    if (channelChangeRefused()) return;
    const std::string key = scan_.step(session_->currentKey(), direction);
    if (!key.empty()) tuneKey(key);
}

// --- commands --------------------------------------------------------------------------------

bool CPlayerDlg::busy() const {
    return s_.scanning || openInProgress_;
}

void CPlayerDlg::setVolumePosition(int position) {
    s_.volumePosition = std::clamp(position, 0, volume::kMax);
    applyVolume();
    update();
}

void CPlayerDlg::applyVolume() {
    config_.settings().noteVolume(s_.muted ? s_.savedVolume : s_.volumePosition, s_.muted);
    if (auto g = graph())
        g->put_Volume(s_.muted ? volume::kSilence : volume::toHundredthsDb(s_.volumePosition));
}

void CPlayerDlg::mute(bool on) {
    if (on == s_.muted) return;
    if (on) {
        s_.savedVolume = s_.volumePosition;
        s_.muted = true;
        setVolumePosition(0);
    } else {
        s_.muted = false;
        setVolumePosition(s_.savedVolume);
    }
    refreshButtons();
}

void CPlayerDlg::powerOff() {
    if (s_.scanning || openInProgress_ || !session_ || session_->currentKey().empty()) return;
    if (s_.recording &&
        messageBox("録画中です. プレーヤーを停止しますか。", "Kobal メッセージ", MB_YESNO) != IDYES)
        return;
    const bool wasOpen = graph() != nullptr;
    session_->setCurrentKey("");
    stopPlayback();
    s_.powerOn = false;
    if (wasOpen && panel_ && panel_->selectedSlot() >= 0) powerOffScan(panel_->selectedSlot());
    setStatus(QString());
    refreshButtons();
}

void CPlayerDlg::powerOn() {
    if (s_.scanning || openInProgress_ || s_.powerOn) return;
    s_.powerOn = true;
    const std::string stored = config_.ReadCurrentChannel();
    if (scan_.recordOfSlot(ChannelScan::slotOfKey(stored)))
        tuneKey(stored);
    else if (!scan_.lines().empty())
        tuneKey(ChannelScan::keyOf(*scan_.lines().front()));
    refreshButtons();
}

void CPlayerDlg::switchAudio(int mode) {
    if (s_.scanning || (s_.audioMode != 1 && s_.audioMode != 2) || mode == s_.audioMode ||
        !session_)
        return;
    const uint32_t command[3] = {records::kAudioChannelCommand, 0, uint32_t(mode)};
    // No renderer on the other end (the source is changing): nothing was switched.
    if (!session_->link().sendCommand(command, sizeof command)) return;
    s_.audioMode = mode;
    showMessage(mode == 2 ? QStringLiteral("副音声") : QStringLiteral("主音声"), 200);
}

void CPlayerDlg::onAudioMode(int mode) {
    if (mode != s_.audioMode && (mode == 1 || mode == 2))
        showMessage(QStringLiteral("音声多重放送中"), 500);
    s_.audioMode = mode;
}

void CPlayerDlg::onDevicesChanged() {
    if (s_.deviceBusy || !session_) return;
    s_.deviceBusy = true;
    CTDMBDll& tuner = session_->tuner();
    if (session_->tunerPresent() && !tuner.IsUSB() && tuner.IsOpenPNP()) {
        stopPlayback();
        session_->deviceRemoved();
        s_.powerOn = false;
        refreshButtons();
    } else if (!session_->tunerPresent() && tuner.IsUSB()) {
        s_.powerOn = true;
        session_->deviceAttached();
        refreshButtons();
    }
    s_.deviceBusy = false;
}

void CPlayerDlg::onSleep(bool sleeping) {
    if (sleeping) {
        if (session_ && session_->sourceKind() == kSourceLive) {
            stopTimerId(timers::kReservation);
            stopTimerId(timers::kSignalPoll);
            stopPlayback();
        }
    } else {
        startTimerId(timers::kReservation, 1000);
        startScan(ScanArea);
    }
}

long CPlayerDlg::onArgument(const std::string& text) {
    if (text == "+x") {
        config_.settings().useTrayMode = 0;
        requestClose();
        return 1;
    }
    if (text == "+tray") return 1;
    importIepg(text);
    return 1;
}

void CPlayerDlg::importIepg(const std::string& path) {
    if (reservations_) reservations_->importIepg(path);
}

long CPlayerDlg::onCopyData(unsigned long n, const std::string& text) {
    (void)n, (void)text;
    return 0;
}

void CPlayerDlg::activate() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void CPlayerDlg::requestClose() {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

// --- close -----------------------------------------------------------------------------------

void CPlayerDlg::closeEvent(QCloseEvent* e) {
    if (closeDone_) {
        e->accept();
        return;
    }
    e->ignore();
    if (s_.closing) return;
    if (s_.recording &&
        messageBox("録画中です。プレーヤーを終了しますか。", "Kobal メッセージ", MB_YESNO) != IDYES)
        return;
    QMetaObject::invokeMethod(
        this, [this] { closeSequence(); }, Qt::QueuedConnection);
}

// The close, in order: hide; close the session's link and stop the engine; release the graph
// on the worker and stop the worker (waiting in the event loop, bounded, since the worker may
// wait for this thread); save the settings; give the screen saver back; end the event loop.
void CPlayerDlg::closeSequence() {
    if (closeDone_) return;
    s_.closing = true;
    for (auto& [id, t] : timers_) t->stop();
    lower();
    hide();
    if (s_.recording) StopRecording(false);
    if (session_) session_->onCopyData(kCopyDataStop, long(getpid()), {});
    // A scan in progress ends by itself within its slotList; the tuner must outlive it.
    pumpUntil([this] { return !s_.scanning; }, 15000);
    if (worker_) {
        worker_->release(std::string());
        worker_->requestQuit();
        pumpUntil([this] { return worker_->finished(); }, 5000);
    }
    {
        std::lock_guard<std::mutex> lk(graphLock_);
        graph_.reset();
    }
    config_.settings().noteVolume(s_.muted ? s_.savedVolume : s_.volumePosition, s_.muted);
    config_.SaveSettings(lists_);
    worker_.reset();
    if (system_) system_->releaseScreenSaver();
    closeDone_ = true;
    emit closed();
    close();
    QCoreApplication::quit();
}

} // namespace kobal
