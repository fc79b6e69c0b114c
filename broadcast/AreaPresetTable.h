#pragma once
// The built-in table of broadcast areas (prefectures) and the one-segment stations each area
// receives. Constant data; a channel slot is the physical UHF channel minus 13.
// It has no dependencies, so the tuner simulator can air exactly these stations.
#include <array>
#include <string>

namespace kobal {

struct AreaStation {
    int slot;         // 0..49, -1 when out of range
    const char* name; // full-width display name, UTF-8
};

class AreaPresetTable {
public:
    static constexpr int kAreaCount = 47;
    static constexpr int kStationCount = 295;
    static constexpr int kSlotCount = 50;

    static int areaCount() { return kAreaCount; }
    static bool validArea(int area) { return area >= 0 && area < kAreaCount; }
    static const char* areaName(int area);
    static int stationCount(int area);
    static AreaStation station(int area, int j);
    // Whether a station of this area uses the slot; its name (first match in table order).
    static bool isPresetSlot(int area, int slot, std::string* name = nullptr);

private:
    static int firstStation(int area);
};

} // namespace kobal
