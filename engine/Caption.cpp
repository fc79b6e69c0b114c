#include "engine/Caption.h"

#include "engine/EucJp.h"

namespace kobal {
namespace {

// Captions keep a line's trailing text only from U+0100 on: zeros, spaces and stray ASCII
// (parameters of controls the walk does not know) are dropped at the end of a line.
void cleanLine(CaptionLine& line) {
    size_t n = 0;
    while (n < kCaptionTextMax && line.text[n]) ++n;
    while (n > 0 && line.text[n - 1] < 0x100) --n;
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
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t u = units[i];
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
        } else if (u == 0x9D && i + 2 < units.size() && units[i + 1] == 0x20) {
            if (line) line->wait = units[i + 2] & 0x3F;
            i += 2;
        } else if (u <= 0x1F || (u >= 0x80 && u <= 0xA0)) {
            // other controls carry nothing the panel shows
        } else if (line && length < kCaptionTextMax) {
            // Row 85 onwards sits 0xBC above where the guide's decoder puts the ARIB symbols.
            line->text[length++] = (u >= 0xE000 && u <= 0xE3AA) ? char16_t(u - 0xBC) : u;
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
    if ((d[3] >> 2) != 1) return false; // only data group 1, the first language's statement
    const int mode = d[8] >> 6;
    const size_t loop = (mode == 1 || mode == 2) ? 14 : 9;
    const size_t u = loop + 3;
    block_.reset();
    if (u + 5 <= size) {
        const uint8_t parameter = d[u + 1];
        size_t s = (size_t(d[u + 2]) << 16) | (size_t(d[u + 3]) << 8) | d[u + 4];
        if (s > 0 && s < 512 && parameter == 0x20) {
            if (s > size - (u + 5)) s = size - (u + 5); // cut where the packet's bytes end
            buildCaptionLines(eucJpToUtf16(d + u + 5, s, 512), block_);
        }
    }
    return true;
}

bool CaptionDecoder::onPacket(const uint8_t* p, size_t size, bool unitStart) {
    if (!unitStart || !p || size < 9) return false;
    if (p[0] != 0 || p[1] != 0 || p[2] != 1) return false;
    const size_t start = 9 + size_t(p[8]);
    if (start >= size) return false;
    return decodePesData(p + start, size - start);
}

} // namespace kobal
