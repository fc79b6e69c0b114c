#include "ProgrammeList.h"

#include <QStringList>

namespace kobal {
namespace {

int64_t midnightOf(int64_t t) {
    const std::tm tm = localTm(t);
    return localTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, 0, 0);
}

// The same clock time `days` later (Japan keeps no daylight saving, but mktime decides).
int64_t onDay(int64_t midnight, int days, int hour, int minute, int second) {
    const std::tm tm = localTm(midnight);
    return localTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday + days, hour, minute, second);
}

} // namespace

std::vector<Reservation> buildProgrammeList(const ProgrammeGuide::Events& events,
                                            const ChannelChoice& channel, int64_t now) {
    std::vector<Reservation> list;
    const int64_t today = midnightOf(now);
    const std::tm nowTm = localTm(now);
    const int nowSecond = nowTm.tm_hour * 3600 + nowTm.tm_min * 60 + nowTm.tm_sec;
    int day = 0;
    int previousStart = -1;
    for (const ProgrammeEvent& e : events) {
        if (e.title.empty()) break;
        if (e.startHour == 0 && e.startMinute == 0 && e.endHour == 0 && e.endMinute == 0 &&
            e.endSecond == 0)
            continue;
        const int start = e.startHour * 3600 + e.startMinute * 60 + e.startSecond;
        if (previousStart < 0) {
            // The present programme began yesterday evening when it seems to start far ahead.
            if (start - nowSecond > 12 * 3600) day = -1;
        } else if (start < previousStart) {
            ++day; // the guide crossed midnight
        }
        previousStart = start;
        Reservation r;
        r.title = e.title;
        r.memo = e.description;
        r.slot = channel.slot;
        r.channelName = channel.name;
        r.start = onDay(today, day, e.startHour, e.startMinute, e.startSecond);
        const int endDay = day + (e.startHour > e.endHour ? 1 : 0);
        r.end = onDay(today, endDay, e.endHour, e.endMinute, e.endSecond);
        r.repeat = Reservation::kOnce;
        list.push_back(std::move(r));
    }
    return list;
}

QString timeSpanText(const Reservation& r) {
    const std::tm s = localTm(r.start), e = localTm(r.end);
    return QString::asprintf("%02d:%02d - %02d:%02d", s.tm_hour, s.tm_min, e.tm_hour, e.tm_min);
}

QString dateText(int64_t t) {
    const std::tm tm = localTm(t);
    return QString::asprintf("%d/%02d/%02d  ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

QString repeatText(int repeat) {
    switch (repeat) {
    case Reservation::kDaily:
        return QStringLiteral("毎日");
    case Reservation::kWeekly:
        return QStringLiteral("毎週");
    default:
        return QStringLiteral("一度");
    }
}

QStringList reservationRow(const Reservation& r) {
    return {QString::number(r.slot + 13), QString::fromStdU16String(r.title),
            dateText(r.start) + timeSpanText(r), repeatText(r.repeat)};
}

} // namespace kobal
