#include "updater/CDMBUpdateDlg.h"

#include "platform/Dialogs.h"
#include "platform/Process.h"
#include "ui/HoverButton.h"
#include "ui/ShapedRegion.h"
#include "ui/SkinColours.h"
#include "ui/SkinFonts.h"
#include "ui/SkinPictures.h"
#include "updater/UpdateProgressBar.h"
#include "updater/UpdateTexts.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <unistd.h>

namespace kobal::update {
namespace {

constexpr int kWidth = 358;
constexpr int kHeight = 157;
// The status line's colours (0x00BBGGRR).
constexpr std::uint32_t kStatusText = 0xC8C8C8;
constexpr std::uint32_t kStatusBackground = 0x505050;

QString fromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The wait cursor while the check talks to the server.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

CDMBUpdateDlg::CDMBUpdateDlg(QWidget* parent) : CQXBaseDialog(IDD_UPDATE, parent) {
    setFixedSize(kWidth, kHeight);
    setWindowIcon(QIcon(skinPixmap(pic::kUpdaterIcon)));
    opener_ = [](const std::string& path) { return startDetached("xdg-open", {path}) > 0; };
    background_ = skinPixmap(pic::kUpdateBackground);
    outline_ = skinImage(pic::kUpdateBackground);

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_->setTextFormat(Qt::PlainText); // server texts land here
    status_->setAutoFillBackground(true);
    QPalette pal = status_->palette();
    pal.setColor(QPalette::Window, fromColourRef(kStatusBackground));
    pal.setColor(QPalette::WindowText, fromColourRef(kStatusText));
    status_->setPalette(pal);
    status_->setFont(skinFont(kFontMsMincho, 9));

    progress_ = new UpdateProgressBar(this);
    progress_->setRange(0, 100);

    ok_ = new CHoverButton(this);
    connect(ok_, &QAbstractButton::clicked, this, &CDMBUpdateDlg::onOk);
    cancel_ = new CHoverButton(this);
    connect(cancel_, &QAbstractButton::clicked, this, &CDMBUpdateDlg::onCancel);
}

// Runs once, as the window is first shown (the check has run by then).
bool CDMBUpdateDlg::OnInitDialog() {
    CQXBaseDialog::OnInitDialog();
    status_->setGeometry(15, 35, 328, 19);
    ok_->LoadBitmap(pic::kUpdateOk);
    cancel_->LoadBitmap(pic::kUpdateCancel);
    ok_->setGeometry(119, 99, 38, 38);
    cancel_->setGeometry(201, 99, 38, 38);
    progress_->setGeometry(24, 70, 310, 13);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.width() / 2 - 179, s.height() / 2 - 78);
    }
    return true;
}

CDMBUpdateDlg::~CDMBUpdateDlg() {
    // The dialog ends only after transfer-finished, so this wait is over at once.
    downloader_.abort();
    downloader_.join();
}

bool CDMBUpdateDlg::runCheck(const FtpOptions& options) {
    CheckResult result;
    {
        WaitCursor wait;
        // The check's connection ends with the check; the download makes its own.
        FtpCheckConnection connection;
        result = runUpdateCheck(connection, options);
    }
    if (result.outcome == CheckResult::PlayerRestarted) return false;
    showResult(result);
    return true;
}

void CDMBUpdateDlg::showResult(const CheckResult& result) {
    check_ = result;
    updateAvailable_ = result.outcome == CheckResult::UpdateOffered;
    setStatus(QString::fromUtf8(updateAvailable_ ? kOfferText : kNothingNewText));
}

QString CDMBUpdateDlg::statusText() const {
    return status_->text();
}

int CDMBUpdateDlg::progress() const {
    return progress_->value();
}

void CDMBUpdateDlg::setStatus(const QString& text) {
    status_->setText(text);
}

void CDMBUpdateDlg::onOk() {
    if (!updateAvailable_) {
        restartPlayer();
        done(1);
        return;
    }
    ok_->setEnabled(false);
    int error = 0;
    const int fd = target_.create(check_.fileName, error);
    if (fd < 0) {
        messageBox(format(IDS_ERR_OPEN_LOCAL, std::to_string(error)), "kobal_update",
                   MB_OK | MB_ICONERROR);
        target_.remove();
        done(2);
        return;
    }
    DownloadJob job{check_.server, check_.remotePath, target_.path(), fd, downloadOptions_};
    running_ = downloader_.start(std::move(job));
    if (!running_) {
        ::close(fd);
        target_.remove();
        done(2);
    }
}

// Also the Esc key and closing the window (QDialog sends both here).
void CDMBUpdateDlg::onCancel() {
    if (!running_) {
        if (!finished_) done(2);
        return;
    }
    if (downloader_.aborting()) return; // already asked; transfer-finished ends the dialog
    // The worker stops after the block in hand; transfer-finished ends the dialog.
    downloader_.abort();
    cancel_->setEnabled(false);
    setStatus(QString::fromUtf8(text(IDS_STATUS_ABORTING)));
}

void CDMBUpdateDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!background_.isNull()) p.drawPixmap(QRect(0, 0, kWidth, kHeight), background_);
}

void CDMBUpdateDlg::resizeEvent(QResizeEvent* event) {
    CQXBaseDialog::resizeEvent(event);
    // The outline follows the background's green key; rebuilt on every size change.
    setWindowRegion(this, regionFromBitmap(outline_, kKeyGreen));
}

// --- the worker's calls, handed to the UI thread ------------------------------------------

void CDMBUpdateDlg::setStatusText(const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, t = fromUtf8(text)] { setStatus(t); }, Qt::QueuedConnection);
}

void CDMBUpdateDlg::setWindowTitle(const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, t = fromUtf8(text)] { QWidget::setWindowTitle(t); }, Qt::QueuedConnection);
}

void CDMBUpdateDlg::setProgressRange(int low, int high) {
    QMetaObject::invokeMethod(
        this, [this, low, high] { progress_->setRange(low, high); }, Qt::QueuedConnection);
}

void CDMBUpdateDlg::setProgressPos(int pos) {
    QMetaObject::invokeMethod(
        this, [this, pos] { progress_->setValue(pos); }, Qt::QueuedConnection);
}

void CDMBUpdateDlg::transferFinished(int error, const std::string& errorText) {
    QMetaObject::invokeMethod(
        this, [this, error, errorText] { onTransferFinished(error, errorText); },
        Qt::QueuedConnection);
}

void CDMBUpdateDlg::onTransferFinished(int error, const std::string& errorText) {
    finished_ = true;
    running_ = false;
    downloader_.join(); // its last act was to post this
    if (downloader_.aborting()) {
        target_.remove();
        done(2);
        return;
    }
    if (error == 0) {
        opener_(target_.path());
        done(1);
        return;
    }
    if (!errorText.empty()) messageBox(errorText, "kobal_update", MB_OK | MB_ICONERROR);
    target_.remove();
    done(2);
}

} // namespace kobal::update
