#pragma once
// Kinds of channel scan; the main window keeps the kind in progress, -1 when none.

namespace kobal {

enum ScanMode : int {
    ScanNone = -1,
    ScanAll = 0,       // ScanAllChannel: area, enabled slots and names of the current list
    ScanArea = 1,      // ScanAreaChannel: the current area
    ScanSingle = 2,    // ScanSingleChannel: one slot
    ScanArbitrary = 3, // ScanArbitraryChannel: enabled slots and names
};

} // namespace kobal
