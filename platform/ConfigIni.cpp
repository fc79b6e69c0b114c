#include "platform/ConfigIni.h"

#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Registry.h"

namespace kobal::config {

namespace {
// Folder values are read whole: a folder cut to a fixed buffer would name another folder.
constexpr int kWholeValue = 0;
} // namespace

std::string settingsFolder() {
    std::string folder = Registry::read("install_Dir", kWholeValue).value_or(std::string());
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    // Without a registered folder the settings stay in the user's folder, never in "/".
    if (folder.empty()) folder = paths::installFolder();
    return folder;
}

std::string settingsFile(const char* name) {
    return settingsFolder() + "/" + name;
}

std::string read(const Key& key, const std::string& def, int bufferChars) {
    return Profile::getString(configFile(), key.section, key.name, def, bufferChars);
}

int readInt(const Key& key, int def) {
    return Profile::getInt(configFile(), key.section, key.name, def);
}

bool write(const Key& key, const std::string& value) {
    return Profile::writeString(configFile(), key.section, key.name, value);
}

bool writeInt(const Key& key, int value) {
    return Profile::writeInt(configFile(), key.section, key.name, value);
}

} // namespace kobal::config
