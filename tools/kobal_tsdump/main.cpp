// kobal_tsdump: runs the real stream engine on a simulator channel or a transport stream file
// and reports, as JSON, what reached the renderer's side of the link.
//
//   kobal_tsdump --area 7 --slot 14 --seconds 10 [--stats]
//   kobal_tsdump [--stats] FILE.ts
//
// The tool plays the renderer's part: it creates the two named events, opens the link as the
// second party, sends copy-data 2 and 3 to the session and takes every record.
#include <unistd.h>

#include <QGuiApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "broadcast/AreaPresetTable.h"
#include "engine/SessionWindow.h"
#include "engine/TunerSession.h"
#include "tools/PrivateInstallFolder.h"
#include "tools/support/LinkReader.h"
#include "tools/support/ServiceInfoLog.h"
#include "tuner/CTDMBDll.h"

using namespace kobal;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int area = 7;
    int slot = -1;
    double seconds = 10;
    bool stats = false;
    bool sizes = false;
    std::string file;
};

void usage() {
    std::fprintf(stderr,
                 "usage: kobal_tsdump [--area A] [--slot S] [--seconds N] [--stats] [--sizes]\n"
                 "       kobal_tsdump [--stats] [--sizes] FILE.ts\n");
}

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto number = [&](double& v) {
            if (i + 1 >= argc) return false;
            char* end = nullptr;
            v = std::strtod(argv[++i], &end);
            return end && *end == 0;
        };
        double v = 0;
        if (a == "--stats")
            o.stats = true;
        else if (a == "--sizes")
            o.sizes = true;
        else if (a == "--area" && number(v))
            o.area = int(v);
        else if (a == "--slot" && number(v))
            o.slot = int(v);
        else if (a == "--seconds" && number(v))
            o.seconds = v;
        else if (!a.empty() && a[0] != '-' && o.file.empty())
            o.file = a;
        else
            return false;
    }
    return AreaPresetTable::validArea(o.area) && o.seconds > 0;
}

// The tool's window stand-in: answers message boxes on the terminal and keeps the broadcast
// text for the JSON report. It takes the session's outputs at every wake-up, on the engine
// thread that produced them, so nothing waits for a later take.
class DumpHost : public SessionWindow {
public:
    void listen(EngineOutputSink& outputs) {
        outputs.setWake([this, &outputs] { take(outputs.take()); });
    }
    std::string textJson() const { return text_.jsonMembers("  "); }
    void requestQuit() override { quitRequested = true; }

    std::atomic<int> messageBoxes{0};
    std::atomic<int> markedSlot{-1};
    std::atomic<bool> quitRequested{false};

private:
    void take(const EngineOutputs& o) {
        for (const auto& s : o.statusLines) text_.status(s);
        for (const auto& t : o.tickers) text_.ticker(t);
        if (o.programmeList) text_.programmeList(*o.programmeList);
        for (const auto& c : o.captions) text_.caption(c);
        if (o.channelAvailable) markedSlot = *o.channelAvailable;
        for (const auto& m : o.messages) {
            std::fprintf(stderr, "kobal_tsdump: message box \"%s\" (%s)\n", m.text.c_str(),
                         m.title.c_str());
            ++messageBoxes;
        }
    }

    ServiceInfoLog text_;
};

// Hands out a file in 1128-byte pieces, then null packets (so the last real chunks pass the
// parse thread's two-chunk hold-back). Notes when the first IDR slice on the video PID passes.
class StreamTap {
public:
    bool openFile(const std::string& path) {
        file_.open(path, std::ios::binary);
        fromFile_ = true;
        return bool(file_);
    }
    void setTuner(CTDMBDll* tuner) { tuner_ = tuner; }

    int operator()(unsigned char* buffer, int length) {
        int got = 0;
        if (fromFile_) {
            if (!eof_) {
                file_.read(reinterpret_cast<char*>(buffer), 1128);
                const auto n = file_.gcount();
                if (n < 1128) {
                    eof_ = true;
                    fillNull(buffer + n, 1128 - int(n));
                }
                got = n > 0 ? 1 : 0;
            } else {
                fillNull(buffer, 1128);
                ++paddingChunks_;
                got = 1;
            }
        } else {
            // The simulator generates the stream inside this call: keep its cost apart from
            // the engine's.
            timespec a{}, b{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
            got = tuner_->GetTSStream(buffer, length);
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
            tunerNs_ += uint64_t((b.tv_sec - a.tv_sec) * 1000000000LL + (b.tv_nsec - a.tv_nsec));
        }
        if (got && !idrComplete_) lookForIdr(buffer);
        return got;
    }

    bool eof() const { return eof_; }
    double tunerSeconds() const { return double(tunerNs_.load()) / 1e9; }
    int paddingChunks() const { return paddingChunks_; }
    bool idrSeen() const { return idrSeen_; }
    Clock::time_point idrAt() const { return idrAt_; }
    bool idrComplete() const { return idrComplete_; }
    Clock::time_point idrCompleteAt() const { return idrCompleteAt_; }
    Clock::time_point firstChunkAt() const { return firstChunkAt_; }

private:
    static void fillNull(unsigned char* p, int n) {
        // Whole null packets where they fit, 0xFF otherwise (never a sync byte).
        std::memset(p, 0xFF, size_t(n));
        for (int at = n % 188; at + 188 <= n; at += 188) {
            p[at] = 0x47;
            p[at + 1] = 0x1F;
            p[at + 2] = 0xFF;
            p[at + 3] = 0x10;
        }
    }

    // The video PID is taken from the stream itself (the first PES start of a video stream
    // id): the engine learns it from the PMT on the parse thread, chunks after the reader, so
    // waiting for the engine's PID would miss the first IDR picture and time a later one.
    void lookForIdr(const unsigned char* chunk) {
        if (firstChunkAt_ == Clock::time_point{}) firstChunkAt_ = Clock::now();
        for (int off = 0; off + 188 <= 1128; off += 188) {
            const unsigned char* p = chunk + off;
            if (p[0] != 0x47) continue;
            const uint16_t pid = uint16_t(((p[1] & 0x1F) << 8) | p[2]);
            if (videoPid_ == kNoPid && (p[1] & 0x40) && (p[3] & 0x10)) {
                const int at = (p[3] & 0x20) ? 5 + p[4] : 4;
                if (at + 4 <= 188 && p[at] == 0 && p[at + 1] == 0 && p[at + 2] == 1 &&
                    (p[at + 3] & 0xF0) == 0xE0)
                    videoPid_ = pid;
            }
            if (pid != videoPid_) continue;
            if (idrSeen_) {
                // The next PES start on the video PID: the IDR picture has arrived whole.
                if (p[1] & 0x40) {
                    idrCompleteAt_ = Clock::now();
                    idrComplete_ = true;
                    return;
                }
                continue;
            }
            for (int i = 4; i + 3 < 188; ++i) {
                if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && (p[i + 3] & 0x1F) == 5) {
                    idrSeen_ = true;
                    idrAt_ = Clock::now();
                    break;
                }
            }
        }
    }

    uint16_t videoPid_ = kNoPid;
    CTDMBDll* tuner_ = nullptr;
    std::ifstream file_;
    bool fromFile_ = false;
    std::atomic<bool> eof_{false};
    std::atomic<int> paddingChunks_{0};
    std::atomic<bool> idrSeen_{false};
    std::atomic<bool> idrComplete_{false};
    std::atomic<uint64_t> tunerNs_{0};
    Clock::time_point idrAt_{}, idrCompleteAt_{}, firstChunkAt_{};
};

std::string hex(const std::vector<uint8_t>& b) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t c : b) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

std::string pidText(uint16_t pid) {
    char b[16];
    std::snprintf(b, sizeof b, pid == kNoPid ? "null" : "%u", unsigned(pid));
    return b;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseArgs(argc, argv, o)) {
        usage();
        return 2;
    }
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const tools::PrivateInstallFolder scope("tsdump");
    QGuiApplication app(argc, argv); // the simulator draws its picture with Qt

    if (o.slot < 0) o.slot = AreaPresetTable::station(o.area, 0).slot;
    if (o.slot < 0 || o.slot >= veltra::kSlotCount) {
        std::fprintf(stderr, "kobal_tsdump: area %d has no station on slot %d\n", o.area, o.slot);
        return 2;
    }
    veltra::sim::setArea(o.area);

    DumpHost host;
    TunerSession session(host);
    host.listen(session.outputs());
    StreamTap tap;
    if (!o.file.empty() && !tap.openFile(o.file)) {
        std::fprintf(stderr, "kobal_tsdump: cannot read %s\n", o.file.c_str());
        return 1;
    }
    tap.setTuner(&session.tuner());
    session.setStreamSource([&tap](unsigned char* b, int n) { return tap(b, n); });

    LinkReader reader;
    if (!reader.open()) {
        std::fprintf(stderr, "kobal_tsdump: cannot open the renderer side of the link\n");
        return 1;
    }
    reader.start();

    char key[16];
    std::snprintf(key, sizeof key, "%02d%02d%d", o.slot, 0, 0);
    session.setCurrentKey(key);
    const std::u16string link = u"x-dmb://" + std::u16string(key, key + std::strlen(key));
    const long pid = long(getpid());
    const auto started = Clock::now();
    const long startResult =
        session.onCopyData(kCopyDataStart, pid, TunerSession::startRecord(pid, link));
    session.onCopyData(kCopyDataRendererReady, pid, {});
    if (startResult != 1) {
        std::fprintf(stderr, "kobal_tsdump: the session did not start (tuner or link)\n");
        reader.stop();
        return 1;
    }

    StreamEngine& engine = session.engine();
    double cpuAtStart[4] = {0, 0, 0, 0};
    for (int t = 0; t < 4; ++t)
        cpuAtStart[t] = std::max(0.0, engine.threadCpuSeconds(StreamEngine::Thread(t)));

    if (o.file.empty()) {
        std::this_thread::sleep_for(std::chrono::duration<double>(o.seconds));
    } else {
        // One pass: read to the end, let the padding push the last chunks through, and stop
        // once nothing moves any more.
        while (!tap.eof()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        uint64_t lastUnits = ~0ull;
        auto still = Clock::now();
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const EngineCounters c = engine.counters();
            const uint64_t units = c.videoUnits + c.audioUnits + c.unitsQueued;
            if (units != lastUnits) {
                lastUnits = units;
                still = Clock::now();
            } else if (tap.paddingChunks() > 8 &&
                       Clock::now() - still > std::chrono::milliseconds(500)) {
                break;
            }
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    double cpu[4];
    for (int t = 0; t < 4; ++t)
        cpu[t] = engine.threadCpuSeconds(StreamEngine::Thread(t)) - cpuAtStart[t];
    const double tunerCpu = tap.tunerSeconds();
    cpu[StreamEngine::kReader] = std::max(0.0, cpu[StreamEngine::kReader] - tunerCpu);
    const EngineCounters counters = engine.counters();
    const uint8_t state = engine.deliveryState;
    const uint16_t pids[4] = {engine.pids.pmt, engine.pids.video, engine.pids.audio,
                              engine.pids.caption};

    session.onCopyData(kCopyDataStop, pid, {});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Taken once the data pump has ended, so that they agree with what the reader took.
    const FramerStats framer = engine.framer().stats();
    const size_t carry = engine.framer().videoCarry();
    const LinkSummary s = reader.summary();
    reader.stop();

    std::printf("{\n");
    std::printf("  \"source\": %s,\n",
                jsonString(o.file.empty() ? std::string("x-dmb://") + key : o.file).c_str());
    std::printf("  \"pids\": {\"pmt\": %s, \"video\": %s, \"audio\": %s, \"caption\": %s},\n",
                pidText(pids[0]).c_str(), pidText(pids[1]).c_str(), pidText(pids[2]).c_str(),
                pidText(pids[3]).c_str());
    std::printf("  \"delivery_state\": \"0x%02X\",\n", unsigned(state));
    std::printf("  \"video_config\": \"%s\",\n", hex(s.videoConfig).c_str());
    std::printf("  \"audio_config\": \"%s\",\n", hex(s.audioConfig).c_str());
    std::printf("  \"config_blocks\": {\"video\": %d, \"audio\": %d, \"before_frames\": %s},\n",
                s.videoConfigCount, s.audioConfigCount,
                s.configBeforeFrames && !s.frameBeforeConfig ? "true" : "false");
    std::printf("  \"video_records\": %llu,\n  \"video_bytes\": %llu,\n",
                (unsigned long long)s.videoRecords, (unsigned long long)s.videoBytes);
    std::printf("  \"audio_records\": %llu,\n  \"audio_bytes\": %llu,\n",
                (unsigned long long)s.audioRecords, (unsigned long long)s.audioBytes);
    std::printf("  \"first_video_timestamp\": %lld,\n  \"first_audio_timestamp\": %lld,\n",
                (long long)s.firstVideoTimestamp, (long long)s.firstAudioTimestamp);
    std::printf("  \"engine\": {\"chunks_read\": %llu, \"chunks_dropped\": %llu, "
                "\"units_queued\": %llu, \"units_dropped\": %llu, \"video_units\": %llu, "
                "\"audio_units\": %llu, \"pending_video_units\": %zu, "
                "\"pending_audio_units\": %zu, \"video_cut\": %llu, \"audio_cut\": %llu, "
                "\"video_sent\": %llu, \"audio_sent\": %llu, \"video_oversize\": %llu, "
                "\"send_failures\": %llu, \"video_carry_bytes\": %zu, \"message_boxes\": %d, "
                "\"marked_slot\": %d},\n",
                (unsigned long long)counters.chunksRead, (unsigned long long)counters.chunksDropped,
                (unsigned long long)counters.unitsQueued, (unsigned long long)counters.unitsDropped,
                (unsigned long long)counters.videoUnits, (unsigned long long)counters.audioUnits,
                counters.pendingVideoUnits, counters.pendingAudioUnits,
                (unsigned long long)framer.videoCut, (unsigned long long)framer.audioCut,
                (unsigned long long)framer.videoSent, (unsigned long long)framer.audioSent,
                (unsigned long long)framer.videoOversize, (unsigned long long)framer.sendFailures,
                carry, host.messageBoxes.load(), host.markedSlot.load());
    if (o.sizes) {
        auto list = [](const char* name, const std::vector<uint32_t>& v) {
            std::printf("  \"%s\": [", name);
            for (size_t i = 0; i < v.size(); ++i) std::printf("%s%u", i ? "," : "", v[i]);
            std::printf("],\n");
        };
        list("video_sizes", s.videoSizes);
        list("audio_sizes", s.audioSizes);
    }
    std::printf("%s,\n", host.textJson().c_str());
    std::printf("  \"seconds\": %.3f", elapsed);
    if (o.stats) {
        // Stream time: the simulator runs in real time; a file covers what its clock says.
        double streamSeconds = elapsed;
        // Video record timestamps are the units' presentation times (90 kHz).
        if (!o.file.empty() && s.videoRecords > 1 && s.lastVideoTimestamp > s.firstVideoTimestamp)
            streamSeconds = double(s.lastVideoTimestamp - s.firstVideoTimestamp) / 90000.0;
        const char* names[4] = {"reader", "demux", "parse", "data_pump"};
        std::printf(",\n  \"stats\": {\"wall_seconds\": %.3f, \"stream_seconds\": %.3f, "
                    "\"cpu_ms_per_stream_second\": {",
                    elapsed, streamSeconds);
        double total = 0;
        for (int t = 0; t < 4; ++t) {
            const double ms = cpu[t] * 1000.0 / std::max(streamSeconds, 1e-3);
            total += ms;
            std::printf("%s\"%s\": %.2f", t ? ", " : "", names[t], ms);
        }
        double latency = -1;
        if (tap.idrSeen() && s.videoRecords > 0)
            latency =
                std::chrono::duration<double, std::milli>(s.firstVideoAt - tap.idrAt()).count();
        double latencyWhole = -1;
        if (tap.idrComplete() && s.videoRecords > 0)
            latencyWhole =
                std::chrono::duration<double, std::milli>(s.firstVideoAt - tap.idrCompleteAt())
                    .count();
        std::printf("}, \"total_percent_of_core\": %.3f, \"tuner_cpu_ms_per_stream_second\": %.2f, "
                    "\"first_video_after_idr_ms\": %.1f, \"first_video_after_whole_idr_ms\": "
                    "%.1f}",
                    total / 10.0, tunerCpu * 1000.0 / std::max(streamSeconds, 1e-3), latency,
                    latencyWhole);
    }
    std::printf("\n}\n");
    return 0;
}
