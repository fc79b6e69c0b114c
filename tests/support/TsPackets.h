#pragma once
// Builds transport-stream bytes for the tests: packets with adaptation fields, null packets,
// section and PES packets, PMT sections, H.264 access units, ADTS frames and caption statements.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kobal::test {

using Bytes = std::vector<uint8_t>;

inline void append(Bytes& to, const Bytes& from) {
    to.insert(to.end(), from.begin(), from.end());
}

// For tests that keep streams in strings (files, the tuner's chunks).
inline std::string asString(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// One 188-byte packet. payload is cut or padded (0xFF) to what fits; with adaptationLength
// >= 0 an adaptation field of that length (its length byte excluded) precedes the payload.
inline Bytes packet(uint16_t pid, bool unitStart, int cc, const Bytes& payload,
                    int adaptationLength = -1, int control = -1) {
    Bytes p(188, 0xFF);
    p[0] = 0x47;
    p[1] = uint8_t((unitStart ? 0x40 : 0) | ((pid >> 8) & 0x1F));
    p[2] = uint8_t(pid);
    size_t at = 4;
    int afc = 1;
    if (adaptationLength >= 0) {
        afc = payload.empty() ? 2 : 3;
        p[4] = uint8_t(adaptationLength);
        if (adaptationLength > 0) p[5] = 0x00; // no flags; the rest is stuffing
        at = 5 + size_t(adaptationLength);
    }
    if (control >= 0) afc = control;
    p[3] = uint8_t((afc << 4) | (cc & 15));
    for (size_t i = 0; i < payload.size() && at + i < 188; ++i) p[at + i] = payload[i];
    return p;
}

// n packets of the null PID.
inline Bytes nullPackets(int n) {
    Bytes out;
    for (int i = 0; i < n; ++i) append(out, packet(0x1FFF, false, 0, {}));
    return out;
}

// A packet carrying section bytes: with unit start the pointer field comes first, then
// `payload`, 0xFF after; `stuffing` > 0 bytes of adaptation field (length byte included)
// come before them.
inline Bytes sectionPacket(uint16_t pid, bool unitStart, int pointer, const Bytes& payload,
                           int stuffing = 0) {
    Bytes body;
    if (unitStart) body.push_back(uint8_t(pointer));
    append(body, payload);
    return packet(pid, unitStart, 0, body, stuffing > 0 ? stuffing - 1 : -1);
}

// Splits a payload over packets of one PID (the first with unit start), continuity from cc.
inline Bytes packetize(uint16_t pid, const Bytes& payload, int& cc) {
    Bytes out;
    for (size_t off = 0; off < payload.size() || off == 0; off += 184) {
        const size_t n = std::min<size_t>(184, payload.size() - off);
        Bytes part(payload.begin() + long(off), payload.begin() + long(off + n));
        if (n < 184) {
            // Pad the last packet with an adaptation field so no stuffing reads as payload.
            const int af = int(184 - n) - 1;
            Bytes p = packet(pid, off == 0, cc++, part, af);
            append(out, p);
        } else {
            append(out, packet(pid, off == 0, cc++, part));
        }
        if (n == 0) break;
    }
    return out;
}

// PMT section (table id 2) with (stream type, pid) entries; CRC bytes are zero (unchecked).
inline Bytes pmtSection(const std::vector<std::pair<uint8_t, uint16_t>>& streams,
                        size_t esInfoLength = 0) {
    Bytes s = {0x02, 0, 0, 0x49, 0x80, 0xC1, 0, 0, 0xE1, 0x00, 0xF0, 0x00};
    for (auto [type, pid] : streams) {
        s.push_back(type);
        s.push_back(uint8_t(0xE0 | (pid >> 8)));
        s.push_back(uint8_t(pid));
        s.push_back(uint8_t(0xF0 | (esInfoLength >> 8)));
        s.push_back(uint8_t(esInfoLength));
        for (size_t i = 0; i < esInfoLength; ++i) s.push_back(0x00);
    }
    s.insert(s.end(), 4, 0); // CRC
    const size_t sectionLength = s.size() - 3;
    s[1] = uint8_t(0xB0 | (sectionLength >> 8));
    s[2] = uint8_t(sectionLength);
    return s;
}

// A PMT carried on 0x1FC8 (pointer field 0).
inline Bytes pmtPackets(const Bytes& section, int& cc) {
    Bytes payload = {0x00};
    append(payload, section);
    return packetize(0x1FC8, payload, cc);
}

inline Bytes oneSegPmt(int& cc) {
    return pmtPackets(pmtSection({{0x1B, 0x181}, {0x0F, 0x183}, {0x06, 0x187}}), cc);
}

// PES packet: stream id 0xE0 (length 0) or 0xC0 (declared length), PTS given.
inline Bytes pes(uint8_t streamId, const Bytes& data, uint64_t pts, bool zeroLength = false) {
    Bytes p = {0, 0, 1, streamId, 0, 0, 0x80, 0x80, 5};
    p.push_back(uint8_t(0x21 | ((pts >> 29) & 0x0E)));
    p.push_back(uint8_t(pts >> 22));
    p.push_back(uint8_t(((pts >> 14) & 0xFE) | 1));
    p.push_back(uint8_t(pts >> 7));
    p.push_back(uint8_t(((pts << 1) & 0xFE) | 1));
    append(p, data);
    if (!zeroLength) {
        const size_t len = p.size() - 6;
        p[4] = uint8_t(len >> 8);
        p[5] = uint8_t(len);
    }
    return p;
}

// H.264 pieces: an access unit delimiter, SPS, PPS and a slice of n bytes.
inline Bytes nal(int type, size_t bodyBytes, uint8_t fill = 0x11) {
    Bytes b = {0, 0, 1, uint8_t(0x60 | type)};
    b.insert(b.end(), bodyBytes, fill);
    return b;
}
inline Bytes aud() {
    return {0, 0, 1, 0x09, 0xF0};
}
inline Bytes accessUnit(bool idr, size_t sliceBytes, size_t spsBytes = 10) {
    Bytes au = aud();
    if (idr) {
        append(au, nal(7, spsBytes, 0x42));
        append(au, nal(8, 4, 0xCE));
        append(au, nal(5, sliceBytes));
    } else {
        append(au, nal(1, sliceBytes));
    }
    return au;
}

// ADTS frame (MPEG-2, with CRC, AAC LC, 48 kHz, stereo) of total length `length`; the
// declared length can be forced to another value.
inline Bytes adts(size_t length, int declared = -1, uint8_t fill = 0x21) {
    const size_t l = declared >= 0 ? size_t(declared) : length;
    Bytes f(length < 9 ? 9 : length, fill);
    f[0] = 0xFF;
    f[1] = 0xF8;
    f[2] = 0x4C; // profile LC, 48 kHz, private 0, channel config high bit 0
    f[3] = uint8_t(0x80 | ((l >> 11) & 3));
    f[4] = uint8_t(l >> 3);
    f[5] = uint8_t(((l & 7) << 5) | 0x1F);
    f[6] = 0xFC;
    return f;
}

// PES data of a caption statement with one data unit: data group `group` (0x04: the first
// language's statement), time control mode `timeMode` (1 and 2 add a 5-byte time field).
inline Bytes captionStatement(const Bytes& body, uint8_t unitParameter = 0x20, int timeMode = 0,
                              uint8_t group = 0x04) {
    Bytes d = {0x80, 0xff, 0xf0, group, 0x00, 0x00, 0x00, 0x00, uint8_t(0x3f | (timeMode << 6))};
    if (timeMode == 1 || timeMode == 2) d.insert(d.end(), {0x00, 0x00, 0x00, 0x00, 0x00});
    const size_t loop = body.size() + 5;
    d.insert(d.end(), {uint8_t(loop >> 16), uint8_t(loop >> 8), uint8_t(loop)});
    d.insert(d.end(), {0x1f, unitParameter, uint8_t(body.size() >> 16), uint8_t(body.size() >> 8),
                       uint8_t(body.size())});
    append(d, body);
    return d;
}

} // namespace kobal::test
