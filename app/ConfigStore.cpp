#include "app/ConfigStore.h"

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/Registry.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace kobal {
namespace {

constexpr const char* kSetup = "SETUP";
constexpr const char* kDmb = "DMBControl";
constexpr const char* kRec = "RECControl";
// SETUP values are read as text of at most 40 characters and parsed like atoi.
constexpr int kSetupChars = 41;
constexpr int kLoadChannelChars = 101;
constexpr int kReadChannelChars = 30;

int setupInt(const std::string& file, const char* key, const char* def) {
    return atoiText(Profile::getString(file, kSetup, key, def, kSetupChars));
}

QPoint centredPosition() {
    // Left = width / 2 - 179, top = height / 2 - 220 of the primary screen.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const QRect r = screen->geometry();
    return {r.x() + r.width() / 2 - 179, r.y() + r.height() / 2 - 220};
}

} // namespace

void Settings::noteVolume(int sliderPos, bool muted) {
    mute = muted ? 1 : 0;
    if (!muted) volumePos = sliderPos;
}

ConfigPaths ConfigPaths::forFolder(const std::string& folder) {
    ConfigPaths p;
    p.installFolder = folder;
    p.configFile = folder + "/config.ini";
    p.chlistFile = folder + "/chlist.ini";
    p.playlistFile = folder + "/plist.lst";
    p.helpFile = folder + "/help.chm";
    p.timerProgram = paths::programFolder() + "/kobal_timer";
    return p;
}

// Folder values are read whole: a folder cut to a fixed buffer would name another folder.
constexpr int kWholeValue = 0;

ConfigPaths ConfigPaths::fromRegistry() {
    std::string folder = Registry::read("install_Dir", kWholeValue).value_or(std::string());
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty()) folder = paths::installFolder();
    return forFolder(folder);
}

ConfigStore::ConfigStore(ConfigPaths paths) : paths_(std::move(paths)) {}

StartupSettings ConfigStore::LoadSettings(ChannelLists& lists) {
    if (hooks_.loadPlaylist) hooks_.loadPlaylist();

    const std::string& f = paths_.configFile;
    Settings s;
    s.always = setupInt(f, "ALWAYS", "0");
    s.volumePos = setupInt(f, "VOLUME_POS", "450");
    s.defaultView = setupInt(f, "DEFAULT_VIEW", "0");
    s.lastView = setupInt(f, "LAST_VIEW", "0");
    s.startViewLast = setupInt(f, "START_VIEW_LAST", "0");
    s.useTrayMode = setupInt(f, "USE_TRAYMODE", "0");
    s.areaNum = setupInt(f, "AREA_NUM", "-1");
    s.listNum = setupInt(f, "LIST_NUM", "-1");
    s.mute = setupInt(f, "MUTE", "0");
    s.taskId = setupInt(f, "TASKID", "0");
    s.userPass = Profile::getString(f, kSetup, "USERPASS", "0", kSetupChars);
    s.currentChannel = Profile::getString(f, kDmb, "CurrentChannel", "", kLoadChannelChars);
    settings_ = s;

    loadChannelLists(lists, paths_.chlistFile);
    if (hooks_.loadReservations) hooks_.loadReservations();

    // A hand-edited file may hold anything: the slider and the views take only their ranges.
    settings_.volumePos = std::clamp(s.volumePos, 0, 900);
    for (int* view : {&settings_.defaultView, &settings_.lastView})
        if (*view < 0 || *view > 2) *view = 0;

    StartupSettings out;
    out.position = centredPosition();
    out.volumePos = settings_.volumePos;
    out.muted = s.mute == 1;
    out.topMost = s.always == 1;
    out.startView = s.startViewLast == 1 ? settings_.lastView : settings_.defaultView;
    out.channels = prepareChannelStartup(s.listNum, s.areaNum, lists, hooks_.chooseArea);
    // What start-up settled on is what the next exit stores.
    settings_.listNum = out.channels.listNumber;
    settings_.areaNum = out.channels.area;
    return out;
}

bool ConfigStore::SaveSettings(const ChannelLists& lists) {
    const std::string& f = paths_.configFile;
    const Settings& s = settings_;
    // A read-only file does not stop the close; the result only tells the caller.
    bool ok = Profile::writeInt(f, kSetup, "ALWAYS", s.always);
    ok = Profile::writeInt(f, kSetup, "VOLUME_POS", s.volumePos) && ok;
    ok = Profile::writeInt(f, kSetup, "MUTE", s.mute) && ok;
    ok = Profile::writeInt(f, kSetup, "DEFAULT_VIEW", s.defaultView) && ok;
    ok = Profile::writeInt(f, kSetup, "LAST_VIEW", s.lastView) && ok;
    ok = Profile::writeInt(f, kSetup, "START_VIEW_LAST", s.startViewLast) && ok;
    ok = Profile::writeInt(f, kSetup, "USE_TRAYMODE", s.useTrayMode) && ok;
    ok = Profile::writeInt(f, kSetup, "AREA_NUM", s.areaNum) && ok;
    ok = Profile::writeInt(f, kSetup, "LIST_NUM", s.listNum) && ok;
    ok = Profile::writeInt(f, kSetup, "TASKID", s.taskId) && ok;
    ok = Profile::writeString(f, kDmb, "CurrentChannel", s.currentChannel) && ok;
    ok = saveChannelLists(lists) && ok;
    if (hooks_.saveReservations) hooks_.saveReservations();
    if (s.useTrayMode == 1 && !paths_.timerProgram.empty())
        startDetached(paths_.timerProgram); // the tray icon stands in for the player
    return ok;
}

std::string ConfigStore::ReadCurrentChannel() const {
    return Profile::getString(paths_.configFile, kDmb, "CurrentChannel", kNoChannel,
                              kReadChannelChars);
}

bool ConfigStore::writeCurrentChannel(const std::string& key) {
    settings_.currentChannel = key;
    return Profile::writeString(paths_.configFile, kDmb, "CurrentChannel", key);
}

bool ConfigStore::writeLastChannel(const std::string& key) {
    return Profile::writeString(paths_.configFile, kDmb, "LastChannel", key);
}

bool ConfigStore::writeRecordFileName(const std::string& path) {
    return Profile::writeString(paths_.configFile, kRec, "FileName", path);
}

std::string ConfigStore::recordFolder() {
    return Registry::read("rec_Dir", kWholeValue).value_or("");
}

std::string ConfigStore::version() {
    return Registry::read("version").value_or("");
}

} // namespace kobal
