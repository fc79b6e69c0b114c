#pragma once
// Window outlines cut from skin pictures. A skin paints its corners and cut-outs in a key
// colour; the region builder keeps one rectangle per opaque run of each row, so the window
// neither draws nor takes the mouse there. The main window instead gets a rounded outline.
// All of it runs on the UI thread, once per window (per size change for the update dialog),
// never while painting.
#include <QRect>
#include <QRegion>

#include <cstdint>
#include <vector>

class QImage;
class QWidget;

namespace kobal {

// A device-independent picture as the builder reads it: rows bottom-up, each stride bytes
// (a multiple of 4). 8 bits per pixel carries a colour table of 0x00RRGGBB words.
struct DibPixels {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32; // 8, 16 (5-6-5), 24 or 32; any other depth gives no rectangles
    int stride = 0;
    const std::uint8_t* bits = nullptr;
    const std::uint32_t* colourTable = nullptr;
    int colourCount = 0;
};

// The rectangle list of one region, top row first, left to right; right and bottom are
// exclusive as in the rectangles of a region's data. room counts rectangles the buffer had
// space for: it starts at the row count and grows by 40 whenever the count reaches it.
struct RegionRects {
    struct Rect {
        int left, top, right, bottom;
        bool operator==(const Rect&) const = default;
    };
    std::vector<Rect> rects;
    int room = 0;
    QRegion toRegion() const;
};

// keyColour is a colour value 0x00BBGGRR. A pixel is cut away when it equals the key in the
// picture's own depth (for 16 bits in 5-6-5 form, so nearby colours fall together).
RegionRects regionRectsFromDib(const DibPixels& dib, std::uint32_t keyColour);

// A picture copied in the depth it would have as a display bitmap: Indexed8 → 8 bits with its
// colour table, RGB16 → 16, RGB888 → 24, everything else → 32 (alpha is not part of the
// comparison). The copy owns its bytes; view() points into them.
class DibCopy {
public:
    explicit DibCopy(const QImage& image);
    const DibPixels& view() const { return view_; }

private:
    std::vector<std::uint8_t> bits_;
    std::vector<std::uint32_t> table_;
    DibPixels view_;
};

// Region of the picture's non-key pixels; empty for a null picture. The size-storing
// variant also hands back the picture's size, for windows that size themselves after it.
QRegion regionFromBitmap(const QImage& skin, std::uint32_t keyColour);
QRegion regionFromBitmap(const QImage& skin, std::uint32_t keyColour, QSize* size);

// The main window's outline: the rectangle with its four corners rounded (radii 14, 12, 12
// and 10: top left, top right, bottom left, bottom right). The caller passes left = top = 0.
QRegion roundedOutline(int left, int top, int right, int bottom);

// Gives a top-level window its region. Qt reads an empty mask as "no mask" (the whole
// window); an empty region here means the window shows nothing, so it gets a one-pixel mask
// outside itself instead. regionShowsNothing() tells such a window apart.
void setWindowRegion(QWidget* window, const QRegion& region);
bool regionShowsNothing(const QWidget* window);

// Skin key colours (0x00BBGGRR).
constexpr std::uint32_t kKeyGreen = 0x00FF00;
constexpr std::uint32_t kKeyMagenta = 0xFF00FF;

} // namespace kobal
