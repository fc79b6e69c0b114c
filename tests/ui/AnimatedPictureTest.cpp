// GIF frame splitting, frame timing and the animation thread's life.
#include "ui/AnimatedPicture.h"
#include "tests/support/TestSupport.h"
#include "tools/kobal_skingen/GifWriter.h"
#include "ui/GifSplitter.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace kobal {
namespace {

QImage solid(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// Three frames of a 12 × 8 screen; the second sits at (4, 2) with its own size.
QByteArray threeFrames(int delay0, int delay1, int delay2) {
    return writeGif(12, 8,
                    {{solid(12, 8, qRgb(200, 0, 0)), 0, 0, delay0, 1},
                     {solid(5, 3, qRgb(0, 0, 200)), 4, 2, delay1, 2},
                     {solid(12, 8, qRgb(0, 200, 0)), 0, 0, delay2, 1}});
}

TEST(Gif, SplitsFramesWithTheirDelaysAndPlaces) {
    const GifSplit gif = splitGif(threeFrames(0, 4, 5));
    ASSERT_TRUE(gif.isGif);
    EXPECT_EQ(gif.screenWidth, 12);
    EXPECT_EQ(gif.screenHeight, 8);
    ASSERT_EQ(gif.frames.size(), 3u);
    EXPECT_EQ(gif.frames[1].left, 4);
    EXPECT_EQ(gif.frames[1].top, 2);
    EXPECT_EQ(gif.frames[1].disposal, 2);
    // Delays of 0 to 4 hundredths still advance every 100 ms.
    EXPECT_EQ(gifFrameMillis(gif.frames[0].delay), 100);
    EXPECT_EQ(gifFrameMillis(gif.frames[1].delay), 100);
    EXPECT_EQ(gifFrameMillis(gif.frames[2].delay), 50);
    // Each piece is a GIF of its own that the image reader decodes.
    QImage second = QImage::fromData(gif.frames[1].gif, "GIF");
    ASSERT_FALSE(second.isNull());
}

TEST(Gif, DamagedBytesKeepTheWholeFramesBeforeTheDamage) {
    const QByteArray whole = threeFrames(10, 10, 10);
    int lastCount = 0;
    for (qsizetype n = 0; n <= whole.size(); ++n) {
        const GifSplit gif = splitGif(whole.left(n));
        EXPECT_GE(gif.frameCount, lastCount); // a longer prefix never loses a frame
        lastCount = gif.frameCount;
    }
    EXPECT_EQ(lastCount, 3);
    QByteArray junk = whole.left(13 + 0);
    junk.append(QByteArray(64, char(0x2C))); // descriptors whose data never ends
    EXPECT_EQ(splitGif(junk).frameCount, 0);
    EXPECT_FALSE(splitGif("GI").isGif);
}

TEST(AnimatedPicture, PlaysOnItsThreadAndUnloadsPromptly) {
    test::ensureQtApp();
    CAnimatedPicture picture;
    // Frames of 655 s each: only the stop event can end the wait.
    ASSERT_TRUE(picture.Load(threeFrames(65535, 65535, 65535)));
    EXPECT_EQ(picture.frameCount(), 3);
    EXPECT_EQ(picture.size(), QSize(12, 8));
    EXPECT_EQ(picture.frameMillis(), (std::vector<int>{655350, 655350, 655350}));
    picture.Draw();
    EXPECT_TRUE(picture.isAnimating());
    // The first frame reaches the canvas.
    test::pumpUntil([&] { return picture.canvas().pixel(6, 4) == qRgb(200, 0, 0); },
                    std::chrono::seconds(5));
    EXPECT_EQ(picture.canvas().pixel(6, 4), qRgb(200, 0, 0));
    EXPECT_TRUE(picture.UnLoad()); // the thread ended within the bound
    EXPECT_FALSE(picture.isAnimating());
    EXPECT_EQ(picture.frameCount(), 0);
}

TEST(AnimatedPicture, StillPicturesHaveNoThread) {
    test::ensureQtApp();
    CAnimatedPicture picture;
    ASSERT_TRUE(picture.Load(writeGif(6, 4, {{solid(6, 4, qRgb(0, 0, 255)), 0, 0, 0, 0}})));
    picture.Draw();
    EXPECT_FALSE(picture.isAnimating());
    EXPECT_EQ(picture.canvas().pixel(3, 2), qRgb(0, 0, 255));
    // A PNG is loaded whole; scale 2 halves the logical size.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    solid(8, 6, qRgb(9, 9, 9)).save(&buffer, "PNG");
    ASSERT_TRUE(picture.Load(png, 2));
    EXPECT_EQ(picture.size(), QSize(4, 3));
    picture.Draw();
    EXPECT_FALSE(picture.isAnimating());
    // Nothing decodable, or a logical screen too large to hold, loads nothing.
    EXPECT_FALSE(picture.Load(QByteArray("not a picture")));
    QByteArray huge = writeGif(
        6, 4, {{solid(6, 4, 0xFF000000), 0, 0, 0, 0}, {solid(6, 4, 0xFF000000), 0, 0, 0, 0}});
    huge[6] = huge[7] = huge[8] = huge[9] = char(0xFF);
    EXPECT_FALSE(picture.Load(huge));
}

} // namespace
} // namespace kobal
