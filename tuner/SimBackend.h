#pragma once
// The live broadcast simulator: the preset stations of one area on the air, each a
// StationStream generated while it is tuned and paced against the monotonic clock.
#include "tuner/StationStream.h"
#include "tuner/TunerBackend.h"

#include <chrono>
#include <memory>

namespace veltra {

class SimBackend : public TunerBackend {
public:
    explicit SimBackend(int area);
    std::string name() const override { return "sim"; }
    bool present() override;
    bool open() override;
    void close() override;
    ProbeResult probe(int slot) override;
    bool tune(int slot) override;
    void untune() override;
    bool read(uint8_t* chunk) override;
    SignalReading signal(int slot) override;
    int area() const override { return area_; }
    void selectArea(int area) override;

    // The area from KOBAL_SIM_AREA, else config.ini [SETUP] AREA_NUM, else 7.
    static int configuredArea();

private:
    // The transmitter went on while nothing was received: carry on from the wall clock.
    void resume(std::chrono::steady_clock::time_point now);

    int area_;
    bool areaSelected_ = false; // a scan named the area: the settings no longer decide it
    bool lost_ = false;         // reception was lost since the last chunk
    bool open_ = false;
    int slot_ = -1;
    std::unique_ptr<StationStream> stream_;
    std::chrono::steady_clock::time_point epoch_;
    uint8_t pending_[1128];
    int64_t pendingDue_ = -1; // stream time of the last packet in pending_, -1 when empty
};

} // namespace veltra
