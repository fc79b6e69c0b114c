#include "ui/ShapedRegion.h"

#include <QImage>
#include <QWidget>

#include <cstring>

namespace kobal {
namespace {
// The buffer grows by this many rectangles whenever it is full.
constexpr int kRoomStep = 40;

std::uint32_t keyInDepth(std::uint32_t colourRef, int bitsPerPixel) {
    const std::uint32_t r = colourRef & 0xFF, g = (colourRef >> 8) & 0xFF,
                        b = (colourRef >> 16) & 0xFF;
    if (bitsPerPixel == 16) return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    return (r << 16) | (g << 8) | b; // blue, green, red bytes read as a little-endian word
}

// The off-window pixel that stands for "nothing" (see setWindowRegion).
const QRect kNothing(-1, -1, 1, 1);
} // namespace

QRegion RegionRects::toRegion() const {
    std::vector<QRect> qrects;
    qrects.reserve(rects.size());
    for (const Rect& r : rects)
        qrects.emplace_back(r.left, r.top, r.right - r.left, r.bottom - r.top);
    QRegion region;
    region.setRects(qrects.data(), int(qrects.size())); // one call, as the rows are banded
    return region;
}

RegionRects regionRectsFromDib(const DibPixels& dib, std::uint32_t keyColour) {
    RegionRects out;
    out.room = dib.height > 0 ? dib.height : 0;
    const int bpp = dib.bitsPerPixel;
    if (dib.width <= 0 || dib.height <= 0 || !dib.bits) return out;
    if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return out;
    if (dib.stride < (dib.width * bpp + 7) / 8) return out;
    out.rects.reserve(std::size_t(out.room));
    const std::uint32_t key = keyInDepth(keyColour, bpp);

    auto opaque = [&](const std::uint8_t* row, int x) {
        switch (bpp) {
        case 8: {
            const int index = row[x];
            const std::uint32_t entry =
                index < dib.colourCount && dib.colourTable ? dib.colourTable[index] : 0;
            return entry != key;
        }
        case 16:
            return std::uint32_t(row[2 * x] | (row[2 * x + 1] << 8)) != key;
        case 24:
            return std::uint32_t(row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16)) !=
                   key;
        default: {
            std::uint32_t word;
            std::memcpy(&word, row + 4 * x, 4);
            return word != key;
        }
        }
    };
    auto add = [&](int left, int y, int right) {
        if (int(out.rects.size()) == out.room) {
            out.room += kRoomStep;
            out.rects.reserve(std::size_t(out.room));
        }
        out.rects.push_back({left, y, right, y + 1});
    };

    // Bottom-up rows: the picture's top row is the buffer's last.
    for (int y = 0; y < dib.height; ++y) {
        const std::uint8_t* row = dib.bits + std::size_t(dib.height - 1 - y) * dib.stride;
        int runStart = -1;
        for (int x = 0; x < dib.width; ++x) {
            const bool solid = opaque(row, x);
            if (solid && runStart < 0) runStart = x;
            if (!solid && runStart >= 0) {
                add(runStart, y, x);
                runStart = -1;
            }
        }
        if (runStart >= 0) add(runStart, y, dib.width);
    }
    return out;
}

DibCopy::DibCopy(const QImage& image) {
    if (image.isNull()) return;
    QImage src;
    int bpp = 32;
    switch (image.format()) {
    case QImage::Format_Indexed8:
        src = image;
        bpp = 8;
        break;
    case QImage::Format_RGB16:
        src = image;
        bpp = 16;
        break;
    case QImage::Format_RGB888:
        src = image;
        bpp = 24;
        break;
    case QImage::Format_BGR888:
        src = image.convertToFormat(QImage::Format_RGB888);
        bpp = 24;
        break;
    default:
        src = image.convertToFormat(QImage::Format_RGB32);
        break;
    }
    const int w = src.width(), h = src.height();
    const int stride = ((w * bpp + 31) / 32) * 4;
    bits_.assign(std::size_t(stride) * h, 0);
    for (int y = 0; y < h; ++y) {
        const uchar* in = src.constScanLine(y);
        std::uint8_t* out = bits_.data() + std::size_t(h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
            switch (bpp) {
            case 8:
                out[x] = in[x];
                break;
            case 16: // Qt keeps RGB16 as native 16-bit words, 5-6-5 like a display bitmap
                out[2 * x] = in[2 * x];
                out[2 * x + 1] = in[2 * x + 1];
                break;
            case 24: // RGB888 holds red first; a display bitmap holds blue first
                out[3 * x] = in[3 * x + 2];
                out[3 * x + 1] = in[3 * x + 1];
                out[3 * x + 2] = in[3 * x];
                break;
            default: {
                const std::uint32_t word = reinterpret_cast<const QRgb*>(in)[x] & 0x00FFFFFF;
                std::memcpy(out + 4 * x, &word, 4);
            }
            }
        }
    }
    if (bpp == 8) {
        for (QRgb c : src.colorTable()) table_.push_back(c & 0x00FFFFFF);
    }
    view_ = {w, h, bpp, stride, bits_.data(), table_.data(), int(table_.size())};
}

QRegion regionFromBitmap(const QImage& skin, std::uint32_t keyColour) {
    const DibCopy dib(skin);
    return regionRectsFromDib(dib.view(), keyColour).toRegion();
}

QRegion regionFromBitmap(const QImage& skin, std::uint32_t keyColour, QSize* size) {
    if (size) *size = skin.size();
    return regionFromBitmap(skin, keyColour);
}

QRegion roundedOutline(int left, int top, int right, int bottom) {
    QRegion outline(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
    auto cut = [&](QRect ellipseBox, QRect square) {
        outline -= QRegion(square) - QRegion(ellipseBox, QRegion::Ellipse);
    };
    // Boxes are given as left, top, right, bottom with right and bottom exclusive.
    auto box = [](int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); };
    cut(box(left, top, left + 28, top + 28), box(left, top, 14, 14));
    cut(box(right - 24, top, right, top + 24), box(right - 12, top, right, top + 12));
    cut(box(left, bottom - 24, left + 24, bottom), box(left, bottom - 12, left + 12, bottom));
    cut(box(right - 20, bottom - 20, right, bottom), box(right - 10, bottom - 10, right, bottom));
    return outline;
}

void setWindowRegion(QWidget* window, const QRegion& region) {
    if (!window) return;
    window->setMask(region.isEmpty() ? QRegion(kNothing) : region);
}

bool regionShowsNothing(const QWidget* window) {
    return window && window->mask() == QRegion(kNothing);
}

} // namespace kobal
