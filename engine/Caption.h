#pragma once
// Caption decoding: the first data unit of each caption PES becomes a CaptionBlock of up to
// eight coloured lines for the caption panel. Decoding only; the panel draws.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kobal {

inline constexpr int kCaptionLines = 8;
inline constexpr size_t kCaptionTextMax = 511;

// One line record as the caption panel reads it (261 32-bit words).
struct CaptionLine {
    int32_t clear = 0;      // 1 when a clear-screen code opened the line
    int32_t lineCount = 0;  // lines in the block, the same in every used record
    int32_t returnFlag = 1; // 2 when a carriage return opened the line
    int32_t colour = 8;     // 1-8: black, red, green, yellow, blue, magenta, cyan, white
    int32_t wait = 0;       // time control parameter, tenths of a second (0 = default)
    char16_t text[kCaptionTextMax + 1] = {}; // NUL-terminated

    std::u16string_view textView() const;
};
static_assert(sizeof(CaptionLine) == 1044);

struct CaptionBlock {
    std::array<CaptionLine, kCaptionLines> lines{};

    void reset() { lines.fill(CaptionLine{}); }
    int lineCount() const { return lines[0].lineCount; }
};

class CaptionDecoder {
public:
    // A packet payload on the caption PID. Only unit starts carrying a whole PES header are
    // read. True when a caption statement was decoded into block().
    bool onPacket(const uint8_t* payload, size_t size, bool unitStart);

    // The PES data (after the PES header). True when it was a first-language statement.
    bool decodePesData(const uint8_t* d, size_t size);

    const CaptionBlock& block() const { return block_; }

private:
    CaptionBlock block_{};
};

// Turns the converted statement body into lines (the walk and the line clean-up); exposed
// for tests and the benchmark.
void buildCaptionLines(const std::u16string& units, CaptionBlock& block);

} // namespace kobal
