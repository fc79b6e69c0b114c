// CTDMBDll on the `dvb` backend, driven through a stand-in of the kernel's DVB device: it
// records the frontend properties it is given, locks on the frequencies it has recordings for,
// reports signal statistics in the scale a test asks for, and passes the recorded stream
// through a demux that lets only the filtered PIDs reach the dvr reader, as the hardware does.
#include "TunerTestSupport.h"
#include "platform/Utf.h"
#include "tests/support/TestSupport.h"
#include "tuner/CTDMBDll.h"
#include "tuner/DvbBackend.h"

#include <linux/dvb/frontend.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <thread>

using namespace std::chrono_literals;
using veltra::DvbProperty;
using veltra::DvbStat;

namespace {

// What the stand-in device knows and what it was asked; shared with the test.
struct Kernel {
    std::mutex mutex;
    std::map<uint32_t, std::string> recordings; // by frequency
    bool plugged = true;
    DvbStat strength{FE_SCALE_DECIBEL, -45500};
    DvbStat cnr{FE_SCALE_DECIBEL, 21000};
    std::vector<std::vector<DvbProperty>> propertyCalls;
    uint32_t frequency = 0;
    std::set<uint16_t> filter;
    size_t position = 0;
    bool dvrOpen = false;
    int statusReads = 0;
};

class StandInDevice : public veltra::DvbDevice {
public:
    explicit StandInDevice(std::shared_ptr<Kernel> k) : k_(std::move(k)) {}
    bool present() override {
        std::lock_guard<std::mutex> lock(k_->mutex);
        return k_->plugged;
    }
    bool openFrontend() override { return present(); }
    void closeAll() override { stopFilter(); }
    bool setProperties(const std::vector<DvbProperty>& props) override {
        std::lock_guard<std::mutex> lock(k_->mutex);
        if (!k_->plugged) return false;
        k_->propertyCalls.push_back(props);
        for (const DvbProperty& p : props)
            if (p.cmd == DTV_FREQUENCY) k_->frequency = p.value;
        k_->position = 0;
        return true;
    }
    bool readStatus(uint32_t* status) override {
        std::lock_guard<std::mutex> lock(k_->mutex);
        if (!k_->plugged) return false;
        ++k_->statusReads;
        *status = k_->recordings.count(k_->frequency) ? FE_HAS_SIGNAL | FE_HAS_LOCK : 0;
        return true;
    }
    bool readStat(uint32_t cmd, DvbStat* stat) override {
        std::lock_guard<std::mutex> lock(k_->mutex);
        if (!k_->plugged) return false;
        *stat = cmd == DTV_STAT_CNR ? k_->cnr : k_->strength;
        return true;
    }
    bool filterPids(const std::vector<uint16_t>& pids) override {
        std::lock_guard<std::mutex> lock(k_->mutex);
        k_->filter.insert(pids.begin(), pids.end());
        k_->dvrOpen = true;
        return k_->plugged;
    }
    void stopFilter() override {
        std::lock_guard<std::mutex> lock(k_->mutex);
        k_->filter.clear();
        k_->dvrOpen = false;
    }
    // Hands out the filtered packets of the tuned recording, looping, 47 at most per read
    // (an odd number, so reads end inside packets when the caller's buffer is small).
    long readDvr(uint8_t* out, size_t size) override {
        std::lock_guard<std::mutex> lock(k_->mutex);
        if (!k_->plugged || !k_->dvrOpen) return -1;
        auto it = k_->recordings.find(k_->frequency);
        if (it == k_->recordings.end() || it->second.size() < 188) return 0;
        const std::string& ts = it->second;
        size_t n = 0;
        for (int scanned = 0; scanned < 47 && n + 188 <= size; ++scanned) {
            const auto* p = reinterpret_cast<const uint8_t*>(&ts[k_->position]);
            k_->position = (k_->position + 188) % (ts.size() / 188 * 188);
            if (!k_->filter.count(static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]))) continue;
            std::memcpy(out + n, p, 188);
            n += 188;
        }
        return static_cast<long>(n);
    }

private:
    std::shared_ptr<Kernel> k_;
};

class DvbTuner : public ::testing::Test {
protected:
    void SetUp() override {
        kernel = std::make_shared<Kernel>();
        veltra::dvb::setDeviceFactory(
            [k = kernel](int) { return std::make_unique<StandInDevice>(k); });
        setenv("KOBAL_TUNER", "dvb", 1);
        setenv("KOBAL_SCAN_SLOT_MS", "1", 1);
    }
    void TearDown() override {
        veltra::dvb::setDeviceFactory({});
        unsetenv("KOBAL_TUNER");
    }
    // A recording of area 7's station on `slot` on its channel's frequency.
    void record(int slot) {
        const std::string ts = tunertest::simulatedStream(7, slot, 3, std::time(nullptr));
        ASSERT_FALSE(ts.empty());
        std::lock_guard<std::mutex> lock(kernel->mutex);
        kernel->recordings[veltra::DvbBackend::frequencyHz(slot + 13)] = ts;
    }
    std::shared_ptr<Kernel> kernel;
};

std::string readFor(CTDMBDll& t, int chunks) {
    std::string out;
    unsigned char buf[2256];
    for (int tries = 0; tries < 20000 && static_cast<int>(out.size()) < chunks * 1128; ++tries)
        if (t.GetTSStream(buf, 0)) out.append(reinterpret_cast<char*>(buf), 1128);
    return out;
}

std::set<uint16_t> pidsOf(const std::string& ts) {
    std::set<uint16_t> pids;
    for (size_t i = 0; i + 188 <= ts.size(); i += 188)
        pids.insert(static_cast<uint16_t>((ts[i + 1] & 0x1F) << 8 | uint8_t(ts[i + 2])));
    return pids;
}

} // namespace

TEST_F(DvbTuner, TuneSetsIsdbtOnTheUhfFrequencyAndTheDemuxPassesTheOneSegmentService) {
    record(14);
    CTDMBDll t;
    ASSERT_EQ(t.backendName(), "dvb");
    ASSERT_TRUE(t.Open(nullptr));
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    {
        std::lock_guard<std::mutex> lock(kernel->mutex);
        ASSERT_EQ(kernel->propertyCalls.size(), 1u);
        std::vector<std::pair<uint32_t, uint32_t>> got;
        for (const DvbProperty& p : kernel->propertyCalls.back()) got.push_back({p.cmd, p.value});
        const std::vector<std::pair<uint32_t, uint32_t>> want = {
            {DTV_CLEAR, 0},
            {DTV_DELIVERY_SYSTEM, SYS_ISDBT},
            {DTV_FREQUENCY, 473142857u + 14 * 6000000u}, // UHF 27
            {DTV_BANDWIDTH_HZ, 6000000},
            {DTV_ISDBT_PARTIAL_RECEPTION, 1},
            {DTV_ISDBT_LAYER_ENABLED, 1},
            {DTV_TUNE, 0}};
        EXPECT_EQ(got, want);
    }
    // The demux grows by the PMT's streams: pictures, sound and captions arrive, and nothing
    // the engine does not read.
    const std::string ts = readFor(t, 300);
    ASSERT_EQ(ts.size(), 300u * 1128);
    EXPECT_FALSE(tunertest::pesOn(ts, 0x0181).empty());
    EXPECT_FALSE(tunertest::pesOn(ts, 0x0183).empty());
    const std::set<uint16_t> engineReads = {0x0000, 0x0010, 0x0011, 0x0012, 0x0014, 0x0026,
                                            0x0027, 0x1FC8, 0x0181, 0x0183, 0x0187, 0x01FF};
    for (uint16_t pid : pidsOf(ts)) EXPECT_TRUE(engineReads.count(pid)) << pid;
    EXPECT_FALSE(pidsOf(ts).count(0x1FFF));
}

TEST_F(DvbTuner, SignalReadsBothStatisticScalesAndALockTimesOut) {
    record(14);
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    t.IsOpen();
    EXPECT_DOUBLE_EQ(t.signalLevel, -45.5); // 0.001 dBm steps
    EXPECT_EQ(t.receptionStatus, 0.0);
    {
        std::lock_guard<std::mutex> lock(kernel->mutex);
        kernel->strength = {FE_SCALE_RELATIVE, 65535 / 2};
        kernel->cnr = {FE_SCALE_RELATIVE, 60000};
    }
    t.IsOpen();
    EXPECT_NEAR(t.signalLevel, -65.0, 0.1); // half way from -100 to -30 dBm
    EXPECT_EQ(t.receptionStatus, 0.0);
    {
        std::lock_guard<std::mutex> lock(kernel->mutex);
        kernel->cnr = {FE_SCALE_DECIBEL, 1500}; // 1.5 dB: locked, but nothing to decode
    }
    t.IsOpen();
    EXPECT_EQ(t.receptionStatus, 255.0);

    // No station on UHF 30: the frontend never locks, the tune gives up after its time-out.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(t.SetChannel(17, 17, 1, 0.0f), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - before,
              std::chrono::milliseconds(veltra::DvbBackend::kLockTimeoutMs));
    EXPECT_EQ(t.receptionStatus, 255.0);
    EXPECT_EQ(t.GetTSStream(reinterpret_cast<unsigned char*>(std::string(2256, 0).data()), 0), 0);
}

TEST_F(DvbTuner, ScanOverRecordedChannelsReadsTheOneSegmentNames) {
    record(14);
    record(7);
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    const int slots[] = {14, 7, 20};
    std::atomic<bool> scanned{false};
    std::thread scan([&] {
        t.ScanArbitraryChannel(slots, nullptr, 3);
        scanned = true;
    });
    // While the last slot waits for a lock that never comes, the signal poll answers at once.
    const uint32_t last = veltra::DvbBackend::frequencyHz(20 + 13);
    for (int i = 0; i < 1000; ++i) {
        {
            std::lock_guard<std::mutex> lock(kernel->mutex);
            if (kernel->frequency == last) break;
        }
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_NE(t.IsOpen(), 0);
    EXPECT_NE(t.IsUSB(), 0);
    auto statusReads = [&] {
        std::lock_guard<std::mutex> lock(kernel->mutex);
        return kernel->statusReads;
    };
    const int readsAfterPoll = statusReads();
    std::this_thread::sleep_for(200ms); // the probe goes on asking for its lock meanwhile
    EXPECT_GT(statusReads(), readsAfterPoll);
    EXPECT_FALSE(scanned);
    scan.join();
    EXPECT_EQ(t.channelInfo[14].found, 1);
    EXPECT_EQ(std::u16string(t.channelInfo[14].name), kobal::utf8ToUtf16("ＮＨＫ総合"));
    EXPECT_EQ(t.slotPair[14].serviceId, 0xE080 + 14);
    EXPECT_EQ(t.channelInfo[7].found, 1);
    EXPECT_EQ(std::u16string(t.channelInfo[7].name), kobal::utf8ToUtf16("ＭＸテレビ"));
    EXPECT_EQ(t.channelInfo[20].found, 0); // nothing to lock on
}

TEST_F(DvbTuner, ADeviceThatDisappearsMidStreamIsReportedAndCanBeOpenedAgain) {
    record(14);
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    ASSERT_EQ(readFor(t, 20).size(), 20u * 1128);
    {
        std::lock_guard<std::mutex> lock(kernel->mutex);
        kernel->plugged = false;
    }
    // What was read before still goes out; then nothing.
    EXPECT_LT(readFor(t, 200).size(), 200u * 1128);
    EXPECT_EQ(readFor(t, 1).size(), 0u);
    EXPECT_EQ(t.IsOpen(), 0);
    EXPECT_EQ(t.IsUSB(), 0);
    EXPECT_NE(t.IsOpenPNP(), 0); // the player's sign that its open tuner was pulled out
    EXPECT_EQ(t.receptionStatus, 255.0);
    EXPECT_EQ(t.Open(nullptr), 0);
    {
        std::lock_guard<std::mutex> lock(kernel->mutex);
        kernel->plugged = true;
    }
    EXPECT_NE(t.IsUSB(), 0);
    t.Close();
    ASSERT_TRUE(t.Open(nullptr));
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    EXPECT_EQ(readFor(t, 20).size(), 20u * 1128);
}
