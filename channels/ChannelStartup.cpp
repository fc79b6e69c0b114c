#include "channels/ChannelStartup.h"

#include "broadcast/AreaPresetTable.h"
#include "channels/AreaSelectDialog.h"

namespace kobal {

ChannelStartup prepareChannelStartup(int listNum, int areaNum, ChannelLists& lists,
                                     const AreaChooser& chooseArea) {
    ChannelStartup s;
    if (listNum < 0 || listNum >= ChannelList::kListCount) {
        s.scanKind = ScanArea;
        s.listNumber = 0;
    } else {
        s.scanKind = ScanArbitrary;
        s.listNumber = listNum;
    }
    s.area = AreaPresetTable::validArea(areaNum) ? areaNum : -1;

    // A list with nothing enabled would scan nothing: look at the whole area instead.
    if (s.scanKind == ScanArbitrary && lists[s.listNumber].enabledCount() <= 0)
        s.scanKind = ScanArea;

    if (s.area == -1 && s.scanKind == ScanArea) {
        int area = chooseArea ? chooseArea() : AreaSelectDialog::askUntilChosen(-1);
        s.area = AreaPresetTable::validArea(area) ? area : 0;
        lists[0].fillFromArea(s.area);
        s.askedForArea = true;
    }
    return s;
}

} // namespace kobal
