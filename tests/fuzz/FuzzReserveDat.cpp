// reserv.dat, the two-slot form's file: decode, then check and encode what was accepted.
#include "reservations/ReserveDat.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    kobal::ReserveDat dat;
    if (kobal::ReserveDat::decode(bytes, &dat)) {
        dat.check();
        if (kobal::ReserveDat::encode(dat) != bytes) std::abort(); // accepted means exact
    }
    return 0;
}
