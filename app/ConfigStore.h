#pragma once
// The player's settings: the registry values and the paths derived from them, config.ini
// ([SETUP], [DMBControl], [RECControl]) and the five channel lists of chlist.ini.
// The file is read once at start (LoadSettings) and written once at exit (SaveSettings); only
// the current channel, the last channel and the recording file name are written at once.
#include "channels/ChannelList.h"
#include "channels/ChannelStartup.h"

#include <QPoint>
#include <functional>
#include <string>

namespace kobal {

// Values of [SETUP] and [DMBControl] as the main window keeps them.
struct Settings {
    int always = 0;             // ALWAYS: stay on top
    int volumePos = 450;        // VOLUME_POS 0..900; the position before muting while muted
    int mute = 0;               // MUTE
    int defaultView = 0;        // DEFAULT_VIEW: 0 normal, 1 transparent, 2 theater
    int lastView = 0;           // LAST_VIEW, same coding
    int startViewLast = 0;      // START_VIEW_LAST: 1 start in LAST_VIEW
    int useTrayMode = 0;        // USE_TRAYMODE: start the timer program at exit
    int areaNum = -1;           // AREA_NUM: area preset index, -1 not chosen yet
    int listNum = -1;           // LIST_NUM: channel list in use, -1 first run
    int taskId = 0;             // TASKID: scheduled-task name counter
    std::string userPass = "0"; // USERPASS: read, never written
    std::string currentChannel; // [DMBControl] CurrentChannel

    // The volume as it goes to the file: while muted the slider shows silence, but the
    // position to return to is what is kept.
    void noteVolume(int sliderPos, bool muted);
};

// Paths built once from the registry's install folder.
struct ConfigPaths {
    std::string installFolder;
    std::string configFile;   // config.ini
    std::string chlistFile;   // chlist.ini
    std::string playlistFile; // plist.lst
    std::string helpFile;     // help.chm
    std::string timerProgram; // kobal_timer, beside the running program

    // In config::settingsFolder(): from "install_Dir"; when the value is missing or empty the
    // user's install folder stands in, so settings never land in the file system root.
    static ConfigPaths fromRegistry();
    static ConfigPaths forFolder(const std::string& folder);
};

// What the loaded settings ask of the main window; applying them is the window's business.
struct StartupSettings {
    QPoint position;     // centred on the primary screen; not stored
    int volumePos = 450; // the slider and the saved position
    bool muted = false;
    bool topMost = false; // ALWAYS
    int startView = 0;    // LAST_VIEW when START_VIEW_LAST is 1, else DEFAULT_VIEW
    ChannelStartup channels;
};

class ConfigStore {
public:
    // Work of other parts of the player that runs inside LoadSettings / SaveSettings, in the
    // order the settings need: playlist, then the SETUP keys, the lists, the reservations.
    struct Hooks {
        std::function<void()> loadPlaylist;
        std::function<void()> loadReservations;
        std::function<void()> saveReservations;
        AreaChooser chooseArea; // first-start area question; default: the area dialog
    };

    explicit ConfigStore(ConfigPaths paths = ConfigPaths::fromRegistry());

    const ConfigPaths& paths() const { return paths_; }
    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }
    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

    // Reads config.ini, loads (and binds) the five lists, then works out the start-up state;
    // a first start may ask for the area and fill list 0 from it.
    StartupSettings LoadSettings(ChannelLists& lists);
    // Writes config.ini and chlist.ini; with tray mode on, starts the timer program.
    // False when a file could not be written (the close goes on regardless).
    bool SaveSettings(const ChannelLists& lists);

    // [DMBControl] CurrentChannel as the recorder and the stream start-up read it:
    // "No-Channel" when missing, at most 29 characters.
    std::string ReadCurrentChannel() const;
    // Immediate writes. writeCurrentChannel also updates settings() and so belongs to the UI
    // thread; the other two touch only the file and may be called from any thread.
    bool writeCurrentChannel(const std::string& key);
    bool writeLastChannel(const std::string& key);
    bool writeRecordFileName(const std::string& path);
    // The option pages' three values (DEFAULT_VIEW, START_VIEW_LAST, USE_TRAYMODE), written as
    // SaveSettings writes them, at once, so a confirmed choice outlives a crash. UI thread.
    bool writeViewOptions();

    // Registry values read when needed.
    static std::string recordFolder(); // rec_Dir, empty when missing
    static std::string version();      // version, empty when missing

    static constexpr const char* kNoChannel = "No-Channel";

private:
    ConfigPaths paths_;
    Settings settings_;
    Hooks hooks_;
};

} // namespace kobal
