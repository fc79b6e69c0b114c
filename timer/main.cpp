// kobal_timer: keeps a tray icon while the player is closed in tray mode.
//     kobal_timer --grab-menu file.png   writes a picture of the tray menu and ends (for people
//                                        checking its look where no tray is shown)
#include "TrayTimer.h"

#include <QApplication>
#include <QMenu>

#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    kobal::TrayTimer tray;
    if (argc == 3 && std::strcmp(argv[1], "--grab-menu") == 0) {
        QMenu* menu = tray.menu();
        menu->popup(QPoint(20, 20));
        menu->setActiveAction(menu->actions().value(0)); // one item as the pointer shows it
        QApplication::processEvents();
        return menu->grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    if (!tray.listening()) return 0; // one is running already
    QObject::connect(&tray, &kobal::TrayTimer::closeRequested, &app, &QApplication::quit);
    return app.exec();
}
