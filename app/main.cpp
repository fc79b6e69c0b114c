// kobal_player: one-segment television on the desktop.
//   kobal_player [+x | +tray | IEPG-FILE]
//   kobal_player --write-icons DIR   writes the icon in the desktop's sizes below DIR
#include "app/CPlayerApp.h"
#include "platform/NamedObjects.h"
#include "ui/SkinPictures.h"

#include <QApplication>
#include <QDir>

namespace {

int writeIcons(const QString& folder) {
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString dir = QString("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(dir)) return 1;
        const QImage icon = kobal::skinImage(kobal::pic::kPlayerIcon, 2)
                                .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!icon.save(dir + "/kobal_player.png")) return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("kobal_player");
    QApplication::setDesktopFileName("kobal_player");
    QApplication::setQuitOnLastWindowClosed(false); // the close sequence ends the loop
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() == 2 && args[0] == "--write-icons") return writeIcons(args[1]);
    // Named objects that killed players, renderers and tools of this user left behind.
    kobal::reclaimAbandonedObjects();
    return kobal::CPlayerApp::run(args);
}
