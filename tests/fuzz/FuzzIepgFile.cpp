// iEPG files: the header reader, the CP932 conversion and the date checks.
#include "reservations/IepgFile.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kobal::IepgProgramme p;
    if (kobal::IepgFile::parse(std::string_view(reinterpret_cast<const char*>(data), size), &p) ==
            kobal::IepgError::None &&
        (p.end <= p.start || p.station.empty() || p.title.empty() || p.title.size() > 999))
        __builtin_trap(); // an accepted programme is always whole
    return 0;
}
