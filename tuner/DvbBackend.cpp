#include "tuner/DvbBackend.h"

#include "platform/Registry.h"
#include "tuner/CTDMBDll.h"
#include "tuner/ReplayBackend.h"
#include "tuner/TsPackets.h"

#include <linux/dvb/frontend.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace veltra {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kQueueLimit = 4096 * ts::kPacketSize; // ~15 s of a one-segment service
constexpr size_t kReadBytes = 128 * ts::kPacketSize;
constexpr auto kProbeRead = std::chrono::milliseconds(2500);
constexpr size_t kProbeSdtBytes = 256 * 1024;

struct Hooks {
    std::mutex mutex;
    std::function<std::unique_ptr<DvbDevice>(int)> factory;
};

Hooks& hooks() {
    static Hooks h;
    return h;
}

} // namespace

namespace dvb {

void setDeviceFactory(std::function<std::unique_ptr<DvbDevice>(int)> factory) {
    std::lock_guard<std::mutex> lock(hooks().mutex);
    hooks().factory = std::move(factory);
}

std::unique_ptr<DvbDevice> makeDevice(int adapter) {
    {
        std::lock_guard<std::mutex> lock(hooks().mutex);
        if (hooks().factory) return hooks().factory(adapter);
    }
    return makeLinuxDvbDevice(adapter);
}

} // namespace dvb

DvbBackend::DvbBackend(std::unique_ptr<DvbDevice> device)
    : device_(std::move(device)), readBuffer_(kReadBytes) {}

DvbBackend::~DvbBackend() {
    close();
}

int DvbBackend::configuredAdapter() {
    std::string v;
    if (const char* env = std::getenv("KOBAL_DVB_ADAPTER"))
        v = env;
    else
        v = kobal::Registry::read("dvb_Adapter", 16).value_or("0");
    const int a = std::atoi(v.c_str());
    return a >= 0 && a <= 15 ? a : 0;
}

uint32_t DvbBackend::frequencyHz(int physicalChannel) {
    return 473142857u + static_cast<uint32_t>(physicalChannel - kFirstPhysical) * 6000000u;
}

bool DvbBackend::present() {
    return device_ && device_->present();
}

bool DvbBackend::open() {
    if (!device_) return false;
    if (open_ && gone_) close(); // pulled out and back: start afresh
    gone_ = false;
    if (!open_) open_ = device_->present() && device_->openFrontend();
    return open_;
}

void DvbBackend::close() {
    untune();
    if (device_) device_->closeAll();
    open_ = false;
}

bool DvbBackend::tuneFrontend(int slot) {
    const uint32_t freq = frequencyHz(slot + kFirstPhysical);
    std::vector<DvbProperty> props = {{DTV_CLEAR, 0},
                                      {DTV_DELIVERY_SYSTEM, SYS_ISDBT},
                                      {DTV_FREQUENCY, freq},
                                      {DTV_BANDWIDTH_HZ, 6000000},
                                      {DTV_ISDBT_PARTIAL_RECEPTION, 1},
                                      {DTV_ISDBT_LAYER_ENABLED, 1}, // layer A
                                      {DTV_TUNE, 0}};
    if (!device_->setProperties(props)) {
        // A driver that does not take the layer settings tunes the whole channel.
        props.erase(props.begin() + 4, props.begin() + 6);
        if (!device_->setProperties(props)) return false;
    }
    const auto end = Clock::now() + std::chrono::milliseconds(kLockTimeoutMs);
    for (;;) {
        uint32_t status = 0;
        if (device_->readStatus(&status) && (status & FE_HAS_LOCK)) return true;
        if (!device_->present() || Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

ProbeResult DvbBackend::probe(int slot) {
    ProbeResult r;
    untune();
    if (!open_ || gone_ || !tuneFrontend(slot)) return r;
    // Only the SDT is wanted: the one-segment service's name.
    if (!device_->filterPids({0x0011})) return r;
    std::vector<uint8_t> sdt;
    bool any = false, named = false;
    uint16_t sid = 0;
    PacketCutter cutter;
    for (auto end = Clock::now() + kProbeRead; Clock::now() < end && !named;) {
        const long n = device_->readDvr(readBuffer_.data(), readBuffer_.size());
        if (n < 0) {
            gone_ = true;
            break;
        }
        if (n == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        size_t before = sdt.size();
        cutter.feed(readBuffer_.data(), static_cast<size_t>(n), [&](const uint8_t* p) {
            any = true;
            if (ts::pidOf(p) == 0x0011 && sdt.size() < kProbeSdtBytes)
                sdt.insert(sdt.end(), p, p + ts::kPacketSize);
        });
        bool hasPackets = false;
        if (sdt.size() > before)
            named = readStreamServiceBytes(sdt.data(), sdt.size(), &r.name, &sid, &hasPackets);
    }
    device_->stopFilter();
    if (!any) return r;
    r.found = true;
    r.serviceId = sid;
    r.identifier = 0xF1E00000u | sid;
    return r;
}

bool DvbBackend::tune(int slot) {
    untune();
    if (!open_ || gone_ || !tuneFrontend(slot)) return false;
    pids_.reset();
    if (!device_->filterPids(pids_.pids())) return false;
    slot_ = slot;
    return true;
}

void DvbBackend::untune() {
    if (slot_ >= 0 && device_) device_->stopFilter();
    slot_ = -1;
    cutter_.reset();
    queue_.clear();
    queueHead_ = 0;
}

bool DvbBackend::pump() {
    const long n = device_->readDvr(readBuffer_.data(), readBuffer_.size());
    if (n < 0) {
        gone_ = true;
        return false;
    }
    cutter_.feed(readBuffer_.data(), static_cast<size_t>(n), [this](const uint8_t* p) {
        if (!pids_.take(p)) return; // a demux that passes more than asked
        queue_.insert(queue_.end(), p, p + ts::kPacketSize);
    });
    bool changed = false;
    const std::vector<uint16_t> pids = pids_.pids(&changed);
    if (changed) device_->filterPids(pids);
    // Nobody read for long: the oldest packets go.
    if (queue_.size() - queueHead_ > kQueueLimit) queueHead_ = queue_.size() - kQueueLimit;
    queueHead_ -= queueHead_ % ts::kPacketSize;
    return true;
}

bool DvbBackend::read(uint8_t* chunk) {
    if (slot_ < 0 || gone_) return false;
    if (queue_.size() - queueHead_ < static_cast<size_t>(kChunkBytes) && !pump()) return false;
    if (queue_.size() - queueHead_ < static_cast<size_t>(kChunkBytes)) return false;
    std::memcpy(chunk, queue_.data() + queueHead_, kChunkBytes);
    queueHead_ += kChunkBytes;
    if (queueHead_ > 256 * 1024) { // keep the buffer from creeping
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(queueHead_));
        queueHead_ = 0;
    }
    return true;
}

SignalReading DvbBackend::signal(int slot) {
    if (slot < 0 || slot != slot_ || gone_ || !device_->present()) return {};
    uint32_t status = 0;
    const bool locked = device_->readStatus(&status) && (status & FE_HAS_LOCK);
    SignalReading r;
    DvbStat strength, cnr;
    if (device_->readStat(DTV_STAT_SIGNAL_STRENGTH, &strength) &&
        strength.scale == FE_SCALE_DECIBEL)
        r.dBm = static_cast<double>(strength.value) / 1000.0;
    else if (strength.scale == FE_SCALE_RELATIVE)
        r.dBm =
            -100.0 + 70.0 * static_cast<double>(std::min<int64_t>(strength.value, 65535)) / 65535.0;
    else
        r.dBm = locked ? -60.0 : kNoSignalDbm;
    bool usable = true;
    if (device_->readStat(DTV_STAT_CNR, &cnr)) {
        if (cnr.scale == FE_SCALE_DECIBEL) usable = cnr.value >= 4000;
        if (cnr.scale == FE_SCALE_RELATIVE) usable = cnr.value >= 65535 * 5 / 100;
    }
    r.status = locked && usable ? kStatusReceiving : kStatusNoReception;
    return r;
}

} // namespace veltra
