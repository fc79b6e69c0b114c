#include "engine/StreamEngine.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "engine/SiSink.h"
#include "platform/NamedObjects.h"

namespace kobal {

using namespace records;

namespace {

const char* const kSemaphoreNames[StreamEngine::kThreadCount] = {"QX_USB", "QX_DEMUX", "QX_PARSE",
                                                                 "QX_DATAPUMP"};

// Each pass of a thread begins with a 5 ms pause and then waits on its handles. The two are
// one timed wait here: a signal that comes during the pause is acted on only once the pause is
// over, as after a sleep, but a pass that ends in a time-out wakes the thread once, not twice
// (a wake-up is what an idle engine pays for).
int pauseThenWait(const std::vector<Waitable*>& handles, int timeoutMs) {
    constexpr auto kPause = std::chrono::milliseconds(5);
    const auto pauseEnds = std::chrono::steady_clock::now() + kPause;
    const int fired = WaitSet::waitAny(
        handles, timeoutMs == kInfinite ? kInfinite : timeoutMs + int(kPause.count()));
    if (std::chrono::steady_clock::now() < pauseEnds) std::this_thread::sleep_until(pauseEnds);
    return fired;
}

// The engine threads run at the highest priority the system grants; refusal is fine.
void raisePriority() {
    const pid_t tid = pid_t(syscall(SYS_gettid));
    for (int nice = -20; nice < 0; nice += 5) {
        if (setpriority(PRIO_PROCESS, id_t(tid), nice) == 0) return;
    }
}

} // namespace

std::vector<Waitable*> StreamEngine::WaitSlots::handles() const {
    return {stop.get(), reset.get(), semaphore.get(), exited.get()};
}

StreamEngine::StreamEngine(PlayerLinkEnd& link)
    : link_(link), scanner_(pids, pmt_, *this), framer_(link, deliveryState) {}

StreamEngine::~StreamEngine() {
    stopThreads();
    closeWaitObjects();
    emptyQueues();
}

void StreamEngine::setSink(SiSink* sink) {
    sink_ = sink;
    scanner_.setSink(sink);
}

void StreamEngine::initialiseState() {
    initialised_ = true;
    pids.pmt = kOneSegPmtPid;
    pids.clearStreams();
}

bool StreamEngine::createWaitObjects() {
    for (auto& w : waits_) w.stop = std::make_unique<Event>();
    for (auto& w : waits_) w.reset = std::make_unique<Event>();
    for (auto& w : waits_) w.exited = std::make_unique<Event>();
    // Semaphores in the order demux, parse, reader, data pump.
    for (Thread t : {kDemux, kParse, kReader, kDataPump}) {
        // Only the engine's own threads release them.
        waits_[t].semaphore = NamedSemaphore::openOrCreate(
            kSemaphoreNames[t], NamedSemaphore::Signallers::ThisProcessOnly);
        if (waits_[t].semaphore) {
            // A count left behind by an earlier engine would wake the thread for nothing.
            while (waits_[t].semaphore->tryTake()) {
            }
        }
    }
    return true;
}

void StreamEngine::closeWaitObjects() {
    for (int t = 0; t < kThreadCount; ++t) {
        WaitSlots& w = waits_[t];
        w.stop.reset();
        w.reset.reset();
        w.exited.reset();
        if (w.semaphore) {
            w.semaphore.reset();
            NamedSemaphore::unlink(kSemaphoreNames[t]);
        }
    }
}

bool StreamEngine::createThreads() {
    // A thread needs all of its handles; a wait set with a missing one cannot run.
    for (const auto& w : waits_) {
        if (!w.stop || !w.reset || !w.exited || !w.semaphore) return false;
    }
    try {
        threads_[kDemux] = std::thread(&StreamEngine::demuxMain, this);
        threads_[kParse] = std::thread(&StreamEngine::parseMain, this);
        threads_[kReader] = std::thread(&StreamEngine::readerMain, this);
        threads_[kDataPump] = std::thread(&StreamEngine::dataPumpMain, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void StreamEngine::resetPipeline() {
    for (Thread t : {kDemux, kParse, kReader, kDataPump}) {
        if (waits_[t].reset) waits_[t].reset->set();
    }
}

void StreamEngine::startReading() {
    if (waits_[kReader].semaphore) waits_[kReader].semaphore->release();
}

void StreamEngine::stopThreads() {
    if (!threadsExist()) return;
    for (Thread t : {kReader, kParse, kDemux, kDataPump}) {
        if (!threads_[t].joinable()) continue;
        waits_[t].stop->set();
        threads_[t].join(); // the thread sets its exited event last
    }
}

void StreamEngine::emptyQueues() {
    {
        std::lock_guard<std::mutex> guard(chunkLock_);
        chunks_.clear();
    }
    std::lock_guard<std::mutex> guard(unitLock_);
    units_.clear();
}

EngineCounters StreamEngine::counters() {
    EngineCounters c;
    c.chunksRead = chunksRead_;
    c.chunksDropped = chunksDropped_;
    c.unitsQueued = unitsQueued_;
    c.unitsDropped = unitsDropped_;
    c.videoUnits = videoUnits_;
    c.audioUnits = audioUnits_;
    {
        std::lock_guard<std::mutex> guard(chunkLock_);
        c.chunkQueue = chunks_.size();
    }
    std::lock_guard<std::mutex> guard(unitLock_);
    c.unitQueue = units_.size();
    for (const auto& u : units_)
        ++(u->kind == EsUnit::kVideo ? c.pendingVideoUnits : c.pendingAudioUnits);
    return c;
}

double StreamEngine::threadCpuSeconds(Thread which) const {
    if (!running_[which]) return -1;
    timespec ts{};
    if (clock_gettime(cpuClocks_[which], &ts) != 0) return -1;
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void StreamEngine::finishThread(Thread which) {
    running_[which] = false;
    waits_[which].exited->set();
}

// ---------------------------------------------------------------------------------------------
// Queues

bool StreamEngine::takeChunk(size_t moreThan, Chunk& out) {
    std::unique_ptr<Chunk> chunk;
    {
        std::lock_guard<std::mutex> guard(chunkLock_);
        // Consumers leave the two newest chunks queued.
        if (chunks_.size() <= moreThan) return false;
        chunk = std::move(chunks_.front());
        chunks_.pop_front();
    }
    out = *chunk;
    return true;
}

void StreamEngine::requeueChunks(const std::deque<Chunk>& chunks) {
    std::lock_guard<std::mutex> guard(chunkLock_);
    for (auto it = chunks.rbegin(); it != chunks.rend() && chunks_.size() < kChunkQueueMax; ++it)
        chunks_.push_front(std::make_unique<Chunk>(*it));
}

void StreamEngine::pushUnit(EsUnit&& unit) {
    auto item = std::make_unique<EsUnit>(std::move(unit));
    std::lock_guard<std::mutex> guard(unitLock_);
    if (units_.size() >= kUnitQueueMax) {
        units_.pop_front();
        ++unitsDropped_;
    }
    units_.push_back(std::move(item));
    ++unitsQueued_;
}

void StreamEngine::wakeDataPump() {
    // The pump takes units only while three or more wait: a wake-up before that finds nothing
    // to do (the parse thread asks after every audio or video packet).
    {
        std::lock_guard<std::mutex> guard(unitLock_);
        if (units_.size() <= 2) return;
    }
    waits_[kDataPump].semaphore->release();
}

void StreamEngine::headerOnlyPes() {
    if (message_) message_("error - Jor #2");
}

// ---------------------------------------------------------------------------------------------
// Threads

void StreamEngine::readerMain() {
    pthread_setname_np(pthread_self(), "kobal-reader");
    pthread_getcpuclockid(pthread_self(), &cpuClocks_[kReader]);
    running_[kReader] = true;
    raisePriority();
    std::vector<unsigned char> buffer(kReaderBufferSize);
    const auto handles = waits_[kReader].handles();
    int timeout = kInfinite;
    for (;;) {
        const int fired = pauseThenWait(handles, timeout);
        if (fired == 0) break;
        if (fired == 2) {
            pipelineMode = kModeAcquisition;
            acquisitionStage = kStageSeeking;
            std::memset(buffer.data(), 0, buffer.size());
            timeout = 1;
        } else if (fired == WAIT_TIMEOUT_INDEX) {
            // Each pass takes what the tuner holds (up to kReaderChunksPerPass) and wakes the
            // consumer once; then the reader sleeps kReaderIdlePollMs. A one-segment stream
            // brings a chunk about every 20 ms: polling again 6 ms after each chunk woke the
            // thread two or three times a chunk, and the consumer once a chunk.
            timeout = kReaderIdlePollMs;
            int taken = 0;
            while (taken < kReaderChunksPerPass && source_ && source_(buffer.data(), 0) != 0) {
                auto chunk = std::make_unique<Chunk>();
                std::memcpy(chunk->data, buffer.data(), kChunkSize);
                {
                    std::lock_guard<std::mutex> guard(chunkLock_);
                    if (chunks_.size() >= kChunkQueueMax) {
                        chunks_.pop_front();
                        ++chunksDropped_;
                    }
                    chunks_.push_back(std::move(chunk));
                }
                ++chunksRead_;
                ++taken;
            }
            // A full pass may have left more behind: look again soon.
            if (taken == kReaderChunksPerPass) timeout = 1;
            if (taken == 0) continue;
            const int mode = pipelineMode;
            if (mode == kModeAcquisition)
                waits_[kDemux].semaphore->release();
            else if (mode == kModeStreaming)
                waits_[kParse].semaphore->release();
        }
    }
    finishThread(kReader);
}

void StreamEngine::demuxMain() {
    pthread_setname_np(pthread_self(), "kobal-demux");
    pthread_getcpuclockid(pthread_self(), &cpuClocks_[kDemux]);
    running_[kDemux] = true;
    raisePriority();
    std::vector<uint8_t> buffer(kDemuxBufferSize);
    size_t fill = 0;
    const WaitSlots& w = waits_[kDemux];
    const auto handles = w.handles();
    Chunk chunk;
    // What the probe went over. A tune usually starts at a PMT with an IDR picture right
    // behind it; were these chunks only probed, the parse thread would begin inside that
    // picture and the first picture would wait a whole GOP for the next one.
    std::deque<Chunk> probed;
    for (;;) {
        const int fired = pauseThenWait(handles, kInfinite);
        if (fired == 0) break;
        if (fired == 1) {
            pipelineMode = kModeAcquisition;
            acquisitionStage = kStageSeeking;
            fill = 0;
            probed.clear();
            continue;
        }
        if (fired != 2 || sourceKind != kSourceLive)
            continue; // a recorded file: the chunks stay queued
        // A wake-up that comes after the PMT was found leaves the chunks to the parse thread.
        if (pipelineMode != kModeAcquisition) continue;
        do {
            const int again = WaitSet::waitAny(handles, 10);
            if (again == 0) {
                w.stop->set();
                break;
            }
            if (again == 1) {
                w.reset->set();
                break;
            }
            if (!takeChunk(2, chunk)) break;
            if (probed.size() == kProbedChunksMax) probed.pop_front();
            probed.push_back(chunk);
            if (fill + kChunkSize > size_t(kDemuxBufferSize)) {
                std::memmove(buffer.data(), buffer.data() + fill - kDemuxKeep, kDemuxKeep);
                fill = kDemuxKeep;
            }
            std::memcpy(buffer.data() + fill, chunk.data, kChunkSize);
            fill += kChunkSize;
            if (fill < size_t(kDemuxProbeMin)) break;
            if (acquisitionStage == kStageSeeking) {
                size_t keep = 0;
                const bool found = pmtProbe(buffer.data(), fill, pids, pmt_, deliveryState, &keep);
                std::memmove(buffer.data(), buffer.data() + fill - keep, keep);
                fill = keep;
                if (found) {
                    // The probed chunks go first, then what the reader queued meanwhile.
                    requeueChunks(probed);
                    probed.clear();
                    pipelineMode = kModeStreaming;
                    acquisitionStage = kStageDone;
                    waits_[kParse].semaphore->release();
                }
            }
        } while (pipelineMode == kModeAcquisition);
    }
    finishThread(kDemux);
}

void StreamEngine::parseMain() {
    pthread_setname_np(pthread_self(), "kobal-parse");
    pthread_getcpuclockid(pthread_self(), &cpuClocks_[kParse]);
    running_[kParse] = true;
    raisePriority();
    std::vector<uint8_t> buffer(kParseBufferSize);
    size_t fill = 0;
    scanner_.emptyAll();
    if (SiSink* sink = sink_) sink->onParseStart();
    const auto handles = waits_[kParse].handles();
    Chunk chunk;
    for (;;) {
        const int fired = pauseThenWait(handles, kInfinite);
        if (fired == 0) break;
        if (fired == 1) {
            scanner_.emptyAll();
            fill = 0;
            if (SiSink* sink = sink_) sink->onParseReset();
            continue;
        }
        if (fired != 2) continue;
        // Every chunk beyond the two newest, as the data pump takes units: the chunks the
        // demux thread hands back after its probe are parsed at once, not one per wake-up.
        while (takeChunk(2, chunk)) {
            if (fill + kChunkSize > size_t(kParseBufferSize)) {
                std::memmove(buffer.data(), buffer.data() + fill - kParseKeep, kParseKeep);
                fill = kParseKeep;
                scanner_.emptyAll();
            }
            std::memcpy(buffer.data() + fill, chunk.data, kChunkSize);
            fill += kChunkSize;
            if (fill >= size_t(kPacketSize + 1)) {
                const size_t used = scanner_.scan(buffer.data(), fill);
                std::memmove(buffer.data(), buffer.data() + used, fill - used);
                fill -= used;
            }
            if (waits_[kParse].stop->tryTake()) {
                waits_[kParse].stop->set();
                break;
            }
            if (waits_[kParse].reset->tryTake()) {
                waits_[kParse].reset->set();
                break;
            }
        }
    }
    scanner_.emptyAll();
    finishThread(kParse);
}

void StreamEngine::dataPumpMain() {
    pthread_setname_np(pthread_self(), "kobal-pump");
    pthread_getcpuclockid(pthread_self(), &cpuClocks_[kDataPump]);
    running_[kDataPump] = true;
    raisePriority();
    auto video = std::make_unique<VideoFrameRecord>();
    auto audio = std::make_unique<AudioFrameRecord>();
    const auto handles = waits_[kDataPump].handles();
    for (;;) {
        const int fired = pauseThenWait(handles, kInfinite);
        if (fired == 0) break;
        if (fired != 2) continue;
        // Releases of the semaphore merge, so one wake-up takes every unit beyond the two
        // newest: the pump keeps up with any unit rate the stream carries. A send may wait up
        // to a second for a renderer that does not read, so a stop or reset between units
        // ends the run at once (its signal is put back for the outer wait).
        for (;;) {
            if (waits_[kDataPump].stop->tryTake()) {
                waits_[kDataPump].stop->set();
                break;
            }
            if (waits_[kDataPump].reset->tryTake()) {
                waits_[kDataPump].reset->set();
                break;
            }
            std::unique_ptr<EsUnit> unit;
            {
                std::lock_guard<std::mutex> guard(unitLock_);
                if (units_.size() <= 2) break;
                unit = std::move(units_.front());
                units_.pop_front();
            }
            if (unit->kind == EsUnit::kVideo) {
                ++videoUnits_;
                video->header.type = kVideoFrame;
                video->header.setTimestamp(unit->pts);
                framer_.frameVideo(unit->bytes.data(), unit->bytes.size(), *video);
            } else {
                ++audioUnits_;
                audio->header.type = kAudioFrame;
                audio->header.setTimestamp(unit->pts);
                framer_.frameAudio(unit->bytes.data(), unit->bytes.size(), *audio);
            }
        }
    }
    finishThread(kDataPump);
}

} // namespace kobal
