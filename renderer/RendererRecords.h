#pragma once
// The records the player sends through the renderer link, as the renderer reads them. The
// renderer is built apart from the player, so it keeps its own copy of the layouts; the sizes
// are pinned by static_asserts and must stay equal to what the sender uses.
#include <cstddef>
#include <cstdint>

namespace kobal::render {

inline constexpr const char* kLinkName = "{F585BEB6-3BDD-4899-9CAC-079C0AD01B4C}";
inline constexpr std::size_t kLinkDataSize = 40001;
inline constexpr const char* kFrameEventName = "{BD8438A5-FE8F-4e26-9718-AD19887A24D9}";
inline constexpr const char* kStopEventName = "{BB466D8B-D2E5-420a-BEE8-B6B69837F2BF}";
// The player is party 2; the renderer uses a party id of its own.
inline constexpr int kPlayerPartyId = 2;
inline constexpr int kRendererPartyId = 7;

enum RecordType : uint32_t {
    kVideoConfig = 0x101,
    kAudioConfig = 0x102,
    kVideoFrame = 0x103,
    kAudioFrame = 0x104,
    kScanNotice = 0x107,
    kRecordingCommand = 0x108,
    kAudioChannelCommand = 0x109,
};

inline constexpr std::size_t kConfigBlockSize = 1024;
inline constexpr std::size_t kConfigPayloadMax = 1016;
inline constexpr std::size_t kFrameHeaderSize = 40;
inline constexpr std::size_t kVideoFrameRecordSize = 40000;
inline constexpr std::size_t kVideoPayloadMax = kVideoFrameRecordSize - kFrameHeaderSize;
inline constexpr std::size_t kAudioFrameRecordSize = 10280;
inline constexpr std::size_t kAudioPayloadMax = kAudioFrameRecordSize - kFrameHeaderSize;
inline constexpr std::size_t kCommandRecordSize = 12;
inline constexpr uint32_t kRecordStart = 1, kRecordStop = 2;
inline constexpr uint32_t kAudioMain = 1, kAudioSub = 2;

// Words 0-9 of a frame record: type, payload length, 64-bit timestamp in words 4-5.
struct FrameHeader {
    uint32_t type;
    uint32_t length;
    uint32_t unused2;
    uint32_t unused3;
    uint32_t timestampLow;
    uint32_t timestampHigh;
    uint32_t unused6[4];
    uint64_t timestamp() const { return (uint64_t(timestampHigh) << 32) | timestampLow; }
};
static_assert(sizeof(FrameHeader) == kFrameHeaderSize);
static_assert(kVideoFrameRecordSize <= kLinkDataSize);

// How many bytes of the data area a record of this type occupies (0: unknown type).
inline std::size_t recordSize(uint32_t type) {
    switch (type) {
    case kVideoConfig:
    case kAudioConfig:
    case kScanNotice:
        return kConfigBlockSize;
    case kVideoFrame:
        return kVideoFrameRecordSize;
    case kAudioFrame:
        return kAudioFrameRecordSize;
    case kRecordingCommand:
    case kAudioChannelCommand:
        return kCommandRecordSize;
    default:
        return 0;
    }
}

} // namespace kobal::render
