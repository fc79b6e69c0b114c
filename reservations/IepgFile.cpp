#include "IepgFile.h"

#include "Reservation.h"

#include <array>
#include <cerrno>
#include <iconv.h>

namespace kobal {
namespace {

constexpr size_t kMaxWord = 999; // what reserv.ini keeps of a text

enum Key { kContentType, kVersion, kStation, kYear, kMonth, kDate, kStart, kEnd, kTitle, kKeys };
constexpr std::array<std::string_view, kKeys> kKeyNames = {
    "content-type", "version", "station", "year", "month", "date", "start", "end", "program-title"};
constexpr std::string_view kStationName = "station-name";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The first blank-delimited word.
std::string_view firstWord(std::string_view value) {
    size_t n = 0;
    while (n < value.size() && !isBlank(value[n])) ++n;
    return value.substr(0, n);
}

// Shift_JIS (Windows code page 932) to UTF-16; false for bytes that are not valid CP932 or
// for control characters.
bool fromCp932(std::string_view in, std::u16string* out) {
    for (char c : in)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    // One byte or two give one UTF-16 unit: the output never needs more than the input.
    std::string buffer(2 * in.size(), '\0');
    char* inp = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outp = buffer.data();
    size_t outLeft = buffer.size();
    const bool ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) &&
                    inLeft == 0 &&
                    iconv(cd, nullptr, nullptr, &outp, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok) return false;
    const size_t units = (buffer.size() - outLeft) / 2;
    out->clear();
    for (size_t i = 0; i < units && out->size() < kMaxWord; ++i)
        out->push_back(static_cast<char16_t>(static_cast<unsigned char>(buffer[2 * i]) |
                                             static_cast<unsigned char>(buffer[2 * i + 1]) << 8));
    return true;
}

// A whole value of 1..maxDigits decimal digits.
bool number(std::string_view s, size_t maxDigits, int* v) {
    if (s.empty() || s.size() > maxDigits) return false;
    int n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    *v = n;
    return true;
}

// "h:m" with a real time of day.
bool timeOfDay(std::string_view s, int* hour, int* minute) {
    const size_t colon = s.find(':');
    return colon != std::string_view::npos && number(s.substr(0, colon), 2, hour) &&
           number(s.substr(colon + 1), 2, minute) && *hour <= 23 && *minute <= 59;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The next header line without its line end; false when no whole line is left (a header
// line without its end is a file cut short).
bool nextLine(std::string_view& rest, std::string_view* line) {
    const size_t nl = rest.find('\n');
    if (nl == std::string_view::npos) return false;
    *line = rest.substr(0, nl);
    rest.remove_prefix(nl + 1);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    return true;
}

} // namespace

IepgError IepgFile::parse(std::string_view bytes, IepgProgramme* out) {
    *out = IepgProgramme{};
    if (bytes.size() > kMaxBytes) return IepgError::TooLarge;
    IepgProgramme p;
    std::u16string stationName;
    int year = 0, month = 0, day = 0, startHour = 0, startMinute = 0, endHour = 0, endMinute = 0;
    int next = kContentType;
    std::string_view rest = bytes, line;
    while (next < kKeys) {
        if (!nextLine(rest, &line) || trim(line).empty()) return IepgError::MissingField;
        if (line.find('\0') != std::string_view::npos) return IepgError::Encoding;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return IepgError::NotIepg;
        const std::string_view key = line.substr(0, colon);
        const std::string_view value = trim(line.substr(colon + 1));
        int k = 0;
        while (k < kKeys && !sameKey(key, kKeyNames[k])) ++k;
        if (next == kContentType && k != kContentType) return IepgError::NotIepg;
        if (k == kKeys) {
            if (sameKey(key, kStationName)) {
                if (next <= kStation) return IepgError::NotIepg;
                if (!fromCp932(firstWord(value), &stationName)) return IepgError::Encoding;
            }
            continue; // a key of the format that is not used here
        }
        if (k != next) return IepgError::NotIepg; // out of its place, or repeated
        ++next;
        switch (k) {
        case kContentType: {
            std::string_view type = firstWord(value);
            if (!type.empty() && type.back() == ';') type.remove_suffix(1);
            if (!sameKey(type, "application/x-tv-program-info") &&
                !sameKey(type, "application/x-tv-program-digital-info"))
                return IepgError::NotIepg;
            break;
        }
        case kVersion:
            if (!number(value, 1, &p.version) || p.version < 1 || p.version > 2)
                return IepgError::NotIepg;
            break;
        case kStation:
        case kTitle: {
            std::u16string& text = k == kStation ? p.station : p.title;
            if (!fromCp932(firstWord(value), &text)) return IepgError::Encoding;
            if (text.empty()) return IepgError::BadValue;
            break;
        }
        case kYear:
            if (!number(value, 4, &year) || year < 1970 || year > 2037) return IepgError::BadValue;
            break;
        case kMonth:
            if (!number(value, 2, &month) || month < 1 || month > 12) return IepgError::BadValue;
            break;
        case kDate:
            if (!number(value, 2, &day) || day < 1 || day > daysInMonth(year, month))
                return IepgError::BadValue;
            break;
        case kStart:
            if (!timeOfDay(value, &startHour, &startMinute)) return IepgError::BadValue;
            break;
        case kEnd:
            if (!timeOfDay(value, &endHour, &endMinute)) return IepgError::BadValue;
            break;
        }
    }
    if (!stationName.empty()) p.station = stationName;
    p.start = localTime(year, month, day, startHour, startMinute);
    const bool nextDay = endHour * 60 + endMinute < startHour * 60 + startMinute;
    p.end = localTime(year, month, day + (nextDay ? 1 : 0), endHour, endMinute);
    if (p.end <= p.start || (nextDay && p.end - p.start > kMaxNightSpan))
        return IepgError::BadRange;
    *out = std::move(p);
    return IepgError::None;
}

const char* IepgFile::errorName(IepgError e) {
    switch (e) {
    case IepgError::None:
        return "none";
    case IepgError::TooLarge:
        return "too large";
    case IepgError::NotIepg:
        return "not iEPG";
    case IepgError::Encoding:
        return "encoding";
    case IepgError::MissingField:
        return "missing field";
    case IepgError::BadValue:
        return "bad value";
    case IepgError::BadRange:
        return "bad range";
    }
    return "";
}

} // namespace kobal
