#pragma once
// The rows of the alarm dialog and page: the alarms of alarm.ini, the texts their list shows,
// the rules of "追加" and "削除", and the alarms that "OK" writes back. No widgets, UI thread.
#include "Alarm.h"

#include <string>
#include <vector>

namespace kobal {

// A channel the user can pick: a line of the channel panel and its physical slot.
struct AlarmChannel {
    std::u16string name;
    int slot = -1;
};

class AlarmEditor {
public:
    enum class AddResult { Added, YearOutOfRange, InThePast, NoChannel, Full };

    explicit AlarmEditor(std::vector<Alarm> rows = {}) : rows_(std::move(rows)) {}

    const std::vector<Alarm>& rows() const { return rows_; }

    // "一度", "毎日", or "everyweek" for any other repeat value a file may hold.
    static std::u16string repeatText(int repeat);
    // "yyyy/mm/dd hh:mm" for a once alarm, "hh:mm" for the others.
    static std::u16string timeText(const Alarm& alarm);
    // The time format of the locale with its seconds taken out: the separator before "ss" (or
    // before a lone "s") and the seconds go.
    static std::u16string withoutSeconds(std::u16string format);

    // A once alarm is the date and time given (seconds 0), refused when its year lies outside
    // 1970..2037 or when it is earlier than now. A daily alarm keeps only its hour and minute
    // and is stored on today's date, so it is never refused for a time of day already past.
    AddResult add(int repeat, int year, int month, int day, int hour, int minute,
                  const AlarmChannel& channel, int64_t now);
    // Removes the rows at these positions (any order, duplicates ignored).
    void remove(std::vector<int> positions);
    // What OK writes: once alarms as they are, the others on today's date with their hour and
    // minute. Each row keeps the slot it was added or loaded with.
    std::vector<Alarm> toSave(int64_t now) const;

private:
    std::vector<Alarm> rows_;
};

} // namespace kobal
