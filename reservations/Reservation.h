#pragma once
// Timer-recording reservations and their file reserv.ini (binary, little-endian, UTF-16LE):
//   count (i32), then per record: start (i32), end (i32), channel name (i32 byte length
//   L = 2 x characters + 2, then L bytes including the terminating zero), title (same),
//   repeat kind (i32: 101 once, 102 daily, 103 weekly), channel slot (i32, -1 = unknown
//   station), memo (same as the name), reservation id (i32).
// Times are seconds since 1970; the local clock of Japan has no daylight saving, so a day is
// always 86400 seconds.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kobal {

struct Reservation {
    static constexpr int kOnce = 101;
    static constexpr int kDaily = 102;
    static constexpr int kWeekly = 103;
    static constexpr int kMaxId = 999999999;

    std::u16string channelName;
    std::u16string title;
    int64_t start = 0;
    int64_t end = 0;
    int recording = 0; // 1 once its recording started; never stored
    int repeat = kOnce;
    int slot = 0;
    std::u16string memo;
    int32_t id = 0;

    // start = end = now with the seconds cut off, once, slot 0.
    static Reservation fresh(int64_t now);
    // The scheduled start's name: "Kobal_Player%09d" with the id.
    std::string taskName() const;
    bool operator==(const Reservation&) const = default;
};

// The next id from the "TASKID" counter: (counter + 1) modulo 1000000000.
int32_t nextReservationId(int64_t counter);

enum class ReservationFileError { None, Count, CutRecord, Text, Range };

class ReservationList {
public:
    // Whole-file codec. decode() accepts a file only when every counted record is whole and
    // sane; otherwise it returns the first fault and leaves *out empty. Bytes after the counted
    // records are ignored.
    static std::string encode(const std::vector<Reservation>& list);
    static ReservationFileError decode(std::string_view bytes, std::vector<Reservation>* out);
    static const char* errorText(ReservationFileError e);

    // Reads path; a missing file is an empty list. A damaged file is renamed to path +
    // ".broken" (so the exit's save cannot replace it by what is left), *error gets a line for
    // the user, and the list stays empty. Returns false only for a damaged file.
    bool load(const std::string& path, std::string* error = nullptr);
    // Writes by write-and-rename; an empty list deletes the file. False when it could not.
    bool save(const std::string& path) const;

    std::vector<Reservation>& items() { return items_; }
    const std::vector<Reservation>& items() const { return items_; }
    bool empty() const { return items_.empty(); }
    size_t size() const { return items_.size(); }
    void add(const Reservation& r) { items_.push_back(r); }
    // Removes position i, telling onRemoved (which deletes its scheduled start).
    void remove(size_t i);
    // One pass of adjacent swaps from the end down to 1: brings the earliest start to the front.
    void bubbleEarliestToFront();

    // Drops passed once reservations and moves passed daily/weekly ones to their next future
    // day or week. True when anything changed.
    bool purge(int64_t now);

    // The details dialog's check of a new (editIndex < 0) or changed reservation: empty when
    // accepted, else the message to show ("エラー" caption).
    std::string validate(int editIndex, int64_t start, int64_t end, int repeat, int64_t now) const;

    // Called with every reservation that leaves the list (remove, purge, a finished once one).
    std::function<void(const Reservation&)> onRemoved;

private:
    std::vector<Reservation> items_;
};

// Local-time helpers shared with the check and the alarms.
std::tm localTm(int64_t t);
int64_t localTime(int year, int month, int day, int hour, int minute, int second = 0);
// True when a and b fall on the same local date, hour and minute.
bool sameMinute(int64_t a, int64_t b);

} // namespace kobal
