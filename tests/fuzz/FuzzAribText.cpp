// ARIB 8-bit text, every flavour (programme title and text, service name, a receiver's
// channel name): the first byte chooses the flavour.
#include "broadcast/AribText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const auto flavor = static_cast<kobal::AribFlavor>(data[0] % 4);
    kobal::decodeAribText(data + 1, size - 1, flavor);
    return 0;
}
