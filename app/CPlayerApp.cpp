#include "app/CPlayerApp.h"

#include "app/CPlayerDlg.h"
#include "app/CSplashDlg.h"
#include "app/ConfigStore.h"
#include "platform/Messenger.h"
#include "platform/NamedObjects.h"
#include "platform/Process.h"
#include "platform/Registry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <cstdlib>

namespace kobal {
namespace {

// Waits in the event loop (windows keep painting, messages keep coming) until done() or the
// time is up; done() is asked every 20 ms.
void waitInEventLoop(int ms, const std::function<bool()>& done) {
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if ((done && done()) || clock.elapsed() >= ms) loop.quit();
    });
    tick.start();
    if (!(done && done())) loop.exec();
}

// A second start: the running player raises itself and gets the argument. "+x" closes it;
// this start ends once it is gone (at most about 5 seconds).
int relayToRunning(const StartupArgs& args) {
    if (!Messenger::windowExists(kPlayerTitle)) return 0;
    Messenger::postActivate(kPlayerTitle);
    // A file goes as an absolute path: the running player has a folder of its own.
    const std::string& text = args.importPath.empty() ? args.fileArgument : args.importPath;
    if (!text.empty()) Messenger::sendCopyData(kPlayerTitle, kCopyDataArgument, text, 1000);
    if (args.exitOnly) {
        for (int i = 0; i < 50 && Messenger::windowExists(kPlayerTitle); ++i)
            waitInEventLoop(100, {});
    }
    return 0;
}

// Opens a version event; one left signalled by an earlier run (a player killed before it
// removed it) is emptied, so an old verdict never ends this start.
std::unique_ptr<NamedEvent> freshEvent(const char* name) {
    auto ev = NamedEvent::openOrCreate(name);
    if (ev && ev->alreadyExisted())
        while (ev->tryTake()) {
        }
    return ev;
}

} // namespace

StartupArgs StartupArgs::parse(const QStringList& arguments) {
    StartupArgs a;
    for (const QString& arg : arguments) {
        // Options begin with '-' here ('/' begins a path).
        if (arg.startsWith('-')) continue;
        a.fileArgument = arg.toStdString();
        break;
    }
    if (arguments.size() == 1) {
        a.exitOnly = arguments[0] == "+x";
        a.tray = arguments[0] == "+tray";
    }
    if (!a.exitOnly && !a.tray && !a.fileArgument.empty() && a.fileArgument != "+x" &&
        a.fileArgument != "+tray")
        a.importPath =
            QFileInfo(QString::fromStdString(a.fileArgument)).absoluteFilePath().toStdString();
    return a;
}

int CPlayerApp::versionWaitMs() {
    if (const char* v = std::getenv("KOBAL_VERSION_WAIT_MS")) {
        const int ms = std::atoi(v);
        if (ms >= 0 && ms <= 60000) return ms;
    }
    return 3000;
}

int CPlayerApp::run(const QStringList& arguments) {
    const StartupArgs args = StartupArgs::parse(arguments);

    SingleInstanceLock instance(kPlayerTitle);
    if (!instance.acquire()) return relayToRunning(args);
    if (args.exitOnly) return 0;

    // The window is found by its title from now on, also while the splash waits: what a second
    // start sends meanwhile waits here for the main window.
    QPointer<CPlayerDlg> dlg;
    std::vector<std::string> pending;
    bool closeAsked = false;
    MessengerServer server(
        kPlayerTitle,
        [&](unsigned long n, const std::string& text) -> long {
            if (n != kCopyDataArgument) return dlg ? dlg->onCopyData(n, text) : 0;
            if (dlg) return dlg->onArgument(text);
            if (text == "+x")
                closeAsked = true;
            else if (text != "+tray")
                pending.push_back(text);
            return 1;
        },
        [&] {
            // Until the main window exists there is no player to close: the update program
            // closes a running player when it starts, and a player still in its splash wait
            // takes its verdict from the version events instead.
            if (dlg) dlg->requestClose();
        });
    server.setActivateHandler([&] {
        if (dlg) dlg->activate();
    });

    Messenger::postClose(kTimerTitle); // the timer's tray icon gives way to the player
    Registry::ensureInstalled();       // the first start stands in for the installer

    auto recent = freshEvent(kRecentVersionEvent);
    auto old = freshEvent(kOldVersionEvent);

    bool oldVersion = false;
    {
        CSplashDlg splash(QString::fromStdString(ConfigStore::version()));
        splash.show();
        waitInEventLoop(versionWaitMs(), [&] {
            if (old && old->tryTake()) oldVersion = true;
            return oldVersion || closeAsked || (recent && recent->tryTake());
        });
        splash.hide();
    }
    int status = 0;
    if (!oldVersion && !closeAsked) {
        // Started by the timer program: give the desktop a moment (the tray icon is going).
        if (args.tray) waitInEventLoop(2000, [&] { return closeAsked; });
        if (!closeAsked) {
            auto window = std::make_unique<CPlayerDlg>(args);
            dlg = window.get();
            if (window->initialise()) {
                for (const std::string& text : pending) window->onArgument(text);
                pending.clear();
                if (!closeAsked)
                    status = QCoreApplication::exec();
                else
                    window->requestClose();
            }
            dlg = nullptr;
        }
    }
    // The events outlive processes: the last player removes them.
    recent.reset();
    old.reset();
    NamedEvent::unlink(kRecentVersionEvent);
    NamedEvent::unlink(kOldVersionEvent);
    return status;
}

} // namespace kobal
