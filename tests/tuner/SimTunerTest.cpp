// CTDMBDll on the simulator backend: scans, tuning, paced delivery, signal and plug hooks.
#include "TunerTestSupport.h"
#include "channels/AreaPresetTable.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "tuner/AribText.h"
#include "tuner/CTDMBDll.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using veltra::utf8ToUtf16;

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
