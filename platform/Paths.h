#pragma once
// Where the player's files live.
//  installFolder(): $KOBAL_HOME, else $XDG_CONFIG_HOME/kobal, else ~/.config/kobal (created;
//                   returned absolute with symlinks resolved).
//  runtimeFolder(): $KOBAL_RUNTIME_DIR, else $XDG_RUNTIME_DIR/kobal, else /tmp/kobal-<uid>
//                   (created, mode 0700): local sockets and lock files.
//  programFolder(): folder of the running executable (kobal_timer, kobal_update live beside it).
//  cacheFolder():   $XDG_CACHE_HOME/kobal or ~/.cache/kobal (time-shift spill files).
//  videosFolder():  the user's Videos folder (xdg-user-dirs), else ~/Videos.
#include <string>

namespace kobal::paths {

std::string installFolder();
std::string runtimeFolder();
std::string programFolder();
std::string cacheFolder();
std::string videosFolder();

// Another of our programs: beside this one, else (a build tree) in ../<buildFolder>/;
// the first that can be run, or the path beside this one when neither can.
std::string siblingProgram(const std::string& name, const std::string& buildFolder);

// installFolder() + "/" + name.
std::string inInstall(const std::string& name);

// A stable short tag for named kernel objects: the user id and a hash of the install folder,
// so that two users or two test homes never share a semaphore, mapping or socket.
std::string objectScope();

// POSIX object name ("/kobal-<scope>-<sanitised name>") for a Windows object name, at most
// 250 bytes (long names are shortened with a hash).
std::string posixName(const std::string& windowsName);

// Creates a folder and its parents; true when it exists afterwards.
bool makeFolders(const std::string& path);

} // namespace kobal::paths
