#pragma once
// The main window's command ids (buttons, the right-click menu 462, the skinned menu bar to
// come) and the one table that ties keys and menu lines to them. Buttons, keys and menus all
// end in CPlayerDlg::onCommand(id), so each command has one handler.
#include <QKeyCombination>
#include <span>

namespace kobal::cmd {

// Buttons of the main window.
inline constexpr int kMinimise = 1039;       // "small"
inline constexpr int kTheaterButton = 1041;  // "ful"
inline constexpr int kCloseButton = 1042;    // "clo"
inline constexpr int kChannelPanel = 1052;   // "clist"
inline constexpr int kMute = 1061;           // "mute"
inline constexpr int kSound = 1062;          // "sound" (unmute)
inline constexpr int kPowerOn = 1065;        // "on"
inline constexpr int kPowerOff = 1066;       // "off"
inline constexpr int kChannelUp = 1067;      // "plus"
inline constexpr int kChannelDown = 1068;    // "minus"
inline constexpr int kHistoryBack = 1069;    // "before"
inline constexpr int kHistoryForward = 1070; // "after"
inline constexpr int kBlock = 1071;          // "block": does nothing
inline constexpr int kViewToggle = 1072;     // "view": transparent on/off
inline constexpr int kTimeShiftStopButton = 1073;
inline constexpr int kTimeShiftPlayButton = 1074;
inline constexpr int kTimeShiftPauseButton = 1075;
inline constexpr int kTheaterToggle = 1076; // "view2"
inline constexpr int kRecordStart = 1082;   // "rec"
inline constexpr int kRecordStop = 1119;    // "recording"
inline constexpr int kOpenFile = 1050;
inline constexpr int kPlaylist = 1051;
inline constexpr int kReservations = 1053; // "option"
inline constexpr int kRecordToggle = 1054;

// Copy-data the window sends itself: start or stop recording (the playback panel's toggle).
inline constexpr unsigned long kCopyDataRecord = 10;

// Menu 462 (the skinned menu bar posts the same ids).
inline constexpr int kTimeShiftStart = 32797;
inline constexpr int kTimeShiftPlay = 32798;
inline constexpr int kTimeShiftStop = 32799;
inline constexpr int kExit = 32829;
inline constexpr int kVolumeUp = 32800;
inline constexpr int kVolumeDown = 32838;
inline constexpr int kMuteToggle = 32801;
inline constexpr int kScanSingle = 32802;
inline constexpr int kScanFull = 32803;
inline constexpr int kScanList = 32804; // "リストサーチ": the scan of the list in use
inline constexpr int kChannelFileOpen = 32834;
inline constexpr int kChannelFileSave = 32808;
inline constexpr int kNormalView = 32815;
inline constexpr int kTransparentView = 32816;
inline constexpr int kTheaterView = 32817;
inline constexpr int kChannelPanelMenu = 32810;
inline constexpr int kChannelDisplay = 32812; // "チャンネル表示"
inline constexpr int kSignalDisplay = 32818;
inline constexpr int kSize1x = 32830;
inline constexpr int kSize2x = 32831;
inline constexpr int kMaximise = 32832;
inline constexpr int kAlwaysOnTop = 32833;

// Commands that have no id of their own in the menu resource (keys, menu bar entries that call
// the window directly). Kept apart from the resource's numbers.
inline constexpr int kCaptions = 40001;        // Ctrl+C
inline constexpr int kTimeShiftKey = 40002;    // Ctrl+T: start, or play while active
inline constexpr int kHelp = 40003;            // F1
inline constexpr int kLeaveTheater = 40004;    // Esc
inline constexpr int kAudioMain = 40005;       // "主音声"
inline constexpr int kAudioSub = 40006;        // "副音声"
inline constexpr int kChannelListEdit = 40007; // "チャンネルリストの編集"
inline constexpr int kCloseKey = 40008;        // Alt+F4: close without the menu's busy check
inline constexpr int kRecordMenu = 40009; // "録画開始/停止": stop while recording, else start
inline constexpr int kPlaybackPanel = 40010;     // "再生パネル表示"
inline constexpr int kReservationWindow = 40011; // "予約録画設定表示"
inline constexpr int kAlarmSettings = 40012;     // "指定時刻アラートの設定"
inline constexpr int kOptions = 40013;           // "オプション"
inline constexpr int kKeyList = 40014;           // "キー操作一覧"
inline constexpr int kUpdate = 40015;            // "ソフトウェアアップデート"
inline constexpr int kVersionInfo = 40016;       // "バージョン情報"

struct KeyBinding {
    QKeyCombination key;
    int command;
};

// Keys the main window examines before anything else (the rest go to the focused control).
std::span<const KeyBinding> keyBindings();
// The command of a key, 0 when it has none.
int commandForKey(QKeyCombination key);

struct MenuLine {
    const char16_t* text; // nullptr: separator
    int command;
};
// Menu 462, shown as the video area's right-click menu.
std::span<const MenuLine> contextMenu();

// The skinned menu bar's items: list 0 … 5 are its columns, 6 and 7 the audio and size
// sub-menus (ui/MenuBarModel.h), item counts from 0 with separators. 0 for separators and
// sub-menu openers.
int menuBarCommand(int list, int item);

} // namespace kobal::cmd
