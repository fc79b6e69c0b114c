// kobal_update: checks the update server once, tells a starting player whether to go on, and
// offers the newest release in its dialog.
#include "platform/Dialogs.h"
#include "ui/SkinFonts.h"
#include "updater/CDMBUpdateDlg.h"
#include "updater/UpdateCheck.h"
#include "updater/UpdateTexts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("kobal_update");
    kobal::installFontSubstitutions();
    if (!kobal::update::initialiseFtp()) {
        kobal::messageBox(kobal::update::text(kobal::update::IDS_SOCKET_INIT_FAILED),
                          "kobal_update", kobal::MB_OK | kobal::MB_ICONERROR);
        return 1;
    }
    kobal::update::CDMBUpdateDlg dialog;
    // Nothing to offer after all: the player was started again and no window shows.
    if (!dialog.runCheck()) return 0;
    kobal::runModal(dialog);
    return 0;
}
