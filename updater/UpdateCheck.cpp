#include "updater/UpdateCheck.h"

#include "platform/Messenger.h"
#include "platform/NamedObjects.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "updater/UpdateTexts.h"
#include "updater/Versions.h"

#include <filesystem>
#include <unistd.h>

namespace kobal::update {

std::string readInstalledVersion() {
    return Registry::read("Version", 260).value_or(std::string());
}

std::string buildPlayerPath() {
    // Programs live beside each other (a build tree: app/ beside updater/); the install
    // folder holds only settings.
    for (const char* relative : {"/kobal_player", "/../app/kobal_player"}) {
        const std::string path =
            std::filesystem::path(paths::programFolder() + relative).lexically_normal();
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return std::string();
}

bool restartPlayer() {
    const std::string path = buildPlayerPath();
    return !path.empty() && startDetached(path) > 0;
}

CheckResult runUpdateCheck(FtpCheckConnection& connection, const FtpOptions& options,
                           const std::string* serverText) {
    CheckResult result;
    result.installedVersion = readInstalledVersion();

    // A running player is asked to close; we do not wait for it.
    Messenger::postClose(kPlayerWindowTitle);

    // Absent when no player is starting; then there is nobody to tell.
    auto recent = NamedEvent::open(kRecentVersionEvent);
    auto old = NamedEvent::open(kOldVersionEvent);
    auto nothingNew = [&] {
        result.outcome = CheckResult::NothingNew;
        if (recent) recent->set();
        return result;
    };

    const std::string server =
        serverText ? *serverText : Registry::read(kServerValue, 520).value_or(std::string());
    if (!connection.connect(server, options)) return nothingNew();
    result.server = connection.server();

    std::vector<std::string> versions;
    if (!connection.list(kVersionRoot, FtpCheckConnection::ListKind::Folders, versions, true))
        return nothingNew();
    result.newestVersion = newestVersion(versions);
    if (result.newestVersion.empty() ||
        compareVersions(result.newestVersion, result.installedVersion) <= 0)
        return nothingNew();

    if (old) old->set();
    recent.reset();
    old.reset();
    const std::string folder = std::string(kVersionRoot) + "/" + result.newestVersion;
    std::vector<std::string> files;
    if (!connection.list(folder, FtpCheckConnection::ListKind::Files, files, false) ||
        files.empty()) {
        // Nothing to install after all: the player the events stopped starts again.
        restartPlayer();
        result.outcome = CheckResult::PlayerRestarted;
        return result;
    }
    result.fileName = files.front();
    result.remotePath = folder + "/" + result.fileName;
    result.outcome = CheckResult::UpdateOffered;
    return result;
}

} // namespace kobal::update
