// alarm.ini: decode; what was accepted must encode to a file that decodes to the same alarms,
// and the start-up check walks it.
#include "reservations/Alarm.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using kobal::AlarmFile;
    std::vector<kobal::Alarm> alarms;
    if (!AlarmFile::decode(std::string_view(reinterpret_cast<const char*>(data), size), &alarms))
        return 0;
    std::vector<kobal::Alarm> again;
    if (!AlarmFile::decode(AlarmFile::encode(alarms), &again) || again != alarms) std::abort();
    for (const kobal::Alarm& a : alarms) AlarmFile::requestedSlot(alarms, a.time);
    return 0;
}
