// kobal_playershot: the real player's windows as a person sees them, saved as PNG.
//
//   kobal_playershot --out DIR [--area A] [--file F.rec]
//
// Starts the main window on the simulator in a private install folder (area A, default 7)
// and saves, through each window's own grab: scanning.png (the main window while the start-up
// scan runs), panel.png (the channel panel after the scan), main.png, popup.png (the theater
// pop-up's lines), live-panel.png (the playback panel over live television, its record key
// enabled), recording.png (the main window 4.5 s into a recording started by that key). The
// recording is then stopped by the same key, the power turned off (off.png: the channel keys
// disabled) and the recording played (or F with --file): file-normal.png,
// playback-panel.png (in the middle of the file, the record key disabled), playlist.png,
// file-transparent.png and file-theater.png (the window's own seek bar in the last two).
// Run under Xvfb to see the fonts and scale of a real X screen; QT_SCALE_FACTOR=2 gives the
// 2× pictures. Exit status 0 when every picture was saved.
#include "app/CPlayerDlg.h"
#include "app/ChannelPanel.h"
#include "app/PlayerCommands.h"
#include "media/PlaybackPanel.h"
#include "media/PlaylistWindow.h"
#include "platform/Registry.h"
#include "tools/PlayerToolSetup.h"
#include "tools/PrivateInstallFolder.h"
#include "ui/ChannelPopup.h"
#include "ui/HoverButton.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace kobal;

namespace {

bool pumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    return true;
}

bool save(QWidget* w, const QString& dir, const char* name) {
    if (!w) return false;
    const QString path = dir + "/" + name;
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QString out, file;
    int area = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--out")
            out = QString::fromLocal8Bit(argv[i + 1]);
        else if (a == "--area")
            area = std::atoi(argv[i + 1]);
        else if (a == "--file")
            file = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (out.isEmpty()) {
        std::fprintf(stderr, "usage: kobal_playershot --out DIR [--area A] [--file F.rec]\n");
        return 2;
    }
    tools::PrivateInstallFolder scope("playershot");
    setenv("KOBAL_AUDIO", "null", 0);
    QApplication app(argc, argv);
    tools::writeAreaSetup(area);
    const QString recordings = QString::fromLocal8Bit(qgetenv("KOBAL_HOME")) + "/rec";
    Registry::write("rec_Dir", recordings.toStdString());

    bool ok = true;
    CPlayerDlg dlg;
    dlg.initialise();
    pumpUntil([] { return false; }, 300);
    ok &= save(&dlg, out, "scanning.png");
    if (!pumpUntil([&] { return !dlg.state().scanning && dlg.graph() && !dlg.openInProgress(); },
                   30000))
        return 1;
    pumpUntil([] { return false; }, 1500);
    dlg.onCommand(cmd::kChannelPanel);
    pumpUntil([] { return false; }, 300);
    ok &= save(dlg.channelPanel(), out, "panel.png");
    ok &= save(&dlg, out, "main.png");
    dlg.showChannelPopup(dlg.mapToGlobal(QPoint(40, 80)));
    pumpUntil([] { return false; }, 300);
    ok &= save(dlg.channelPopup(), out, "popup.png");
    if (dlg.channelPopup()) dlg.channelPopup()->hide();
    if (dlg.channelPanel()) dlg.channelPanel()->hide();

    // The playback panel over live television; its key records.
    dlg.onCommand(cmd::kPlaybackPanel);
    pumpUntil([] { return false; }, 300);
    ok &= save(dlg.playbackPanel(), out, "live-panel.png");
    if (dlg.playbackPanel()) dlg.playbackPanel()->recordButton().click();
    if (dlg.state().recording) {
        pumpUntil([] { return false; }, 4500); // "REC" shows in even seconds of the blink
        ok &= save(&dlg, out, "recording.png");
        pumpUntil([] { return false; }, 5500);
        dlg.playbackPanel()->recordButton().click();
        if (file.isEmpty()) {
            const QStringList made = QDir(recordings).entryList({"*.rec"}, QDir::Files);
            if (!made.isEmpty()) file = recordings + "/" + made.front();
        }
    } else {
        std::fprintf(stderr, "kobal_playershot: the panel's key did not record\n");
        ok = false;
    }
    if (dlg.playbackPanel()) dlg.playbackPanel()->hide();
    dlg.onCommand(cmd::kPowerOff);
    pumpUntil([&] { return !dlg.openInProgress(); }, 5000);
    pumpUntil([] { return false; }, 500);
    ok &= save(&dlg, out, "off.png");

    if (!file.isEmpty()) {
        dlg.chooseFiles = [&](const QString&) { return QStringList{file}; };
        dlg.onCommand(cmd::kOpenFile);
        if (!pumpUntil([&] { return dlg.state().sourceKind == 3 && !dlg.openInProgress(); },
                       15000)) {
            std::fprintf(stderr, "kobal_playershot: %s did not play (source %d)\n",
                         qPrintable(file), dlg.state().sourceKind);
            return 1;
        }
        pumpUntil([] { return false; }, 1000);
        dlg.seekTo(dlg.durationTenths() / 2);
        pumpUntil([] { return false; }, 1500);
        ok &= save(&dlg, out, "file-normal.png");
        ok &= save(dlg.playbackPanel(), out, "playback-panel.png");
        dlg.onCommand(cmd::kPlaylist);
        pumpUntil([] { return false; }, 300);
        ok &= save(dlg.playlistWindow(), out, "playlist.png");
        if (dlg.playlistWindow()) dlg.playlistWindow()->hide();
        dlg.onCommand(cmd::kTransparentView);
        pumpUntil([] { return false; }, 1500);
        ok &= save(&dlg, out, "file-transparent.png");
        dlg.onCommand(cmd::kTheaterButton);
        pumpUntil([] { return false; }, 1500);
        ok &= save(&dlg, out, "file-theater.png");
        dlg.onCommand(cmd::kLeaveTheater);
        pumpUntil([] { return false; }, 500);
    }

    dlg.requestClose();
    pumpUntil([&] { return !dlg.graph() && !dlg.isVisible(); }, 10000);
    return ok ? 0 : 1;
}
