#pragma once
// The splash window: picture 350 (350 × 250) with the installed version in white, top-most,
// centred on the primary screen. Shown while the player waits for the updater's verdict, and
// again, modally, as the version information.
#include <QWidget>

namespace kobal {

class CSplashDlg : public QWidget {
    Q_OBJECT
public:
    // version: the registry's "version" text (empty when missing).
    explicit CSplashDlg(QString version, QWidget* parent = nullptr);

    // The picture with the version drawn over it, at the given device pixel ratio.
    QPixmap render(qreal dpr = 1.0) const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    QString version_;
};

} // namespace kobal
