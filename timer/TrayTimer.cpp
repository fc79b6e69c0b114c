#include "TrayTimer.h"

#include "platform/Messenger.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "ui/SkinColours.h"
#include "ui/SkinPictures.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace kobal {

TrayTimer::TrayTimer(QObject* parent) : QObject(parent) {
    icon_.setIcon(QIcon(skinPixmap(QStringLiteral("114"))));
    icon_.setToolTip(QStringLiteral("Kobal Player タイマー — 予約録画の時刻に起動します"));
    // The menu wears the player's drop-down colours rather than the desktop's.
    menu_.setStyleSheet(
        QStringLiteral("QMenu { background: %1; color: %2; border: 1px solid %4; padding: 2px; }"
                       "QMenu::item { padding: 4px 18px; }"
                       "QMenu::item:selected { background: %3; color: %4; }"
                       "QMenu::separator { height: 1px; background: %2; margin: 2px 6px; }")
            .arg(fromColourRef(colour::kPopupBackground).name(),
                 fromColourRef(colour::kPopupText).name(), fromColourRef(colour::kHoverFill).name(),
                 fromColourRef(colour::kHoverText).name()));
    QAction* start = menu_.addAction(QStringLiteral("プレーヤーを起動"));
    start->setObjectName(QStringLiteral("startPlayer"));
    menu_.addSeparator();
    QAction* quit = menu_.addAction(QStringLiteral("終了"));
    quit->setObjectName(QStringLiteral("quit"));
    connect(start, &QAction::triggered, this, &TrayTimer::startPlayer);
    connect(quit, &QAction::triggered, this, &TrayTimer::closeRequested);
    icon_.setContextMenu(&menu_);
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick) startPlayer();
    });
    server_ = std::make_unique<MessengerServer>(
        kTitle, [](unsigned long, const std::string&) { return 0L; },
        [this] { emit closeRequested(); });
    icon_.show();
}

TrayTimer::~TrayTimer() = default;

bool TrayTimer::listening() const {
    return server_ && server_->listening();
}

std::string TrayTimer::playerPath() {
    return paths::siblingProgram("kobal_player", "app");
}

void TrayTimer::startPlayer() {
    // The player closes this program as it starts.
    startDetached(playerPath());
}

} // namespace kobal
