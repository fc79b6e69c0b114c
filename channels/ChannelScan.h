#pragma once
// What a finished channel scan leaves: the records of the accepted result entries, the filter
// that decides which of them are listed, the lines the channel panel shows, the key to tune
// after the scan (chooseKey) and channel up/down over the lines. Pure data, UI thread only;
// the scan call itself runs on the scan thread and only fills the tuner library's table.
#include "channels/ScanMode.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kobal {

// One entry of the tuner library's 50-entry result table, as the player reads it.
struct ScanEntry {
    int found = 0;
    int physicalIndex = 0;
    uint32_t identifier = 0;
    std::u16string name;
    int tuneA = 0, tuneB = 0;
};
using ScanTable = std::array<ScanEntry, 50>;

struct ChannelRecord {
    int slot = 0;
    std::u16string name; // up to 259 characters
    int tuneA = 0, tuneB = 0;
    int valid = 1;
    uint32_t identifier = 0;
    int state = -1; // -1 hidden, 0 listed but not found, 1 found
    int physicalIndex = 0;
};

class ChannelScan {
public:
    using Filter = std::array<bool, 50>;

    // "%02d%02d%d" from slot, tuning value A and B.
    static std::string keyOf(const ChannelRecord& record);
    // "%02d%02d1" with the slot in both places (a key made without a record).
    static std::string plainKey(int slot);
    // The slot a key names (its first two digits), -1 when they are not digits.
    static int slotOfKey(const std::string& key);
    // One-segment identifier words: top twelve bits 0xF1E, or bits 8..15 0xE0.
    static bool acceptedIdentifier(uint32_t word);

    void setFilter(std::optional<Filter> filter) { filter_ = filter; }
    const std::optional<Filter>& filter() const { return filter_; }

    // Replaces the records from a finished scan of the given kind (not ScanSingle).
    void rebuild(const ScanTable& table, ScanMode kind);
    // After a single-channel scan: marks the record of that physical slot found.
    void markSingle(const ScanTable& table, int slot);
    // The key to tune after the scan. requestedSlot (an alarm's channel at start, -1 for none)
    // wins when the scan found that physical channel; otherwise stored, config.ini's
    // CurrentChannel ("No-Channel" when none), decides. *rewrite is set when the result must be
    // written back at once (a stored key that is no longer listed). Empty when nothing can be
    // tuned.
    std::string chooseKey(const ScanTable& table, const std::string& stored, ScanMode finished,
                          bool* rewrite = nullptr, int requestedSlot = -1) const;

    // The records the panel lists (state not -1), in slot order.
    std::vector<const ChannelRecord*> lines() const;
    const std::vector<ChannelRecord>& records() const { return records_; }
    // The record of a slot, nullptr when there is none.
    const ChannelRecord* recordOfSlot(int slot) const;
    // Channel up (+1) or down (-1) from the line of currentKey, without wrapping, to the next
    // line whose key ends with the reference character ('1' after a rebuild). Empty when none.
    std::string step(const std::string& currentKey, int direction) const;

private:
    std::vector<ChannelRecord> records_;
    std::optional<Filter> filter_;
    char reference_ = '1';
};

} // namespace kobal
