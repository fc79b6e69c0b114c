#include "AlarmEditor.h"

#include "Reservation.h"

#include <algorithm>
#include <cstdio>

namespace kobal {
namespace {

std::u16string ascii(const char* text) {
    std::u16string out;
    for (const char* p = text; *p; ++p) out.push_back(char16_t(static_cast<unsigned char>(*p)));
    return out;
}

int64_t onToday(const Alarm& a, int64_t now) {
    const std::tm t = localTm(a.time), today = localTm(now);
    return localTime(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday, t.tm_hour, t.tm_min);
}

} // namespace

std::u16string AlarmEditor::repeatText(int repeat) {
    if (repeat == Alarm::kOnce) return u"一度";
    if (repeat == Alarm::kDaily) return u"毎日";
    return u"everyweek";
}

std::u16string AlarmEditor::timeText(const Alarm& alarm) {
    const std::tm t = localTm(alarm.time);
    char text[64];
    if (alarm.repeat == Alarm::kOnce)
        std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                      t.tm_mday, t.tm_hour, t.tm_min);
    else
        std::snprintf(text, sizeof text, "%02d:%02d", t.tm_hour, t.tm_min);
    return ascii(text);
}

std::u16string AlarmEditor::withoutSeconds(std::u16string format) {
    size_t at = format.find(u"ss");
    size_t length = 2;
    if (at == std::u16string::npos) {
        at = format.find(u's');
        length = 1;
    }
    if (at != std::u16string::npos && at > 0) format.erase(at - 1, length + 1);
    return format;
}

AlarmEditor::AddResult AlarmEditor::add(int repeat, int year, int month, int day, int hour,
                                        int minute, const AlarmChannel& channel, int64_t now) {
    if (rows_.size() >= AlarmFile::kMaxAlarms) return AddResult::Full;
    if (channel.slot < 0) return AddResult::NoChannel;
    Alarm a;
    a.channelName = channel.name.substr(0, AlarmFile::kMaxName);
    a.slot = channel.slot;
    a.repeat = repeat == Alarm::kDaily ? Alarm::kDaily : Alarm::kOnce;
    if (a.repeat == Alarm::kOnce) {
        if (year < 1970 || year > 2037) return AddResult::YearOutOfRange;
        a.time = localTime(year, month, day, hour, minute);
        if (a.time < now) return AddResult::InThePast;
    } else {
        const std::tm today = localTm(now);
        a.time = localTime(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday, hour, minute);
    }
    rows_.push_back(std::move(a));
    return AddResult::Added;
}

void AlarmEditor::remove(std::vector<int> positions) {
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    // From the bottom up, so the positions still to go stay where they were.
    for (auto p = positions.rbegin(); p != positions.rend(); ++p)
        if (*p >= 0 && size_t(*p) < rows_.size()) rows_.erase(rows_.begin() + *p);
}

std::vector<Alarm> AlarmEditor::toSave(int64_t now) const {
    std::vector<Alarm> out = rows_;
    for (Alarm& a : out) {
        if (a.repeat == Alarm::kOnce)
            a.time -= localTm(a.time).tm_sec;
        else
            a.time = onToday(a, now);
    }
    return out;
}

} // namespace kobal
