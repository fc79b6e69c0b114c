#include "app/ConfigStore.h"

#include "platform/ConfigIni.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/Registry.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace kobal {
namespace {

using config::Key;
// SETUP values are read as text of at most 40 characters and parsed like atoi.
constexpr int kSetupChars = 41;
constexpr int kLoadChannelChars = 101;
constexpr int kReadChannelChars = 30;

int setupInt(const std::string& file, const Key& key, const char* def) {
    return atoiText(Profile::getString(file, key.section, key.name, def, kSetupChars));
}

std::string getText(const std::string& file, const Key& key, const char* def, int chars) {
    return Profile::getString(file, key.section, key.name, def, chars);
}

bool putInt(const std::string& file, const Key& key, int value) {
    return Profile::writeInt(file, key.section, key.name, value);
}

bool putText(const std::string& file, const Key& key, const std::string& value) {
    return Profile::writeString(file, key.section, key.name, value);
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
    p.timerProgram = paths::siblingProgram("kobal_timer", "timer");
    return p;
}

// Folder values are read whole: a folder cut to a fixed buffer would name another folder.
constexpr int kWholeValue = 0;

ConfigPaths ConfigPaths::fromRegistry() {
    return forFolder(config::settingsFolder());
}

ConfigStore::ConfigStore(ConfigPaths paths) : paths_(std::move(paths)) {}

StartupSettings ConfigStore::LoadSettings(ChannelLists& lists) {
    if (hooks_.loadPlaylist) hooks_.loadPlaylist();

    const std::string& f = paths_.configFile;
    Settings s;
    s.always = setupInt(f, config::kAlways, "0");
    s.volumePos = setupInt(f, config::kVolumePos, "450");
    s.defaultView = setupInt(f, config::kDefaultView, "0");
    s.lastView = setupInt(f, config::kLastView, "0");
    s.startViewLast = setupInt(f, config::kStartViewLast, "0");
    s.useTrayMode = setupInt(f, config::kUseTrayMode, "0");
    s.areaNum = setupInt(f, config::kAreaNum, "-1");
    s.listNum = setupInt(f, config::kListNum, "-1");
    s.mute = setupInt(f, config::kMute, "0");
    s.taskId = setupInt(f, config::kTaskId, "0");
    s.userPass = getText(f, config::kUserPass, "0", kSetupChars);
    s.currentChannel = getText(f, config::kCurrentChannel, "", kLoadChannelChars);
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
    bool ok = putInt(f, config::kAlways, s.always);
    ok = putInt(f, config::kVolumePos, s.volumePos) && ok;
    ok = putInt(f, config::kMute, s.mute) && ok;
    ok = putInt(f, config::kDefaultView, s.defaultView) && ok;
    ok = putInt(f, config::kLastView, s.lastView) && ok;
    ok = putInt(f, config::kStartViewLast, s.startViewLast) && ok;
    ok = putInt(f, config::kUseTrayMode, s.useTrayMode) && ok;
    ok = putInt(f, config::kAreaNum, s.areaNum) && ok;
    ok = putInt(f, config::kListNum, s.listNum) && ok;
    ok = putInt(f, config::kTaskId, s.taskId) && ok;
    ok = putText(f, config::kCurrentChannel, s.currentChannel) && ok;
    ok = saveChannelLists(lists) && ok;
    if (hooks_.saveReservations) hooks_.saveReservations();
    if (s.useTrayMode == 1 && !paths_.timerProgram.empty())
        startDetached(paths_.timerProgram); // the tray icon stands in for the player
    return ok;
}

std::string ConfigStore::ReadCurrentChannel() const {
    return getText(paths_.configFile, config::kCurrentChannel, kNoChannel, kReadChannelChars);
}

bool ConfigStore::writeCurrentChannel(const std::string& key) {
    settings_.currentChannel = key;
    return putText(paths_.configFile, config::kCurrentChannel, key);
}

bool ConfigStore::writeLastChannel(const std::string& key) {
    return putText(paths_.configFile, config::kLastChannel, key);
}

bool ConfigStore::writeRecordFileName(const std::string& path) {
    return putText(paths_.configFile, config::kRecordFileName, path);
}

bool ConfigStore::writeViewOptions() {
    const std::string& f = paths_.configFile;
    const Settings& s = settings_;
    bool ok = putInt(f, config::kDefaultView, s.defaultView);
    ok = putInt(f, config::kStartViewLast, s.startViewLast) && ok;
    return putInt(f, config::kUseTrayMode, s.useTrayMode) && ok;
}

std::string ConfigStore::recordFolder() {
    return Registry::read("rec_Dir", kWholeValue).value_or("");
}

std::string ConfigStore::version() {
    return Registry::read("version").value_or("");
}

} // namespace kobal
