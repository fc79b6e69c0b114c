// The replay tuner's scan: the service name from the first SDT of a recorded stream file.
#include "tuner/ReplayBackend.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp ? tmp : "/tmp") + "/kobal-fuzz-replay-" + std::to_string(getpid()) +
               ".ts";
    }();
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    std::u16string name;
    uint16_t serviceId = 0;
    bool hasPackets = false;
    // Read no more than the file holds: the reader's buffer is sized by this bound.
    veltra::readStreamService(file, &name, &serviceId, &hasPackets, std::max<size_t>(size, 1));
    std::remove(file.c_str());
    return 0;
}
