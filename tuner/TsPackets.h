#pragma once
// Building blocks of a transport stream: section CRC, packing sections and PES packets into
// 188-byte packets with continuity counters, PCR and null packets.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltra::ts {

inline constexpr int kPacketSize = 188;
inline constexpr uint16_t kNullPid = 0x1FFF;
inline constexpr int64_t kPcrHz = 27000000;
inline constexpr int64_t kPtsMask = (int64_t{1} << 33) - 1;

// CRC-32 of MPEG-2 sections (polynomial 0x04C11DB7, initial all ones, no reflection).
uint32_t crc32(const uint8_t* data, size_t len);
// Appends the section CRC to a section whose length field already counts it.
void appendCrc(std::vector<uint8_t>& section);

// Packs one section starting in a fresh packet (pointer field 0), the last packet filled with
// 0xFF. Appends whole packets to out.
void packSection(std::vector<uint8_t>& out, uint16_t pid, uint8_t& cc,
                 const std::vector<uint8_t>& section);

// PES header: stream id, PTS, and PES_packet_length (0 when unbounded, as video goes on the
// air, else the header remainder plus payloadLen).
std::vector<uint8_t> pesHeader(uint8_t streamId, size_t payloadLen, int64_t pts, bool unbounded);

// Packs a whole PES packet (header included); the last packet is padded with an adaptation
// field so the payload ends exactly at the packet end.
void packPes(std::vector<uint8_t>& out, uint16_t pid, uint8_t& cc, const uint8_t* pes, size_t len);

// A packet carrying only a PCR in its adaptation field (the PCR PID's counter does not move).
void pcrPacket(uint8_t* out, uint16_t pid, uint8_t cc, int64_t pcr27);
void nullPacket(uint8_t* out);

// Packet fields, for readers of finished streams.
inline uint16_t pidOf(const uint8_t* p) {
    return static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]);
}
// PCR of a packet in 27 MHz units, -1 when it has none.
int64_t pcrOf(const uint8_t* p);

} // namespace veltra::ts
