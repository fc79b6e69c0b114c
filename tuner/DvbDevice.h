#pragma once
// The few Linux DVB API v5 calls the `dvb` backend makes, behind one small interface, so the
// backend can be driven without hardware (the tests put a stand-in of the kernel device here).
//
// Nodes: /dev/dvb/adapterN/frontend0, demux0, dvr0. One object is one adapter; every member
// is called by DvbBackend with CTDMBDll's lock held (one thread at a time).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace veltra {

// One DTV_* property of FE_SET_PROPERTY: command and value.
struct DvbProperty {
    uint32_t cmd = 0;
    uint32_t value = 0;
};

// The first (whole-channel) entry of a DTV_STAT_* statistic: FE_SCALE_* and its value
// (0.001 dB steps for FE_SCALE_DECIBEL, 0..65535 for FE_SCALE_RELATIVE).
struct DvbStat {
    int scale = 0; // FE_SCALE_NOT_AVAILABLE
    int64_t value = 0;
};

class DvbDevice {
public:
    virtual ~DvbDevice() = default;
    // The adapter's frontend node exists (the tuner is plugged in).
    virtual bool present() = 0;
    // Opens the frontend for tuning; false when it cannot be had.
    virtual bool openFrontend() = 0;
    // Closes demux, dvr and frontend.
    virtual void closeAll() = 0;
    // FE_SET_PROPERTY with the properties in this order.
    virtual bool setProperties(const std::vector<DvbProperty>& properties) = 0;
    // FE_READ_STATUS (FE_HAS_LOCK and friends).
    virtual bool readStatus(uint32_t* status) = 0;
    // FE_GET_PROPERTY of one DTV_STAT_* command.
    virtual bool readStat(uint32_t cmd, DvbStat* stat) = 0;
    // Passes these PIDs from the frontend to the dvr node (DMX_SET_PES_FILTER with
    // DMX_OUT_TS_TAP for the first, DMX_ADD_PID for the others; again adds PIDs) and opens
    // the dvr node when it is not open.
    virtual bool filterPids(const std::vector<uint16_t>& pids) = 0;
    // Stops the demux and closes the dvr node.
    virtual void stopFilter() = 0;
    // Non-blocking read of the dvr node: bytes read, 0 when none are waiting, -1 when the
    // device is gone (or failed for good).
    virtual long readDvr(uint8_t* buffer, size_t size) = 0;
};

// The kernel's device for /dev/dvb/adapter<adapter>.
std::unique_ptr<DvbDevice> makeLinuxDvbDevice(int adapter);

} // namespace veltra
