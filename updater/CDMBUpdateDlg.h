#pragma once
// The update program's one window: the skinned dialog over background 129 with the OK (131) and
// Cancel (130) hover buttons, the status line and the progress bar. It runs the check before it
// is shown, then offers the update (or says there is none), drives the download worker and
// hands over to the downloaded installer or back to the player.
#include "updater/Downloader.h"
#include "updater/LocalTarget.h"
#include "updater/UpdateCheck.h"

#include "skin/QXBaseDialog.h"

#include <QPixmap>
#include <functional>
#include <memory>

class QLabel;

namespace kobal {
class CHoverButton;
}

namespace kobal::update {

class UpdateProgressBar;

class CDMBUpdateDlg : public CQXBaseDialog, private DownloadHost {
    Q_OBJECT
public:
    // The dialog template and ids of its controls.
    enum : int {
        IDD_UPDATE = 102,
        IDC_OK = 1000,
        IDC_STATUS = 1001,
        IDC_PROGRESS = 1003,
        IDC_CANCEL = 2
    };

    explicit CDMBUpdateDlg(QWidget* parent = nullptr);
    ~CDMBUpdateDlg() override;

    // The check; false when it restarted the player and nothing is to be shown.
    bool runCheck(const FtpOptions& options = FtpOptions());
    // Shows a check's result without asking a server (the check's own path ends here too).
    void showResult(const CheckResult& result);

    // Starts the downloaded installer; by default the desktop's opener (xdg-open).
    using Opener = std::function<bool(const std::string& path)>;
    void setOpener(Opener opener) { opener_ = std::move(opener); }
    // Options of the download connection (time-outs).
    void setDownloadOptions(const FtpOptions& options) { downloadOptions_ = options; }

    bool updateAvailable() const { return updateAvailable_; }
    QString statusText() const;
    int progress() const;
    const std::string& localPath() const { return target_.path(); }

    void onOk();
    void onCancel();

    // Places the controls over the background and the window in the middle of the screen.
    bool OnInitDialog() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override { onCancel(); }

private:
    // DownloadHost: on the worker's thread, handed to the UI thread without waiting.
    void setStatusText(const std::string& text) override;
    void setWindowTitle(const std::string& text) override;
    void setProgressRange(int low, int high) override;
    void setProgressPos(int pos) override;
    void transferFinished(int error, const std::string& errorText) override;
    void onTransferFinished(int error, const std::string& errorText);
    void setStatus(const QString& text);

    CheckResult check_;
    FtpOptions downloadOptions_;
    bool updateAvailable_ = false;
    bool running_ = false;  // a download worker runs (until transfer-finished)
    bool finished_ = false; // transfer-finished has arrived
    LocalTarget target_;
    Downloader downloader_{*this};
    Opener opener_;

    QPixmap background_; // picture 129, @2x on high-density screens
    QImage outline_;     // picture 129 at 1x, for the region
    QLabel* status_ = nullptr;
    UpdateProgressBar* progress_ = nullptr;
    CHoverButton* ok_ = nullptr;
    CHoverButton* cancel_ = nullptr;
};

} // namespace kobal::update
