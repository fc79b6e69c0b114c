#pragma once
// The tray icon shown while the player is closed in tray mode. Its menu starts the player
// (found beside this program) or quits; a "close" on the local socket "TRAYICONTIMER" (sent by
// a starting player) ends it. The scheduled starts themselves belong to systemd, not to it.
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>
#include <string>

namespace kobal {

class MessengerServer;

class TrayTimer : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "TRAYICONTIMER";
    explicit TrayTimer(QObject* parent = nullptr);
    ~TrayTimer() override;

    // False when another timer program already listens (this one then has nothing to do).
    bool listening() const;
    QMenu* menu() { return &menu_; }
    QSystemTrayIcon* icon() { return &icon_; }
    // The player beside this program.
    static std::string playerPath();

signals:
    void closeRequested();

private:
    void startPlayer();

    QMenu menu_;
    QSystemTrayIcon icon_;
    std::unique_ptr<MessengerServer> server_;
};

} // namespace kobal
