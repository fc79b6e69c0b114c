// The parse thread's SI reader over a sequence of packet payloads. Each piece: one byte
// choosing SDT / EIT / caption and the unit start, one byte of length (at most 184), then the
// payload.
#include "engine/ServiceInfo.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kobal::ServiceInfoReader reader;
    reader.onParseStart();
    size_t at = 0;
    while (at + 2 <= size) {
        const uint8_t kind = data[at];
        const size_t n = std::min<size_t>({data[at + 1], 184, size - at - 2});
        const uint8_t* p = data + at + 2;
        const bool start = kind & 0x80;
        switch (kind % 4) {
        case 0:
            reader.onSdtSection(p, n);
            break;
        case 1:
            reader.onEitSection(p, n, start);
            break;
        case 2:
            reader.onCaptionPes(p, n);
            break;
        default:
            reader.onParseReset();
            break;
        }
        at += 2 + n;
    }
    return 0;
}
