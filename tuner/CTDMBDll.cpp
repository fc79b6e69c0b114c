#include "tuner/CTDMBDll.h"

#include "broadcast/AreaPresetTable.h"
#include "platform/Registry.h"
#include "platform/Utf.h"
#include "tuner/DvbBackend.h"
#include "tuner/ReplayBackend.h"
#include "tuner/ServerBackend.h"
#include "tuner/SimBackend.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace veltra {
namespace {

// A tuner that is never there: what an unknown backend name gives.
class NoDeviceBackend : public TunerBackend {
public:
    std::string name() const override { return "none"; }
    bool present() override { return false; }
    bool open() override { return false; }
    void close() override {}
    ProbeResult probe(int) override { return {}; }
    bool tune(int) override { return false; }
    void untune() override {}
    bool read(uint8_t*) override { return false; }
    SignalReading signal(int) override { return {}; }
};

// Dwell time per probed slot; KOBAL_SCAN_SLOT_MS shortens it for tests of other parts.
int slotDwellMs() {
    if (const char* env = std::getenv("KOBAL_SCAN_SLOT_MS")) {
        const int ms = std::atoi(env);
        if (ms >= 0 && ms <= 5000) return ms;
    }
    return 200;
}

void copyName(char16_t* dst, size_t capacity, const std::u16string& src) {
    const size_t n = std::min(src.size(), capacity - 1);
    std::memcpy(dst, src.data(), n * sizeof(char16_t));
    dst[n] = 0;
}

std::u16string nameFromBuffer(const ScanName& name) {
    size_t n = 0;
    while (n < static_cast<size_t>(kScanNameChars) && name[n]) ++n;
    return std::u16string(name, n);
}

// One-segment identifier word of a probed slot that has no service.
constexpr uint32_t kUnfoundIdentifier = 0xF1E00000u;

} // namespace

std::unique_ptr<TunerBackend> makeBackend(const std::string& name) {
    if (name.empty() || name == "sim")
        return std::make_unique<SimBackend>(SimBackend::configuredArea());
    if (name == "replay") return std::make_unique<ReplayBackend>(ReplayBackend::configuredFolder());
    if (name == "dvb")
        return std::make_unique<DvbBackend>(dvb::makeDevice(DvbBackend::configuredAdapter()));
    if (name == "server")
        return std::make_unique<ServerBackend>(ServerBackend::configuredAddress());
    return std::make_unique<NoDeviceBackend>();
}

namespace {
std::string configuredBackend() {
    if (const char* env = std::getenv("KOBAL_TUNER")) return env;
    return kobal::Registry::read("tuner").value_or(std::string());
}
} // namespace

void keepBackendChoice() {
    const std::string name = configuredBackend();
    if (!name.empty()) setenv("KOBAL_TUNER", name.c_str(), 1);
    const std::string folder = ReplayBackend::configuredFolder();
    if (!folder.empty()) setenv("KOBAL_REPLAY_DIR", folder.c_str(), 1);
    const std::string server = ServerBackend::configuredAddress();
    if (!server.empty()) setenv("KOBAL_TUNER_SERVER", server.c_str(), 1);
    setenv("KOBAL_DVB_ADAPTER", std::to_string(DvbBackend::configuredAdapter()).c_str(), 1);
}

} // namespace veltra

using namespace veltra;

CTDMBDll::CTDMBDll() : backend_(makeBackend(configuredBackend())) {}

CTDMBDll::~CTDMBDll() {
    Close();
}

int CTDMBDll::Open(WindowHandle window) {
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = window;
    if (!open_) open_ = backend_->open();
    refreshReadings();
    // A device opened earlier and pulled out since is not usable: no stale success.
    return open_ && backend_->present() ? 1 : 0;
}

int CTDMBDll::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) backend_->close();
    open_ = false;
    tunedSlot_ = -1;
    refreshReadings();
    return 1;
}

// A scan's probe holds the lock while a real tuner locks on or reads a channel (seconds):
// these polls then answer from what was last known instead of waiting for it.
int CTDMBDll::IsOpen() {
    if (probing_) return knownOpen_;
    std::lock_guard<std::mutex> lock(mutex_);
    refreshReadings();
    knownOpen_ = open_ && backend_->present();
    return knownOpen_ ? 1 : 0;
}

unsigned char CTDMBDll::IsUSB() {
    if (probing_) return knownUsb_ ? 1 : 0;
    std::lock_guard<std::mutex> lock(mutex_);
    knownUsb_ = backend_->present();
    return knownUsb_ ? 1 : 0;
}

int CTDMBDll::IsOpenPNP() {
    if (probing_) return knownPnp_ ? 1 : 0;
    std::lock_guard<std::mutex> lock(mutex_);
    knownPnp_ = open_;
    return open_ ? 1 : 0;
}

int CTDMBDll::SetChannel(int slot, int /*tuneA*/, int /*tuneB*/, float /*reserved*/) {
    std::lock_guard<std::mutex> lock(mutex_);
    tunedSlot_ = -1;
    int ok = 0;
    if (open_ && backend_->present() && slot >= 0 && slot < kSlotCount && backend_->tune(slot)) {
        tunedSlot_ = slot;
        ok = 1;
    }
    refreshReadings();
    return ok;
}

// Caller holds mutex_.
void CTDMBDll::refreshReadings() {
    const SignalReading r =
        open_ && tunedSlot_ >= 0 ? backend_->signal(tunedSlot_) : SignalReading{};
    signalLevel = r.dBm;
    receptionStatus = r.status;
}

int CTDMBDll::runScan(const bool probe[kSlotCount], const std::u16string names[kSlotCount],
                      bool clearAll) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_) return 0;
        backend_->untune();
        tunedSlot_ = -1;
    }
    for (int k = 0; k < kSlotCount; ++k) {
        if (!clearAll && !probe[k]) continue;
        channelInfo[k] = ChannelInfo{};
        slotPair[k] = SlotPair{};
    }
    const int dwell = slotDwellMs();
    int result = 1;
    for (int k = 0; k < kSlotCount; ++k) {
        if (!probe[k]) continue;
        // A real tuner needs this long to lock on a channel or give up; no lock held meanwhile.
        if (dwell > 0) std::this_thread::sleep_for(std::chrono::milliseconds(dwell));
        ProbeResult r;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!open_) {
                result = 0;
                break;
            }
            knownOpen_ = backend_->present();
            knownUsb_ = knownOpen_.load();
            knownPnp_ = true;
            probing_ = true;
            r = backend_->probe(k);
            probing_ = false;
        }
        ChannelInfo& e = channelInfo[k];
        e.physicalIndex = k;
        e.tuneA = k;
        e.tuneB = 1;
        std::u16string name = r.name;
        if (name.empty()) name = names[k];
        if (name.empty()) name = kobal::utf8ToUtf16("CH" + std::to_string(k + kFirstPhysical));
        copyName(e.name, kNameChars, name);
        e.identifier = r.found ? r.identifier : kUnfoundIdentifier | static_cast<uint32_t>(k);
        e.found = r.found ? 1 : 0;
        slotPair[k].available = e.found;
        slotPair[k].serviceId = r.serviceId;
    }
    return result;
}

void CTDMBDll::selectArea(int area) {
    if (!kobal::AreaPresetTable::validArea(area)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    backend_->selectArea(area);
}

int CTDMBDll::ScanAllChannel(int area, const int* slots, const ScanName* names, int count) {
    selectArea(area);
    bool probe[kSlotCount];
    std::u16string given[kSlotCount];
    for (int k = 0; k < kSlotCount; ++k) probe[k] = true;
    for (int i = 0; slots && names && i < std::min(count, kSlotCount); ++i)
        if (slots[i] >= 0 && slots[i] < kSlotCount) given[slots[i]] = nameFromBuffer(names[i]);
    for (int k = 0; k < kSlotCount; ++k) {
        std::string preset;
        if (given[k].empty() && kobal::AreaPresetTable::isPresetSlot(area, k, &preset))
            given[k] = kobal::utf8ToUtf16(preset);
    }
    return runScan(probe, given, true);
}

int CTDMBDll::ScanAreaChannel(int area) {
    selectArea(area);
    bool probe[kSlotCount] = {};
    std::u16string given[kSlotCount];
    for (int k = 0; k < kSlotCount; ++k) {
        std::string preset;
        if (kobal::AreaPresetTable::isPresetSlot(area, k, &preset)) {
            probe[k] = true;
            given[k] = kobal::utf8ToUtf16(preset);
        }
    }
    return runScan(probe, given, true);
}

int CTDMBDll::ScanSingleChannel(int slot) {
    bool probe[kSlotCount] = {};
    std::u16string given[kSlotCount];
    if (slot < 0 || slot >= kSlotCount) return 0;
    probe[slot] = true;
    return runScan(probe, given, false);
}

int CTDMBDll::ScanArbitraryChannel(const int* slots, const ScanName* names, int count) {
    bool probe[kSlotCount] = {};
    std::u16string given[kSlotCount];
    for (int i = 0; slots && i < std::min(count, kSlotCount); ++i) {
        const int k = slots[i];
        if (k < 0 || k >= kSlotCount) continue;
        probe[k] = true;
        if (names) given[k] = nameFromBuffer(names[i]);
    }
    return runScan(probe, given, true);
}

int CTDMBDll::GetTSStream(unsigned char* buffer, int /*length*/) {
    if (!buffer) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || tunedSlot_ < 0) return 0;
    return backend_->read(buffer) ? 1 : 0;
}

std::string CTDMBDll::backendName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return backend_->name();
}

int CTDMBDll::area() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return backend_->area();
}

int CTDMBDll::tunedSlot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tunedSlot_;
}
