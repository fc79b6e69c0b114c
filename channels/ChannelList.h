#pragma once
// One of the player's five named channel lists: a display name and an enable flag for each of
// the 50 UHF slots (slot = physical channel - 13), stored in chlist.ini as section "LIST<n>".
// Texts are UTF-8; lengths are counted in UTF-16 units, as the tuner's name buffers count them.
#include <array>
#include <string>
#include <vector>

namespace kobal {

class ChannelList {
public:
    static constexpr int kSlotCount = 50;
    static constexpr int kListCount = 5;
    // The tuner library copies names into 50-unit buffers: 49 units and the terminator.
    static constexpr int kNameUnits = 49;
    // chlist.ini values are read into 100-character buffers.
    static constexpr int kStoredChars = 100;

    using Flags = std::array<int, kSlotCount>;

    ChannelList();

    // Sets number and file path, empties all names and clears all flags.
    void bind(int number, const std::string& path);
    // Both fail (and do nothing) when the list is not bound to a file.
    bool load();
    bool save() const;

    int number() const { return number_; }
    const std::string& path() const { return path_; }

    // Slots outside 0..49 are ignored by setters and answered with empty values by getters.
    std::string name(int slot) const;
    int flag(int slot) const;
    bool enabled(int slot) const { return flag(slot) != 0; }
    void setName(int slot, const std::string& name);
    void setEnabled(int slot, int flag);
    void set(int slot, const std::string& name, int flag);

    const std::string& listName() const { return listName_; }
    void setListName(const std::string& name);

    void clear();
    int enabledCount() const;
    // Enabled slots in ascending order, and their names in the same order, each cut to what
    // the tuner's name buffers hold.
    std::vector<int> enabledSlots() const;
    std::vector<std::string> enabledNames() const;
    // The same names as the scan calls take them: UTF-16 in 50-unit buffers, NUL-terminated.
    using NameBuffer = std::array<char16_t, kNameUnits + 1>;
    std::vector<NameBuffer> enabledNameBuffers() const;
    Flags flagsCopy() const { return flags_; }

    // Copies names, list name and flags; number and path stay.
    void copyFrom(const ChannelList& other);

    // Fills every slot from an area preset: a station of the area gets its name and flag 1,
    // any other slot "CH<physical channel>" and flag 0.
    void fillFromArea(int area);

    // "CH%d" with slot + 13.
    static std::string defaultSlotName(int slot);
    static bool validSlot(int slot) { return slot >= 0 && slot < kSlotCount; }
    // Cuts UTF-8 text to at most maxUnits UTF-16 units without splitting a character.
    static std::string cutToUnits(const std::string& text, int maxUnits);

private:
    std::array<std::string, kSlotCount> names_;
    Flags flags_{};
    std::string listName_;
    int number_ = -1;
    std::string path_;
};

using ChannelLists = std::array<ChannelList, ChannelList::kListCount>;

// Binds list n to number n and the file, then loads it; returns whether all five loaded.
bool loadChannelLists(ChannelLists& lists, const std::string& path);
// Saves all five lists; each key write replaces the file whole, so a crash never leaves a
// half-written chlist.ini.
bool saveChannelLists(const ChannelLists& lists);

} // namespace kobal
