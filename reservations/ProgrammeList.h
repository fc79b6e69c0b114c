#pragma once
// The programme list of the reservation sheet: the tuned channel's guide events as
// reservations to offer, and the row texts of both of the sheet's pages. Pure; UI thread.
#include "engine/ProgrammeGuide.h"
#include "reservations/Reservation.h"

#include <QString>

#include <vector>

namespace kobal {

// A channel panel line as the reservation dialogs offer it.
struct ChannelChoice {
    std::u16string name;
    int slot = 0;
    int code = 0; // slot x 1000 + tuning value A x 10 + tuning value B
};

// One entry per guide event 1..96 up to the first empty title; events without times (all
// zero, as an open-ended event is stored) are left out. Dates: today's for the first event,
// or yesterday's when it starts more than twelve hours after `now` (a programme running over
// midnight); each later event whose start lies before the previous one's crossed midnight and
// moves to the next day; an end before its start is on the day after the start.
std::vector<Reservation> buildProgrammeList(const ProgrammeGuide::Events& events,
                                            const ChannelChoice& channel, int64_t now);

// "%02d:%02d - %02d:%02d" of the start and end.
QString timeSpanText(const Reservation& r);
// "%d/%02d/%02d  " of the start (the date edit and the list's date column).
QString dateText(int64_t t);
// "一度", "毎日", "毎週".
QString repeatText(int repeat);
// The reservation list's row: channel (slot + 13), title, date and times, repeat.
QStringList reservationRow(const Reservation& r);

} // namespace kobal
