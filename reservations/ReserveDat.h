#pragma once
// reserv.dat: the two-slot reservation form's file, read by an outside program. Binary,
// little-endian, 100 bytes: the form's enable flag (i32), then two 48-byte rows:
//    0 i32  row enabled
//    4 u16  start year, month, day of week (0 = Sunday), day
//   12 u16  start hour, minute, second, then a zero
//   20 u16  end year, month, day of week, day
//   28 u16  end hour, minute, second, then a zero
//   36 i32  repeat position (0 every day: times of day only, 1 once: full date and time)
//   40 i32  channel code: slot x 1000 + tuning value A x 10 + tuning value B, 0 for none
//   44 i32  row index (0, 1)
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kobal {

struct ReserveDatTime {
    int year = 1970, month = 1, dayOfWeek = 4, day = 1;
    int hour = 0, minute = 0, second = 0;
    bool operator==(const ReserveDatTime&) const = default;

    // From and to seconds since 1970 (local time).
    static ReserveDatTime fromTime(int64_t t);
    int64_t toTime() const;
    int secondOfDay() const { return hour * 3600 + minute * 60 + second; }
};

struct ReserveDatRow {
    static constexpr int kDaily = 0;
    static constexpr int kOnce = 1;

    bool enabled = false;
    ReserveDatTime start, end;
    int repeat = kDaily;
    int channelCode = 0;
    bool operator==(const ReserveDatRow&) const = default;
};

struct ReserveDat {
    static constexpr size_t kSize = 4 + 2 * 48;

    bool enabled = false;
    std::array<ReserveDatRow, 2> rows{};
    bool operator==(const ReserveDat&) const = default;

    static std::string encode(const ReserveDat& dat);
    // Accepts exactly kSize bytes whose every field is in range; otherwise false and *out is
    // left as it was.
    static bool decode(std::string_view bytes, ReserveDat* out);

    // Reads path into *out. A missing file leaves *out alone and returns true; a damaged one
    // is renamed to path + ".broken", *error gets a line for the user, and false is returned.
    static bool load(const std::string& path, ReserveDat* out, std::string* error);
    static bool save(const std::string& path, const ReserveDat& dat);

    // The form's check before it writes: empty when the rows may be stored, else the message.
    // Only checked when the form and at least one row are enabled: each enabled row's start
    // must come before its end (full date and time once, times of day every day), and two
    // enabled rows must not overlap (an every-day row against a once row: on any day).
    std::string check() const;
};

} // namespace kobal
