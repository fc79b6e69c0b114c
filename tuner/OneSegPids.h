#pragma once
// The PIDs of a whole terrestrial channel that the engine reads for its one-segment service:
// PAT, NIT, SDT, EIT (H-EIT and both L-EIT PIDs), TOT, the one-segment PMT on 0x1FC8 and the
// streams and PCR that PMT lists. Real tuners and tuner servers deliver the whole channel
// (about 17 Mbit/s); the player's reader takes 1128 bytes every few milliseconds, so the rest
// is dropped before it reaches it (in software for a server, in the hardware demux for DVB).
//
// Packets are untrusted: the PMT is collected up to 4096 bytes, a PMT with a bad CRC or over
// that size changes nothing, and at most kMaxStreamPids stream PIDs are taken from it.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltra {

// Cuts a byte stream into 188-byte packets, resynchronising on a sync byte that the next
// packet's sync byte confirms (where the bytes reach that far). Keeps at most one packet.
class PacketCutter {
public:
    template <typename OnPacket> void feed(const uint8_t* d, size_t n, OnPacket&& onPacket) {
        constexpr size_t kSize = 188;
        while (n > 0) {
            if (partialLen_ == 0) {
                if (d[0] != 0x47 || (n > kSize && d[kSize] != 0x47)) {
                    ++d;
                    --n;
                    continue;
                }
                if (n >= kSize) {
                    onPacket(d);
                    d += kSize;
                    n -= kSize;
                    continue;
                }
            }
            const size_t k = n < kSize - partialLen_ ? n : kSize - partialLen_;
            for (size_t i = 0; i < k; ++i) partial_[partialLen_ + i] = d[i];
            partialLen_ += k;
            d += k;
            n -= k;
            if (partialLen_ == kSize) {
                partialLen_ = 0;
                if (n == 0 || d[0] == 0x47) onPacket(partial_);
            }
        }
    }
    void reset() { partialLen_ = 0; }

private:
    uint8_t partial_[188];
    size_t partialLen_ = 0;
};

class OneSegPids {
public:
    static constexpr uint16_t kPmtPid = 0x1FC8;
    static constexpr size_t kMaxStreamPids = 16;

    OneSegPids() { reset(); }
    // Back to the fixed PIDs (a new channel).
    void reset();
    // Whether the packet is one the engine reads; reads the PMT on the way.
    bool take(const uint8_t* packet);
    // The PIDs wanted now; `changed` tells whether they differ from the last call.
    std::vector<uint16_t> pids(bool* changed = nullptr);

    static const std::vector<uint16_t>& fixedPids();

private:
    void readPmt();

    bool wanted_[8192];
    std::vector<uint16_t> streamPids_;
    bool changed_ = true;
    std::vector<uint8_t> section_;
    bool collecting_ = false;
};

} // namespace veltra
