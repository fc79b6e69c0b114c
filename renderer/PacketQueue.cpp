#include "PacketQueue.h"

#include "platform/Paths.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kobal::render {

int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t steadyUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {
// Spilled packet: kind, flags (key, after a gap), pts, arrival, length, bytes.
constexpr size_t kSpillHeader = 1 + 1 + 8 + 8 + 4;
constexpr size_t kPacketOverhead = 64; // bookkeeping counted against the memory limit
} // namespace

PacketQueue::PacketQueue() : PacketQueue(Limits{}) {}

PacketQueue::PacketQueue(Limits limits) : limits_(std::move(limits)) {}

PacketQueue::~PacketQueue() {
    std::lock_guard<std::mutex> lk(m_);
    spillResetLocked();
}

void PacketQueue::push(MediaPacket&& p) {
    {
        std::lock_guard<std::mutex> lk(m_);
        if (gapAtTail_ && p.kind == MediaPacket::Video) {
            p.afterGap = true;
            gapAtTail_ = false;
        }
        const size_t cost = p.data.size() + kPacketOverhead;
        const bool spilling = spillCount_ > 0;
        if (!spilling && memBytes_ + cost <= limits_.memoryBytes) {
            memBytes_ += cost;
            mem_.push_back(std::move(p));
        } else if (!limits_.spillFolder.empty()) {
            // Once spilling, everything newer goes to the file so the order holds; a packet
            // the file cannot take is lost.
            if (!spillWriteLocked(p)) {
                ++dropped_;
                gapAtTail_ |= p.kind == MediaPacket::Video;
            }
        } else {
            // No spill file: keep the newest, lose the oldest.
            memBytes_ += cost;
            mem_.push_back(std::move(p));
            while (memBytes_ > limits_.memoryBytes && mem_.size() > 1) dropFrontLocked();
        }
        dropOldLocked();
    }
    cv_.notify_all();
}

bool PacketQueue::pop(MediaPacket& out, int timeoutMs) {
    std::unique_lock<std::mutex> lk(m_);
    const unsigned gen = interruptGen_;
    if (popLocked(out)) return true;
    if (timeoutMs <= 0) return false;
    cv_.wait_for(lk, std::chrono::milliseconds(timeoutMs),
                 [&] { return !mem_.empty() || spillCount_ > 0 || gen != interruptGen_; });
    return popLocked(out);
}

bool PacketQueue::popLocked(MediaPacket& out) {
    bool got = false;
    if (!mem_.empty()) {
        out = std::move(mem_.front());
        mem_.pop_front();
        memBytes_ -= out.data.size() + kPacketOverhead;
        got = true;
    }
    while (!got && spillCount_ > 0) {
        got = spillReadLocked(out);
        if (spillCount_ == 0) spillResetLocked();
    }
    if (!got) return false;
    if (gapAtFront_ && out.kind == MediaPacket::Video) {
        out.afterGap = true;
        gapAtFront_ = false;
    }
    cv_.notify_all();
    return true;
}

void PacketQueue::dropFrontLocked() {
    MediaPacket& p = mem_.front();
    memBytes_ -= p.data.size() + kPacketOverhead;
    gapAtFront_ |= p.kind == MediaPacket::Video;
    mem_.pop_front();
    ++dropped_;
}

void PacketQueue::dropOldLocked() {
    const int64_t now = steadyMs();
    while (!mem_.empty() && now - mem_.front().arrivalMs > limits_.maxAgeMs) dropFrontLocked();
    if (!mem_.empty()) return;
    MediaPacket skip;
    while (spillCount_ > 0 && (now - spillFrontArrival_ > limits_.maxAgeMs ||
                               spillWrite_ - spillRead_ > limits_.spillBytes)) {
        if (spillReadLocked(skip)) {
            ++dropped_;
            gapAtFront_ |= skip.kind == MediaPacket::Video;
        }
        if (spillCount_ == 0) spillResetLocked();
    }
}

bool PacketQueue::spillWriteLocked(const MediaPacket& p) {
    if (!spill_) {
        if (!paths::makeFolders(limits_.spillFolder)) return false;
        std::string tmpl = limits_.spillFolder + "/timeshift-XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        const int fd = mkstemp(buf.data());
        if (fd < 0) return false;
        spill_ = fdopen(fd, "w+b");
        if (!spill_) {
            ::close(fd);
            return false;
        }
        spillPath_ = buf.data();
        unlink(spillPath_.c_str()); // the file goes away with the process, whatever happens
        spillWrite_ = spillRead_ = 0;
    }
    if (spillWrite_ - spillRead_ + int64_t(kSpillHeader + p.data.size()) >
        limits_.spillBytes + (64 << 20))
        return false;
    unsigned char h[kSpillHeader];
    h[0] = p.kind;
    h[1] = uint8_t((p.key ? 1 : 0) | (p.afterGap ? 2 : 0));
    std::memcpy(h + 2, &p.ptsUs, 8);
    std::memcpy(h + 10, &p.arrivalMs, 8);
    const uint32_t len = uint32_t(p.data.size());
    std::memcpy(h + 18, &len, 4);
    if (fseeko(spill_, spillWrite_, SEEK_SET) != 0) return false;
    if (fwrite(h, 1, sizeof h, spill_) != sizeof h) return false;
    if (len && fwrite(p.data.data(), 1, len, spill_) != len) return false;
    if (spillCount_ == 0) spillFrontArrival_ = p.arrivalMs;
    spillWrite_ += int64_t(sizeof h + len);
    ++spillCount_;
    return true;
}

bool PacketQueue::spillReadLocked(MediaPacket& out) {
    unsigned char h[kSpillHeader];
    fflush(spill_);
    if (fseeko(spill_, spillRead_, SEEK_SET) != 0 || fread(h, 1, sizeof h, spill_) != sizeof h) {
        spillCount_ = 0; // unreadable: give up the spilled part rather than loop
        gapAtFront_ = true;
        return false;
    }
    uint32_t len = 0;
    std::memcpy(&len, h + 18, 4);
    if (len > (16u << 20)) {
        spillCount_ = 0;
        gapAtFront_ = true;
        return false;
    }
    out.kind = MediaPacket::Kind(h[0]);
    out.key = (h[1] & 1) != 0;
    out.afterGap = (h[1] & 2) != 0;
    std::memcpy(&out.ptsUs, h + 2, 8);
    std::memcpy(&out.arrivalMs, h + 10, 8);
    out.data.resize(len);
    if (len && fread(out.data.data(), 1, len, spill_) != len) {
        spillCount_ = 0;
        gapAtFront_ = true;
        return false;
    }
    spillRead_ += int64_t(sizeof h + len);
    --spillCount_;
    // While playback stays behind live the file is never emptied: give the consumed part back
    // to the file system now and then.
    if (spillRead_ - spillPunched_ > (64 << 20)) {
        fallocate(fileno(spill_), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, spillPunched_,
                  spillRead_ - spillPunched_);
        spillPunched_ = spillRead_;
    }
    if (spillCount_ > 0) {
        unsigned char next[kSpillHeader];
        if (fread(next, 1, sizeof next, spill_) == sizeof next)
            std::memcpy(&spillFrontArrival_, next + 10, 8);
    }
    return true;
}

void PacketQueue::spillResetLocked() {
    if (spill_) fclose(spill_);
    spill_ = nullptr;
    spillCount_ = 0;
    spillWrite_ = spillRead_ = spillPunched_ = 0;
}

void PacketQueue::clear() {
    {
        std::lock_guard<std::mutex> lk(m_);
        mem_.clear();
        memBytes_ = 0;
        spillResetLocked();
        gapAtFront_ = gapAtTail_ = false; // whoever clears also restarts decoding
    }
    cv_.notify_all();
}

void PacketQueue::interrupt() {
    {
        std::lock_guard<std::mutex> lk(m_);
        ++interruptGen_;
    }
    cv_.notify_all();
}

unsigned PacketQueue::nudges() const {
    std::lock_guard<std::mutex> lk(m_);
    return nudgeGen_;
}

void PacketQueue::nudge() {
    {
        std::lock_guard<std::mutex> lk(m_);
        ++nudgeGen_;
    }
    cv_.notify_all();
}

void PacketQueue::waitFor(unsigned seen, bool orPacket, int timeoutMs) {
    std::unique_lock<std::mutex> lk(m_);
    const unsigned gen = interruptGen_;
    cv_.wait_for(lk, std::chrono::milliseconds(std::max(0, timeoutMs)), [&] {
        return nudgeGen_ != seen || gen != interruptGen_ ||
               (orPacket && (!mem_.empty() || spillCount_ > 0));
    });
}

bool PacketQueue::waitForRoom(size_t maxBytes, int timeoutMs) {
    std::unique_lock<std::mutex> lk(m_);
    const unsigned gen = interruptGen_;
    return cv_.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] {
        return (memBytes_ <= maxBytes && spillCount_ == 0) || gen != interruptGen_;
    }) && gen == interruptGen_;
}

size_t PacketQueue::count() const {
    std::lock_guard<std::mutex> lk(m_);
    return mem_.size() + spillCount_;
}

size_t PacketQueue::memoryBytes() const {
    std::lock_guard<std::mutex> lk(m_);
    return memBytes_;
}

int64_t PacketQueue::spilledBytes() const {
    std::lock_guard<std::mutex> lk(m_);
    return spillCount_ ? spillWrite_ - spillRead_ : 0;
}

int64_t PacketQueue::oldestAgeMs() const {
    std::lock_guard<std::mutex> lk(m_);
    if (!mem_.empty()) return steadyMs() - mem_.front().arrivalMs;
    if (spillCount_) return steadyMs() - spillFrontArrival_;
    return 0;
}

size_t PacketQueue::droppedCount() const {
    std::lock_guard<std::mutex> lk(m_);
    return dropped_;
}

} // namespace kobal::render
