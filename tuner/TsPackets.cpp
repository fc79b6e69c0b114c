#include "tuner/TsPackets.h"

#include <algorithm>
#include <cstring>

namespace veltra::ts {

uint32_t crc32(const uint8_t* data, size_t len) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < len; ++i) {
        crc ^= static_cast<uint32_t>(data[i]) << 24;
        for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

void appendCrc(std::vector<uint8_t>& s) {
    const uint32_t crc = crc32(s.data(), s.size());
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<uint8_t>(crc >> shift));
}

void packSection(std::vector<uint8_t>& out, uint16_t pid, uint8_t& cc,
                 const std::vector<uint8_t>& section) {
    size_t pos = 0;
    bool first = true;
    while (first || pos < section.size()) {
        uint8_t p[kPacketSize];
        std::memset(p, 0xFF, sizeof p);
        p[0] = 0x47;
        p[1] = static_cast<uint8_t>((first ? 0x40 : 0) | (pid >> 8 & 0x1F));
        p[2] = static_cast<uint8_t>(pid);
        p[3] = static_cast<uint8_t>(0x10 | (cc & 0x0F));
        cc = (cc + 1) & 0x0F;
        size_t at = 4;
        if (first) p[at++] = 0; // pointer field
        const size_t n = std::min(section.size() - pos, static_cast<size_t>(kPacketSize) - at);
        std::memcpy(p + at, section.data() + pos, n);
        pos += n;
        first = false;
        out.insert(out.end(), p, p + kPacketSize);
    }
}

std::vector<uint8_t> pesHeader(uint8_t streamId, size_t payloadLen, int64_t pts, bool unbounded) {
    pts &= kPtsMask;
    const size_t rest = 3 + 5 + payloadLen; // flags, header length, PTS, payload
    const size_t length = unbounded || rest > 0xFFFF ? 0 : rest;
    std::vector<uint8_t> h = {0x00,
                              0x00,
                              0x01,
                              streamId,
                              static_cast<uint8_t>(length >> 8),
                              static_cast<uint8_t>(length),
                              0x84, // marker bits, data alignment
                              0x80, // PTS only
                              0x05,
                              static_cast<uint8_t>(0x21 | ((pts >> 29) & 0x0E)),
                              static_cast<uint8_t>(pts >> 22),
                              static_cast<uint8_t>(0x01 | ((pts >> 14) & 0xFE)),
                              static_cast<uint8_t>(pts >> 7),
                              static_cast<uint8_t>(0x01 | ((pts << 1) & 0xFE))};
    return h;
}

void packPes(std::vector<uint8_t>& out, uint16_t pid, uint8_t& cc, const uint8_t* pes, size_t len) {
    size_t pos = 0;
    bool first = true;
    while (pos < len) {
        uint8_t p[kPacketSize];
        p[0] = 0x47;
        p[1] = static_cast<uint8_t>((first ? 0x40 : 0) | (pid >> 8 & 0x1F));
        p[2] = static_cast<uint8_t>(pid);
        const size_t left = len - pos;
        size_t at = 4;
        if (left >= 184) {
            p[3] = static_cast<uint8_t>(0x10 | cc);
        } else {
            // Adaptation field of (183 - left) bytes after its length byte pads the packet.
            p[3] = static_cast<uint8_t>(0x30 | cc);
            const size_t afLen = 183 - left;
            p[4] = static_cast<uint8_t>(afLen);
            if (afLen > 0) {
                p[5] = 0x00;
                std::memset(p + 6, 0xFF, afLen - 1);
            }
            at = 5 + afLen;
        }
        cc = (cc + 1) & 0x0F;
        const size_t n = kPacketSize - at;
        std::memcpy(p + at, pes + pos, n);
        pos += n;
        first = false;
        out.insert(out.end(), p, p + kPacketSize);
    }
}

void pcrPacket(uint8_t* p, uint16_t pid, uint8_t cc, int64_t pcr27) {
    std::memset(p, 0xFF, kPacketSize);
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>(pid >> 8 & 0x1F);
    p[2] = static_cast<uint8_t>(pid);
    p[3] = static_cast<uint8_t>(0x20 | (cc & 0x0F));
    p[4] = 183;
    p[5] = 0x10; // PCR flag
    const int64_t base = (pcr27 / 300) & kPtsMask;
    const int ext = static_cast<int>(pcr27 % 300);
    p[6] = static_cast<uint8_t>(base >> 25);
    p[7] = static_cast<uint8_t>(base >> 17);
    p[8] = static_cast<uint8_t>(base >> 9);
    p[9] = static_cast<uint8_t>(base >> 1);
    p[10] = static_cast<uint8_t>((base & 1) << 7 | 0x7E | (ext >> 8));
    p[11] = static_cast<uint8_t>(ext);
}

void nullPacket(uint8_t* p) {
    std::memset(p, 0xFF, kPacketSize);
    p[0] = 0x47;
    p[1] = 0x1F;
    p[2] = 0xFF;
    p[3] = 0x10;
}

int64_t pcrOf(const uint8_t* p) {
    const int afc = (p[3] >> 4) & 3;
    if (afc < 2 || p[4] < 7 || p[4] > 183 || !(p[5] & 0x10)) return -1;
    const int64_t base = int64_t{p[6]} << 25 | int64_t{p[7]} << 17 | int64_t{p[8]} << 9 |
                         int64_t{p[9]} << 1 | p[10] >> 7;
    const int ext = (p[10] & 1) << 8 | p[11];
    return base * 300 + ext;
}

} // namespace veltra::ts
