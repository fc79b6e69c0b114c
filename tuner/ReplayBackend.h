#pragma once
// Recorded transport streams as a tuner: a folder of files named by physical channel
// ("27.ts"). A scan finds the files and reads each one's SDT for the service name; streaming
// paces the packets by their PCR (by packet count where the PCR is missing or jumps) and starts
// over at the end of the file.
//
// Files are untrusted: garbage between packets is skipped by resynchronising on the next sync
// byte, a cut-off last packet is dropped, and a file without packets streams nothing.
#include "tuner/TunerBackend.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace veltra {

// Service name and id from the first SDT found in the first `maxBytes` of a stream file.
// False when the file has no readable SDT (found then tells whether it has packets at all).
bool readStreamService(const std::string& path, std::u16string* name, uint16_t* serviceId,
                       bool* hasPackets, size_t maxBytes = 4 << 20);
// The same over stream bytes in memory.
bool readStreamServiceBytes(const uint8_t* data, size_t n, std::u16string* name,
                            uint16_t* serviceId, bool* hasPackets);

class ReplayBackend : public TunerBackend {
public:
    explicit ReplayBackend(std::string folder);
    ~ReplayBackend() override;
    std::string name() const override { return "replay"; }
    bool present() override { return true; }
    bool open() override;
    void close() override;
    ProbeResult probe(int slot) override;
    bool tune(int slot) override;
    void untune() override;
    bool read(uint8_t* chunk) override;
    SignalReading signal(int slot) override;

    // The folder from KOBAL_REPLAY_DIR, else the registry value replay_Dir.
    static std::string configuredFolder();
    std::string fileFor(int slot) const;

private:
    bool nextPacket(uint8_t* out, size_t& budget);
    bool refill();
    int64_t dueOf(const uint8_t* packet);

    std::string folder_;
    bool open_ = false;
    int slot_ = -1;
    std::FILE* file_ = nullptr;
    std::vector<uint8_t> buf_;
    size_t len_ = 0, pos_ = 0;
    bool eof_ = false;
    bool inSync_ = false; // the last packet ended at pos_
    long packetsThisPass_ = 0;
    bool dead_ = false; // a whole pass gave no packet

    // Pacing (see dueOf): due time (ns since tune) of the last packet and of the last PCR,
    // packets since that PCR, its value, and the rate that times packets between PCRs.
    std::chrono::steady_clock::time_point epoch_;
    int pcrPid_ = -1;
    int64_t lastPcr_ = -1;
    int64_t clockNs_ = 0, pcrNs_ = 0;
    int64_t sincePcr_ = 0;
    int64_t rate_ = 416000;
    uint8_t pending_[1128];
    int pendingCount_ = 0;
    int64_t pendingDueNs_ = 0;
};

} // namespace veltra
