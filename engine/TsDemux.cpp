#include "engine/TsDemux.h"

#include <algorithm>
#include <cstring>

#include "engine/SiSink.h"

namespace kobal {

namespace {

uint16_t packetPid(const uint8_t* p) {
    return uint16_t(((p[1] & 0x1F) << 8) | p[2]);
}
bool unitStart(const uint8_t* p) {
    return (p[1] & 0x40) != 0;
}
int adaptationControl(const uint8_t* p) {
    return (p[3] >> 4) & 3;
}

uint64_t readPts(const uint8_t* b) {
    return (uint64_t((b[0] >> 1) & 7) << 30) | (uint64_t(b[1]) << 22) |
           (uint64_t(b[2] >> 1) << 15) | (uint64_t(b[3]) << 7) | uint64_t(b[4] >> 1);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// PMT

void PmtCollector::reset() {
    collected_ = 0;
    expected_ = 0;
    collecting_ = false;
    lastCc_ = -1;
}

void PmtCollector::collect(const uint8_t* p, PidTable& pids) {
    if (packetPid(p) != pids.pmt.load()) return;
    size_t a = 0;
    if (adaptationControl(p) >= 2) {
        a = size_t(p[4]) + 1;
        if (a > 180) return;
    }
    size_t q = 4 + a;
    const int cc = p[3] & 15;
    if (unitStart(p)) {
        droppingOversized_ = false;
        const size_t pointer = p[q];
        if (pointer > 180) return;
        q += 1 + pointer;
        // A pointer that runs past the packet (or leaves no room for the section header)
        // cannot start a section here.
        if (q + 3 > kPacketSize) return;
        if (p[q] == 2) {
            const size_t length = (size_t(p[q + 1] & 0x0F) << 8 | p[q + 2]) + 3;
            // A section longer than the buffer cannot be held: wait for the next one.
            if (length > kSectionBufferSize) {
                reset();
                droppingOversized_ = true;
                return;
            }
            collected_ = 0;
            collecting_ = true;
            expected_ = length;
            const size_t n = kPacketSize - q;
            std::memcpy(section_, p + q, n);
            collected_ = n;
            lastCc_ = cc;
        }
    } else if (collecting_) {
        if ((lastCc_ + 1) % 16 != cc) {
            reset();
            return;
        }
        const size_t n = std::min(kPacketSize - q, kSectionBufferSize - collected_);
        std::memcpy(section_ + collected_, p + q, n);
        collected_ += n;
        lastCc_ = cc;
    }
    if (collecting_ && collected_ >= expected_) {
        collecting_ = false;
        lastCc_ = -1;
        finishSection(pids);
        collected_ = 0;
    }
}

void PmtCollector::finishSection(PidTable& pids) {
    const uint8_t* s = section_;
    if (s[0] != 2 || expected_ < 16) return;
    const size_t programInfo = size_t(s[10] & 0x0F) << 8 | s[11];
    const size_t end = expected_ - 4; // the CRC is not verified
    bool video = false, audio = false, caption = false;
    for (size_t pos = 12 + programInfo; pos + 5 <= end;) {
        const uint8_t type = s[pos];
        const uint16_t pid = uint16_t((s[pos + 1] & 0x1F) << 8 | s[pos + 2]);
        const size_t infoLength = size_t(s[pos + 3] & 0x0F) << 8 | s[pos + 4];
        if (type == 0x1B && !video) {
            pids.video = pid;
            video = true;
        } else if (type == 0x0F && !audio) {
            pids.audio = pid;
            audio = true;
        } else if (type == 0x06 && !caption) {
            pids.caption = pid;
            caption = true;
        }
        pos += 5 + infoLength;
    }
}

bool pmtProbe(const uint8_t* data, size_t n, PidTable& pids, PmtCollector& pmt,
              std::atomic<uint8_t>& deliveryState, size_t* unconsumed) {
    pids.clearStreams();
    size_t i = 0;
    while (i + kPacketSize < n && !(data[i] == 0x47 && data[i + kPacketSize] == 0x47)) ++i;
    if (i + kPacketSize >= n) {
        *unconsumed = n <= kPacketSize ? n : kPacketSize;
        return false;
    }
    for (; i + kPacketSize < n; i += kPacketSize) {
        if (data[i] == 0x47 && data[i + kPacketSize] == 0x47) pmt.collect(data + i, pids);
    }
    deliveryState = 0;
    *unconsumed = n - i;
    return pids.video.load() != kNoPid && pids.audio.load() != kNoPid;
}

// ---------------------------------------------------------------------------------------------
// Packet scan

PacketScanner::PacketScanner(PidTable& pids, PmtCollector& pmt, DemuxOutput& out)
    : pids_(pids), pmt_(pmt), out_(out) {
    video_.mode = 1;
    audio_.mode = 0;
}

void PacketScanner::emptyAll() {
    video_.empty();
    audio_.empty();
    sdt_.empty();
    eit_.empty();
    caption_.empty();
}

size_t PacketScanner::scan(const uint8_t* data, size_t n) {
    if (n < kPacketSize + 1) return 0;
    size_t i = 0;
    while (i < n) {
        if (data[i] != 0x47) {
            ++i;
            continue;
        }
        // The packet is handled only once the next packet's sync byte has arrived.
        if (n - i < kPacketSize + 1) break;
        if (data[i + kPacketSize] != 0x47) {
            ++i;
            continue;
        }
        i += handlePacket(data + i);
    }
    return std::min(i, n);
}

size_t PacketScanner::handlePacket(const uint8_t* p) {
    const uint16_t pid = packetPid(p);
    PesAssembler* as = nullptr;
    if (pid == pids_.video.load())
        as = &video_;
    else if (pid == pids_.audio.load())
        as = &audio_;
    else if (pid == kOneSegPmtPid) {
        // Between the first and last packet of a PMT the streams are not routed.
        const uint16_t video = pids_.video, audio = pids_.audio, caption = pids_.caption;
        pids_.clearStreams();
        pmt_.collect(p, pids_);
        // A section too long to hold is dropped whole, pause in routing included: pictures and
        // sound keep flowing on the PIDs already known until a PMT that fits arrives.
        if (pmt_.droppingOversized()) {
            pids_.video = video;
            pids_.audio = audio;
            pids_.caption = caption;
        }
        return kPacketSize;
    } else if (pid == kSdtPid)
        as = &sdt_;
    else if (pid == kEitPid)
        as = &eit_;
    else if (pid == pids_.caption.load())
        as = &caption_;
    else
        return kPacketSize;

    if ((p[3] >> 6) != 0) { // scrambled
        as->empty();
        return 1;
    }
    const uint8_t* payload = p + 4;
    size_t length = 184;
    const int control = adaptationControl(p);
    if (control == 2 || control == 3) {
        const size_t a = size_t(p[4]) + 1;
        if (a > 184) { // an adaptation field that cannot fit: corrupt packet
            as->empty();
            return 1;
        }
        // Adaptation field only (PCR on the video PID, stuffing): no payload, and the PES in
        // progress continues with the next packet.
        if (control == 2 || a == 184) return kPacketSize;
        payload = p + 4 + a;
        length = 184 - a;
    }
    const bool start = unitStart(p);
    if (as != &eit_ && !start && !as->inProgress()) {
        as->empty();
        return kPacketSize;
    }
    if (as == &video_ || as == &audio_) {
        if (pesStep(*as, payload, length, start) == 1)
            out_.wakeDataPump();
        else
            as->empty();
    } else if (sink_) {
        if (as == &sdt_)
            sink_->onSdtSection(payload, length);
        else if (as == &eit_)
            sink_->onEitSection(payload, length, start);
        else
            sink_->onCaptionPes(payload, length);
    }
    return kPacketSize;
}

void PacketScanner::emitUnit(PesAssembler& as) {
    EsUnit unit;
    unit.kind = &as == &video_ ? EsUnit::kVideo : EsUnit::kAudio;
    as.buffer.resize(as.filled);
    unit.bytes = std::move(as.buffer);
    unit.pts = as.pts;
    as.buffer.clear();
    out_.pushUnit(std::move(unit));
}

int PacketScanner::pesStep(PesAssembler& as, const uint8_t* p, size_t length, bool start) {
    // A video PES has no length on the air: it ends where the next one starts.
    if (start && as.inProgress() && as.mode == 1) emitUnit(as);

    size_t h = 0;
    if (start) {
        as.empty();
        as.pts = kNoPts;
        if (length < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1) return 0;
        const uint8_t streamId = p[3];
        size_t pesLength = size_t(p[4]) << 8 | p[5];
        if (streamId == 0xC0) {
            if (pesLength < 20) return 0;
        } else if (streamId == 0xE0) {
            if (pesLength == 0) pesLength = 0x10000;
        } else {
            return 0;
        }
        const size_t headerData = p[8];
        if (pesLength < headerData + 3) return 0;
        const size_t m = pesLength - headerData - 3;
        if (m < 20 || m > kPesPayloadMax) return 0;
        as.buffer.resize(m);
        as.expected = m;
        if ((p[7] >> 6) & 2) {
            if (length >= 14) as.pts = readPts(p + 9);
        }
        h = 9 + headerData;
    }
    if (h >= length) {
        if (h == length) out_.headerOnlyPes();
        return 0;
    }
    const size_t n = length - h;
    if (as.filled + n <= as.expected) {
        std::memcpy(as.buffer.data() + as.filled, p + h, n);
        as.filled += n;
    }
    if (as.filled == as.expected) {
        emitUnit(as);
        as.empty();
    }
    return 1;
}

} // namespace kobal
