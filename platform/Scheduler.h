#pragma once
// Scheduled starts of the player: each one is a pair of systemd user units,
// "<name>.timer" (OnCalendar= at the start, WakeSystem=true) and "<name>.service" (starts the
// program). Results are HRESULT values: kOk, kFail (bad task or name), kExists (keep-existing
// and a task of that name is there), kNotFound (delete of an unknown name), kUnavailable (the
// units were written but systemctl is missing; nothing will start them).
//
// Backends, chosen once from the environment:
//   KOBAL_SCHEDULER_DIR set → folder backend: units are written to that folder, no systemctl
//                             (tests; it never touches the user's systemd folder);
//   otherwise              → systemd backend: $XDG_CONFIG_HOME/systemd/user (or
//                             ~/.config/systemd/user), then `systemctl --user daemon-reload`
//                             and `enable --now` (or `disable --now`) run asynchronously; a
//                             failing systemctl is reported through setFailureHandler.
// UI thread only (the systemctl runs belong to its event loop).
#include <functional>
#include <string>

namespace kobal {

struct ScheduledTask {
    static constexpr int kOnce = 1;
    static constexpr int kDaily = 2;
    static constexpr int kWeekly = 3;
    static constexpr int kMonthly = 4;
    int year = 0, month = 0, weekday = 0, day = 0, hour = 0, minute = 0; // weekday 0 = Sunday
    int endYear = 0, endMonth = 0, endDay = 0;                           // all 0: no end
    int kind = kOnce;
    std::string application;
    std::string parameters;
    std::string workingDirectory;
    std::string account;
    std::string comment;
};

class Scheduler {
public:
    static constexpr long kOk = 0;
    static constexpr long kFail = static_cast<long>(0x80004005);
    static constexpr long kExists = static_cast<long>(0x80070050);
    static constexpr long kNotFound = static_cast<long>(0x80070002);
    static constexpr long kUnavailable = static_cast<long>(0x80070032);

    static long registerTask(const ScheduledTask& task, const std::string& name, bool keepExisting);
    static long deleteTask(const std::string& name);

    // The folder units go to, and whether it is the folder backend.
    static std::string unitFolder();
    static bool folderBackend();

    // The unit texts (public for tests).
    static std::string onCalendar(const ScheduledTask& task);
    static std::string timerUnit(const ScheduledTask& task, const std::string& name);
    static std::string serviceUnit(const ScheduledTask& task, const std::string& name);

    // Called on the UI thread with a line for the user when systemctl is missing or fails.
    static void setFailureHandler(std::function<void(const std::string&)> handler);
};

} // namespace kobal
