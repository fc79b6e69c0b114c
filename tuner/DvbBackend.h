#pragma once
// A real ISDB-T tuner through the Linux DVB API v5 (/dev/dvb/adapterN; N from the registry
// value dvb_Adapter or KOBAL_DVB_ADAPTER, default 0), for tuners with mainline drivers (smsusb,
// earth-pt3, ...).
//
// A tune sets, in one FE_SET_PROPERTY: DTV_CLEAR, DTV_DELIVERY_SYSTEM = SYS_ISDBT (some
// multi-standard frontends come up in another system), DTV_FREQUENCY = 473 142 857 Hz +
// (channel - 13) x 6 MHz, DTV_BANDWIDTH_HZ = 6 MHz, partial reception and layer A, DTV_TUNE;
// a driver that refuses the layer properties is tuned again without them (the whole channel;
// the engine finds the one-segment service by its PMT on 0x1FC8). It waits for FE_HAS_LOCK up
// to 1.5 s. The hardware demux passes only what the engine reads (OneSegPids), growing by the
// PMT's streams once it is seen. Signal: DTV_STAT_SIGNAL_STRENGTH in dBm (decibel scale) or
// mapped from the relative scale onto -100..-30 dBm; reception 0 while locked with a usable
// DTV_STAT_CNR (>= 4 dB, or >= 5 % relative; unknown counts as usable), else 255. Scans tune
// each slot and read the one-segment service's name from the SDT (type 0xC0).
//
// A device that disappears (dvr read fails, frontend node gone) makes present() false; the
// player then closes and opens again once it is back (it hears of plugging and unplugging
// from udev's "dvb" subsystem itself).
#include "tuner/DvbDevice.h"
#include "tuner/OneSegPids.h"
#include "tuner/TunerBackend.h"

#include <functional>
#include <memory>
#include <vector>

namespace veltra {

class DvbBackend : public TunerBackend {
public:
    explicit DvbBackend(std::unique_ptr<DvbDevice> device);
    ~DvbBackend() override;
    std::string name() const override { return "dvb"; }
    bool present() override;
    bool open() override;
    void close() override;
    ProbeResult probe(int slot) override;
    bool tune(int slot) override;
    void untune() override;
    bool read(uint8_t* chunk) override;
    SignalReading signal(int slot) override;

    // KOBAL_DVB_ADAPTER, else the registry value dvb_Adapter (0..15); 0 when neither is.
    static int configuredAdapter();
    static uint32_t frequencyHz(int physicalChannel);
    static constexpr int kLockTimeoutMs = 1500;

private:
    bool tuneFrontend(int slot);
    bool pump(); // moves what the dvr node has into the packet queue; false when gone

    std::unique_ptr<DvbDevice> device_;
    bool open_ = false;
    bool gone_ = false;
    int slot_ = -1;
    OneSegPids pids_;
    PacketCutter cutter_;
    std::vector<uint8_t> queue_; // whole packets, oldest first, bounded
    size_t queueHead_ = 0;
    std::vector<uint8_t> readBuffer_;
};

namespace dvb {
// Tests put a stand-in of the kernel device here: the `dvb` backend then gets its device from
// `factory` (given the adapter number). Empty function: the kernel's device again.
void setDeviceFactory(std::function<std::unique_ptr<DvbDevice>(int adapter)> factory);
std::unique_ptr<DvbDevice> makeDevice(int adapter);
} // namespace dvb

} // namespace veltra
