#pragma once
// The skinned menu bar's contents and geometry, and the pure drawing of the bar and of its
// drop-downs, so widgets stay thin and tests can check the rules without a window.
// Item texts keep their trailing blank (not drawn); "--" is a separator; a text ending in ">"
// opens a sub-menu. Lists: 0 … 5 are the six columns, kSubAudio and kSubSize the sub-menus.
#include <QFont>
#include <QImage>
#include <QString>

#include <array>
#include <span>

namespace kobal::menu {

inline constexpr int kColumns = 6;
inline constexpr int kBarWidth = 280;
inline constexpr int kBarHeight = 20;
inline constexpr int kDropWidth = 200;
inline constexpr int kItemHeight = 20;
inline constexpr int kSeparatorHeight = 5;
inline constexpr int kSubAudio = 6; // "音声多重切換>"
inline constexpr int kSubSize = 7;  // "画面サイズ変更>"
inline constexpr int kMaxItems = 12;
inline constexpr int kSeparatorHit = -2; // itemAt(): on a separator (keeps the hover)

using Checks = std::array<bool, kMaxItems>;

const char16_t* title(int column);
int bandStart(int column);
int bandEnd(int column);
// Column under x of the bar.
int hitTitle(int x);

std::span<const char16_t* const> items(int list);
bool isSeparator(const char16_t* text);
bool opensSubMenu(const char16_t* text);
// The sub-menu list an item opens, -1 for none.
int subMenuOf(int list, int item);
// The text as drawn: without its trailing character.
QString shownText(const char16_t* text);

int itemTop(int list, int item);
int itemHeight(int list, int item);
int dropHeight(int list);
// Item whose band holds (x, y): -1 none, kSeparatorHit on a separator.
int itemAt(int list, QPoint pos);
// Next selectable item from `from` in direction ±1, wrapping; -1 when none.
int stepItem(int list, int from, int direction);

// Fonts of the bar and the drop-downs.
QFont barFont();
QFont itemFont();
QFont markFont();

// The bar (kBarWidth × kBarHeight): every title; `hovered` lit while `open`.
QImage renderMenuBar(int hovered, bool open, qreal dpr = 1.0);
// A drop-down of `list` with its hovered item and check marks.
QImage renderDropDown(int list, int hovered, const Checks& checks, qreal dpr = 1.0);

} // namespace kobal::menu
