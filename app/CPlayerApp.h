#pragma once
// The player's entry: one player per user session, the relay of a second start's argument to
// the running one, the splash with the wait for the updater's verdict, and the main window's
// run. Everything happens on the UI thread; no step blocks the event loop (the splash keeps
// painting while the player waits).
#include <QStringList>
#include <memory>
#include <string>

namespace kobal {

class CPlayerDlg;
class NamedEvent;
class MessengerServer;

inline constexpr const char* kPlayerTitle = "KOBAL_PLAYER";
inline constexpr const char* kTimerTitle = "TRAYICONTIMER";
inline constexpr const char* kRecentVersionEvent = "RECENT_VERSION_EVENT";
inline constexpr const char* kOldVersionEvent = "OLD_VERSION_EVENT";
inline constexpr unsigned long kCopyDataArgument = 16;

// What the command line asks for. The switches are whole arguments, compared exactly, and
// only when they are the one argument; a file given as the first argument is an iEPG file.
struct StartupArgs {
    std::string fileArgument; // first argument not beginning with "-"
    bool exitOnly = false;    // "+x": end (a running player closes and leaves tray mode)
    bool tray = false;        // "+tray": started by the timer program
    std::string importPath;   // an iEPG file to import once the window is up (absolute)

    static StartupArgs parse(const QStringList& arguments); // without the program name
};

class CPlayerApp {
public:
    // Runs the whole program; returns the process's exit status.
    static int run(const QStringList& arguments);

    // The bounded wait for the updater's verdict (3000 ms; KOBAL_VERSION_WAIT_MS changes it
    // for tests).
    static int versionWaitMs();
};

} // namespace kobal
