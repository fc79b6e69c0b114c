#include "tuner/SimBackend.h"

#include "broadcast/AreaPresetTable.h"
#include "platform/ConfigIni.h"
#include "tuner/CTDMBDll.h"
#include "tuner/TsPackets.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>

namespace veltra {
namespace {

constexpr double kDefaultDbm = -55.0;

// The simulated radio world shared by every simulator device of the process.
struct World {
    std::mutex mutex;
    std::map<int, SignalReading> signals;
    bool plugged = true;
    int areaOverride = -1;
    std::function<void()> onDeviceChange;
};

// KOBAL_SIM_SIGNAL="27:-80:0,26:-100:255" sets stations' signal by physical channel.
void applySignalKnob(World& w) {
    const char* knob = std::getenv("KOBAL_SIM_SIGNAL");
    if (!knob) return;
    std::stringstream in(knob);
    std::string item;
    while (std::getline(in, item, ',')) {
        int channel = 0;
        double dBm = 0, status = 0;
        if (std::sscanf(item.c_str(), "%d:%lf:%lf", &channel, &dBm, &status) == 3 &&
            channel >= kFirstPhysical && channel < kFirstPhysical + kSlotCount)
            w.signals[channel - kFirstPhysical] = {dBm, status};
    }
}

World& world() {
    static World w;
    static std::once_flag once;
    std::call_once(once, [] { applySignalKnob(w); });
    return w;
}

SignalReading stationSignal(int slot) {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    if (!w.plugged) return {};
    auto it = w.signals.find(slot);
    return it == w.signals.end() ? SignalReading{kDefaultDbm, 0.0} : it->second;
}

void notifyDeviceChange() {
    std::function<void()> cb;
    {
        World& w = world();
        std::lock_guard<std::mutex> lock(w.mutex);
        cb = w.onDeviceChange;
    }
    if (cb) cb();
}

} // namespace

namespace sim {

void setStationSignal(int slot, double dBm, double status) {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    w.signals[slot] = {dBm, status};
}

void resetSignals() {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    w.signals.clear();
}

void unplug() {
    {
        World& w = world();
        std::lock_guard<std::mutex> lock(w.mutex);
        if (!w.plugged) return;
        w.plugged = false;
    }
    notifyDeviceChange();
}

void replug() {
    {
        World& w = world();
        std::lock_guard<std::mutex> lock(w.mutex);
        if (w.plugged) return;
        w.plugged = true;
    }
    notifyDeviceChange();
}

bool plugged() {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    return w.plugged;
}

void setDeviceChangeCallback(std::function<void()> callback) {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    w.onDeviceChange = std::move(callback);
}

void setArea(int area) {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    w.areaOverride = kobal::AreaPresetTable::validArea(area) ? area : -1;
}

} // namespace sim

int SimBackend::configuredArea() {
    {
        World& w = world();
        std::lock_guard<std::mutex> lock(w.mutex);
        if (w.areaOverride >= 0) return w.areaOverride;
    }
    if (const char* env = std::getenv("KOBAL_SIM_AREA")) {
        const int a = std::atoi(env);
        if (kobal::AreaPresetTable::validArea(a)) return a;
    }
    const int a = kobal::config::readInt(kobal::config::kAreaNum, 7);
    return kobal::AreaPresetTable::validArea(a) ? a : 7;
}

SimBackend::SimBackend(int area) : area_(kobal::AreaPresetTable::validArea(area) ? area : 7) {}

bool SimBackend::present() {
    return sim::plugged();
}

// The area may have been chosen since the device was built (the player writes it to the
// settings only when it ends, but tests and tools set it on the fly).
bool SimBackend::open() {
    if (!areaSelected_) area_ = configuredArea();
    open_ = present();
    return open_;
}

void SimBackend::selectArea(int area) {
    if (!kobal::AreaPresetTable::validArea(area)) return;
    if (area != area_) untune();
    area_ = area;
    areaSelected_ = true;
}

void SimBackend::close() {
    untune();
    open_ = false;
}

ProbeResult SimBackend::probe(int slot) {
    ProbeResult r;
    StationConfig c;
    if (!open_ || !present() || !stationConfigFor(area_, slot, 0, &c)) return r;
    if (stationSignal(slot).status >= 255) return r;
    r.found = true;
    r.serviceId = c.service.serviceId;
    r.identifier = static_cast<uint32_t>(c.service.transportStreamId) << 16 | c.service.serviceId;
    r.name = c.service.name;
    return r;
}

bool SimBackend::tune(int slot) {
    untune();
    StationConfig c;
    if (!open_ || !present() || !stationConfigFor(area_, slot, std::time(nullptr), &c))
        return false;
    auto stream = std::make_unique<StationStream>(c);
    if (!stream->ok()) return false;
    stream_ = std::move(stream);
    slot_ = slot;
    epoch_ = std::chrono::steady_clock::now();
    pendingDue_ = -1;
    return true;
}

void SimBackend::untune() {
    stream_.reset();
    slot_ = -1;
    pendingDue_ = -1;
}

bool SimBackend::read(uint8_t* chunk) {
    if (!open_ || !stream_ || !present()) return false;
    const auto now = std::chrono::steady_clock::now();
    if (stationSignal(slot_).status >= 255) {
        lost_ = true; // nothing is received, but the transmitter goes on
        return false;
    }
    if (lost_) resume(now);
    if (pendingDue_ < 0) {
        for (int k = 0; k < 6; ++k) stream_->next(pending_ + k * ts::kPacketSize, &pendingDue_);
    }
    const int64_t t =
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - epoch_).count() * 27 / 1000;
    if (pendingDue_ > t) return false;
    // A reader that stalled for long gets the stream from now on, as a tuner whose buffer
    // overflowed would give it, instead of a burst of old data.
    if (t - pendingDue_ > 2 * ts::kPcrHz) {
        resume(now);
        return false;
    }
    std::memcpy(chunk, pending_, sizeof pending_);
    pendingDue_ = -1;
    return true;
}

// What was sent meanwhile is lost, as in a real reception gap: the stream picks up at the
// wall clock (picture clock, guide and captions), its time stamps and PCR as far on as the
// time that passed, its continuity counters and tables started afresh (tables with a new
// version, so a receiver reads them again).
void SimBackend::resume(std::chrono::steady_clock::time_point now) {
    lost_ = false;
    pendingDue_ = -1;
    StationConfig c = stream_->config();
    const int64_t elapsed90 =
        std::chrono::duration_cast<std::chrono::microseconds>(now - epoch_).count() * 9 / 100;
    c.clock90 += elapsed90;
    c.wallStart = std::time(nullptr);
    c.firstEitVersion = (stream_->eitVersion() + 1) & 0x1F;
    auto stream = std::make_unique<StationStream>(c);
    if (stream->ok()) {
        stream_ = std::move(stream);
        epoch_ = now;
    } else { // no encoder this time: go on with the old stream where it stopped
        epoch_ = now - std::chrono::nanoseconds(stream_->nextDeparture() * 1000 / 27);
    }
}

SignalReading SimBackend::signal(int slot) {
    if (!open_ || slot < 0 || !kobal::AreaPresetTable::isPresetSlot(area_, slot)) return {};
    return stationSignal(slot);
}

} // namespace veltra
