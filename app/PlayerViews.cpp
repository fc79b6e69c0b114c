// The main window's views (normal, transparent, theater), sizes, layout, painting and input.
#include "app/CPlayerDlg.h"

#include "app/PlayerCommands.h"
#include "app/SkinArt.h"
#include "app/Volume.h"
#include "app/WindowGeometry.h"
#include "engine/TunerSession.h"
#include "renderer/MediaGraph.h"
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
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstring>

namespace kobal {
namespace {

// Until the skin's hover buttons are in: a round glossy button with a glyph, drawn at any
// device pixel ratio.
class PanelButton : public QAbstractButton {
public:
    PanelButton(QString glyph, QString tip, QWidget* parent) : QAbstractButton(parent) {
        setText(glyph);
        setToolTip(tip);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        const bool down = isDown(), hover = underMouse() && isEnabled();
        g.setColorAt(0, down ? QColor(0x22, 0x24, 0x28) : QColor(0x5c, 0x62, 0x6c));
        g.setColorAt(1, down ? QColor(0x3a, 0x3e, 0x46) : QColor(0x24, 0x27, 0x2c));
        p.setPen(QPen(hover ? QColor(0x7f, 0xc8, 0xe0) : QColor(0x14, 0x15, 0x18), 1.2));
        p.setBrush(g);
        p.drawEllipse(r);
        QFont f("Arib_Gothic");
        f.setPixelSize(std::max(9, height() * 2 / 5));
        f.setBold(true);
        p.setFont(f);
        p.setPen(isEnabled() ? QColor(0xe8, 0xec, 0xf0) : QColor(0x70, 0x74, 0x7a));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }
};

// Stand-in glyphs while a button's skin picture is missing.
QString glyphFor(const char* caption) {
    static const std::pair<const char*, const char16_t*> kGlyphs[] = {
        {"small", u"_"},  {"ful", u"全"},    {"clo", u"×"},   {"clist", u"≡"},     {"mute", u"♪"},
        {"sound", u"×"},  {"on", u"入"},     {"off", u"切"},  {"plus", u"+"},      {"minus", u"−"},
        {"before", u"<"}, {"after", u">"},   {"view", u"透"}, {"stop", u"■"},      {"start", u"▶"},
        {"pause", u"Ⅱ"},  {"view2", u"▣"},   {"rec", u"●"},   {"recording", u"◉"}, {"Open", u"開"},
        {"plist", u"☰"},  {"option", u"予"},
    };
    for (const auto& [name, glyph] : kGlyphs)
        if (std::strcmp(name, caption) == 0) return QString::fromUtf16(glyph);
    return {};
}

SkinView skinView(bool transparent, bool fullScreen) {
    return fullScreen ? SkinView::Theater : transparent ? SkinView::Transparent : SkinView::Normal;
}

// Buttons whose commands come with later pieces of work: shown, not yet enabled.
bool handledHere(int id) {
    switch (id) {
    case cmd::kMinimise:
    case cmd::kTheaterButton:
    case cmd::kCloseButton:
    case cmd::kMute:
    case cmd::kSound:
    case cmd::kPowerOn:
    case cmd::kPowerOff:
    case cmd::kChannelUp:
    case cmd::kChannelDown:
    case cmd::kViewToggle:
    case cmd::kTheaterToggle:
    case cmd::kBlock:
        return true;
    default:
        return false;
    }
}

QString withoutMnemonic(const char16_t* text) {
    QString t = QString::fromUtf16(text).trimmed();
    t.remove(QRegularExpression("\\(&[A-Z]\\)"));
    return t;
}

} // namespace

void CPlayerDlg::buildControls() {
    for (const SkinButton& b : mainWindowButtons()) {
        QAbstractButton* button;
        auto* hover = new CHoverButton(this);
        if (hover->LoadBitmap(QString::fromLatin1(b.picture))) {
            hover->SetToolTipText(QString::fromUtf8(b.tip), *b.tip != 0);
            button = hover;
        } else {
            delete hover;
            button = new PanelButton(glyphFor(b.caption), QString::fromUtf8(b.tip), this);
            button->resize(b.size, b.size);
        }
        button->setEnabled(handledHere(b.id));
        connect(button, &QAbstractButton::clicked, this, [this, id = b.id] { onCommand(id); });
        buttons_[b.id] = button;
    }
    volume_ = new CBitmapSlider(this);
    volume_->setControlId(1060);
    if (volume_->setTrack(volumeSliderRect(size()).width(), pic::kVolumeChannel,
                          pic::kVolumeFilled) &&
        volume_->setThumb(pic::kVolumeThumb)) {
        volume_->setRange(0, volume::kMax);
        connect(volume_, &CBitmapSlider::changed, this, [this](int p) {
            if (!s_.muted) setVolumePosition(p);
        });
    } else {
        delete volume_; // drawn by the window until the skin has the slider's pictures
        volume_ = nullptr;
    }
    picture_ = new QLabel(this);
    picture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    picture_->hide();
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
        if (b.id == cmd::kRecordStop || b.id == cmd::kTimeShiftPlayButton) shown = false;
        button->setVisible(shown);
    }
    for (int id : {cmd::kChannelUp, cmd::kChannelDown, cmd::kTheaterButton})
        buttons_[id]->setEnabled(s_.powerOn);
    if (volume_) {
        volume_->setVisible(view == SkinView::Normal);
        volume_->setPosition(s_.volumePosition);
    }
}

void CPlayerDlg::showPicture(int id) {
    if (!picture_) return;
    if (id == 0) {
        picture_->hide();
        return;
    }
    picture_->setPixmap(skin::picture(id, devicePixelRatioF()));
    picture_->setProperty("pictureId", id);
    picture_->setGeometry(geometry::startupPicture(s_.transparent, size()));
    picture_->show();
    picture_->raise();
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
    if (volume_) volume_->move(volumeSliderRect(client).topLeft());
    if (s_.fullScreen && videoRect_.isEmpty())
        videoRect_ = geometry::theaterPicture(client, s_.captionsOn);
    placeVideo();
    panels_->place(view, client); // above the video
    if (picture_ && picture_->isVisible())
        picture_->setGeometry(geometry::startupPicture(s_.transparent, client));
    refreshButtons();
    update();
}

void CPlayerDlg::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    reshape();
    layoutChildren();
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
    if (!s_.fullScreen) {
        applySizeMode(s_.sizeMode);
    } else {
        layoutChildren();
    }
    show();
}

void CPlayerDlg::enterTheater() {
    if (s_.fullScreen) return;
    config_.settings().lastView = geometry::Theater;
    savedRect_ = geometry();
    restoreSaved_ = true;
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
    s_.maximised = false;
    const QPoint at = restoreSaved_ ? savedRect_.topLeft() : geometry().topLeft();
    restoreSaved_ = false;
    setMinimumSize(geometry::minimumSize(s_.transparent, s_.captionsOn));
    const QSize size = geometry::windowSize(s_.transparent, mode, s_.captionsOn, videoHeight());
    setGeometry(QRect(at, size));
    reshape();
    layoutChildren();
}

void CPlayerDlg::maximise() {
    if (!graph() || s_.fullScreen) return;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
    s_.maximised = true;
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
        skin::paintFrame(p, client);
    }
    if (!graph()) p.fillRect(pic, Qt::black);

    // Captions, the status line and the ticker are the information panels' own.
    if (!s_.fullScreen && !s_.transparent) {
        // The volume bar beside the control panel's buttons.
        if (!volume_) {
            const QRect vol = volumeSliderRect(client).adjusted(0, 3, 0, -3);
            p.fillRect(vol, QColor(0x18, 0x19, 0x1c));
            const int filled = vol.width() * (s_.muted ? 0 : s_.volumePosition) / volume::kMax;
            p.fillRect(QRect(vol.topLeft(), QSize(filled, vol.height())), QColor(0x7c, 0xc8, 0xe0));
        }
        if (s_.levelDisplay)
            p.drawPixmap(geometry::levelIcon(client).topLeft(),
                         skin::levelIcon(s_.signalLevel, devicePixelRatioF()));
    }
}

// --- on-screen text --------------------------------------------------------------------------

void CPlayerDlg::setStatus(const QString& text) {
    status_ = text;
    panels_->setStatusLine(text);
}

// An on-screen message replaces the status line until cleared (tickerMs -1: no time-out;
// otherwise it stays for a few ticker periods).
void CPlayerDlg::showMessage(const QString& text, int tickerMs) {
    QString shown = text;
    if (shown.startsWith("x-dmb")) shown = QStringLiteral("チャンネル : ") + shown.mid(8).toUpper();
    message_ = shown;
    if (shown.isEmpty()) {
        panels_->clearMessage();
        return;
    }
    // The message line counts the period in its 20 ms steps; the text is kept as long.
    panels_->showMessage(shown, tickerMs > 0 ? tickerMs : InfoPanels::kLasting);
    if (tickerMs > 0) {
        const QString kept = shown;
        QTimer::singleShot(tickerMs * TextLinePanel::kStepMs, this, [this, kept] {
            if (message_ == kept) message_.clear();
        });
    }
}

void CPlayerDlg::setTicker(const QString& text) {
    ticker_ = text;
    panels_->setTicker(text);
}

void CPlayerDlg::setCaption(const QString& text) {
    caption_ = text;
}

void CPlayerDlg::updateCursor() {
    setCursor((s_.scanning || s_.opening) ? Qt::WaitCursor : Qt::ArrowCursor);
}

// --- input -----------------------------------------------------------------------------------

bool CPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
    // Keys are examined before any control of the player's windows sees them.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this) {
            auto* ke = static_cast<QKeyEvent*>(event);
            const int id = cmd::commandForKey(ke->keyCombination());
            if (id) {
                if (event->type() == QEvent::KeyPress && !ke->isAutoRepeat()) {
                    if (id == cmd::kTimeShiftKey)
                        onCommand(s_.timeShiftActive ? cmd::kTimeShiftPlay : cmd::kTimeShiftStart);
                    else
                        onCommand(id);
                }
                event->accept();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CPlayerDlg::mousePressEvent(QMouseEvent* e) {
    // A press on the body moves the window (not in theater view).
    if (e->button() == Qt::LeftButton && !s_.fullScreen) {
        if (QWindow* w = windowHandle()) w->startSystemMove();
        e->accept();
        return;
    }
    QWidget::mousePressEvent(e);
}

void CPlayerDlg::contextMenuEvent(QContextMenuEvent* e) {
    if (!pictureRect().contains(e->pos())) return;
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
