#include "ui/SkinLayout.h"

namespace kobal {
namespace {
constexpr SkinPlace kHidden{};
constexpr SkinPlace panel(int x, int y) {
    return {SkinAnchor::Panel, x, y};
}
constexpr SkinPlace topRight(int x, int y) {
    return {SkinAnchor::TopRight, x, y};
}
constexpr SkinPlace bottomRight(int x, int y) {
    return {SkinAnchor::BottomRight, x, y};
}

// Panel rows: 38-pixel buttons at y 8, labels under them; 23-pixel buttons at y 70.
// Transparent view: the menu bar takes the top row up to x 290 and the recording indicator
// (310, 3); the buttons stand in a column at the right edge. Normal view: the recording
// indicator takes (160, 18) … (240, 38) of the top bar, the buttons sit right of it.
// The picture of the panel (tools/kobal_skingen) engraves its wells and labels at the same
// places, from this table.
constexpr SkinButton kButtons[] = {
    {1039, "small", "btn_small", 23, "最小化", topRight(-88, 12), topRight(-24, 26), kHidden},
    {1041, "ful", "btn_ful", 23, "シアターモード", topRight(-64, 12), kHidden, kHidden},
    {1042, "clo", "btn_clo", 23, "終了", topRight(-40, 12), topRight(-24, 1), kHidden},
    {1052, "clist", "btn_clist", 23, "チャンネルリスト", panel(203, 70), kHidden, kHidden},
    {1061, "mute", "btn_mute", 23, "消音", panel(74, 70), kHidden, kHidden},
    {1062, "sound", "btn_sound", 23, "消音解除", panel(74, 70), kHidden, kHidden},
    {1065, "on", "btn_on", 38, "電源オン", panel(16, 8), kHidden, kHidden},
    {1066, "off", "btn_off", 38, "電源オフ", panel(16, 8), kHidden, kHidden},
    {1067, "plus", "btn_plus", 38, "次のチャンネル", panel(104, 8), kHidden, kHidden},
    {1068, "minus", "btn_minus", 38, "前のチャンネル", panel(66, 8), kHidden, kHidden},
    {1069, "before", "btn_before", 23, "前に見たチャンネル", panel(16, 70), kHidden, kHidden},
    {1070, "after", "btn_after", 23, "次に見たチャンネル", panel(41, 70), kHidden, kHidden},
    {1071, "block", "btn_block", 23, "", kHidden, kHidden, kHidden},
    {1072, "view", "btn_view", 23, "透過モード", topRight(-115, 12), topRight(-24, 51), kHidden},
    {1073, "stop", "btn_stop", 38, "タイムシフト停止", panel(266, 8), kHidden, kHidden},
    {1074, "start", "btn_start", 38, "タイムシフト再生", panel(228, 8), kHidden, kHidden},
    {1075, "pause", "btn_pause", 38, "タイムシフト開始", panel(228, 8), kHidden, kHidden},
    {1076, "view2", "btn_view2", 28, "シアターモード切替", kHidden, kHidden, bottomRight(-60, -60)},
    {1082, "rec", "btn_rec", 38, "録画開始", panel(166, 8), kHidden, kHidden},
    {1119, "recording", "btn_recording", 38, "録画停止", panel(166, 8), kHidden, kHidden},
    {1050, "Open", "btn_open", 23, "ファイルを開く", panel(229, 70), kHidden, kHidden},
    {1051, "plist", "btn_plist", 23, "プレイリスト", panel(255, 70), kHidden, kHidden},
    {1053, "option", "btn_option", 23, "予約録画", panel(281, 70), kHidden, kHidden},
    {1054, "rec", "btn_rec_small", 23, "録画開始/停止", kHidden, topRight(-24, 76), kHidden},
};
constexpr SkinTextButton kChannelWindowButtons[] = {
    {"Single", "btn_single", "シングル", QRect(15, 332, 60, 26)},
    {"Full", "btn_full", "フル", QRect(82, 332, 60, 26)},
    {"Area", "btn_area", "エリア", QRect(149, 332, 60, 26)},
};
constexpr ShapedWindowSkin kShapedWindows[] = {
    {"playback panel", 401, "404", QSize(358, 157), 0x00FF00, false, false, true},
    {"channel list window", 329, "413", QSize(223, 420), 0x00FF00, true, false, false},
    {"file list window", 252, "396", QSize(324, 200), 0xFF00FF, true, false, false},
    {"update dialog", 102, "129", QSize(358, 157), 0x00FF00, false, true, true},
};
} // namespace

std::span<const ShapedWindowSkin> shapedWindowSkins() {
    return kShapedWindows;
}

std::span<const SkinTextButton> channelWindowButtons() {
    return kChannelWindowButtons;
}

QRect playbackTimeRect() {
    return {23, 40, 310, 22};
}

QRect playbackTitleRect() {
    return {23, 122, 310, 22};
}

QRect playbackRecordKeyRect() {
    return {321, 8, 23, 23};
}

QRect fileListRect() {
    return {12, 38, 300, 150};
}

QRect fileListCloseRect() {
    return {293, 7, 23, 23};
}

std::span<const SkinButton> mainWindowButtons() {
    return kButtons;
}

const SkinButton* findSkinButton(int id) {
    for (const SkinButton& b : kButtons)
        if (b.id == id) return &b;
    return nullptr;
}

QPoint controlPanelOrigin(QSize client) {
    return {(client.width() - 358) / 2 + 19, client.height() - 144};
}

QRect placeSkinButton(const SkinButton& button, SkinView view, QSize client) {
    const SkinPlace& place = view == SkinView::Normal        ? button.normal
                             : view == SkinView::Transparent ? button.transparent
                                                             : button.theater;
    QPoint origin;
    switch (place.anchor) {
    case SkinAnchor::None:
        return {};
    case SkinAnchor::Panel:
        origin = controlPanelOrigin(client);
        break;
    case SkinAnchor::TopLeft:
        break;
    case SkinAnchor::TopRight:
        origin = {client.width(), 0};
        break;
    case SkinAnchor::BottomRight:
        origin = {client.width(), client.height()};
        break;
    }
    return {origin + QPoint(place.x, place.y), QSize(button.size, button.size)};
}

QRect normalVideoRect(QSize client) {
    return {19, 70, client.width() - 38, client.height() - 260};
}

QRect normalTickerRect(QSize client) {
    return {19, client.height() - 188, client.width() - 38, 20};
}

QRect normalMessageRect(QSize client) {
    return {19, client.height() - 168, client.width() - 38 - 32, 20};
}

QRect normalLogoRect(QSize) {
    return {24, 14, 100, 20};
}

QRect volumeSliderRect(QSize client) {
    return QRect(controlPanelOrigin(client) + QPoint(104, 76), QSize(82, 12));
}

} // namespace kobal
