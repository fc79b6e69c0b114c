#pragma once
// iEPG files: the small Shift_JIS text a programme-guide web page hands over to ask for a
// recording (".tvpi" version 1, ".tvpid" version 2). The header is one "key: value" line
// each (CRLF or LF), in this order:
//   Content-type: application/x-tv-program-info (or …-digital-info) [; charset=…]
//   version: 1 or 2
//   station: name (version 2: a service code, followed by "station-name: name")
//   year: / month: / date: / start: hh:mm / end: hh:mm / program-title: title
// Lines with other keys between them (program-id, genre, …) are passed over; a known key out
// of its place, a missing one or a malformed value makes the file no iEPG. Reading stops after
// program-title (the description that follows is not used). Station and title keep their
// first word only, as they always have.
//
// The bytes are untrusted: the file is at most kMaxBytes, every number is range-checked
// (a real calendar day, hours 0-23, minutes 0-59, years 1970-2037), the texts are converted
// from CP932 with iconv and refused when they are not valid Shift_JIS, and kept words are cut
// to the 999 characters reserv.ini holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kobal {

struct IepgProgramme {
    int version = 0;
    std::u16string station; // station-name when the file has one, else station
    std::u16string title;
    int64_t start = 0; // local seconds since 1970
    int64_t end = 0;   // after start; the next day's when the end time is the earlier one
};

enum class IepgError {
    None,
    TooLarge,     // over kMaxBytes
    NotIepg,      // no iEPG content type or version, a line that is no "key: value"
    Encoding,     // NUL bytes, or a text that is not Shift_JIS
    MissingField, // the file ends (or its header does) before a whole program-title line
    BadValue,     // a number out of range, a day the month does not have, an empty word
    BadRange,     // end equal to start, or a night-crossing span over 12 hours
};

class IepgFile {
public:
    static constexpr size_t kMaxBytes = 64 * 1024;
    // A programme may cross midnight (end earlier than start) by at most this much.
    static constexpr int64_t kMaxNightSpan = 12 * 3600;

    // Reads a whole file's bytes. Pure apart from the local-time conversion.
    static IepgError parse(std::string_view bytes, IepgProgramme* out);
    static const char* errorName(IepgError e);
};

} // namespace kobal
