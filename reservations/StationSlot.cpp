#include "StationSlot.h"

#include "broadcast/AreaPresetTable.h"
#include "platform/Utf.h"

#include <string>

namespace kobal {
namespace {

constexpr char16_t kFullWidthOffset = 0xFEE0;

int findStation(const std::u16string& name, int area) {
    for (int j = 0; j < AreaPresetTable::stationCount(area); ++j) {
        const AreaStation s = AreaPresetTable::station(area, j);
        if (utf8ToUtf16(s.name) == name) return s.slot;
    }
    return -1;
}

} // namespace

int channelSlotForStation(std::u16string_view name, int area) {
    if (!AreaPresetTable::validArea(area)) return -1;
    std::u16string wide(name), narrow(name);
    for (char16_t& c : wide)
        if (c >= u'!' && c <= u'~') c = char16_t(c + kFullWidthOffset);
    for (char16_t& c : narrow)
        if (c >= 0xFF01 && c <= 0xFF5E) c = char16_t(c - kFullWidthOffset);
    const int slot = findStation(wide, area);
    return slot >= 0 ? slot : findStation(narrow, area);
}

} // namespace kobal
