#pragma once
// What the channel side decides while the settings load at start: the list in use, the area
// and the kind of the first scan. A first start asks for the area and fills list 0 from it.
#include "channels/ChannelList.h"
#include "channels/ScanMode.h"

#include <functional>

namespace kobal {

struct ChannelStartup {
    int listNumber = 0;
    int area = -1;
    ScanMode scanKind = ScanArbitrary;
    bool askedForArea = false; // the area dialog ran and list 0 was filled from the area
};

// Asks for an area at first start; the default runs the area dialog until an area is chosen
// (cancel gives area 0).
using AreaChooser = std::function<int()>;

// listNum and areaNum are the stored LIST_NUM / AREA_NUM. The lists must already be loaded.
// A LIST_NUM outside 0..4 counts as a first start and an AREA_NUM outside the table as "not
// chosen", so a hand-edited config.ini never indexes past the lists or the area table.
ChannelStartup prepareChannelStartup(int listNum, int areaNum, ChannelLists& lists,
                                     const AreaChooser& chooseArea = {});

} // namespace kobal
