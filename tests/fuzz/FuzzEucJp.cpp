// The caption path's EUC-JP conversion; the first byte bounds the output.
#include "broadcast/EucJp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    kobal::eucJpToUtf16(data + 1, size - 1, data[0] == 0 ? 512 : data[0]);
    return 0;
}
