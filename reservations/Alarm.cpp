#include "Alarm.h"

#include "FileIo.h"
#include "Reservation.h"
#include "platform/ByteReader.h"

namespace kobal {
namespace {

void putI32(std::string& out, int64_t v) {
    const uint32_t u = static_cast<uint32_t>(static_cast<int32_t>(v));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void putFixed(std::string& out, std::u16string_view s, size_t bytes) {
    const size_t start = out.size();
    for (char16_t c : s.substr(0, bytes / 2 - 1)) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    out.resize(start + bytes, '\0');
}

// Whether now lies in the window of the alarm time t: from 9 s before to 19 s after, on the
// alarm's date when withDate, else on any day.
bool inWindow(int64_t t, int64_t now, bool withDate) {
    const std::tm n = localTm(now);
    auto matches = [&](int64_t at) {
        const std::tm a = localTm(at);
        return (!withDate || (a.tm_year == n.tm_year && a.tm_yday == n.tm_yday)) &&
               a.tm_hour == n.tm_hour && a.tm_min == n.tm_min;
    };
    return (matches(t - 60) && n.tm_sec >= 51) || (matches(t) && n.tm_sec < 20);
}

} // namespace

std::string AlarmFile::encode(const std::vector<Alarm>& alarms) {
    std::string out;
    putFixed(out, utf16Count(alarms.size()), kHeader);
    for (const Alarm& a : alarms) {
        putFixed(out, a.channelName, 80);
        putI32(out, a.slot);
        putI32(out, a.time);
        putI32(out, a.repeat);
    }
    return out;
}

std::u16string AlarmFile::utf16Count(size_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

bool AlarmFile::decode(std::string_view bytes, std::vector<Alarm>* out) {
    out->clear();
    ByteReader r(bytes.data(), bytes.size());
    bool terminated = false;
    const std::u16string count = r.utf16le(kHeader / 2, &terminated);
    if (!r.ok() || !terminated || count.empty() || count.size() > 4) return false;
    size_t n = 0;
    for (char16_t c : count) {
        if (c < u'0' || c > u'9') return false;
        n = n * 10 + static_cast<size_t>(c - u'0');
    }
    if (n > r.remaining() / kRecord) return false;
    std::vector<Alarm> alarms;
    alarms.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        Alarm a;
        a.channelName = r.utf16le(40, &terminated);
        a.slot = static_cast<int32_t>(r.u32le());
        a.time = static_cast<int32_t>(r.u32le());
        a.repeat = static_cast<int32_t>(r.u32le());
        if (!r.ok() || !terminated || a.slot < -1 || a.slot > 49) return false;
        alarms.push_back(std::move(a));
    }
    *out = std::move(alarms);
    return true;
}

bool AlarmFile::load(const std::string& path, std::vector<Alarm>* out, std::string* error) {
    out->clear();
    std::string bytes;
    if (!readWholeFile(path, &bytes)) return true;
    if (decode(bytes, out)) return true;
    const std::string kept = keepAside(path);
    if (error)
        *error = "アラームの設定 (" + path +
                 ") が壊れているため読み込みませんでした。元のファイルは " + kept +
                 " に残しました。";
    return false;
}

bool AlarmFile::save(const std::string& path, const std::vector<Alarm>& alarms) {
    return writeFileAtomically(path, encode(alarms));
}

int AlarmFile::requestedSlot(const std::vector<Alarm>& alarms, int64_t now) {
    for (const Alarm& a : alarms) {
        if (a.repeat != Alarm::kOnce && a.repeat != Alarm::kDaily) continue;
        if (inWindow(a.time, now, a.repeat == Alarm::kOnce)) return a.slot;
    }
    return -1;
}

int AlarmFile::requestedSlotAtStart(const std::string& path, int64_t now, std::string* error) {
    std::vector<Alarm> alarms;
    if (!load(path, &alarms, error)) return -1;
    return requestedSlot(alarms, now);
}

} // namespace kobal
