// Caption PES: the bytes as the data after the PES header, and as packet payloads on the
// caption PID (184 bytes each, the first a unit start).
#include "engine/Caption.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kobal::CaptionDecoder pes;
    pes.decodePesData(data, size);
    kobal::CaptionDecoder packets;
    for (size_t at = 0; at < size; at += 184)
        packets.onPacket(data + at, std::min<size_t>(184, size - at), at == 0);
    return 0;
}
