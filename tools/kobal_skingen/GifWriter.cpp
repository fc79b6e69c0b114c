#include "GifWriter.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace kobal {
namespace {
void put16(QByteArray& out, int v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

// LZW with variable code sizes, as the decoders expect it (minimum code size 8).
QByteArray lzw(const std::vector<std::uint8_t>& pixels) {
    QByteArray bytes;
    std::uint32_t acc = 0;
    int accBits = 0;
    int bits = 9;
    auto putCode = [&](int code) {
        acc |= std::uint32_t(code) << accBits;
        accBits += bits;
        while (accBits >= 8) {
            bytes.append(char(acc & 0xFF));
            acc >>= 8;
            accBits -= 8;
        }
    };
    const int clear = 256, eoi = 257;
    std::unordered_map<std::uint32_t, int> dict;
    int next = 258;
    putCode(clear);
    if (pixels.empty()) {
        putCode(eoi);
    } else {
        int prefix = pixels[0];
        for (std::size_t i = 1; i < pixels.size(); ++i) {
            const int k = pixels[i];
            const std::uint32_t key = (std::uint32_t(prefix) << 8) | std::uint32_t(k);
            auto it = dict.find(key);
            if (it != dict.end()) {
                prefix = it->second;
                continue;
            }
            putCode(prefix);
            if (next >= (1 << bits) && bits < 12) ++bits;
            if (next < 4095) {
                dict[key] = next++;
            } else {
                putCode(clear);
                dict.clear();
                next = 258;
                bits = 9;
            }
            prefix = k;
        }
        putCode(prefix);
        if (next >= (1 << bits) && bits < 12) ++bits;
        putCode(eoi);
    }
    if (accBits > 0) bytes.append(char(acc & 0xFF));
    QByteArray blocks;
    blocks.append(char(8));
    for (qsizetype pos = 0; pos < bytes.size(); pos += 255) {
        const qsizetype n = std::min<qsizetype>(255, bytes.size() - pos);
        blocks.append(char(n));
        blocks.append(bytes.constData() + pos, n);
    }
    blocks.append(char(0));
    return blocks;
}

// Palette of at most 255 colours (index 255 is transparent) and the frame's indices.
void quantise(const QImage& image, std::vector<QRgb>& palette, std::vector<std::uint8_t>& idx) {
    std::map<QRgb, int> counts;
    const int w = image.width(), h = image.height();
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            if (qAlpha(row[x]) >= 128) ++counts[row[x] | 0xFF000000];
    }
    std::vector<std::pair<int, QRgb>> byUse;
    for (auto [c, n] : counts) byUse.push_back({n, c});
    std::sort(byUse.begin(), byUse.end(), [](auto a, auto b) { return a.first > b.first; });
    palette.clear();
    for (std::size_t i = 0; i < byUse.size() && i < 255; ++i) palette.push_back(byUse[i].second);
    std::unordered_map<QRgb, std::uint8_t> nearest;
    idx.assign(std::size_t(w) * h, 255);
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(row[x]) < 128) continue;
            const QRgb c = row[x] | 0xFF000000;
            auto it = nearest.find(c);
            if (it == nearest.end()) {
                int best = 0, bestD = 1 << 30;
                for (std::size_t i = 0; i < palette.size(); ++i) {
                    const int dr = qRed(c) - qRed(palette[i]), dg = qGreen(c) - qGreen(palette[i]),
                              db = qBlue(c) - qBlue(palette[i]);
                    const int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                    if (d < bestD) bestD = d, best = int(i);
                }
                it = nearest.emplace(c, std::uint8_t(best)).first;
            }
            idx[std::size_t(y) * w + x] = it->second;
        }
    }
}
} // namespace

QByteArray writeGif(int screenWidth, int screenHeight, const std::vector<GifWriterFrame>& frames,
                    bool loop) {
    QByteArray out("GIF89a");
    put16(out, screenWidth);
    put16(out, screenHeight);
    out.append(char(0x00)); // no global colour table
    out.append(char(0));    // background index
    out.append(char(0));    // aspect
    if (loop && frames.size() > 1) {
        out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        put16(out, 0);
        out.append(char(0));
    }
    for (const GifWriterFrame& f : frames) {
        const QImage image = f.image.convertToFormat(QImage::Format_ARGB32);
        std::vector<QRgb> palette;
        std::vector<std::uint8_t> idx;
        quantise(image, palette, idx);
        out.append("\x21\xF9\x04", 3);
        out.append(char(((f.disposal & 7) << 2) | 1)); // transparent index present
        put16(out, f.delay);
        out.append(char(255));
        out.append(char(0));
        out.append(',');
        put16(out, f.left);
        put16(out, f.top);
        put16(out, image.width());
        put16(out, image.height());
        out.append(char(0x80 | 7)); // local table of 256 entries
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < int(palette.size()) ? palette[std::size_t(i)] : 0;
            out.append(char(qRed(c)));
            out.append(char(qGreen(c)));
            out.append(char(qBlue(c)));
        }
        out.append(lzw(idx));
    }
    out.append(';');
    return out;
}

} // namespace kobal
