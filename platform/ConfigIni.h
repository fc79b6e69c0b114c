#pragma once
// The one way to the player's settings files and the one table of config.ini's sections and
// keys. Every part that reads or writes config.ini (the player, the tuner session, the
// renderer's recorder, the simulator tuner, the tools) goes through here, so they all meet the
// same file: the one in the folder the registry's install_Dir names (read whole, trailing
// slashes cut), or the user's install folder when that value is missing or empty.
//
// Any thread: the folder is looked up at each call (the registry file is small), and the
// profile layer serialises writes.
#include <string>

namespace kobal::config {

// The folder of config.ini, chlist.ini, plist.lst and the help file.
std::string settingsFolder();
// settingsFolder() + "/" + name.
std::string settingsFile(const char* name);
inline std::string configFile() {
    return settingsFile("config.ini");
}

struct Key {
    const char* section;
    const char* name;
};

// [SETUP]
inline constexpr Key kAlways{"SETUP", "ALWAYS"};
inline constexpr Key kVolumePos{"SETUP", "VOLUME_POS"};
inline constexpr Key kMute{"SETUP", "MUTE"};
inline constexpr Key kDefaultView{"SETUP", "DEFAULT_VIEW"};
inline constexpr Key kLastView{"SETUP", "LAST_VIEW"};
inline constexpr Key kStartViewLast{"SETUP", "START_VIEW_LAST"};
inline constexpr Key kUseTrayMode{"SETUP", "USE_TRAYMODE"};
inline constexpr Key kAreaNum{"SETUP", "AREA_NUM"};
inline constexpr Key kListNum{"SETUP", "LIST_NUM"};
inline constexpr Key kTaskId{"SETUP", "TASKID"};
inline constexpr Key kUserPass{"SETUP", "USERPASS"};
// [DMBControl]
inline constexpr Key kCurrentChannel{"DMBControl", "CurrentChannel"};
inline constexpr Key kLastChannel{"DMBControl", "LastChannel"};
// [RECControl]
inline constexpr Key kRecordFileName{"RECControl", "FileName"};

// Reads a value of config.ini as the profile layer does (at most bufferChars - 1 characters;
// def when missing).
std::string read(const Key& key, const std::string& def, int bufferChars);
int readInt(const Key& key, int def);
bool write(const Key& key, const std::string& value);
bool writeInt(const Key& key, int value);

} // namespace kobal::config
