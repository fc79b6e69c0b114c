#include "engine/SessionHost.h"

#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

namespace kobal {

int SessionHost::messageBox(const std::string& text, const std::string& title, unsigned flags) {
    return kobal::messageBox(text, title, flags);
}

std::string SessionHost::readConfig(const std::string& section, const std::string& key,
                                    const std::string& def, int bufferLength) {
    return Profile::getString(paths::inInstall("config.ini"), section, key, def, bufferLength);
}

void SessionHost::writeConfig(const std::string& section, const std::string& key,
                              const std::string& value) {
    Profile::writeString(paths::inInstall("config.ini"), section, key, value);
}

} // namespace kobal
