#pragma once
// Wire records the engine and the player send to the renderer through the renderer link.
// All fields are little-endian 32-bit words (this machine's own order); every record is sent
// at its full size whatever its payload length. The renderer keeps its own copy of these
// layouts; the static_asserts below pin the sizes both sides agree on.
#include <cstddef>
#include <cstdint>

namespace kobal::records {

// Named objects of the renderer side (created by the renderer before it sends copy-data 2).
inline constexpr const char* kRendererLinkName = "{F585BEB6-3BDD-4899-9CAC-079C0AD01B4C}";
inline constexpr std::size_t kRendererLinkDataSize = 40001;
inline constexpr const char* kFrameEventName = "{BD8438A5-FE8F-4e26-9718-AD19887A24D9}";
inline constexpr const char* kStopEventName = "{BB466D8B-D2E5-420a-BEE8-B6B69837F2BF}";
// The player's party id on every link it opens.
inline constexpr int kPlayerPartyId = 2;

enum RecordType : uint32_t {
    kVideoConfig = 0x101,
    kAudioConfig = 0x102,
    kVideoFrame = 0x103,
    kAudioFrame = 0x104,
    kScanNotice = 0x107,
    kRecordingCommand = 0x108,
    kAudioChannelCommand = 0x109,
};

// 0x101: the captured SPS and PPS NAL units, start codes included.
// 0x102: the first seven bytes of an ADTS header (length is always 7).
struct ConfigBlock {
    uint32_t type = 0;
    uint32_t length = 0;
    uint8_t bytes[1016] = {};
};
static_assert(sizeof(ConfigBlock) == 1024);
inline constexpr std::size_t kConfigBlockSize = sizeof(ConfigBlock);
inline constexpr std::size_t kConfigPayloadMax = sizeof(ConfigBlock::bytes);

// Words 0-9 of a frame record. Words 2, 3 and 6-9 are always 0xFFFFFFFF.
struct FrameHeader {
    uint32_t type = 0xFFFFFFFFu;
    uint32_t length = 0xFFFFFFFFu;
    uint32_t unused2 = 0xFFFFFFFFu;
    uint32_t unused3 = 0xFFFFFFFFu;
    uint32_t timestampLow = 0xFFFFFFFFu;
    uint32_t timestampHigh = 0xFFFFFFFFu;
    uint32_t unused6[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};

    uint64_t timestamp() const { return (uint64_t(timestampHigh) << 32) | timestampLow; }
    void setTimestamp(uint64_t t) {
        timestampLow = uint32_t(t);
        timestampHigh = uint32_t(t >> 32);
    }
};
static_assert(sizeof(FrameHeader) == 40);

// 0x103: one H.264 access unit, from its delimiter's start code on.
struct VideoFrameRecord {
    FrameHeader header;
    uint8_t payload[39960];
};
static_assert(sizeof(VideoFrameRecord) == 40000);
inline constexpr std::size_t kVideoFrameRecordSize = sizeof(VideoFrameRecord);
inline constexpr std::size_t kVideoPayloadMax = sizeof(VideoFrameRecord::payload);

// 0x104: one ADTS frame, header included.
struct AudioFrameRecord {
    FrameHeader header;
    uint8_t payload[10240];
};
static_assert(sizeof(AudioFrameRecord) == 10280);
inline constexpr std::size_t kAudioFrameRecordSize = sizeof(AudioFrameRecord);
inline constexpr std::size_t kAudioPayloadMax = sizeof(AudioFrameRecord::payload);

// 0x108 (word 1 = 12; action 1 start, 2 stop) and 0x109 (word 1 = 0; action 1 main, 2 sub).
struct CommandRecord {
    uint32_t type = 0;
    uint32_t length = 0;
    uint32_t action = 0;
};
static_assert(sizeof(CommandRecord) == 12);
inline constexpr uint32_t kRecordStart = 1, kRecordStop = 2;
inline constexpr uint32_t kAudioMain = 1, kAudioSub = 2;

// 0x107: only word 0 is set.
struct ScanNoticeRecord {
    uint32_t type = kScanNotice;
    uint8_t rest[1020] = {};
};
static_assert(sizeof(ScanNoticeRecord) == 1024);

// Every record fits the link's data area.
static_assert(sizeof(VideoFrameRecord) <= kRendererLinkDataSize);

// Delivery state of the data pump: low nibble 5 = audio config captured, high nibble 5 =
// video config captured, 0x55 both, 0xAA announced and streaming; 0xFF before any acquisition.
inline constexpr uint8_t kDeliveryInitial = 0xFF;
inline constexpr uint8_t kDeliveryAudioCaptured = 0x05;
inline constexpr uint8_t kDeliveryVideoCaptured = 0x50;
inline constexpr uint8_t kDeliveryBoth = 0x55;
inline constexpr uint8_t kDeliveryStreaming = 0xAA;

} // namespace kobal::records
