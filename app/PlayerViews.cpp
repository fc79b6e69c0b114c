// The main window's views (normal, transparent, theater), sizes, layout, painting and input.
#include "app/CPlayerDlg.h"

#include "app/ChannelPanel.h"
#include "app/PlayerCommands.h"
#include "app/Volume.h"
#include "app/WindowGeometry.h"
#include "engine/TunerSession.h"
#include "media/PlaybackPanel.h"
#include "media/PlaylistWindow.h"
#include "renderer/MediaGraph.h"
#include "ui/AnimatedPicture.h"
#include "ui/BitmapSlider.h"
#include "ui/HoverButton.h"
#include "ui/InfoPanels.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPictures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstring>
#include <utility>

namespace kobal {
namespace {

SkinView skinView(bool transparent, bool fullScreen) {
    return fullScreen ? SkinView::Theater : transparent ? SkinView::Transparent : SkinView::Normal;
}

// Every button of the table has its command in onCommand, so each one is enabled (the keys
// that rest while the power is off follow it in refreshButtons).
bool handledHere(int) {
    return true;
}

QString withoutMnemonic(const char16_t* text) {
    QString t = QString::fromUtf16(text).trimmed();
    t.remove(QRegularExpression("\\(&[A-Z]\\)"));
    return t;
}

} // namespace

void CPlayerDlg::buildControls() {
    for (const SkinButton& b : mainWindowButtons()) {
        auto* button = new CHoverButton(this);
        button->LoadBitmap(QString::fromLatin1(b.picture));
        button->SetToolTipText(QString::fromUtf8(b.tip), *b.tip != 0);
        button->setFocusPolicy(Qt::NoFocus);
        button->setEnabled(handledHere(b.id));
        connect(button, &QAbstractButton::clicked, this, [this, id = b.id] { onCommand(id); });
        buttons_[b.id] = button;
    }
    volume_ = new CBitmapSlider(this);
    volume_->setControlId(1060);
    volume_->setTrack(volumeSliderRect(size()).width(), pic::kVolumeChannel, pic::kVolumeFilled);
    volume_->setThumb(pic::kVolumeThumb);
    volume_->setRange(0, volume::kMax);
    connect(volume_, &CBitmapSlider::changed, this, [this](int p) {
        if (!s_.muted) setVolumePosition(p);
    });
    panels_ = std::make_unique<InfoPanels>(this);
}

QWidget* CPlayerDlg::button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

void CPlayerDlg::refreshButtons() {
    const SkinView view = skinView(s_.transparent, s_.fullScreen);
    const bool current = session_ && !session_->currentKey().empty();
    for (const SkinButton& b : mainWindowButtons()) {
        QAbstractButton* button = buttons_[b.id];
        bool shown = !placeSkinButton(b, view, size()).isEmpty();
        // Of the buttons that share a place the window shows the one that fits the state.
        if (b.id == cmd::kPowerOn) shown = shown && !current;
        if (b.id == cmd::kPowerOff) shown = shown && current;
        if (b.id == cmd::kMute) shown = shown && !s_.muted;
        if (b.id == cmd::kSound) shown = shown && s_.muted;
        if (b.id == cmd::kRecordStart) shown = shown && !s_.recording;
        if (b.id == cmd::kRecordStop) shown = shown && s_.recording && view == SkinView::Normal;
        if (b.id == cmd::kTimeShiftPauseButton) shown = shown && !s_.timeShiftActive;
        if (b.id == cmd::kTimeShiftPlayButton) shown = shown && s_.timeShiftActive;
        button->setVisible(shown);
    }
    // Switched off, the channel, record and time-shift keys rest; switched on, every key works
    // again but time shift's play key, which waits for a picture held back by a pause.
    for (int id : {cmd::kChannelUp, cmd::kChannelDown, cmd::kRecordStart, cmd::kRecordStop,
                   cmd::kTimeShiftStopButton, cmd::kTimeShiftPauseButton})
        buttons_[id]->setEnabled(s_.powerOn);
    buttons_[cmd::kTimeShiftPlayButton]->setEnabled(s_.powerOn &&
                                                    (s_.timeShiftActive || timeShifted_));
    refreshRecordToggle();
    volume_->setVisible(view == SkinView::Normal);
    volume_->setPosition(s_.volumePosition);
}

// The animated pictures 501 (starting) and 502 (low signal), centred on the picture area.
void CPlayerDlg::showPicture(int id) {
    if (id == pictureId_) return;
    if (picture_) {
        picture_->UnLoad();
        picture_->deleteLater();
        picture_ = nullptr;
    }
    pictureId_ = id;
    if (id == 0) return;
    picture_ = new CAnimatedPicture(this);
    picture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    picture_->LoadFromResource(QString("%1.gif").arg(id));
    picture_->setGeometry(geometry::startupPicture(s_.transparent, size()));
    picture_->show();
    picture_->raise();
    picture_->Draw();
}

QRect CPlayerDlg::pictureRect() const {
    if (s_.fullScreen) {
        if (!videoRect_.isEmpty()) return videoRect_;
        return geometry::theaterPicture(size(), s_.captionsOn);
    }
    return geometry::picture(s_.transparent, size(), s_.captionsOn);
}

int CPlayerDlg::videoHeight() const {
    long w = 0, h = 0;
    if (auto g = graph(); g && g->GetVideoSize(&w, &h) == render::S_OK && h > 0 && h < 4097)
        return int(h);
    return 180;
}

void CPlayerDlg::placeVideo() {
    if (auto g = graph()) {
        const QRect r = pictureRect();
        g->SetWindowPosition(r.x(), r.y(), r.width(), r.height());
        if (g->videoWindow()) g->videoWindow()->lower();
    }
}

void CPlayerDlg::layoutChildren() {
    const QSize client = size();
    const SkinView view = skinView(s_.transparent, s_.fullScreen);
    for (const SkinButton& b : mainWindowButtons()) {
        const QRect r = placeSkinButton(b, view, client);
        if (!r.isEmpty()) buttons_[b.id]->move(r.topLeft());
    }
    volume_->move(volumeSliderRect(client).topLeft());
    if (s_.fullScreen && videoRect_.isEmpty())
        videoRect_ = geometry::theaterPicture(client, s_.captionsOn);
    placeVideo();
    if (picture_) picture_->setGeometry(geometry::startupPicture(s_.transparent, client));
    if (panels_) panels_->place(view, client);
    placeMenuBar();
    refreshSeekBar();
    refreshButtons();
    update();
}

void CPlayerDlg::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    reshape();
    layoutChildren();
    placeAttachedWindows();
}

void CPlayerDlg::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    placeAttachedWindows();
}

// The channel panel and the playback panel sit against the normal view's frame: the other
// views and the maximised window put them away, and they follow the window as it moves or
// changes size.
void CPlayerDlg::hideAttachedWindows(bool playlistToo) {
    if (panel_) panel_->hide();
    if (playbackPanel_) playbackPanel_->hide();
    if (playlistToo && playlistWindow_) playlistWindow_->hide();
}

void CPlayerDlg::placeAttachedWindows() {
    if (panel_ && panel_->isVisible()) panel_->placeBeside(this);
    if (playbackPanel_ && playbackPanel_->isVisible()) placePlaybackPanel();
}

// Back in the normal view a playing file has its panel again (its seek bar is there).
void CPlayerDlg::restoreAttachedWindows() {
    if (!s_.transparent && !s_.fullScreen && !s_.maximised && s_.sourceKind == 3 &&
        playbackPanel_ && !playbackPanel_->isVisible())
        showPlaybackPanel();
}

// The normal view is a rounded, bitmap-like outline; the other views are rectangles.
void CPlayerDlg::reshape() {
    if (s_.transparent || s_.fullScreen) {
        clearMask();
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 14, 14);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void CPlayerDlg::setTopMost(bool on) {
    config_.settings().always = on ? 1 : 0;
    if (QWindow* w = windowHandle()) {
        w->setFlag(Qt::WindowStaysOnTopHint, on);
        return;
    }
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
}

void CPlayerDlg::applyView(int view) {
    s_.transparent = view == geometry::Transparent || view == geometry::Theater;
    const QSize size = geometry::windowSize(s_.transparent, 1, false);
    setMinimumSize(geometry::minimumSize(s_.transparent, false));
    resize(size);
    show();
    if (view == geometry::Theater) {
        s_.transparent = false;
        enterTheater();
    }
    config_.settings().lastView = geometry::lastView(s_.transparent, s_.fullScreen);
}

void CPlayerDlg::toggleTransparent() {
    s_.transparent = !s_.transparent;
    config_.settings().lastView = geometry::lastView(s_.transparent, s_.fullScreen);
    if (s_.transparent) hideAttachedWindows(true);
    if (!s_.fullScreen) {
        applySizeMode(s_.sizeMode);
    } else {
        layoutChildren();
    }
    show();
    restoreAttachedWindows();
}

void CPlayerDlg::enterTheater() {
    if (s_.fullScreen) return;
    config_.settings().lastView = geometry::Theater;
    savedRect_ = geometry();
    restoreSaved_ = true;
    hideAttachedWindows(false);
    s_.transparent = true;
    s_.fullScreen = true;
    videoRect_ = QRect();
    setMinimumSize(0, 0);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) setGeometry(screen->geometry());
    showFullScreen();
    layoutChildren();
    raise();
    activateWindow();
}

void CPlayerDlg::leaveTheater() {
    if (!s_.fullScreen) return;
    videoRect_ = QRect();
    s_.fullScreen = false;
    config_.settings().lastView = geometry::Normal;
    showNormal();
    // The flag set on entry goes back through the toggle, which also re-applies the size.
    toggleTransparent();
}

void CPlayerDlg::toggleTheater() {
    if (s_.fullScreen)
        leaveTheater();
    else
        enterTheater();
}

void CPlayerDlg::applySizeMode(int mode) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (s_.fullScreen) {
        if (screen)
            videoRect_ =
                geometry::centred(screen->size(), mode == 2 ? QSize(640, 360) : QSize(320, 180));
        s_.sizeMode = mode;
        placeVideo();
        update();
        return;
    }
    if (mode == 2 && !graph()) return; // no picture to show larger
    s_.sizeMode = mode;
    const bool wasMaximised = std::exchange(s_.maximised, false);
    const QPoint at = restoreSaved_ ? savedRect_.topLeft() : geometry().topLeft();
    restoreSaved_ = false;
    setMinimumSize(geometry::minimumSize(s_.transparent, s_.captionsOn));
    const QSize size = geometry::windowSize(s_.transparent, mode, s_.captionsOn, videoHeight());
    setGeometry(QRect(at, size));
    reshape();
    layoutChildren();
    if (wasMaximised) restoreAttachedWindows();
}

void CPlayerDlg::maximise() {
    if (!graph() || s_.fullScreen) return;
    hideAttachedWindows(false);
    s_.maximised = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
    reshape();
    layoutChildren();
}

void CPlayerDlg::toggleAlwaysOnTop() {
    if (s_.fullScreen) return;
    setTopMost(config_.settings().always == 0);
    show();
}

// --- painting --------------------------------------------------------------------------------

void CPlayerDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QSize client = size();
    const QRect pic = pictureRect();
    if (s_.fullScreen) {
        p.fillRect(rect(), Qt::black);
    } else if (s_.transparent) {
        p.fillRect(rect(), QColor(0x0a, 0x0b, 0x0d));
        p.setPen(QColor(0x33, 0x36, 0x3c));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    } else {
        // The frame is drawn again only when the size or the pixel ratio changed.
        const int scale = devicePixelRatioF() > 1 ? 2 : 1;
        if (frame_.size() != client * scale) frame_ = renderMainFrame(client, scale);
        p.drawImage(0, 0, frame_);
    }
    if (!graph()) p.fillRect(pic, Qt::black);

    if (!s_.fullScreen && !s_.transparent && s_.levelDisplay)
        p.drawPixmap(geometry::levelIcon(client).topLeft(),
                     skinPixmap(pic::level(std::clamp(s_.signalLevel, 0, 5))));
}

// --- on-screen text --------------------------------------------------------------------------

void CPlayerDlg::setStatus(const QString& text) {
    status_ = text;
    panels_->setStatusLine(text);
}

// An on-screen message in the message line: tickerMs -1 stays until replaced, otherwise the
// panel counts the period down in its 20 ms steps; "x-dmb" texts name the channel.
void CPlayerDlg::showMessage(const QString& text, int tickerMs) {
    QString shown = text;
    if (shown.startsWith("x-dmb")) shown = QStringLiteral("チャンネル : ") + shown.mid(8).toUpper();
    if (shown.isEmpty()) {
        panels_->clearMessage();
        return;
    }
    panels_->showMessage(shown, tickerMs > 0 ? tickerMs : InfoPanels::kLasting);
}

// Called whenever a scan or an open begins or ends: the cursor and the playback panel's
// record key follow those busy states.
void CPlayerDlg::updateCursor() {
    setCursor((s_.scanning || s_.opening) ? Qt::WaitCursor : Qt::ArrowCursor);
    refreshRecordToggle();
}

// --- input -----------------------------------------------------------------------------------

bool CPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (menuEvent(watched, event)) return true;
    // Keys are examined before any control of the player's windows sees them.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this) {
            auto* ke = static_cast<QKeyEvent*>(event);
            const int id = cmd::commandForKey(ke->keyCombination());
            if (id) {
                if (event->type() == QEvent::KeyPress && !ke->isAutoRepeat()) onCommand(id);
                event->accept();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CPlayerDlg::OnLButtonDown(Qt::KeyboardModifiers flags, const QPoint& point) {
    if (!s_.fullScreen) CQXBaseDialog::OnLButtonDown(flags, point); // theater does not move
}

void CPlayerDlg::contextMenuEvent(QContextMenuEvent* e) {
    if (!pictureRect().contains(e->pos())) return;
    if (s_.fullScreen) { // theater view: the channel pop-up instead of the menu
        showChannelPopup(e->globalPos());
        return;
    }
    QMenu menu(this);
    for (const cmd::MenuLine& line : cmd::contextMenu()) {
        if (!line.text) {
            menu.addSeparator();
            continue;
        }
        QAction* a = menu.addAction(withoutMnemonic(line.text));
        connect(a, &QAction::triggered, this, [this, id = line.command] { onCommand(id); });
        if (line.command == cmd::kAlwaysOnTop) {
            a->setCheckable(true);
            a->setChecked(config_.settings().always == 1);
        }
    }
    menu.exec(e->globalPos());
}

void CPlayerDlg::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && isMinimized()) showNormal();
    QWidget::changeEvent(e);
}

} // namespace kobal
