#pragma once
// veltra: the one-segment tuner library. CTDMBDll is the object the player owns: it opens the
// device, tunes a physical channel, hands out the received transport stream in 1128-byte pieces
// and runs channel scans whose results it keeps in public tables the player reads directly.
//
// Threads: one owner thread (the player's UI thread) calls everything except GetTSStream, which
// the stream reader thread calls, and the four Scan* calls, which the scan thread calls (the
// owner must not change the scan parameter arrays or call another scan meanwhile). The object
// locks internally, so GetTSStream may run while the owner tunes or closes.
//
// Results are int, 0 meaning failure (IsUSB returns one byte), as the player expects.
//
// The device behind it is a backend chosen when the object is built: registry value "tuner" or
// the environment variable KOBAL_TUNER (which wins): "sim" (default, a simulated broadcast of
// the chosen area), "replay" (a folder of recorded streams, registry value "replay_Dir"),
// "dvb" (a Linux DVB tuner, registry value "dvb_Adapter") or "server" (a tuner server,
// registry value "tuner_Server" or KOBAL_TUNER_SERVER).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace veltra {

class TunerBackend;

inline constexpr int kSlotCount = 50;     // UHF slots; physical channel = slot + 13
inline constexpr int kFirstPhysical = 13; // physical channel of slot 0
inline constexpr int kChunkBytes = 1128;  // six 188-byte packets per GetTSStream
inline constexpr int kNameChars = 64;     // UTF-16 units of a result name, NUL included
inline constexpr int kScanNameChars = 50; // UTF-16 units of a name passed to a scan
inline constexpr double kNoSignalDbm = -100.0;
inline constexpr double kStatusReceiving = 0.0;
inline constexpr double kStatusNoReception = 255.0;

// One name as the scan calls receive them: a fixed buffer of 50 UTF-16 units, NUL-terminated
// (a name that fills the buffer without a NUL is cut at 50 units).
using ScanName = char16_t[kScanNameChars];

// The window the player opens the device on. Kept for the player's sake; the library only
// remembers it.
using WindowHandle = void*;

// Per-slot scan result (entry k describes slot k). Written by the scan calls on the scan
// thread; the player reads it on its UI thread after the scan call has returned, and writes 1
// into `found` when the channel delivers a picture.
struct ChannelInfo {
    int found = 0;                  // nonzero: a service was received on this slot
    int physicalIndex = 0;          // physical channel - 13 (== k once probed)
    uint32_t identifier = 0;        // (transport stream id << 16) | service id; 0 = never probed
    char16_t name[kNameChars] = {}; // service name, UTF-16, NUL-terminated
    int tuneA = 0;                  // tuning value A (second number of SetChannel)
    int tuneB = 0;                  // tuning value B (third number of SetChannel)
};

// Per-slot pair: the first word mirrors ChannelInfo::found (a slot is receivable when the
// library is open and `available` is nonzero); the second is the slot's service id once found.
// Written with ChannelInfo by the scans; the player writes `available` = 1 too.
struct SlotPair {
    int available = 0;
    int serviceId = 0;
};

} // namespace veltra

class CTDMBDll {
public:
    CTDMBDll();  // picks the backend (see above); does not open the device
    ~CTDMBDll(); // closes the device if open
    CTDMBDll(const CTDMBDll&) = delete;
    CTDMBDll& operator=(const CTDMBDll&) = delete;

    // Opens the device. Nonzero: open (also when it already was). Zero: no device (unplugged,
    // also when it was opened before and pulled out since).
    int Open(veltra::WindowHandle window);
    // Closes the device and stops the stream. Nonzero: closed (also when it was not open).
    int Close();
    // Nonzero while a device is open and present. Also refreshes signalLevel and
    // receptionStatus (the player asks this on every signal poll). While a scan probes a slot
    // (a real tuner takes seconds to lock and read), this, IsUSB and IsOpenPNP answer from the
    // state before the probe at once and leave the readings as they were.
    int IsOpen();
    // One byte: nonzero while a tuner device is plugged in.
    unsigned char IsUSB();
    // Nonzero from a good Open until Close, even when the device has vanished meanwhile: with
    // IsUSB() == 0 this tells the player that its open tuner was pulled out.
    int IsOpenPNP();

    // Tunes slot (0..49; physical channel slot + 13). tuneA and tuneB are the scan result's
    // tuning values (the simulator accepts any value), the float is unused. Nonzero: tuned,
    // GetTSStream delivers that channel from now on. Zero: not open, slot out of range, or no
    // service on that channel.
    int SetChannel(int slot, int tuneA, int tuneB, float reserved);

    // Scans. Each probed slot takes about 200 ms. Each call clears the tables of the slots it
    // probes (ScanSingleChannel: only its slot; the other three: all 50) before probing.
    // A probed slot that has a service gets found = 1, the broadcast's service name and its
    // identifier; a probed slot without one keeps found = 0 but still gets its physical index,
    // a one-segment identifier word and a name (from `names`, else the area preset, else
    // "CH<n>"), so the player can list it as "not found". Unprobed slots stay all zero.
    // Results are 1 when the device is open, 0 otherwise (the player ignores them).
    // Tuning stops while a scan runs; SetChannel again afterwards.
    //  ScanAllChannel: probes every slot 0..49; `slots`/`names` (count entries) name the slots.
    //  ScanAreaChannel: probes the preset slots of area (0..46), names from the preset.
    //  A valid area given to these two is the area the simulator airs from then on (the
    //  player's chosen area reaches the settings file only when the player ends).
    //  ScanSingleChannel: probes the one slot.
    //  ScanArbitraryChannel: probes the listed slots (count entries; bad slots are skipped).
    int ScanAllChannel(int area, const int* slots, const veltra::ScanName* names, int count);
    int ScanAreaChannel(int area);
    int ScanSingleChannel(int slot);
    int ScanArbitraryChannel(const int* slots, const veltra::ScanName* names, int count);

    // Reader thread. buffer must hold 2256 bytes; length is not read. Nonzero: the first 1128
    // bytes of buffer are the next six packets of the tuned channel. Zero (no error): nothing
    // due yet, not tuned, or no reception; poll again in a few milliseconds.
    int GetTSStream(unsigned char* buffer, int length);

    // Public tables and readings (see veltra::ChannelInfo / SlotPair for who writes them).
    veltra::ChannelInfo channelInfo[veltra::kSlotCount];
    veltra::SlotPair slotPair[veltra::kSlotCount];
    // Signal strength of the tuned channel in dBm (-100 when not tuned) and the reception
    // status (0 receiving, 255 no reception). Written by the library on the owner thread (in
    // Open, Close, IsOpen, SetChannel and the test hooks), polled by the UI thread.
    double signalLevel = veltra::kNoSignalDbm;
    double receptionStatus = veltra::kStatusNoReception;

    // --- Information and test hooks (not part of the player's protocol) ---

    // Backend name: "sim", "replay", "dvb", "server" or "none".
    std::string backendName() const;
    // Simulator only: the area aired (0..46), -1 for other backends.
    int area() const;
    // Physical slot tuned by the last good SetChannel, -1 when none.
    int tunedSlot() const;

private:
    void refreshReadings();
    void selectArea(int area);
    int runScan(const bool probe[veltra::kSlotCount],
                const std::u16string names[veltra::kSlotCount], bool clearAll);

    mutable std::mutex mutex_; // guards backend_ and the fields below (not the public tables)
    std::unique_ptr<veltra::TunerBackend> backend_;
    bool open_ = false;
    int tunedSlot_ = -1;
    veltra::WindowHandle window_ = nullptr;
    // Set while a scan probes a slot with the lock held; the device's state as seen just
    // before, for the owner's polls meanwhile.
    std::atomic<bool> probing_{false};
    std::atomic<bool> knownOpen_{false}, knownUsb_{false}, knownPnp_{false};
};

namespace veltra {

// Puts the backend choice (KOBAL_TUNER, else the registry value "tuner"), the replay folder
// (KOBAL_REPLAY_DIR, else "replay_Dir"), the tuner server (KOBAL_TUNER_SERVER, else
// "tuner_Server") and the DVB adapter (KOBAL_DVB_ADAPTER, else "dvb_Adapter") into the
// environment, so tuner objects built later keep them even when the process has moved to
// another install folder (the tools do).
void keepBackendChoice();

// Process-wide controls of the simulated world (signal conditions and the USB plug), for tests
// and the settings knob KOBAL_SIM_SIGNAL. They affect every CTDMBDll with the sim backend.
namespace sim {

// Signal of the station on `slot`: level in dBm and status (0 receiving, 255 none; a station
// with status 255 delivers no stream). Default: -55 dBm, status 0. Readings change at the
// next IsOpen / SetChannel of a CTDMBDll.
void setStationSignal(int slot, double dBm, double status);
// Back to the default for every station.
void resetSignals();

// Unplugging makes IsUSB 0, IsOpen 0 and the stream stop; replugging makes IsUSB nonzero
// (the player then closes and re-opens). Both call the device-change callback.
void unplug();
void replug();
bool plugged();

// Called (on the caller's thread of unplug/replug) after the plug state changed, like the
// system's device-node notification. Empty function to remove.
void setDeviceChangeCallback(std::function<void()> callback);

// Overrides the aired area (0..46) for simulator devices opened afterwards; -1 goes back to
// KOBAL_SIM_AREA or config.ini [SETUP] AREA_NUM (area 7 when neither is set). A device reads
// the area when it is built and again at each Open, unless a scan has named one.
void setArea(int area);

} // namespace sim
} // namespace veltra
