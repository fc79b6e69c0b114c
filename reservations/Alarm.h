#pragma once
// Alarms and their file alarm.ini (binary, little-endian):
//   offset 0: the count as UTF-16 decimal text, zero-terminated, in 10 bytes;
//   then per alarm 92 bytes: channel name (80 bytes UTF-16, zero-terminated, at most 39
//   characters), channel slot (i32), time (i32, seconds since 1970), repeat (i32: 0 once,
//   1 daily, 2 other).
// An alarm does not watch the clock: a player started within nine seconds before to nineteen
// seconds after an alarm's time tunes the alarm's channel instead of its last one.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kobal {

struct Alarm {
    static constexpr int kOnce = 0;
    static constexpr int kDaily = 1;
    static constexpr int kOther = 2;
    std::u16string channelName;
    int slot = -1;
    int64_t time = 0;
    int repeat = kOnce;
    bool operator==(const Alarm&) const = default;
};

class AlarmFile {
public:
    static constexpr size_t kHeader = 10;
    static constexpr size_t kRecord = 92;
    static constexpr size_t kMaxName = 39;
    // The count field holds four digits at most, so no file promises more.
    static constexpr size_t kMaxAlarms = 9999;

    static std::string encode(const std::vector<Alarm>& alarms);
    // False (and *out empty) unless the count is a decimal number and every counted record is
    // whole with a terminated name and a slot of -1..49. Bytes after the records are ignored.
    static bool decode(std::string_view bytes, std::vector<Alarm>* out);

    // Missing file: empty list, true. Damaged: renamed to path + ".broken", *error set, false.
    static bool load(const std::string& path, std::vector<Alarm>* out, std::string* error);
    static bool save(const std::string& path, const std::vector<Alarm>& alarms);

    // The slot of the first alarm whose window holds now, else -1.
    static int requestedSlot(const std::vector<Alarm>& alarms, int64_t now);
    // Reads path and answers as above; a damaged file is kept aside and gives -1.
    static int requestedSlotAtStart(const std::string& path, int64_t now,
                                    std::string* error = nullptr);

private:
    static std::u16string utf16Count(size_t n);
};

} // namespace kobal
