#include "Reservation.h"

#include "FileIo.h"
#include "platform/ByteReader.h"

#include <algorithm>
#include <cstdio>

namespace kobal {
namespace {

// Strings are read back through a 2000-byte buffer: at most 999 characters and the zero.
constexpr uint32_t kMaxTextBytes = 2000;
// Smallest record: five 4-byte fields and three empty strings (a 4-byte length, then 2 bytes).
constexpr size_t kMinRecord = 5 * 4 + 3 * (4 + 2);

void putI32(std::string& out, int64_t v) {
    const uint32_t u = static_cast<uint32_t>(static_cast<int32_t>(v));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void putText(std::string& out, const std::u16string& s) {
    const std::u16string_view cut = std::u16string_view(s).substr(0, kMaxTextBytes / 2 - 1);
    putI32(out, 2 * static_cast<int64_t>(cut.size()) + 2);
    for (char16_t c : cut) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    out.append(2, '\0');
}

bool readText(ByteReader& r, std::u16string* s) {
    const uint32_t len = r.u32le();
    if (!r.ok() || len < 2 || len > kMaxTextBytes || len % 2) return false;
    bool terminated = false;
    *s = r.utf16le(len / 2, &terminated);
    // The text ends at the stored terminator, not earlier.
    return r.ok() && terminated && s->size() == len / 2 - 1;
}

} // namespace

Reservation Reservation::fresh(int64_t now) {
    Reservation r;
    r.start = r.end = now - localTm(now).tm_sec;
    return r;
}

std::string Reservation::taskName() const {
    char name[32];
    std::snprintf(name, sizeof name, "Kobal_Player%09d", id);
    return name;
}

int32_t nextReservationId(int64_t counter) {
    return static_cast<int32_t>((counter + 1) % (int64_t(Reservation::kMaxId) + 1));
}

std::string ReservationList::encode(const std::vector<Reservation>& list) {
    std::string out;
    putI32(out, static_cast<int64_t>(list.size()));
    for (const Reservation& r : list) {
        putI32(out, r.start);
        putI32(out, r.end);
        putText(out, r.channelName);
        putText(out, r.title);
        putI32(out, r.repeat);
        putI32(out, r.slot);
        putText(out, r.memo);
        putI32(out, r.id);
    }
    return out;
}

ReservationFileError ReservationList::decode(std::string_view bytes,
                                             std::vector<Reservation>* out) {
    out->clear();
    ByteReader r(bytes.data(), bytes.size());
    const int32_t count = static_cast<int32_t>(r.u32le());
    // The count can never promise more records than the bytes could hold.
    if (!r.ok() || count < 0 || static_cast<size_t>(count) > r.remaining() / kMinRecord)
        return ReservationFileError::Count;
    std::vector<Reservation> list;
    list.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        Reservation v;
        v.start = static_cast<int32_t>(r.u32le());
        v.end = static_cast<int32_t>(r.u32le());
        if (!readText(r, &v.channelName) || !readText(r, &v.title))
            return r.ok() ? ReservationFileError::Text : ReservationFileError::CutRecord;
        v.repeat = static_cast<int32_t>(r.u32le());
        v.slot = static_cast<int32_t>(r.u32le());
        if (!readText(r, &v.memo))
            return r.ok() ? ReservationFileError::Text : ReservationFileError::CutRecord;
        v.id = static_cast<int32_t>(r.u32le());
        if (!r.ok()) return ReservationFileError::CutRecord;
        if (v.repeat < Reservation::kOnce || v.repeat > Reservation::kWeekly || v.slot < -1 ||
            v.slot > 49 || v.id < 0 || v.id > Reservation::kMaxId || v.start >= v.end)
            return ReservationFileError::Range;
        list.push_back(std::move(v));
    }
    *out = std::move(list);
    return ReservationFileError::None;
}

const char* ReservationList::errorText(ReservationFileError e) {
    switch (e) {
    case ReservationFileError::None:
        return "";
    case ReservationFileError::Count:
        return "件数が正しくありません";
    case ReservationFileError::CutRecord:
        return "予約の途中で終わっています";
    case ReservationFileError::Text:
        return "文字列が正しくありません";
    case ReservationFileError::Range:
        return "値が範囲外です";
    }
    return "";
}

bool ReservationList::load(const std::string& path, std::string* error) {
    items_.clear();
    std::string bytes;
    if (!readWholeFile(path, &bytes)) return true; // missing or unreadable: empty list
    const ReservationFileError e = decode(bytes, &items_);
    if (e == ReservationFileError::None) return true;
    const std::string kept = keepAside(path);
    if (error)
        *error = "予約録画リスト (" + path +
                 ") が壊れているため読み込みませんでした: " + errorText(e) + "。元のファイルは " +
                 kept + " に残しました。";
    return false;
}

bool ReservationList::save(const std::string& path) const {
    if (items_.empty()) return removeFile(path);
    return writeFileAtomically(path, encode(items_));
}

void ReservationList::remove(size_t i) {
    if (i >= items_.size()) return;
    const Reservation gone = items_[i];
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    if (onRemoved) onRemoved(gone);
}

void ReservationList::bubbleEarliestToFront() {
    for (size_t i = items_.size(); i-- > 1;)
        if (items_[i].start < items_[i - 1].start) std::swap(items_[i], items_[i - 1]);
}

bool ReservationList::purge(int64_t now) {
    bool changed = false;
    for (size_t i = items_.size(); i-- > 0;) {
        Reservation& r = items_[i];
        if (r.start >= now) continue;
        changed = true;
        if (r.repeat == Reservation::kOnce) {
            remove(i);
            continue;
        }
        const int64_t step = r.repeat == Reservation::kDaily ? 86400 : 604800;
        // Whole steps at once: a reservation left for years does not loop per day.
        const int64_t n = (now - r.start + step - 1) / step;
        r.start += n * step;
        r.end += n * step;
        r.recording = 0;
    }
    return changed;
}

std::string ReservationList::validate(int editIndex, int64_t start, int64_t end, int repeat,
                                      int64_t now) const {
    const int startYear = localTm(start).tm_year + 1900;
    const int endYear = localTm(end).tm_year + 1900;
    if (startYear < 1970 || startYear > 2037 || endYear < 1970 || endYear > 2037)
        return "入力範囲を超過しました。";
    if (start >= end) return "誤った時間範囲を入力しました。";
    if (start < now) return "誤った時間を入力しました。";
    const std::tm ns = localTm(start), ne = localTm(end);
    for (size_t i = 0; i < items_.size(); ++i) {
        if (static_cast<int>(i) == editIndex) continue;
        const Reservation& e = items_[i];
        const std::tm es = localTm(e.start), ee = localTm(e.end);
        int64_t s = start, t = end;
        const bool daily = repeat == Reservation::kDaily || e.repeat == Reservation::kDaily;
        const bool weekly = repeat == Reservation::kWeekly || e.repeat == Reservation::kWeekly;
        const bool move =
            (daily && ns.tm_mday != es.tm_mday) ||
            (!daily && weekly && ns.tm_wday == es.tm_wday && ns.tm_mday != es.tm_mday);
        if (move) {
            // The new times of day on the entry's dates.
            s = localTime(es.tm_year + 1900, es.tm_mon + 1, es.tm_mday, ns.tm_hour, ns.tm_min);
            t = localTime(ee.tm_year + 1900, ee.tm_mon + 1, ee.tm_mday, ne.tm_hour, ne.tm_min);
        }
        if (s < e.end && e.start < t) return "他の予約と時間が重なっています。";
    }
    return {};
}

std::tm localTm(int64_t t) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return tm;
}

int64_t localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

bool sameMinute(int64_t a, int64_t b) {
    const std::tm x = localTm(a), y = localTm(b);
    return x.tm_year == y.tm_year && x.tm_yday == y.tm_yday && x.tm_hour == y.tm_hour &&
           x.tm_min == y.tm_min;
}

} // namespace kobal
