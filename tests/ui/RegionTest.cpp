// Region from a skin picture and the rounded outline.
#include "tests/support/TestSupport.h"
#include "ui/ShapedRegion.h"

#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

namespace kobal {
namespace {
using R = RegionRects::Rect;
const QRgb kGreen = qRgb(0, 255, 0);

// Rows of a picture written as text: 'g' key green, anything else opaque.
QImage picture(std::initializer_list<const char*> rows, QImage::Format format) {
    const int w = int(strlen(*rows.begin())), h = int(rows.size());
    QImage image(w, h, QImage::Format_RGB32);
    int y = 0;
    for (const char* row : rows) {
        for (int x = 0; x < w; ++x) image.setPixel(x, y, row[x] == 'g' ? kGreen : qRgb(40, 40, 40));
        ++y;
    }
    return image.convertToFormat(format);
}

RegionRects rectsOf(const QImage& image, std::uint32_t key = kKeyGreen) {
    const DibCopy dib(image);
    return regionRectsFromDib(dib.view(), key);
}

TEST(Region, RunsPerRowInEveryDepth) {
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_RGB16,
                                  QImage::Format_Indexed8}) {
        SCOPED_TRACE(int(format));
        // No key at all: one full-width rectangle per row.
        EXPECT_EQ(rectsOf(picture({"xxxx", "xxxx"}, format)).rects,
                  (std::vector<R>{{0, 0, 4, 1}, {0, 1, 4, 2}}));
        // A key-only row adds nothing, a lone pixel is 1 × 1, a run open at the end closes
        // at the width, and the top row comes first although the buffer is bottom-up.
        EXPECT_EQ(rectsOf(picture({"gggg", "gxgg", "xxgx"}, format)).rects,
                  (std::vector<R>{{1, 1, 2, 2}, {0, 2, 2, 3}, {3, 2, 4, 3}}));
        EXPECT_TRUE(rectsOf(picture({"gg", "gg"}, format)).rects.empty());
    }
}

TEST(Region, SixteenBitsCompareInFiveSixFive) {
    QImage image(3, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(0, 0xFE, 0x04)); // same 5-6-5 value as pure green
    image.setPixel(1, 0, qRgb(0x08, 0xFF, 0)); // red's top five bits differ
    image.setPixel(2, 0, kGreen);
    EXPECT_EQ(rectsOf(image.convertToFormat(QImage::Format_RGB16)).rects,
              (std::vector<R>{{1, 0, 2, 1}}));
    // In 32 bits only the exact key is cut.
    EXPECT_EQ(rectsOf(image).rects, (std::vector<R>{{0, 0, 2, 1}}));
    // The key is a colour value 0x00BBGGRR: magenta keys red + blue.
    QImage magenta(2, 1, QImage::Format_RGB32);
    magenta.setPixel(0, 0, qRgb(255, 0, 255));
    magenta.setPixel(1, 0, kGreen);
    EXPECT_EQ(rectsOf(magenta, kKeyMagenta).rects, (std::vector<R>{{1, 0, 2, 1}}));
}

TEST(Region, StripedSkinGrowsTheBufferByForty) {
    std::string stripes;
    for (int x = 0; x < 100; ++x) stripes += x % 2 ? 'g' : 'x';
    const RegionRects r =
        rectsOf(picture({stripes.c_str(), stripes.c_str()}, QImage::Format_RGB32));
    ASSERT_EQ(r.rects.size(), 100u); // 50 runs in each of 2 rows
    EXPECT_EQ(r.room, 2 + 3 * 40);
    EXPECT_EQ(r.rects[50], (R{0, 1, 1, 2}));
    EXPECT_EQ(r.toRegion().rectCount(), 100);
}

TEST(Region, AllKeyWindowShowsNothing) {
    test::ensureQtApp();
    QWidget window;
    window.resize(20, 10);
    const QImage allKey = picture({"ggg", "ggg"}, QImage::Format_RGB32);
    const QRegion region = regionFromBitmap(allKey, kKeyGreen);
    EXPECT_TRUE(region.isEmpty());
    setWindowRegion(&window, region);
    EXPECT_FALSE(window.mask().isEmpty()); // an empty mask would show the whole window
    EXPECT_TRUE(regionShowsNothing(&window));
    EXPECT_TRUE(window.mask().intersected(window.rect()).isEmpty());
    setWindowRegion(&window, QRegion(0, 0, 5, 5));
    EXPECT_FALSE(regionShowsNothing(&window));
}

TEST(Region, RoundedOutlineCutsFourCorners) {
    const QRegion r = roundedOutline(0, 0, 358, 440);
    EXPECT_EQ(r.boundingRect(), QRect(0, 0, 358, 440));
    for (QPoint corner : {QPoint(0, 0), QPoint(357, 0), QPoint(0, 439), QPoint(357, 439)})
        EXPECT_FALSE(r.contains(corner)) << corner.x() << "," << corner.y();
    // Beyond each corner's square the edges are whole.
    for (QPoint edge :
         {QPoint(14, 0), QPoint(0, 14), QPoint(345, 0), QPoint(357, 12), QPoint(12, 439),
          QPoint(0, 427), QPoint(347, 439), QPoint(357, 429), QPoint(179, 220)})
        EXPECT_TRUE(r.contains(edge)) << edge.x() << "," << edge.y();
    // The top-left radius (14) is larger than the bottom-right one (10).
    EXPECT_FALSE(r.contains(QPoint(2, 2)));
}

} // namespace
} // namespace kobal
