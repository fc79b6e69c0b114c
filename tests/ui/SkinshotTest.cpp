// kobal_skinshot renders a skinned piece offscreen, with the window's outline applied.
#include "tests/support/TestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

namespace kobal {
namespace {

TEST(Skinshot, RendersTheMainWindowCutToItsOutline) {
    const std::string out = test::makeTempDir("shots");
    const std::string tool = test::binaryDir() + "/tools/kobal_skinshot/kobal_skinshot";
    ASSERT_EQ(test::runCommand(tool + " --scale 2 --out " + out + " main-normal"), 0);
    const QImage shot(QString::fromStdString(out + "/main-normal@2x.png"));
    ASSERT_EQ(shot.size(), QSize(716, 880));
    // The corner outside the rounded outline shows the checkerboard, the middle does not.
    auto checker = [&](int x, int y) {
        const QRgb p = shot.pixel(x, y);
        return p == qRgb(0xcc, 0xcc, 0xcc) || p == qRgb(0xff, 0xff, 0xff);
    };
    EXPECT_TRUE(checker(0, 0));
    EXPECT_TRUE(checker(715, 879));
    EXPECT_FALSE(checker(358, 800));
    EXPECT_NE(test::runCommand(tool + " --out " + out + " no-such-piece"), 0);
}

} // namespace
} // namespace kobal
