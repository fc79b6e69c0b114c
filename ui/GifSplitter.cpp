#include "ui/GifSplitter.h"

#include <cstdint>

namespace kobal {
namespace {
// Bounded view of the file: every read checks the length first.
struct Bytes {
    const std::uint8_t* p;
    long long size;
    bool has(long long pos, long long n) const { return pos >= 0 && n >= 0 && pos + n <= size; }
    int at(long long pos) const { return p[pos]; }
    int u16(long long pos) const { return p[pos] | (p[pos + 1] << 8); }
};

// Skips data sub-blocks from pos up to and past the zero terminator; -1 when cut short.
long long skipSubBlocks(const Bytes& b, long long pos) {
    while (b.has(pos, 1)) {
        const int n = b.at(pos);
        if (n == 0) return pos + 1;
        pos += 1 + n;
    }
    return -1;
}
} // namespace

GifSplit splitGif(const QByteArray& data) {
    GifSplit out;
    const Bytes b{reinterpret_cast<const std::uint8_t*>(data.constData()), data.size()};
    out.isGif = b.has(0, 3) && data.startsWith("GIF");
    if (!out.isGif || !b.has(0, 13)) return out;
    out.screenWidth = b.u16(6);
    out.screenHeight = b.u16(8);
    const int packed = b.at(10);
    out.globalTableLength = (packed & 0x80) ? 3 * (1 << ((packed & 7) + 1)) : 0;
    const long long headerEnd = 13 + out.globalTableLength;
    if (!b.has(0, headerEnd)) return out;
    if (out.globalTableLength > 0) {
        const long long e = 13 + 3LL * b.at(11);
        if (b.has(e, 3)) {
            out.hasBackground = true;
            out.background = qRgb(b.at(e), b.at(e + 1), b.at(e + 2));
        }
    }

    struct Found {
        long long gce = -1, gceEnd = -1, image = -1, imageEnd = -1;
        int delay = 0, disposal = 0, left = 0, top = 0, width = 0, height = 0;
    };
    std::vector<Found> found;
    Found pending;
    long long pos = headerEnd;
    while (b.has(pos, 1) && int(found.size()) < kMaxGifFrames) {
        const int kind = b.at(pos);
        if (kind == 0x3B) break; // trailer
        if (kind == 0x21) {
            if (!b.has(pos, 2)) break;
            const int label = b.at(pos + 1);
            const long long end = skipSubBlocks(b, pos + 2);
            if (end < 0) break;
            if (label == 0xF9) {
                pending = {};
                pending.gce = pos;
                pending.gceEnd = end;
                if (b.has(pos + 2, 1) && b.at(pos + 2) >= 4 && b.has(pos + 3, 4)) {
                    pending.disposal = (b.at(pos + 3) >> 2) & 7;
                    pending.delay = b.u16(pos + 4);
                }
            } else if (label == 0x01) {
                pending = {}; // the extension belonged to the text, not to the next image
            }
            pos = end;
        } else if (kind == 0x2C) {
            if (!b.has(pos, 10)) break;
            pending.image = pos;
            pending.left = b.u16(pos + 1);
            pending.top = b.u16(pos + 3);
            pending.width = b.u16(pos + 5);
            pending.height = b.u16(pos + 7);
            const int ipacked = b.at(pos + 9);
            const long long local = (ipacked & 0x80) ? 3LL * (1 << ((ipacked & 7) + 1)) : 0;
            const long long lzw = pos + 10 + local; // code size byte, then the data blocks
            if (!b.has(lzw, 1)) break;
            const long long end = skipSubBlocks(b, lzw + 1);
            if (end < 0) break;
            pending.imageEnd = end;
            found.push_back(pending);
            pending = {};
            pos = end;
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
        const long long gceLength = f.gce >= 0 ? f.gceEnd - f.gce : 0;
        frame.gif.reserve(qsizetype(headerEnd + gceLength + (f.imageEnd - f.image) + 1));
        frame.gif.append(data.constData(), qsizetype(headerEnd));
        if (f.gce >= 0) frame.gif.append(data.constData() + f.gce, qsizetype(gceLength));
        frame.gif.append(data.constData() + f.image, qsizetype(f.imageEnd - f.image));
        frame.gif.append(char(0x3B));
        out.frames.push_back(std::move(frame));
    }
    return out;
}

} // namespace kobal
