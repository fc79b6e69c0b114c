#include "engine/Caption.h"

#include "broadcast/AribText.h"
#include "broadcast/EucJp.h"
#include "platform/ByteReader.h"

#include <algorithm>

namespace kobal {
namespace {

// Captions keep a line's trailing text only from U+0100 on: zeros, spaces and stray ASCII
// are dropped at the end of a line, and so are trailing full-size spaces, which show nothing.
void cleanLine(CaptionLine& line) {
    size_t n = 0;
    while (n < kCaptionTextMax && line.text[n]) ++n;
    while (n > 0 && (line.text[n - 1] < 0x100 || line.text[n - 1] == 0x3000)) --n;
    line.text[n] = 0;
    for (size_t i = 0; i < n; ++i) {
        char16_t& c = line.text[i];
        if (c >= 0xFF01 && c <= 0xFF5E)
            c = static_cast<char16_t>(c - 0xFF01 + 0x21);
        else if (c == 0xFFFC)
            c = u' ';
        else if (c == 0x3001)
            c = 0xFF64;
    }
}

} // namespace

std::u16string_view CaptionLine::textView() const {
    size_t n = 0;
    while (n < kCaptionTextMax && text[n]) ++n;
    return {text, n};
}

void buildCaptionLines(const std::u16string& units, CaptionBlock& block) {
    int current = -1; // no line opened yet
    int opened = 0;
    size_t length = 0; // characters in the current line
    CaptionLine* line = nullptr;
    bool normalSize = true; // a space in normal size is as wide as a kanji
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t u = units[i];
        const int next = i + 1 < units.size() ? units[i + 1] : -1;
        if (u >= 0x08 && u <= 0x0D) {
            // A ninth line has no record: it and everything after it is dropped.
            ++current;
            if (current >= kCaptionLines) {
                line = nullptr;
                continue;
            }
            line = &block.lines[current];
            opened = current + 1;
            length = 0;
            if (u == 0x0C) line->clear = 1;
            if (u == 0x0D) line->returnFlag = 2;
        } else if (u >= 0x80 && u <= 0x87) {
            if (line) line->colour = u - 0x7F;
        } else if (u == 0x9D) {
            // TIME: 0x20 and the wait; any other form also carries two parameters.
            if (line && next == 0x20 && i + 2 < units.size()) line->wait = units[i + 2] & 0x3F;
            i = std::min(i + 2, units.size());
        } else if (u == 0x88 || u == 0x89 || u == 0x8A) {
            normalSize = u == 0x8A; // SSZ, MSZ: small and middle size; NSZ: normal
        } else if (const size_t skip = aribControlParameters(u, next)) {
            i = std::min(i + skip, units.size());
        } else if (u <= 0x1F || (u >= 0x80 && u <= 0xA0)) {
            // other controls carry nothing the panel shows
        } else if (line && length < kCaptionTextMax) {
            // Row 85 onwards sits 0xBC above where the guide's decoder puts the ARIB symbols.
            if (u >= 0xE000 && u <= 0xE3AA)
                u = char16_t(u - 0xBC);
            else if (u == 0x20 && normalSize)
                u = 0x3000;
            line->text[length++] = u;
            line->text[length] = 0;
        }
    }
    for (int k = 0; k < opened; ++k) {
        cleanLine(block.lines[k]);
        block.lines[k].lineCount = opened;
    }
}

bool CaptionDecoder::decodePesData(const uint8_t* d, size_t size) {
    if (!d || size < 10) return false;
    ByteReader r(d, size);
    r.skip(3);
    if ((r.u8() >> 2) != 1) return false; // only data group 1, the first language's statement
    r.skip(4);
    const int mode = r.u8() >> 6;
    const size_t loop = (mode == 1 || mode == 2) ? 14 : 9;
    block_.reset();
    // The first data unit: separator, parameter, 24-bit size, body.
    ByteReader unit(d, size);
    unit.skip(loop + 4);
    const uint8_t parameter = unit.u8();
    size_t s = unit.u24be();
    if (unit.ok() && s > 0 && s < 512 && parameter == 0x20) {
        s = std::min(s, unit.remaining()); // cut where the packet's bytes end
        const std::span<const uint8_t> body = unit.bytes(s);
        buildCaptionLines(eucJpToUtf16(body.data(), body.size(), 512), block_);
    }
    return true;
}

bool CaptionDecoder::onPacket(const uint8_t* p, size_t size, bool unitStart) {
    if (!unitStart || !p || size < 9) return false;
    ByteReader r(p, size);
    if (r.u24be() != 0x000001) return false;
    r.skip(5);
    r.skip(r.u8()); // PES header data
    if (r.atEnd()) return false;
    const std::span<const uint8_t> data = r.bytes(r.remaining());
    return decodePesData(data.data(), data.size());
}

} // namespace kobal
