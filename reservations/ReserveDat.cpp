#include "ReserveDat.h"

#include "FileIo.h"
#include "Reservation.h"
#include "platform/ByteReader.h"

namespace kobal {
namespace {

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void put16(std::string& out, int v) {
    const auto u = static_cast<uint16_t>(v);
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
}

void putTime(std::string& out, const ReserveDatTime& t) {
    for (int v : {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, 0})
        put16(out, v);
}

// Not the 31st of a shorter month: the calendar gives the date back unchanged.
bool realDate(const ReserveDatTime& t) {
    const std::tm tm = localTm(localTime(t.year, t.month, t.day, 12, 0));
    return tm.tm_mday == t.day && tm.tm_mon + 1 == t.month;
}

bool readTime(ByteReader& r, ReserveDatTime* t) {
    t->year = r.u16le();
    t->month = r.u16le();
    t->dayOfWeek = r.u16le();
    t->day = r.u16le();
    t->hour = r.u16le();
    t->minute = r.u16le();
    t->second = r.u16le();
    const int zero = r.u16le();
    // The years a reservation can name; the calendar itself is checked by the caller.
    return r.ok() && t->year >= 1970 && t->year <= 2037 && t->month >= 1 && t->month <= 12 &&
           t->dayOfWeek <= 6 && t->day >= 1 && t->day <= 31 && t->hour <= 23 && t->minute <= 59 &&
           t->second <= 59 && zero == 0 && realDate(*t);
}

// A row's span: full times once, seconds of the day every day.
struct Span {
    int64_t from, to;
};

Span spanOf(const ReserveDatRow& row) {
    if (row.repeat == ReserveDatRow::kOnce) return {row.start.toTime(), row.end.toTime()};
    return {row.start.secondOfDay(), row.end.secondOfDay()};
}

bool overlaps(Span a, Span b) {
    return a.from < b.to && b.from < a.to;
}

// An every-day span (times of day) against a once span: they meet on some day when the once
// span, laid on the clock from its start's time of day, crosses the daily one on that day or
// the next.
bool meetsDaily(Span daily, const ReserveDatRow& once) {
    const Span o = spanOf(once);
    const int64_t length = o.to - o.from;
    if (length >= 86400) return true;
    const int64_t from = once.start.secondOfDay();
    const Span laid{from, from + length};
    return overlaps(laid, daily) || overlaps(laid, {daily.from + 86400, daily.to + 86400});
}

} // namespace

ReserveDatTime ReserveDatTime::fromTime(int64_t t) {
    const std::tm tm = localTm(t);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_wday, tm.tm_mday,
            tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

int64_t ReserveDatTime::toTime() const {
    return localTime(year, month, day, hour, minute, second);
}

std::string ReserveDat::encode(const ReserveDat& dat) {
    std::string out;
    out.reserve(kSize);
    put32(out, dat.enabled ? 1 : 0);
    for (uint32_t i = 0; i < dat.rows.size(); ++i) {
        const ReserveDatRow& row = dat.rows[i];
        put32(out, row.enabled ? 1 : 0);
        putTime(out, row.start);
        putTime(out, row.end);
        put32(out, static_cast<uint32_t>(row.repeat));
        put32(out, static_cast<uint32_t>(row.channelCode));
        put32(out, i);
    }
    return out;
}

bool ReserveDat::decode(std::string_view bytes, ReserveDat* out) {
    if (bytes.size() != kSize) return false;
    ByteReader r(bytes.data(), bytes.size());
    ReserveDat dat;
    const uint32_t enabled = r.u32le();
    dat.enabled = enabled == 1;
    bool good = enabled <= 1;
    for (uint32_t i = 0; i < dat.rows.size(); ++i) {
        ReserveDatRow& row = dat.rows[i];
        const uint32_t on = r.u32le();
        row.enabled = on == 1;
        good = good && on <= 1 && readTime(r, &row.start) && readTime(r, &row.end);
        const uint32_t repeat = r.u32le();
        const uint32_t code = r.u32le();
        const uint32_t index = r.u32le();
        row.repeat = static_cast<int>(repeat);
        row.channelCode = static_cast<int>(code);
        // The code is a ChannelKey's digits: slot 0..49, A 0..99, B 0..9.
        good = good && repeat <= 1 && code < 50000 && index == i;
    }
    if (!good || !r.ok()) return false;
    *out = dat;
    return true;
}

bool ReserveDat::load(const std::string& path, ReserveDat* out, std::string* error) {
    std::string bytes;
    if (!readWholeFile(path, &bytes)) return true;
    if (decode(bytes, out)) return true;
    const std::string kept = keepAside(path);
    if (error)
        *error = "予約ファイル (" + path +
                 ") が壊れているため読み込みませんでした。元のファイルは " + kept +
                 " に残しました。";
    return false;
}

bool ReserveDat::save(const std::string& path, const ReserveDat& dat) {
    return writeFileAtomically(path, encode(dat));
}

std::string ReserveDat::check() const {
    const bool any = rows[0].enabled || rows[1].enabled;
    if (!enabled || !any) return {};
    for (const ReserveDatRow& row : rows) {
        if (!row.enabled) continue;
        const Span s = spanOf(row);
        if (s.from >= s.to) return "開始時刻は終了時刻より前にしてください。";
    }
    if (!rows[0].enabled || !rows[1].enabled) return {};
    const ReserveDatRow& a = rows[0];
    const ReserveDatRow& b = rows[1];
    bool clash;
    if (a.repeat == b.repeat)
        clash = overlaps(spanOf(a), spanOf(b));
    else if (a.repeat == ReserveDatRow::kDaily)
        clash = meetsDaily(spanOf(a), b);
    else
        clash = meetsDaily(spanOf(b), a);
    return clash ? "二つの予約の時間が重なっています。" : std::string();
}

} // namespace kobal
