// EIT sections, one after another as they arrive behind each other, then the ticker.
#include "engine/ProgrammeGuide.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kobal::ProgrammeGuide guide;
    size_t at = 0;
    for (int i = 0; i < 64 && at < size; ++i) {
        bool complete = false;
        const size_t used = guide.parseSection(data + at, size - at, &complete);
        if (used == 0) break;
        at += used;
    }
    guide.rebuildTicker();
    return 0;
}
