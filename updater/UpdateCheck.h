#pragma once
// The check that runs once as the update program starts: close a running player, compare the
// installed version with the newest release folder on the server, and tell a starting player
// through the version events whether it may go on.
#include "updater/FtpClient.h"

#include <string>

namespace kobal::update {

inline constexpr const char* kPlayerWindowTitle = "KOBAL_PLAYER";
inline constexpr const char* kOldVersionEvent = "OLD_VERSION_EVENT";
inline constexpr const char* kRecentVersionEvent = "RECENT_VERSION_EVENT";
inline constexpr const char* kVersionRoot = "/FTP-1seg/UPDATE";
inline constexpr const char* kServerValue = "update_Server";

struct CheckResult {
    enum Outcome { NothingNew, UpdateOffered, PlayerRestarted };
    Outcome outcome = NothingNew;
    std::string installedVersion;
    std::string newestVersion;
    std::string fileName;   // first file of the release folder (a plain name)
    std::string remotePath; // "/FTP-1seg/UPDATE/<newest>/<file>"
    FtpServer server;
};

// Installed version from the registry ("" when unreadable).
std::string readInstalledVersion();

// The player program beside this one (or in app/ beside updater/ of a build tree); "" when it
// is not there. Programs are found where the running one is, not in the install folder (which
// holds only settings), so no registry value is needed.
std::string buildPlayerPath();

// Starts the player again (after the check found nothing to install); false when there is
// none to start.
bool restartPlayer();

// Runs the check with the server of the registry value update_Server (serverText overrides it
// when not null). The connection is left open in connection for nothing else to use.
CheckResult runUpdateCheck(FtpCheckConnection& connection, const FtpOptions& options,
                           const std::string* serverText = nullptr);

} // namespace kobal::update
