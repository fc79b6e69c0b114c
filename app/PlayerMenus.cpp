// The main window's skinned menu bar and the windows it opens: the options sheet, the key
// list, help and the version information. Every item ends in onCommand(id) through the one
// command table (PlayerCommands), like a button or a key.
#include "app/CPlayerDlg.h"

#include "app/CSplashDlg.h"
#include "app/ChannelPanel.h"
#include "app/ConfigStore.h"
#include "app/HelpWindow.h"
#include "app/KeyListDlg.h"
#include "app/OptionSheet.h"
#include "app/PlayerCommands.h"
#include "app/UpdateLaunch.h"
#include "media/PlaybackPanel.h"
#include "platform/Dialogs.h"
#include "ui/InfoPanels.h"
#include "ui/SkinMenuBar.h"

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace kobal {
namespace {

// The version information: a click anywhere ends it, as on the splash.
class VersionBox : public QDialog {
public:
    explicit VersionBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {}

protected:
    void mousePressEvent(QMouseEvent*) override { accept(); }
};

} // namespace

void CPlayerDlg::buildMenuBar() {
    menuBar_ = new CSkinMenuBar(this);
    menuBar_->checksFor = [this](int list) { return menuChecks(list); };
    menuBar_->subMenuAllowed = [this](int list) {
        if (list == menu::kSubAudio) return s_.audioMode == 1 || s_.audioMode == 2;
        return !s_.fullScreen;
    };
    connect(menuBar_, &CSkinMenuBar::chosen, this, &CPlayerDlg::onMenuChosen);
    // A menu left open while the player goes to the background would float over other work.
    connect(qApp, &QApplication::applicationStateChanged, menuBar_, [this](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive) menuBar_->close();
    });
    placeMenuBar();
    menuBar_->show();
}

void CPlayerDlg::placeMenuBar() {
    if (!menuBar_) return;
    menuBar_->move(s_.transparent || s_.fullScreen ? QPoint(10, 0) : QPoint(19, 47));
    menuBar_->raise();
}

std::array<bool, 12> CPlayerDlg::menuChecks(int list) const {
    menu::Checks c{};
    switch (list) {
    case 1:
        c[3] = s_.muted;
        break;
    case 3:
        c[s_.fullScreen ? 2 : s_.transparent ? 1 : 0] = true;
        c[4] = panel_ && panel_->isVisible();
        c[5] = playbackPanel_ && playbackPanel_->isVisible();
        c[6] = reservationSettingsVisible();
        c[7] = s_.channelDisplay;
        c[8] = s_.levelDisplay;
        c[9] = s_.captionsOn;
        c[10] = config_.settings().always == 1;
        break;
    case menu::kSubAudio:
        c[0] = s_.audioMode == 1;
        c[1] = s_.audioMode == 2;
        break;
    case menu::kSubSize:
        if (s_.maximised)
            c[2] = true;
        else if (s_.sizeMode == 1 || s_.sizeMode == 2)
            c[size_t(s_.sizeMode - 1)] = true;
        break;
    default:
        break;
    }
    return c;
}

bool CPlayerDlg::menuEvent(QObject* watched, QEvent* event) {
    if (!menuBar_) return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != this) return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() == Qt::Key_Alt) {
            if (event->type() == QEvent::KeyPress) altAlone_ = true;
            return false;
        }
        if (event->type() == QEvent::KeyPress) altAlone_ = false;
        if (!menuBar_->isOpen() || ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            switch (ke->key()) {
            case Qt::Key_Escape:
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_Return:
            case Qt::Key_Enter:
                event->accept();
                return true;
            default:
                return false;
            }
        }
        return menuBar_->handleKey(*ke);
    }
    case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() != Qt::Key_Alt || !altAlone_) return false;
        altAlone_ = false;
        if (menuBar_->isOpen())
            menuBar_->close();
        else
            menuBar_->open(0);
        return true;
    }
    case QEvent::MouseButtonPress:
        // A press on the window's body closes the menu (the bar's own presses are its own).
        if (watched == this && menuBar_->isOpen()) menuBar_->close();
        return false;
    default:
        return false;
    }
}

void CPlayerDlg::onMenuChosen(int list, int item) {
    int id = cmd::menuBarCommand(list, item);
    if (id == cmd::kRecordMenu) id = s_.recording ? cmd::kRecordStop : cmd::kRecordStart;
    if (id) onCommand(id);
}

// Commands of the menu bar that have no button; onCommand has already refused them while a
// scan runs or a source opens.
void CPlayerDlg::menuCommand(int id) {
    switch (id) {
    case cmd::kOptions:
        showOptions();
        return;
    case cmd::kKeyList:
        showKeyList();
        return;
    case cmd::kHelp:
        showHelp();
        return;
    case cmd::kVersionInfo:
        showVersion();
        return;
    case cmd::kUpdate: {
        UpdateLaunchRecorder recorder;
        recorder.isRecording = [this] { return s_.recording; };
        recorder.setClosing = [this](bool closing) { s_.closing = closing; };
        recorder.stopRecording = [this] { StopRecording(); };
        LaunchUpdater(recorder);
        return;
    }
    case cmd::kChannelListEdit:
        showChannelListSettings();
        return;
    case cmd::kPlaybackPanel:
        togglePlaybackPanel();
        return;
    case cmd::kReservationWindow:
        toggleReservationSettings();
        return;
    case cmd::kAlarmSettings:
        showAlarmSettings();
        return;
    case cmd::kChannelDisplay:
        toggleChannelDisplay();
        return;
    default:
        return;
    }
}

void CPlayerDlg::toggleReservationSettings() {
    reservations_->toggleSheet();
}

bool CPlayerDlg::reservationSettingsVisible() const {
    return reservations_->sheet() && reservations_->sheet()->isVisible();
}

// "チャンネル表示": the message line, where the channel's name stands, on or off.
void CPlayerDlg::toggleChannelDisplay() {
    s_.channelDisplay = !s_.channelDisplay;
    panels_->setMessageLineOn(s_.channelDisplay);
}

void CPlayerDlg::showOptions() {
    if (busy() || QApplication::activeModalWidget()) return;
    COptionSheet sheet(this);
    Settings& s = config_.settings();
    sheet.setValues({s.defaultView, s.startViewLast, s.useTrayMode});
    if (runModal(sheet) != QDialog::Accepted) return; // Cancel changes nothing
    const OptionValues v = sheet.values();
    s.defaultView = v.basicView;
    s.startViewLast = v.startView;
    s.useTrayMode = v.trayMode;
    config_.writeViewOptions();
}

void CPlayerDlg::showKeyList() {
    if (busy() || QApplication::activeModalWidget()) return;
    CKeyListDlg list(this);
    runModal(list);
}

void CPlayerDlg::showHelp() {
    auto* help = findChild<CHelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!help) {
        help = new CHelpWindow(this);
        help->setWindowFlag(Qt::Window);
    }
    help->showPage(QStringLiteral("index.html"));
    help->show();
    help->raise();
    help->activateWindow();
}

void CPlayerDlg::showVersion() {
    if (QApplication::activeModalWidget()) return;
    // The splash picture with the installed version, run modally; a click or Esc ends it.
    VersionBox box(this);
    box.setWindowTitle(QStringLiteral("バージョン情報"));
    auto* layout = new QVBoxLayout(&box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splash = new CSplashDlg(QString::fromStdString(ConfigStore::version()), &box);
    splash->setWindowFlags(Qt::Widget);
    layout->addWidget(splash);
    splash->setAttribute(Qt::WA_TransparentForMouseEvents);
    runModal(box);
}

} // namespace kobal
