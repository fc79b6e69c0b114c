#pragma once
// The channel slot of a station named in a reservation or an iEPG file, looked up among the
// stations of the current broadcast area. iEPG files and users write station names with
// half-width or full-width letters; the area table holds them full-width.
#include <string_view>

namespace kobal {

// The slot of the area's station whose name equals `name` with its ASCII letters made
// full-width, else the one equal to `name` with its full-width letters made ASCII; -1 when
// neither matches or the area is not one of the table's.
int channelSlotForStation(std::u16string_view name, int area);

} // namespace kobal
