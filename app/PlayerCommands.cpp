#include "app/PlayerCommands.h"

namespace kobal::cmd {
namespace {

constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Alt = Qt::AltModifier;

const KeyBinding kKeys[] = {
    {QKeyCombination(Qt::Key_Escape), kLeaveTheater},
    {QKeyCombination(Ctrl, Qt::Key_1), kNormalView},
    {QKeyCombination(Ctrl, Qt::Key_2), kTransparentView},
    {QKeyCombination(Ctrl, Qt::Key_3), kTheaterView},
    {QKeyCombination(Ctrl, Qt::Key_C), kCaptions},
    {QKeyCombination(Ctrl, Qt::Key_L), kChannelPanelMenu},
    {QKeyCombination(Ctrl, Qt::Key_P), kPowerOn},
    {QKeyCombination(Ctrl, Qt::Key_S), kPowerOff},
    {QKeyCombination(Ctrl, Qt::Key_T), kTimeShiftKey},
    {QKeyCombination(Qt::Key_F1), kHelp},
    {QKeyCombination(Alt, Qt::Key_Return), kMaximise},
    {QKeyCombination(Alt, Qt::Key_Enter), kMaximise},
    {QKeyCombination(Alt, Qt::Key_Left), kHistoryBack},
    {QKeyCombination(Alt, Qt::Key_Up), kChannelDown},
    {QKeyCombination(Alt, Qt::Key_Right), kHistoryForward},
    {QKeyCombination(Alt, Qt::Key_Down), kChannelUp},
    {QKeyCombination(Alt, Qt::Key_1), kSize1x},
    {QKeyCombination(Alt, Qt::Key_2), kSize2x},
    {QKeyCombination(Alt, Qt::Key_F4), kCloseKey},
};

const MenuLine kMenu[] = {
    {u"タイムシフト開始(&T)", kTimeShiftStart},
    {u"タイムシフト再生(&T) ", kTimeShiftPlay},
    {u"タイムシフト停止(&O) ", kTimeShiftStop},
    {nullptr, 0},
    {u"通常モ―ド(&N) ", kNormalView},
    {u"透過モ―ド(&R)", kTransparentView},
    {u"シアタ―モ―ド(&T) ", kTheaterView},
    {u"最大化(&M)", kMaximise},
    {u"常に手前に表示(&A) ", kAlwaysOnTop},
    {nullptr, 0},
    {u"主音声", kAudioMain},
    {u"副音声", kAudioSub},
    {nullptr, 0},
    {u"シングルサ―チ(&G) ", kScanSingle},
    {u"フルサ―チ(&F) ", kScanFull},
    {u"地域別サ―チ(&A)", kScanList},
    {u"チャンネルリスト表示(&L) ", kChannelPanelMenu},
    {u"チャンネルリストの(&L) ", kChannelFileOpen},
    {u"チャンネルリストの保存(&S) ", kChannelFileSave},
    {nullptr, 0},
    {u"終了", kExit},
};

// Item by item, in the menu bar's order (0: separator or sub-menu).
const int kStartColumn[] = {kPowerOn,       kPowerOff,      0,           kTimeShiftStart,
                            kTimeShiftPlay, kTimeShiftStop, kRecordMenu, kExit};
const int kSoundColumn[] = {kVolumeUp, kVolumeDown, 0, kMuteToggle, 0};
const int kChannelColumn[] = {kScanSingle, kScanFull, kScanList, 0, kChannelListEdit};
const int kViewColumn[] = {kNormalView,       kTransparentView, kTheaterView,       0,
                           kChannelPanelMenu, kPlaybackPanel,   kReservationWindow, kChannelDisplay,
                           kSignalDisplay,    kCaptions,        kAlwaysOnTop,       0};
const int kToolsColumn[] = {kAlarmSettings, kOptions};
const int kHelpColumn[] = {kHelp, kKeyList, kUpdate, kVersionInfo};
const int kAudioSubMenu[] = {kAudioMain, kAudioSub};
const int kSizeSubMenu[] = {kSize1x, kSize2x, kMaximise};
const std::span<const int> kMenuBar[] = {kStartColumn, kSoundColumn, kChannelColumn, kViewColumn,
                                         kToolsColumn, kHelpColumn,  kAudioSubMenu,  kSizeSubMenu};

} // namespace

int menuBarCommand(int list, int item) {
    if (list < 0 || list >= int(std::size(kMenuBar))) return 0;
    const std::span<const int> ids = kMenuBar[list];
    return item >= 0 && item < int(ids.size()) ? ids[size_t(item)] : 0;
}

std::span<const KeyBinding> keyBindings() {
    return kKeys;
}

int commandForKey(QKeyCombination key) {
    // The keypad's modifier does not change what a key means here.
    const QKeyCombination plain(key.keyboardModifiers() & ~Qt::KeypadModifier, key.key());
    for (const KeyBinding& b : kKeys)
        if (b.key == plain) return b.command;
    return 0;
}

std::span<const MenuLine> contextMenu() {
    return kMenu;
}

} // namespace kobal::cmd
