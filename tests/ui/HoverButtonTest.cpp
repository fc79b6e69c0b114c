// The three-frame button: frame choice, the pressed latch, sizing from its picture.
#include "ui/HoverButton.h"
#include "UiEvents.h"
#include "tests/support/TestSupport.h"

#include <QPixmap>
#include <gtest/gtest.h>

namespace kobal {
namespace {

TEST(HoverButton, FrameChoice) {
    // down, enabled, latch, hover → frame
    EXPECT_EQ(CHoverButton::chooseFrame(true, true, false, false), 1);
    EXPECT_EQ(CHoverButton::chooseFrame(false, false, true, true), 0); // disabled: normal
    EXPECT_EQ(CHoverButton::chooseFrame(false, true, true, false), 1);
    EXPECT_EQ(CHoverButton::chooseFrame(false, true, false, true), 2);
    EXPECT_EQ(CHoverButton::chooseFrame(false, true, false, false), 0);
}

TEST(HoverButton, LoadBitmapSizesToOneFrameInPlace) {
    test::ensureQtApp();
    QPixmap frames(114, 38);
    frames.fill(Qt::darkGray);
    CHoverButton button;
    button.move(7, 9);
    ASSERT_TRUE(button.LoadBitmap(frames, 0));
    EXPECT_EQ(button.geometry(), QRect(7, 9, 38, 38));
    ASSERT_TRUE(button.LoadBitmap(frames, 1));
    EXPECT_EQ(button.size(), QSize(114, 38));
    EXPECT_FALSE(button.LoadBitmap(QStringLiteral("no-such-picture")));
}

TEST(HoverButton, ClickedButtonStaysPressedUntilThePointerLeaves) {
    test::ensureQtApp();
    QPixmap frames(69, 23);
    frames.fill(QColor(200, 40, 40)); // a red key
    CHoverButton button;
    button.LoadBitmap(frames);
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    test::enter(&button);
    EXPECT_EQ(button.currentFrame(), 2);
    test::mouse(&button, QEvent::MouseButtonPress, {5, 5});
    EXPECT_EQ(button.currentFrame(), 1);
    test::mouse(&button, QEvent::MouseButtonRelease, {5, 5});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button.currentFrame(), 1); // latched
    button.setEnabled(false);
    EXPECT_EQ(button.currentFrame(), 0);
    // Disabled, the normal frame is drawn greyed: no colour left, and darker.
    const QRgb off = button.grab().toImage().pixel(10, 10);
    EXPECT_TRUE(qRed(off) == qGreen(off) && qGreen(off) == qBlue(off)) << std::hex << off;
    EXPECT_LT(qRed(off), qGray(200, 40, 40));
    button.setEnabled(true);
    EXPECT_EQ(button.grab().toImage().pixel(10, 10), qRgb(200, 40, 40)); // latched: frame 1
    test::leave(&button);
    EXPECT_EQ(button.currentFrame(), 0);
    EXPECT_FALSE(button.pressedLatch());
}

} // namespace
} // namespace kobal
