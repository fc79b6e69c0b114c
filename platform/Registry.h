#pragma once
// The player's machine-wide key "SOFTWARE\Vorlin\Kobal Player", kept as the section
// [Kobal Player] of registry.ini in the install folder. All values are strings.
// Value names in use: "install_Dir", "Install_Dir", "rec_Dir", "version", "tuner",
// "replay_Dir".
#include <optional>
#include <string>

namespace kobal {

class Registry {
public:
    // Path of registry.ini.
    static std::string file();

    // The first start acts as the installer: writes install_Dir / Install_Dir (the install
    // folder), rec_Dir (Videos + "/Kobal") and version when registry.ini has no install_Dir.
    // Called by the programs at start-up; cheap when already done.
    static void ensureInstalled();

    // Reads a value; nullopt when missing. bufferBytes as in RegQueryValueEx (260 default):
    // the UTF-8 text is cut to fit bufferBytes/2 - 1 characters.
    static std::optional<std::string> read(const std::string& name, int bufferBytes = 260);
    static bool write(const std::string& name, const std::string& value);
    static bool remove(const std::string& name);

    static constexpr const char* kVersion = "1.0.0";
};

} // namespace kobal
