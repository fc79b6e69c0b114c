// reserv.ini: decode; what was accepted must encode to a file that decodes to the same list,
// and the list's own steps (purge at a start-up long after, ordering) run over it.
#include "reservations/Reservation.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using kobal::ReservationFileError;
    using kobal::ReservationList;
    std::vector<kobal::Reservation> items;
    if (ReservationList::decode(std::string_view(reinterpret_cast<const char*>(data), size),
                                &items) != ReservationFileError::None)
        return 0;
    std::vector<kobal::Reservation> again;
    if (ReservationList::decode(ReservationList::encode(items), &again) !=
            ReservationFileError::None ||
        again != items)
        std::abort();
    ReservationList list;
    list.items() = items;
    list.bubbleEarliestToFront();
    for (const kobal::Reservation& r : items)
        list.validate(-1, r.start, r.end, r.repeat, r.start - 60);
    list.purge(items.empty() ? 0 : items.front().end + 86400 * 400);
    return 0;
}
