#pragma once
// What the player's end (engine/PlayerLinkEnd) and the renderer's end (renderer/
// RendererLinkEnd) of the renderer link agree on: the names of the named objects, the header
// and record layouts, the copy-data ids and the copy-data 2 payload. Each end keeps its own
// link code and state; only the words on the wire are shared, so they are written once here.
//
// All record fields are little-endian 32-bit words; every record is sent at its full size
// whatever its payload length.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobal::records {

// ---- Named objects -----------------------------------------------------------------------

// The link of the renderer and its data size (the shared area adds the 8-byte header).
inline constexpr const char* kRendererLinkName = "{F585BEB6-3BDD-4899-9CAC-079C0AD01B4C}";
inline constexpr std::size_t kRendererLinkDataSize = 40001;
// The renderer's two events, created by the renderer before it sends copy-data 2; the player
// only opens them. The renderer sets nothing on the frame event; the player pulses the stop
// event to end the renderer's reading.
inline constexpr const char* kFrameEventName = "{BD8438A5-FE8F-4e26-9718-AD19887A24D9}";
inline constexpr const char* kStopEventName = "{BB466D8B-D2E5-420a-BEE8-B6B69837F2BF}";

// Serialises open/connect/leave of every link across processes.
inline constexpr const char* kSetupLockName =
    "IPC_RACE_MUTEX{DF9F578A-D4F8-45f3-8229-674094C60ECE}";
// Shared area "FILEMAP_<name>": [0] server party id, [4] client party id, [8..) the one slot.
inline constexpr std::size_t kHeaderSize = 8;
std::string mapName(const std::string& link);
// Guards the slot.
std::string dataLockName(const std::string& link);
// Auto-reset events each party sets after it wrote or took a message.
std::string clientEventName(const std::string& link, uint32_t clientId);
std::string serverEventName(const std::string& link, uint32_t serverId);
// The presence file a party holds an flock on while it is in the link (slot 0 server, 1
// client): a header word whose file exists but is not locked belongs to a party that died.
// Named after a hash of the area's scoped name, so that any link name fits in NAME_MAX.
std::string presencePath(const std::string& link, int slot, uint32_t id);

inline constexpr int kPlayerPartyId = 2;
inline constexpr int kRendererPartyId = 7;

// ---- Copy-data between the renderer and the player's window ------------------------------

enum CopyDataId : unsigned long {
    kCopyDataStart = 2,           // renderer → window: 32-bit pid, then the UTF-16LE source
    kCopyDataRendererReady = 3,   // renderer → window: no data, pid in the length field
    kCopyDataRendererStopped = 4, // renderer → window: no data, pid in the length field
    kCopyDataStop = 14,           // window → itself: stop the live source
};

// Copy-data 2's data: the sender's process id, then the source text as UTF-16LE (without a
// terminator; a reader stops at a NUL or at the end of the data).
std::vector<uint8_t> startPayload(uint32_t processId, std::u16string_view source);
struct StartRequest {
    uint32_t processId = 0;
    std::u16string source; // up to its first NUL or the end of the data
};
// Reads copy-data 2's data; nothing when it is too short for the process id.
std::optional<StartRequest> readStartPayload(const std::vector<uint8_t>& data);

// ---- Records ------------------------------------------------------------------------------

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

// Words 0-9 of a frame record: type, payload length, the 64-bit timestamp in words 4-5.
// Words 2, 3 and 6-9 are always 0xFFFFFFFF.
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
inline constexpr std::size_t kFrameHeaderSize = sizeof(FrameHeader);

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
inline constexpr std::size_t kCommandRecordSize = sizeof(CommandRecord);
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

// How many bytes of the data area a record of this type occupies (0: unknown type).
inline constexpr std::size_t recordSize(uint32_t type) {
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

} // namespace kobal::records
