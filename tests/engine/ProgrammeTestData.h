#pragma once
// Builders of EIT sections and packet payloads for the guide and service information tests.
#include <algorithm>
#include <cstdint>
#include <vector>

namespace kobal::test {

using Bytes = std::vector<uint8_t>;

inline uint8_t bcd(int v) {
    return uint8_t(((v / 10) << 4) | (v % 10));
}

struct EitEvent {
    int startHour = 0, startMinute = 0, startSecond = 0;
    Bytes duration = {0x01, 0x00, 0x00}; // BCD hh mm ss, FF FF FF = open-ended
    Bytes name, text;
    Bytes moreDescriptors; // bytes after the short event descriptor
};

inline Bytes eitSection(int sectionNumber, const std::vector<EitEvent>& events,
                        uint8_t tableId = 0x4E) {
    Bytes s = {tableId, 0,    0,    0x5D, 0xB8, 0xC1, uint8_t(sectionNumber),
               1,       0x7F, 0xE0, 0x7F, 0xE0, 1,    0x4E};
    uint16_t eventId = 0x100;
    for (const EitEvent& e : events) {
        Bytes d = {0x4D, uint8_t(5 + e.name.size() + e.text.size()),
                   'j',  'p',
                   'n',  uint8_t(e.name.size())};
        d.insert(d.end(), e.name.begin(), e.name.end());
        d.push_back(uint8_t(e.text.size()));
        d.insert(d.end(), e.text.begin(), e.text.end());
        d.insert(d.end(), e.moreDescriptors.begin(), e.moreDescriptors.end());
        s.insert(s.end(), {uint8_t(eventId >> 8), uint8_t(eventId), 0xE8, 0x0B, bcd(e.startHour),
                           bcd(e.startMinute), bcd(e.startSecond)});
        ++eventId;
        s.insert(s.end(), e.duration.begin(), e.duration.end());
        s.insert(s.end(), {uint8_t(0x80 | (d.size() >> 8)), uint8_t(d.size())});
        s.insert(s.end(), d.begin(), d.end());
    }
    s.insert(s.end(), {0xDE, 0xAD, 0xBE, 0xEF}); // CRC, never checked
    size_t len = s.size() - 3;
    s[1] = uint8_t(0xF0 | (len >> 8));
    s[2] = uint8_t(len);
    return s;
}

struct Payload {
    Bytes bytes; // 184 bytes
    bool unitStart;
};

// 184-byte packet payloads carrying the sections, each section starting a packet.
inline std::vector<Payload> payloads(const std::vector<Bytes>& sections) {
    std::vector<Payload> out;
    for (const Bytes& sec : sections) {
        Bytes first = {0x00};
        size_t i = 0;
        size_t n = std::min<size_t>(183, sec.size());
        first.insert(first.end(), sec.begin(), sec.begin() + long(n));
        i = n;
        first.resize(184, 0xFF);
        out.push_back({first, true});
        while (i < sec.size()) {
            n = std::min<size_t>(184, sec.size() - i);
            Bytes more(sec.begin() + long(i), sec.begin() + long(i + n));
            more.resize(184, 0xFF);
            out.push_back({more, false});
            i += n;
        }
    }
    return out;
}

} // namespace kobal::test
