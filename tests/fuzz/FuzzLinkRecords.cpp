// The renderer's link records, as its reader thread takes them: a sequence of records, each
// given as a 16-bit little-endian length and its bytes. What the source queues is decoded
// nowhere; the queue is emptied after each input.
#include "renderer/LinkSource.h"
#include "renderer/PacketQueue.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kobal::render;
    PacketQueue queue;
    LinkSource source(nullptr, queue, {});
    size_t at = 0;
    while (at + 2 <= size) {
        const size_t n = std::min<size_t>(data[at] | data[at + 1] << 8, size - at - 2);
        source.handleRecord(data + at + 2, n);
        at += 2 + n;
    }
    MediaPacket p;
    while (queue.pop(p, 0)) {
    }
    return 0;
}
