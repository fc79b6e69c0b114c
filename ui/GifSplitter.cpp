#include "ui/GifSplitter.h"

#include "platform/ByteReader.h"

#include <cstdint>

namespace kobal {
namespace {
// Skips data sub-blocks up to and past the zero terminator; false when cut short.
bool skipSubBlocks(ByteReader& r) {
    for (;;) {
        const std::uint8_t n = r.u8();
        if (!r.ok()) return false;
        if (n == 0) return true;
        if (!r.skip(n)) return false;
    }
}
} // namespace

GifSplit splitGif(const QByteArray& data) {
    GifSplit out;
    ByteReader r(data.constData(), std::size_t(data.size()));
    out.isGif = data.startsWith("GIF");
    if (!out.isGif) return out;
    r.skip(6);
    out.screenWidth = r.u16le();
    out.screenHeight = r.u16le();
    const int packed = r.u8();
    const int backgroundIndex = r.u8();
    r.u8(); // aspect
    out.globalTableLength = (packed & 0x80) ? 3 * (1 << ((packed & 7) + 1)) : 0;
    const auto table = r.bytes(std::size_t(out.globalTableLength));
    if (!r.ok()) return out;
    if (out.globalTableLength > 0 && 3 * backgroundIndex + 3 <= out.globalTableLength) {
        const std::size_t e = std::size_t(3 * backgroundIndex);
        out.hasBackground = true;
        out.background = qRgb(table[e], table[e + 1], table[e + 2]);
    }
    const std::size_t headerEnd = r.position();

    struct Found {
        std::size_t gce = 0, gceEnd = 0, image = 0, imageEnd = 0;
        bool hasGce = false;
        int delay = 0, disposal = 0, left = 0, top = 0, width = 0, height = 0;
    };
    std::vector<Found> found;
    Found pending;
    while (r.remaining() > 0 && int(found.size()) < kMaxGifFrames) {
        const std::size_t start = r.position();
        const int kind = r.u8();
        if (kind == 0x3B) break; // trailer
        if (kind == 0x21) {
            const int label = r.u8();
            ByteReader fields = r; // the extension's first sub-block, read ahead
            if (!skipSubBlocks(r)) break;
            if (label == 0xF9) {
                pending = {};
                pending.hasGce = true;
                pending.gce = start;
                pending.gceEnd = r.position();
                const int size = fields.u8();
                const int gcePacked = fields.u8();
                const int delay = fields.u16le();
                if (fields.ok() && size >= 4) {
                    pending.disposal = (gcePacked >> 2) & 7;
                    pending.delay = delay;
                }
            } else if (label == 0x01) {
                pending = {}; // the extension belonged to the text, not to the next image
            }
        } else if (kind == 0x2C) {
            pending.image = start;
            pending.left = r.u16le();
            pending.top = r.u16le();
            pending.width = r.u16le();
            pending.height = r.u16le();
            const int imagePacked = r.u8();
            r.skip((imagePacked & 0x80) ? 3 * (std::size_t(1) << ((imagePacked & 7) + 1)) : 0);
            r.u8(); // LZW minimum code size
            if (!r.ok() || !skipSubBlocks(r)) break;
            pending.imageEnd = r.position();
            found.push_back(pending);
            pending = {};
        } else {
            break; // not a block this format has: stop at the damage
        }
    }
    out.frameCount = int(found.size());
    if (found.size() < 2) return out;

    out.frames.reserve(found.size());
    for (const Found& f : found) {
        GifFrameBytes frame;
        frame.left = f.left;
        frame.top = f.top;
        frame.width = f.width;
        frame.height = f.height;
        frame.delay = f.delay;
        frame.disposal = f.disposal;
        const std::size_t gceLength = f.hasGce ? f.gceEnd - f.gce : 0;
        frame.gif.reserve(qsizetype(headerEnd + gceLength + (f.imageEnd - f.image) + 1));
        frame.gif.append(data.constData(), qsizetype(headerEnd));
        if (f.hasGce) frame.gif.append(data.constData() + f.gce, qsizetype(gceLength));
        frame.gif.append(data.constData() + f.image, qsizetype(f.imageEnd - f.image));
        frame.gif.append(char(0x3B));
        out.frames.push_back(std::move(frame));
    }
    return out;
}

} // namespace kobal
