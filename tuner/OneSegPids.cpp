#include "tuner/OneSegPids.h"

#include "platform/ByteReader.h"
#include "tuner/TsPackets.h"

#include <algorithm>
#include <cstring>

namespace veltra {
namespace {
constexpr size_t kMaxSection = 4096;
} // namespace

const std::vector<uint16_t>& OneSegPids::fixedPids() {
    static const std::vector<uint16_t> pids = {0x0000, 0x0010, 0x0011, 0x0012,
                                               0x0014, 0x0026, 0x0027, kPmtPid};
    return pids;
}

void OneSegPids::reset() {
    std::memset(wanted_, 0, sizeof wanted_);
    for (uint16_t pid : fixedPids()) wanted_[pid] = true;
    streamPids_.clear();
    section_.clear();
    collecting_ = false;
    changed_ = true;
}

bool OneSegPids::take(const uint8_t* p) {
    if (p[0] != 0x47) return false;
    const uint16_t pid = ts::pidOf(p);
    if (pid != kPmtPid || !(p[3] & 0x10)) return wanted_[pid];
    size_t at = 4;
    if (p[3] & 0x20) at += 1 + p[4];
    if (at >= ts::kPacketSize) return true;
    if (p[1] & 0x40) {
        const size_t pointer = p[at++];
        if (at + pointer >= ts::kPacketSize) {
            collecting_ = false;
            return true;
        }
        at += pointer;
        section_.clear();
        collecting_ = true;
    }
    if (!collecting_) return true;
    section_.insert(section_.end(), p + at, p + ts::kPacketSize);
    if (section_.size() >= 3) {
        const size_t want = 3 + ((section_[1] & 0x0F) << 8 | section_[2]);
        if (want > kMaxSection) {
            collecting_ = false;
        } else if (section_.size() >= want) {
            section_.resize(want);
            readPmt();
            collecting_ = false;
        }
    }
    return true;
}

void OneSegPids::readPmt() {
    const std::vector<uint8_t>& s = section_;
    if (s.size() < 16 || s[0] != 0x02 || ts::crc32(s.data(), s.size()) != 0) return;
    kobal::ByteReader r(s.data(), s.size() - 4);
    r.skip(8);
    std::vector<uint16_t> pids;
    pids.push_back(r.u16be() & 0x1FFF); // PCR
    r.skip(r.u16be() & 0x0FFF);         // programme descriptors
    while (r.remaining() >= 5 && pids.size() <= kMaxStreamPids) {
        r.skip(1); // stream type
        const uint16_t pid = r.u16be() & 0x1FFF;
        if (!r.skip(r.u16be() & 0x0FFF)) break; // a cut-off entry lists nothing
        pids.push_back(pid);
    }
    if (!r.ok() && pids.size() == 1) return;
    std::sort(pids.begin(), pids.end());
    pids.erase(std::unique(pids.begin(), pids.end()), pids.end());
    if (pids == streamPids_) return;
    for (uint16_t pid : streamPids_) wanted_[pid] = false;
    for (uint16_t pid : fixedPids()) wanted_[pid] = true;
    for (uint16_t pid : pids) wanted_[pid] = pid != ts::kNullPid;
    streamPids_ = pids;
    changed_ = true;
}

std::vector<uint16_t> OneSegPids::pids(bool* changed) {
    if (changed) *changed = changed_;
    changed_ = false;
    std::vector<uint16_t> out = fixedPids();
    for (uint16_t pid : streamPids_)
        if (pid != ts::kNullPid && !std::count(out.begin(), out.end(), pid)) out.push_back(pid);
    return out;
}

} // namespace veltra
