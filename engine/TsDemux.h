#pragma once
// Packet-level work of the demux and parse threads: finding 188-byte packets, routing them by
// PID, reassembling video and audio PES packets into EsUnits, and collecting the PMT on
// 0x1FC8 that yields the programme's PIDs. The one-segment service is found without the PAT.
//
// Nothing here locks or waits: the caller (StreamEngine) supplies a DemuxOutput that queues
// units under its own lock and wakes the data pump.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kobal {

class SiSink;

inline constexpr int kPacketSize = 188;
inline constexpr uint16_t kNoPid = 0xFFFF;
inline constexpr uint16_t kOneSegPmtPid = 0x1FC8;
inline constexpr uint16_t kSdtPid = 0x11;
inline constexpr uint16_t kEitPid = 0x27;
inline constexpr size_t kSectionBufferSize = 4096;
inline constexpr size_t kPesPayloadMax = 0x10000;
inline constexpr uint64_t kNoPts = 0x1FFFFFFFFull; // all 33 bits set

// PIDs of the programme; plain words shared by the demux and parse threads.
struct PidTable {
    std::atomic<uint16_t> pmt{kOneSegPmtPid};
    std::atomic<uint16_t> video{kNoPid};
    std::atomic<uint16_t> audio{kNoPid};
    std::atomic<uint16_t> caption{kNoPid};

    void clearStreams() {
        video = kNoPid;
        audio = kNoPid;
        caption = kNoPid;
    }
};

// One queued PES payload for the data pump.
struct EsUnit {
    enum Kind : int { kAudio = 0, kVideo = 1 };
    int kind = kVideo;
    std::vector<uint8_t> bytes;
    uint64_t pts = kNoPts; // 33 bits
};

// Reassembles one PMT section across packets. Shared by the probe and the parse thread's
// handler (they never run at once: the pipeline mode hands over from one to the other).
class PmtCollector {
public:
    // Feeds one packet (188 bytes at p). Records the first H.264, AAC and private-PES PIDs
    // into pids when a section completes.
    void collect(const uint8_t* p, PidTable& pids);
    void reset();
    // The last packet fed belonged to a section too long for the buffer, dropped whole.
    bool droppingOversized() const { return droppingOversized_; }

private:
    void finishSection(PidTable& pids);

    bool droppingOversized_ = false;

    uint8_t section_[kSectionBufferSize] = {};
    size_t collected_ = 0;
    size_t expected_ = 0;
    bool collecting_ = false;
    int lastCc_ = -1;
};

// PES reassembly state of one PID.
struct PesAssembler {
    std::vector<uint8_t> buffer; // owned payload buffer; empty() = none
    size_t expected = 0;         // 0: nothing in progress
    size_t filled = 0;
    int mode = 1; // 1 video: ends at the next unit start; 0 audio: ends when complete
    uint64_t pts = kNoPts;

    bool inProgress() const { return expected != 0; }
    void empty() {
        std::vector<uint8_t>().swap(buffer);
        expected = 0;
        filled = 0;
    }
};

// What the parse thread's scan produces.
class DemuxOutput {
public:
    virtual ~DemuxOutput() = default;
    // Queue a finished unit (under the unit lock).
    virtual void pushUnit(EsUnit&& unit) = 0;
    // A video or audio packet was accepted by the PES step: wake the data pump.
    virtual void wakeDataPump() = 0;
    // The first packet of a PES held nothing but header bytes ("error - Jor #2").
    virtual void headerOnlyPes() = 0;
};

// The parse thread's packet work over its buffer.
class PacketScanner {
public:
    PacketScanner(PidTable& pids, PmtCollector& pmt, DemuxOutput& out);

    void setSink(SiSink* sink) { sink_ = sink; }

    // Scans data[0..n) packet by packet; returns the number of bytes consumed (the rest must
    // stay at the front of the buffer for the next chunk). Nothing is done while n < 189.
    size_t scan(const uint8_t* data, size_t n);

    // Empties the five assemblers (video, audio, SDT, EIT, caption), freeing their buffers.
    void emptyAll();

    const PesAssembler& video() const { return video_; }
    const PesAssembler& audio() const { return audio_; }

private:
    // Handles the packet at p; returns how far the scan moves (188, or 1 for a corrupt one).
    size_t handlePacket(const uint8_t* p);
    // Returns 1 when the payload was accepted, 0 when the PES must be dropped.
    int pesStep(PesAssembler& as, const uint8_t* payload, size_t length, bool unitStart);
    void emitUnit(PesAssembler& as);

    PidTable& pids_;
    PmtCollector& pmt_;
    DemuxOutput& out_;
    SiSink* sink_ = nullptr;
    PesAssembler video_, audio_, sdt_, eit_, caption_;
};

// The demux thread's search for the programme over data[0..n). Clears the stream PIDs, runs
// the PMT collection on every packet it finds, and sets deliveryState to 0. *unconsumed gets
// the length of the tail to keep. True only when both a video and an audio PID were found.
bool pmtProbe(const uint8_t* data, size_t n, PidTable& pids, PmtCollector& pmt,
              std::atomic<uint8_t>& deliveryState, size_t* unconsumed);

} // namespace kobal
