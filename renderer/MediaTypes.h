#pragma once
// Values shared inside the renderer: result codes and graph events with their DirectShow
// numbers (the player compares them numerically), and the compressed packet that travels from
// a source to the presenter.
#include <cstdint>
#include <vector>

namespace kobal::render {

// 32 bits, as the player's code expects: the error codes are negative.
using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
inline constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = static_cast<HRESULT>(0x80040240u);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x8004022Fu);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
inline constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);
inline constexpr HRESULT HRESULT_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002u);
inline bool failed(HRESULT hr) {
    return hr < 0;
}

// Graph events.
inline constexpr long EC_COMPLETE = 0x01;
inline constexpr long EC_ERRORABORT = 0x03;
// The recording ended by itself: a write failed (disk full, file system gone). The file is
// closed and what was written plays. (In the range the graph's own events start at, EC_USER.)
inline constexpr long EC_RECORDING_STOPPED = 0x8001;

// Seeking capabilities.
inline constexpr unsigned AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr unsigned AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr unsigned AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr unsigned AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr unsigned AM_SEEKING_CanGetDuration = 0x100;

// Media time in the graph's interface: 100 ns units.
inline constexpr int64_t kUnitsPerSecond = 10'000'000;

struct MediaPacket {
    enum Kind : uint8_t { Video = 0, Audio = 1, EndOfStream = 2 };
    Kind kind = Video;
    bool key = false;      // video: holds an IDR picture
    bool afterGap = false; // video: one or more units before this one were lost
    int64_t ptsUs = 0;     // presentation time in microseconds on the source's timeline
    int64_t arrivalMs = 0; // steady clock when the source produced it
    std::vector<uint8_t> data;
};

// Steady clock in milliseconds / microseconds.
int64_t steadyMs();
int64_t steadyUs();

} // namespace kobal::render
