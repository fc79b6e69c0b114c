#include "platform/Registry.h"

#include "platform/Paths.h"
#include "platform/Profile.h"

namespace kobal {
namespace {
constexpr const char* kSection = "Kobal Player";
}

std::string Registry::file() {
    return paths::inInstall("registry.ini");
}

void Registry::ensureInstalled() {
    if (read("install_Dir")) return;
    const std::string install = paths::installFolder();
    write("install_Dir", install);
    write("Install_Dir", install);
    if (!read("rec_Dir")) write("rec_Dir", paths::videosFolder() + "/Kobal");
    if (!read("version")) write("version", kVersion);
}

std::optional<std::string> Registry::read(const std::string& name, int bufferBytes) {
    // A marker default tells a missing value from an empty one.
    static const std::string kMissing("\x01missing\x01");
    if (Profile::getString(file(), kSection, name, kMissing) == kMissing) return std::nullopt;
    // The buffer holds bufferBytes / 2 UTF-16 units including the terminator.
    return Profile::getString(file(), kSection, name, "", bufferBytes > 0 ? bufferBytes / 2 : 0);
}

bool Registry::write(const std::string& name, const std::string& value) {
    return Profile::writeString(file(), kSection, name, value);
}

bool Registry::remove(const std::string& name) {
    return Profile::removeKey(file(), kSection, name);
}

} // namespace kobal
