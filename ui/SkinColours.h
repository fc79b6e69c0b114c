#pragma once
// The skin's colours in one place. The player's colours are given as Windows colour values
// 0x00BBGGRR; fromColourRef() turns them into QColor.
#include <QColor>

#include <cstdint>

namespace kobal {

inline QColor fromColourRef(std::uint32_t c) {
    return QColor::fromRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

namespace colour {
// Channel list box.
constexpr std::uint32_t kListSelectedFill = 0x2C8287;
constexpr std::uint32_t kListSelectedReceived = 0xFFFFFF;
constexpr std::uint32_t kListSelectedOther = 0x142814;
constexpr std::uint32_t kListDisabled = 0x2C8287;
constexpr std::uint32_t kListReceived = 0x25B595;
constexpr std::uint32_t kListOther = 0x0A7864;
constexpr std::uint32_t kListDots = 0x2C5F46;
constexpr std::uint32_t kListBackground = 0x0C120C; // the list well of picture 413
// Channel pop-up and menu drop-downs.
constexpr std::uint32_t kPopupBackground = 0x752828;
constexpr std::uint32_t kPopupText = 0xDCDCDC;
constexpr std::uint32_t kHoverFill = 0xC8C8C8;
constexpr std::uint32_t kHoverText = 0x3C1414;
constexpr std::uint32_t kMenuBar = 0x393939;
constexpr std::uint32_t kMenuBarText = 0xC4C4C4;
constexpr std::uint32_t kMenuOpen = 0x756728; // open title, drop-down background
constexpr std::uint32_t kMenuSeparator = 0x969696;
// Backgrounds the panels and sliders sit on.
constexpr std::uint32_t kPanelFace = 0x2A2624; // the control panel's face
constexpr std::uint32_t kSliderBackground = 0x1E1C1B;
} // namespace colour

} // namespace kobal
