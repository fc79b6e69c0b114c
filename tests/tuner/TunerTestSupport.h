#pragma once
// A small transport stream reader for the tuner tests: sections and PES payloads by PID,
// written independently of the library's own writer.
#include <cstdint>
#include <string>
#include <vector>

namespace tunertest {

struct Pes {
    int64_t pts = -1;
    int64_t arrivalPcr = -1; // last PCR seen before the PES started (27 MHz), -1 before any
    std::vector<uint8_t> data;
};

// Complete sections on a PID (pointer field honoured, sections may span packets).
std::vector<std::vector<uint8_t>> sectionsOn(const std::string& ts, uint16_t pid);
// PES packets on a PID, payload after the PES header.
std::vector<Pes> pesOn(const std::string& ts, uint16_t pid);
// MPEG-2 section CRC (computed here, not by the library).
uint32_t sectionCrc(const uint8_t* data, size_t len);
// The stream of a simulated station, `seconds` long.
std::string simulatedStream(int area, int slot, double seconds, time_t wallStart,
                            bool dualMono = false);

} // namespace tunertest
