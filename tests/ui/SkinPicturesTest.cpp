// The skin's pictures: every one there at 1× and 2× in the sizes the windows rely on, and
// the shaped backgrounds cut alike at both scales.
#include "ui/SkinPictures.h"
#include "tests/support/TestSupport.h"
#include "ui/HoverButton.h"
#include "ui/ShapedRegion.h"
#include "ui/SkinLayout.h"

#include <gtest/gtest.h>

namespace kobal {
namespace {

void expectSize(const QString& name, QSize logical) {
    for (int scale : {1, 2}) {
        const QImage image = skinImage(name, scale);
        EXPECT_EQ(image.size(), logical * scale) << name.toStdString() << " @" << scale;
    }
}

TEST(SkinPictures, EveryPictureAtBothScales) {
    const struct {
        const char* name;
        int w, h;
    } sizes[] = {
        {"350", 350, 250},        {"129", 358, 157},     {"130", 114, 38},
        {"131", 114, 38},         {"404", 358, 157},     {"413", 223, 420},
        {"396", 324, 200},        {"457", 82, 12},       {"458", 8, 12},
        {"459", 82, 12},          {"411", 310, 10},      {"412", 8, 10},
        {"460", 310, 10},         {"266", 10, 4},        {"270", 9, 15},
        {"499", 11, 11},          {"500", 11, 11},       {"114", 32, 32},
        {"128", 32, 32},          {"panel", 320, 124},   {"frame_tl", 20, 200},
        {"frame_tr", 20, 200},    {"frame_top", 1, 200}, {"frame_left", 20, 1},
        {"frame_right", 20, 1},   {"frame_bl", 20, 170}, {"frame_br", 20, 170},
        {"frame_bottom", 1, 170}, {"logo", 100, 20},
    };
    for (const auto& s : sizes) expectSize(s.name, {s.w, s.h});
    for (int n = 0; n <= 5; ++n) expectSize(pic::level(n), {22, 12});
    for (int id = 276; id <= 281; ++id) expectSize(pic::folderIcon(id), {16, 16});
    for (const SkinButton& b : mainWindowButtons()) expectSize(b.picture, {3 * b.size, b.size});
    for (const SkinTextButton& b : channelWindowButtons())
        expectSize(b.picture, {3 * b.rect.width(), b.rect.height()});
    for (const char* gif : {"501.gif", "502.gif"})
        for (int scale : {1, 2})
            EXPECT_EQ(QImage::fromData(skinBytes(gif, scale)).size(), QSize(120, 75) * scale);
}

TEST(SkinPictures, ShapedBackgroundsCutAlikeAtBothScales) {
    for (const ShapedWindowSkin& w : shapedWindowSkins()) {
        const QImage one = skinImage(w.picture, 1).convertToFormat(QImage::Format_RGB32);
        const QImage two = skinImage(w.picture, 2).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(one.size(), w.size) << w.picture;
        // A colour value 0x00BBGGRR as a pixel.
        const QRgb key = qRgb(int(w.keyColour & 0xFF), int((w.keyColour >> 8) & 0xFF),
                              int((w.keyColour >> 16) & 0xFF));
        // The region is built from the 1× picture; the 2× one must show key colour exactly
        // there, or a dense screen would show green fringes (or holes).
        int mismatches = 0;
        for (int y = 0; y < two.height(); ++y)
            for (int x = 0; x < two.width(); ++x)
                mismatches += (two.pixel(x, y) == key) != (one.pixel(x / 2, y / 2) == key);
        EXPECT_EQ(mismatches, 0) << w.picture;
        const QRegion region = regionFromBitmap(one, w.keyColour);
        EXPECT_EQ(region.boundingRect(), one.rect()) << w.picture;
        EXPECT_FALSE(region.contains(QPoint(0, 0))) << w.picture; // rounded corners cut away
        EXPECT_TRUE(region.contains(one.rect().center())) << w.picture;
    }
}

TEST(SkinPictures, UpdateButtonsAreThirtyEightSquare) {
    test::ensureQtApp();
    CHoverButton ok;
    ASSERT_TRUE(ok.LoadBitmap(pic::kUpdateOk));
    EXPECT_EQ(ok.size(), QSize(38, 38));
}

} // namespace
} // namespace kobal
