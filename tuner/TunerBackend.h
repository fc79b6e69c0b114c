#pragma once
// What CTDMBDll needs from a device. One implementation per kind of tuner: `sim` (the
// broadcast simulator), `replay` (recorded files), `dvb` (a Linux DVB frontend), `server` (a
// tuner server over HTTP), `none` (no device at all).
//
// Threads: CTDMBDll calls every member with its own lock held, so a backend needs no locking
// of its own; calls come from the owner, the scan thread and the reader thread in turn.
#include <cstdint>
#include <memory>
#include <string>

namespace veltra {

struct ProbeResult {
    bool found = false;
    uint32_t identifier = 0; // word the player's acceptance check reads
    uint16_t serviceId = 0;
    std::u16string name; // the broadcast's service name (may be empty)
};

struct SignalReading {
    double dBm = -100.0;
    double status = 255.0; // 0 receiving, 255 no reception
};

class TunerBackend {
public:
    virtual ~TunerBackend() = default;
    virtual std::string name() const = 0;
    // The device is plugged in (IsUSB).
    virtual bool present() = 0;
    // Takes the device; false when absent. close() releases it and stops the stream.
    virtual bool open() = 0;
    virtual void close() = 0;
    // Looks at one slot (0..49) without tuning to it for streaming; quick (the caller waits
    // the dwell time of a real scan).
    virtual ProbeResult probe(int slot) = 0;
    // Starts delivering the slot's stream; false when it has no service.
    virtual bool tune(int slot) = 0;
    virtual void untune() = 0;
    // Next 1128 bytes of the tuned stream when their time has come. Reader thread.
    virtual bool read(uint8_t* chunk) = 0;
    // Signal on the tuned slot (-1: none tuned).
    virtual SignalReading signal(int slot) = 0;
    // The area a simulated device airs, -1 otherwise.
    virtual int area() const { return -1; }
    // The area a scan is asked to look in (valid, 0..46). A simulated device airs that area
    // from then on; a real one has nothing to do.
    virtual void selectArea(int /*area*/) {}
};

// Backend by name: "sim", "replay", "server", "dvb", "none"; an unknown name gives "none".
std::unique_ptr<TunerBackend> makeBackend(const std::string& name);

} // namespace veltra
