// CTDMBDll on the simulator backend: scans, tuning, paced delivery, signal and plug hooks.
#include "TunerTestSupport.h"
#include "broadcast/AreaPresetTable.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/Utf.h"
#include "tuner/CTDMBDll.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using kobal::utf8ToUtf16;

namespace {

bool accepted(uint32_t word) {
    return (word & 0xFFF00000u) == 0xF1E00000u || (word & 0xFF00u) == 0xE000u;
}

std::u16string nameOf(const veltra::ChannelInfo& e) {
    return std::u16string(e.name);
}

class SimTuner : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("KOBAL_TUNER");
        setenv("KOBAL_SCAN_SLOT_MS", "5", 1);
        veltra::sim::setArea(-1);
        veltra::sim::resetSignals();
        veltra::sim::replug();
        std::filesystem::remove(kobal::paths::inInstall("config.ini")); // no area chosen
    }
    void TearDown() override {
        veltra::sim::setDeviceChangeCallback({});
        veltra::sim::replug();
    }
};

// Polls like the player's reader for `seconds`; returns chunks received.
int pollFor(CTDMBDll& t, double seconds, std::string* bytes = nullptr) {
    unsigned char buf[2256];
    int chunks = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (t.GetTSStream(buf, 0)) {
            ++chunks;
            if (bytes) bytes->append(reinterpret_cast<char*>(buf), 1128);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    }
    return chunks;
}

// PCR of a packet (27 MHz), -1 when it has none.
int64_t pcrIn(const unsigned char* p) {
    if (!(p[3] & 0x20) || p[4] < 7 || !(p[5] & 0x10)) return -1;
    const int64_t base = int64_t{p[6]} << 25 | int64_t{p[7]} << 17 | int64_t{p[8]} << 9 |
                         int64_t{p[9]} << 1 | p[10] >> 7;
    return base * 300 + ((p[10] & 1) << 8 | p[11]);
}

// (seconds on the monotonic clock when the chunk arrived, PCR in seconds) of every PCR.
using ClockPoints = std::vector<std::pair<double, double>>;
void pollPcrs(CTDMBDll& t, double seconds, ClockPoints& points, std::string* bytes) {
    unsigned char buf[2256];
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (!t.GetTSStream(buf, 0)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            continue;
        }
        const double now =
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
        for (int k = 0; k < 6; ++k)
            if (const int64_t pcr = pcrIn(buf + 188 * k); pcr >= 0)
                points.push_back({now, pcr / 27e6});
        bytes->append(reinterpret_cast<char*>(buf), 1128);
    }
}

int eitVersion(const std::string& bytes) {
    const auto eit = tunertest::sectionsOn(bytes, 0x27);
    return eit.empty() ? -1 : (eit.back()[5] >> 1) & 0x1F;
}

} // namespace

TEST_F(SimTuner, AreaScanFindsThePresetStationsOfTheConfiguredArea) {
    CTDMBDll t;
    EXPECT_EQ(t.backendName(), "sim");
    EXPECT_EQ(t.area(), 7); // nothing chosen
    ASSERT_TRUE(t.Open(nullptr));
    t.ScanAreaChannel(7);
    int found = 0;
    for (int k = 0; k < 50; ++k) {
        const auto& e = t.channelInfo[k];
        std::string preset;
        const bool isPreset = kobal::AreaPresetTable::isPresetSlot(7, k, &preset);
        EXPECT_EQ(e.found != 0, isPreset) << k;
        EXPECT_EQ(t.slotPair[k].available, e.found);
        if (!isPreset) {
            EXPECT_EQ(e.identifier, 0u) << "unprobed slot stays empty";
            continue;
        }
        ++found;
        EXPECT_EQ(e.physicalIndex, k);
        EXPECT_TRUE(accepted(e.identifier));
        EXPECT_EQ(nameOf(e), utf8ToUtf16(preset));
        // The scan's tuning values tune the channel.
        EXPECT_TRUE(t.SetChannel(k, e.tuneA, e.tuneB, 0.0f));
    }
    EXPECT_EQ(found, 8); // channels 20 to 27
}

TEST_F(SimTuner, AreaComesFromConfigIni) {
    kobal::Profile::writeInt(kobal::paths::inInstall("config.ini"), "SETUP", "AREA_NUM", 35);
    CTDMBDll t;
    EXPECT_EQ(t.area(), 35);
    ASSERT_TRUE(t.Open(nullptr));
    std::string preset;
    ASSERT_TRUE(kobal::AreaPresetTable::isPresetSlot(35, 34 - 13, &preset)); // ＮＨＫ総合
    t.ScanAllChannel(35, nullptr, nullptr, 0);
    int found = 0;
    for (const auto& e : t.channelInfo) found += e.found;
    EXPECT_EQ(found, 3);
    // Tokyo's channel 27 is not on the air in Tokushima.
    EXPECT_FALSE(t.SetChannel(27 - 13, 14, 1, 0.0f));
}

TEST_F(SimTuner, AScanOfAnotherAreaPutsThatAreaOnTheAir) {
    // The player builds the tuner before the user picks an area, and writes the choice to the
    // settings only when it ends: the scan's area is what must be aired.
    CTDMBDll t;
    ASSERT_EQ(t.area(), 7);
    ASSERT_TRUE(t.Open(nullptr));
    t.ScanAreaChannel(35);
    EXPECT_EQ(t.area(), 35);
    int found = 0;
    for (int k = 0; k < 50; ++k) {
        std::string preset;
        if (!t.channelInfo[k].found) continue;
        ++found;
        EXPECT_TRUE(kobal::AreaPresetTable::isPresetSlot(35, k, &preset)) << k;
        EXPECT_EQ(nameOf(t.channelInfo[k]), utf8ToUtf16(preset));
    }
    EXPECT_EQ(found, 3);
    EXPECT_TRUE(t.SetChannel(34 - 13, 21, 1, 0.0f));
    EXPECT_FALSE(t.SetChannel(27 - 13, 14, 1, 0.0f));
    // A re-open (after a replug) keeps the scanned area; an invalid area changes nothing.
    t.Close();
    ASSERT_TRUE(t.Open(nullptr));
    t.ScanAllChannel(-1, nullptr, nullptr, 0);
    EXPECT_EQ(t.area(), 35);
    t.ScanAllChannel(7, nullptr, nullptr, 0);
    EXPECT_EQ(t.area(), 7);
    EXPECT_TRUE(t.SetChannel(27 - 13, 14, 1, 0.0f));

    // Without a scan, Open takes the area chosen in the settings since the object was built.
    CTDMBDll fresh;
    kobal::Profile::writeInt(kobal::paths::inInstall("config.ini"), "SETUP", "AREA_NUM", 35);
    ASSERT_TRUE(fresh.Open(nullptr));
    EXPECT_EQ(fresh.area(), 35);
}

TEST_F(SimTuner, ArbitraryScanListsUnreceivedSlotsWithTheGivenName) {
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    veltra::sim::setStationSignal(14, -100, 255); // channel 27 off the air
    const int slots[] = {14, 13, 3};
    veltra::ScanName names[3] = {};
    const std::u16string given[] = {u"Ａ", u"Ｂ", u"Ｃ"};
    for (int i = 0; i < 3; ++i) std::copy(given[i].begin(), given[i].end(), names[i]);
    // Leftovers of an earlier scan are cleared.
    t.channelInfo[40].found = 1;
    t.ScanArbitraryChannel(slots, names, 3);
    EXPECT_EQ(t.channelInfo[40].found, 0);
    EXPECT_EQ(t.channelInfo[14].found, 0);
    EXPECT_EQ(nameOf(t.channelInfo[14]), u"Ａ");
    EXPECT_TRUE(accepted(t.channelInfo[14].identifier));
    EXPECT_EQ(t.channelInfo[13].found, 1);
    EXPECT_EQ(nameOf(t.channelInfo[13]), utf8ToUtf16("ＮＨＫ教育"));
    EXPECT_EQ(t.channelInfo[3].found, 0);
    EXPECT_EQ(nameOf(t.channelInfo[3]), u"Ｃ");

    // A single scan touches only its slot.
    veltra::sim::resetSignals();
    t.ScanSingleChannel(14);
    EXPECT_EQ(t.channelInfo[14].found, 1);
    EXPECT_EQ(nameOf(t.channelInfo[3]), u"Ｃ");
}

TEST_F(SimTuner, ScansTakeTheTimeOfARealTunerPerSlot) {
    unsetenv("KOBAL_SCAN_SLOT_MS");
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    const auto t0 = std::chrono::steady_clock::now();
    t.ScanAreaChannel(7);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(s, 8 * 0.2 * 0.95);
}

TEST_F(SimTuner, DeliversSixPacketChunksPacedByTheClock) {
    CTDMBDll t;
    unsigned char buf[2256];
    EXPECT_FALSE(t.GetTSStream(buf, 0)); // not open
    ASSERT_TRUE(t.Open(nullptr));
    EXPECT_FALSE(t.GetTSStream(buf, 0)); // not tuned
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    EXPECT_EQ(t.tunedSlot(), 14);
    std::string bytes;
    const auto t0 = std::chrono::steady_clock::now();
    const int chunks = pollFor(t, 3.0, &bytes);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // 416 kbit/s is 46 chunks a second; never ahead of the clock, and a loaded machine may
    // fall behind a little.
    EXPECT_LE(chunks, static_cast<int>(s * 46.2) + 2);
    EXPECT_GE(chunks, static_cast<int>(s * 46.2 * 0.6));
    for (size_t i = 0; i < bytes.size(); i += 188) ASSERT_EQ(bytes[i], 0x47);
    EXPECT_FALSE(tunertest::sectionsOn(bytes, 0x1FC8).empty());
    EXPECT_FALSE(tunertest::pesOn(bytes, 0x181).empty());
}

TEST_F(SimTuner, SignalHooksDriveLevelStatusAndDelivery) {
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    EXPECT_EQ(t.receptionStatus, 255.0); // nothing tuned
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    EXPECT_EQ(t.receptionStatus, 0.0);
    EXPECT_GE(t.signalLevel, -65.0);
    veltra::sim::setStationSignal(14, -80.5, 0);
    t.IsOpen();
    EXPECT_EQ(t.signalLevel, -80.5);
    veltra::sim::setStationSignal(14, -95, 255);
    t.IsOpen();
    EXPECT_EQ(static_cast<int>(t.receptionStatus), 255);
    EXPECT_EQ(pollFor(t, 0.5), 0);
    veltra::sim::setStationSignal(14, -60, 0);
    EXPECT_GT(pollFor(t, 0.5), 0);
    // Another station keeps its own signal.
    veltra::sim::setStationSignal(13, -99, 0);
    t.IsOpen();
    EXPECT_EQ(t.signalLevel, -60.0);
}

TEST_F(SimTuner, AfterALossOrAStallTheBroadcastGoesOnFromTheClock) {
    // The transmitter does not wait for a receiver: after 2.5 s without reception, and after
    // 2.5 s in which the reader did not ask, the stream's clock (and with it the picture's
    // clock, guide and captions) is where the monotonic clock is, not 2.5 s behind.
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    ClockPoints points;
    std::string before, afterLoss, afterStall;
    pollPcrs(t, 0.8, points, &before);
    ASSERT_GE(points.size(), 10u);
    const size_t beforeCount = points.size();

    veltra::sim::setStationSignal(14, -95, 255);
    EXPECT_EQ(pollFor(t, 2.5), 0);
    veltra::sim::setStationSignal(14, -55, 0);
    pollPcrs(t, 1.2, points, &afterLoss);
    const size_t afterLossCount = points.size();
    ASSERT_GT(afterLossCount, beforeCount + 10);

    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    pollPcrs(t, 1.2, points, &afterStall);
    ASSERT_GT(points.size(), afterLossCount + 10);

    // PCR minus arrival time stays put (within the pacing and scheduling slack of a busy
    // machine; a paused timeline would be 2.5 s off, and 5 s after the stall).
    const double offset = points.front().second - points.front().first;
    for (size_t i = 0; i < points.size(); ++i)
        EXPECT_NEAR(points[i].second - points[i].first, offset, 1.0)
            << i
            << (i < beforeCount      ? " before"
                : i < afterLossCount ? " after loss"
                                     : " after stall");

    // Tables start afresh with a new version, so a receiver reads them again.
    const int v0 = eitVersion(before), v1 = eitVersion(afterLoss), v2 = eitVersion(afterStall);
    ASSERT_GE(v0, 0);
    EXPECT_NE(v1, v0);
    EXPECT_NE(v2, v1);
    EXPECT_GE(v1, 0);
    for (const std::string* s : {&before, &afterLoss, &afterStall})
        for (size_t i = 0; i < s->size(); i += 188) ASSERT_EQ((*s)[i], 0x47);
}

TEST_F(SimTuner, UnplugAndReplugLookLikeAUsbTuner) {
    std::atomic<int> changes{0};
    veltra::sim::setDeviceChangeCallback([&] { ++changes; });
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    EXPECT_EQ(t.IsUSB(), 1);
    EXPECT_EQ(t.IsOpenPNP(), 1);

    veltra::sim::unplug();
    EXPECT_EQ(changes, 1);
    // Removed: no device, but the library still holds it open.
    EXPECT_EQ(t.IsUSB(), 0);
    EXPECT_NE(t.IsOpenPNP(), 0);
    EXPECT_EQ(t.IsOpen(), 0);
    EXPECT_EQ(t.Open(nullptr), 0); // no stale success for a device that is gone
    EXPECT_EQ(t.receptionStatus, 255.0);
    EXPECT_EQ(pollFor(t, 0.2), 0);
    EXPECT_TRUE(t.Close());
    EXPECT_EQ(t.IsOpenPNP(), 0);
    EXPECT_EQ(t.Open(nullptr), 0);

    veltra::sim::replug();
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(t.IsUSB(), 1);
    ASSERT_TRUE(t.Open(nullptr));
    EXPECT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    EXPECT_GT(pollFor(t, 0.5), 0);
}

TEST_F(SimTuner, ReaderThreadSurvivesRetuningAndClosing) {
    CTDMBDll t;
    ASSERT_TRUE(t.Open(nullptr));
    ASSERT_TRUE(t.SetChannel(14, 14, 1, 0.0f));
    std::atomic<bool> stop{false};
    std::atomic<int> chunks{0};
    std::thread reader([&] {
        unsigned char buf[2256];
        while (!stop) {
            if (t.GetTSStream(buf, 0))
                ++chunks;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    for (int slot : {13, 12, 14}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_TRUE(t.SetChannel(slot, slot, 1, 0.0f));
    }
    t.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int atClose = chunks;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop = true;
    reader.join();
    EXPECT_GT(atClose, 0);
    EXPECT_EQ(chunks, atClose);
}

TEST_F(SimTuner, BackendIsChosenByEnvironmentOrRegistry) {
    setenv("KOBAL_TUNER", "replay", 1);
    EXPECT_EQ(CTDMBDll().backendName(), "replay");
    setenv("KOBAL_TUNER", "no-such-tuner", 1);
    CTDMBDll none;
    EXPECT_EQ(none.backendName(), "none");
    EXPECT_EQ(none.Open(nullptr), 0);
    EXPECT_EQ(none.IsUSB(), 0);
    unsetenv("KOBAL_TUNER");
    kobal::Registry::write("tuner", "replay");
    EXPECT_EQ(CTDMBDll().backendName(), "replay");
}
