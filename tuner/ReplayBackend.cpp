#include "tuner/ReplayBackend.h"

#include "broadcast/AribText.h"
#include "platform/ByteReader.h"
#include "platform/Registry.h"
#include "tuner/CTDMBDll.h"
#include "tuner/TsPackets.h"

#include <cstdlib>
#include <cstring>

namespace veltra {
namespace {

using kobal::ByteReader;

constexpr size_t kBufferBytes = 64 * 1024;
constexpr size_t kScanBudget = 1 << 20;  // bytes one read() may skip looking for sync
constexpr int64_t kNominalRate = 416000; // bit/s of a one-segment service
constexpr int64_t kMinRate = 16000, kMaxRate = 40'000'000;
constexpr int64_t kMaxPcrGap = ts::kPcrHz; // a longer step is a jump, not a clock

// Service descriptor of the preferred service (a one-segment service type 0xC0 when there is
// one) in an SDT section.
bool parseSdt(const std::vector<uint8_t>& s, std::u16string* name, uint16_t* serviceId) {
    if (s.size() < 15 || s[0] != 0x42) return false;
    const size_t end = std::min(s.size(), static_cast<size_t>(3 + ((s[1] & 0x0F) << 8 | s[2]))) - 4;
    ByteReader services(s.data(), end);
    services.skip(11);
    bool have = false;
    while (services.remaining() >= 5) {
        const uint16_t sid = services.u16be();
        services.skip(1);
        const size_t loop = services.u16be() & 0x0FFF;
        services.pushLimit(std::min(loop, services.remaining()));
        while (services.remaining() >= 2) {
            const uint8_t tag = services.u8();
            const size_t length = services.u8();
            if (length > services.remaining()) break;
            // A broken descriptor spoils only itself.
            ByteReader d = services.sub(length);
            if (tag != 0x48 || length < 3) continue;
            const uint8_t type = d.u8();
            d.skip(d.u8()); // provider name
            const std::span<const uint8_t> text = d.bytes(d.u8());
            if (d.ok() && (!have || type == 0xC0)) {
                *name =
                    kobal::decodeAribText(text.data(), text.size(), kobal::AribFlavor::Receiver);
                *serviceId = sid;
                if (type == 0xC0) return true;
                have = true;
            }
        }
        services.popLimit();
    }
    return have;
}

} // namespace

bool readStreamService(const std::string& path, std::u16string* name, uint16_t* serviceId,
                       bool* hasPackets, size_t maxBytes) {
    *hasPackets = false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> data(std::min<size_t>(maxBytes, 8 << 20));
    const size_t n = std::fread(data.data(), 1, data.size(), f);
    std::fclose(f);
    return readStreamServiceBytes(data.data(), n, name, serviceId, hasPackets);
}

bool readStreamServiceBytes(const uint8_t* data, size_t n, std::u16string* name,
                            uint16_t* serviceId, bool* hasPackets) {
    *hasPackets = false;
    std::vector<uint8_t> section;
    bool collecting = false;
    // Takes the bytes of the section being collected; true once a whole SDT with a good CRC
    // gave the name. Bytes after a finished section start the next one unless they are
    // stuffing.
    auto take = [&](std::span<const uint8_t> bytes) {
        section.insert(section.end(), bytes.begin(), bytes.end());
        while (collecting && section.size() >= 3) {
            const size_t want = 3 + ((section[1] & 0x0F) << 8 | section[2]);
            if (section.size() < want) break;
            if (want >= 4 && section[0] == 0x42 && ts::crc32(section.data(), want) == 0) {
                const std::vector<uint8_t> whole(section.begin(), section.begin() + want);
                if (parseSdt(whole, name, serviceId)) return true;
            }
            section.erase(section.begin(), section.begin() + want);
            if (section.empty() || section[0] == 0xFF) collecting = false;
        }
        if (!collecting) section.clear();
        return false;
    };
    bool inSync = false; // the last packet ended where this one starts
    for (size_t i = 0; i + ts::kPacketSize <= n;) {
        // A packet counts when the next one starts with a sync byte too (or, at the end of the
        // data, when it follows packets already in step).
        const bool synced =
            data[i] == 0x47 &&
            (i + 2 * ts::kPacketSize > n ? inSync : data[i + ts::kPacketSize] == 0x47);
        inSync = synced;
        if (!synced) {
            ++i;
            continue;
        }
        *hasPackets = true;
        const uint8_t* p = &data[i];
        i += ts::kPacketSize;
        if (ts::pidOf(p) != 0x0011 || (p[3] & 0xC0) || !(p[3] & 0x10)) continue;
        ByteReader packet(p, ts::kPacketSize);
        packet.skip(4);
        if (p[3] & 0x20) packet.skip(packet.u8()); // adaptation field
        if (packet.atEnd()) continue;
        if (p[1] & 0x40) {
            // The bytes before the pointer field's target end the section in progress.
            const size_t tail = packet.u8();
            if (tail >= packet.remaining()) {
                collecting = false;
                section.clear();
                continue;
            }
            if (collecting && take(packet.bytes(tail))) return true;
            section.clear();
            collecting = true;
            if (take(packet.bytes(packet.remaining()))) return true;
        } else if (collecting) {
            if (take(packet.bytes(packet.remaining()))) return true;
        }
    }
    return false;
}

ReplayBackend::ReplayBackend(std::string folder) : folder_(std::move(folder)) {}

ReplayBackend::~ReplayBackend() {
    untune();
}

std::string ReplayBackend::configuredFolder() {
    if (const char* env = std::getenv("KOBAL_REPLAY_DIR")) return env;
    return kobal::Registry::read("replay_Dir", 4096).value_or(std::string());
}

std::string ReplayBackend::fileFor(int slot) const {
    return folder_ + "/" + std::to_string(slot + kFirstPhysical) + ".ts";
}

bool ReplayBackend::open() {
    open_ = true;
    return true;
}

void ReplayBackend::close() {
    untune();
    open_ = false;
}

ProbeResult ReplayBackend::probe(int slot) {
    ProbeResult r;
    if (!open_ || folder_.empty()) return r;
    bool hasPackets = false;
    uint16_t sid = 0;
    readStreamService(fileFor(slot), &r.name, &sid, &hasPackets);
    if (!hasPackets) return r;
    r.found = true;
    r.serviceId = sid;
    // Recorded services keep their own ids; the word marks the entry as a one-segment one.
    r.identifier = 0xF1E00000u | sid;
    return r;
}

bool ReplayBackend::tune(int slot) {
    untune();
    if (!open_ || folder_.empty()) return false;
    bool hasPackets = false;
    std::u16string name;
    uint16_t sid = 0;
    readStreamService(fileFor(slot), &name, &sid, &hasPackets, 1 << 20);
    if (!hasPackets) return false;
    file_ = std::fopen(fileFor(slot).c_str(), "rb");
    if (!file_) return false;
    slot_ = slot;
    buf_.assign(kBufferBytes, 0);
    len_ = pos_ = 0;
    eof_ = dead_ = false;
    packetsThisPass_ = 0;
    pcrPid_ = -1;
    lastPcr_ = -1;
    clockNs_ = pcrNs_ = 0;
    sincePcr_ = 0;
    rate_ = kNominalRate;
    pendingCount_ = 0;
    epoch_ = std::chrono::steady_clock::now();
    return true;
}

void ReplayBackend::untune() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    slot_ = -1;
    pendingCount_ = 0;
}

bool ReplayBackend::refill() {
    if (pos_ > 0) {
        std::memmove(buf_.data(), buf_.data() + pos_, len_ - pos_);
        len_ -= pos_;
        pos_ = 0;
    }
    if (eof_) return false;
    const size_t n = std::fread(buf_.data() + len_, 1, buf_.size() - len_, file_);
    len_ += n;
    if (n == 0) eof_ = true;
    return n > 0;
}

bool ReplayBackend::nextPacket(uint8_t* out, size_t& budget) {
    while (budget > 0) {
        if (len_ - pos_ < 2 * ts::kPacketSize && !eof_) refill();
        const size_t avail = len_ - pos_;
        if (avail < ts::kPacketSize) {
            if (!eof_) continue;
            // End of file (a cut-off last packet is dropped): start over, unless a whole pass
            // gave nothing.
            if (packetsThisPass_ == 0) {
                dead_ = true;
                return false;
            }
            std::rewind(file_);
            len_ = pos_ = 0;
            inSync_ = false;
            eof_ = false;
            packetsThisPass_ = 0;
            lastPcr_ = -1; // the PCR starts over with the file; the clock goes on by count
            continue;
        }
        if (avail < 2 * ts::kPacketSize && !eof_) continue;
        const uint8_t* p = buf_.data() + pos_;
        const bool synced =
            p[0] == 0x47 && (avail < 2 * ts::kPacketSize ? inSync_ : p[ts::kPacketSize] == 0x47);
        inSync_ = synced;
        if (!synced) {
            ++pos_;
            --budget;
            continue;
        }
        std::memcpy(out, p, ts::kPacketSize);
        pos_ += ts::kPacketSize;
        ++packetsThisPass_;
        return true;
    }
    return false;
}

// Nanoseconds after tuning at which the packet is due. The PCR drives the clock: a packet
// with a PCR on the PCR PID is due the PCR distance after the previous one. Between PCRs, and
// where there are none or they jump (the loop point, a cut, gaps over a second), packets are
// due by their count at the rate measured between the last good PCRs (416 kbit/s, a
// one-segment service's rate, until one is measured), so no part of the file goes out in a
// burst.
int64_t ReplayBackend::dueOf(const uint8_t* p) {
    clockNs_ += ts::kPacketSize * 8 * int64_t{1'000'000'000} / rate_;
    if (sincePcr_ < 1'000'000) ++sincePcr_;
    const int64_t pcr = ts::pcrOf(p);
    if (pcr < 0) return clockNs_;
    const int pid = ts::pidOf(p);
    if (pcrPid_ < 0) pcrPid_ = pid;
    if (pid != pcrPid_) return clockNs_;
    const int64_t delta = lastPcr_ >= 0 ? pcr - lastPcr_ : -1;
    lastPcr_ = pcr;
    if (delta > 0 && delta <= kMaxPcrGap) {
        const int64_t bps = sincePcr_ * ts::kPacketSize * 8 * ts::kPcrHz / delta;
        if (bps >= kMinRate && bps <= kMaxRate) rate_ = bps;
        clockNs_ = pcrNs_ + delta * 1000 / 27;
    }
    pcrNs_ = clockNs_;
    sincePcr_ = 0;
    return clockNs_;
}

bool ReplayBackend::read(uint8_t* chunk) {
    if (!file_ || dead_) return false;
    size_t budget = kScanBudget;
    while (pendingCount_ < 6) {
        uint8_t* p = pending_ + pendingCount_ * ts::kPacketSize;
        if (!nextPacket(p, budget)) return false;
        pendingDueNs_ = dueOf(p);
        ++pendingCount_;
    }
    const auto now = std::chrono::steady_clock::now();
    const int64_t t = std::chrono::duration_cast<std::chrono::nanoseconds>(now - epoch_).count();
    if (pendingDueNs_ > t) return false;
    if (t - pendingDueNs_ > 2'000'000'000) // the reader stalled: go on from now
        epoch_ = now - std::chrono::nanoseconds(pendingDueNs_);
    std::memcpy(chunk, pending_, sizeof pending_);
    pendingCount_ = 0;
    return true;
}

SignalReading ReplayBackend::signal(int slot) {
    if (slot < 0 || slot != slot_ || !file_ || dead_) return {};
    return {-50.0, 0.0};
}

} // namespace veltra
