#pragma once
// Channel list files (".chl"): the channels a scan found, with names and enable flags, in a
// binary file of their own (little-endian, UTF-16LE names):
//   0        10 bytes  record count as UTF-16 decimal text, zero-terminated (at most 4 digits)
//   10+108i   4 bytes  slot (physical channel - 13)
//   14+108i 100 bytes  channel name, UTF-16, zero-terminated, at most 49 characters
//   114+108i  4 bytes  enable flag
// Files come from anywhere, so reading checks every field before anything is used.
#include "channels/ChannelList.h"

#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace kobal {

struct ChlRecord {
    int slot = 0;
    std::string name; // UTF-8
    int flag = 1;
};

// One scan result as the save needs it: where it was found and what it is called.
struct ChlScanResult {
    int physicalIndex = 0;
    std::string name;
};

// What opening a file hands to the scan: the slots and names to scan, and the enabled-slot
// filter (zeros except the file's flags at its slots).
struct ChlScanParameters {
    std::vector<int> channelSlots;
    std::vector<std::string> names;
    ChannelList::Flags filter{};
};

class ChannelListFile {
public:
    static constexpr int kHeaderBytes = 10;
    static constexpr int kRecordBytes = 108;
    static constexpr int kNameBytes = 100;
    static constexpr int kMaxCount = 9999; // four digits

    enum class Error {
        None,
        Open,           // cannot be opened or read
        Count,          // the header is not a decimal count
        MissingRecords, // fewer records than the count says
        CutRecord,      // the file ends inside a record
        Slot,           // a slot outside 0..49
        DuplicateSlot,  // two records for one slot
        Name,           // a name without its terminator
    };

    static std::string encode(const std::vector<ChlRecord>& records);
    static Error decode(const std::string& bytes, std::vector<ChlRecord>* records);
    // Japanese text for the message box.
    static std::string errorText(Error error);

    // Writes through a temporary file, so an existing file is replaced only by a complete one.
    static bool write(const QString& path, const std::vector<ChlRecord>& records);
    static Error read(const QString& path, std::vector<ChlRecord>* records);

    // The records a save writes: per slot in ascending order the first result found there,
    // skipped when the tuner did not report the slot found or the filter's flag is 0. The flag
    // stored is the filter's, or 1 without a filter.
    static std::vector<ChlRecord> collect(const std::vector<ChlScanResult>& results,
                                          const ChannelList::Flags& found,
                                          const ChannelList::Flags* filter);

    // The two halves of the menu commands that touch the file. Both report a failure in a
    // message box and return false.
    static bool saveRecords(const QString& path, const std::vector<ChlRecord>& records);
    static bool openScanParameters(const QString& path, ChlScanParameters* parameters);

    // The file dialogs ("open Channel List(s)" / "Save Channel List(s)"), run through
    // kobal::runModal; an empty result means cancelled. The current directory is kept.
    static QString chooseOpenPath(QWidget* parent = nullptr);
    static QString chooseSavePath(QWidget* parent = nullptr);
};

} // namespace kobal
