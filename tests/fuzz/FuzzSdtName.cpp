// The service name of an SDT packet's payload (from the pointer field on).
#include "engine/ServiceInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kobal::sdtServiceName(data, size);
    return 0;
}
