// kobal_timer: keeps a tray icon while the player is closed in tray mode.
#include "TrayTimer.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    kobal::TrayTimer tray;
    if (!tray.listening()) return 0; // one is running already
    QObject::connect(&tray, &kobal::TrayTimer::closeRequested, &app, &QApplication::quit);
    return app.exec();
}
