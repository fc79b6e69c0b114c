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

} // namespace

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
