// The bitmap slider's arithmetic and notifications, the channel list's scroll bar.
#include "UiEvents.h"
#include "tests/support/TestSupport.h"
#include "ui/BitmapSlider.h"
#include "ui/ChannelListBox.h"

#include <gtest/gtest.h>

namespace kobal {
namespace {

SliderModel seekSlider() {
    SliderModel m;
    m.width = 310;
    m.thumbWidth = 8;
    m.setRange(10, 100);
    return m;
}

TEST(BitmapSlider, ClampsToTheRange) {
    SliderModel m = seekSlider();
    m.setPosition(0);
    EXPECT_EQ(m.position, 10);
    m.setPosition(500);
    EXPECT_EQ(m.position, 100);
    m.setRange(0, 50); // a narrower range pulls the position in
    EXPECT_EQ(m.position, 50);
    m.setRange(7, 7); // an empty range neither divides by zero nor leaves it
    EXPECT_EQ(m.centre(7), 4);
    EXPECT_EQ(m.valueAt(200), 7);
}

TEST(BitmapSlider, PressOnTheThumbKeepsTheGrabOffset) {
    SliderModel m = seekSlider();
    m.setPosition(55);
    const int c = m.centre(55); // (45 / 90) × 302 + 4 = 155
    ASSERT_EQ(c, 155);
    EXPECT_EQ(m.press(c + 3), 0u); // on the thumb: no jump, no message
    EXPECT_EQ(m.grabOffset, 3);
    EXPECT_EQ(m.position, 55);
    EXPECT_EQ(m.move(c + 3 + 30), kSliderDragging);
    EXPECT_EQ(m.position, m.valueAt(c + 30));
    EXPECT_EQ(m.release(), kSliderChanged);
    EXPECT_FALSE(m.dragging);
    // Elsewhere the thumb centres on the pointer.
    EXPECT_EQ(m.press(250), kSliderDragging);
    EXPECT_EQ(m.grabOffset, 0);
    EXPECT_EQ(m.position, m.valueAt(250));
}

TEST(BitmapSlider, DragPastTheEndsStopsHalfAThumbIn) {
    SliderModel m = seekSlider();
    m.setPosition(50);
    m.press(m.centre(50));
    m.move(-40);
    EXPECT_EQ(m.position, 10);
    EXPECT_EQ(m.centre(m.position), 4);
    m.move(900);
    EXPECT_EQ(m.position, 100);
    EXPECT_EQ(m.centre(m.position), 306);
    // Keys step by ten, clamped; a disabled slider takes neither keys nor the mouse.
    EXPECT_EQ(m.arrowKey(+10), kSliderChanged);
    EXPECT_EQ(m.position, 100);
    m.setEnabled(false);
    EXPECT_FALSE(m.dragging);
    EXPECT_EQ(m.arrowKey(-10), 0u);
    EXPECT_EQ(m.press(20), 0u);
}

// Collects the posted slider messages.
struct Parent : QWidget {
    std::vector<std::tuple<unsigned, long long, long long>> got;
    bool event(QEvent* e) override {
        if (e->type() == AppMessageEvent::eventType()) {
            auto* m = static_cast<AppMessageEvent*>(e);
            got.emplace_back(m->message, m->wParam, m->lParam);
            return true;
        }
        return QWidget::event(e);
    }
};

TEST(BitmapSlider, WidgetPostsDragAndEndToItsParent) {
    test::ensureQtApp();
    Parent parent;
    auto* slider = new CBitmapSlider(&parent);
    slider->setControlId(1060);
    slider->resize(82, 12);
    QImage track(82, 12, QImage::Format_RGB32), thumb(8, 12, QImage::Format_RGB32);
    slider->setTrack(82, track, QImage());
    slider->setThumb(thumb);
    slider->setRange(0, 900);
    slider->setPosition(450);
    test::mouse(slider, QEvent::MouseButtonPress, {70, 5});
    test::mouse(slider, QEvent::MouseMove, {78, 5});
    test::mouse(slider, QEvent::MouseButtonRelease, {78, 5});
    QCoreApplication::sendPostedEvents(&parent);
    ASSERT_EQ(parent.got.size(), 3u);
    EXPECT_EQ(std::get<0>(parent.got[0]), 0x83EDu);
    EXPECT_EQ(std::get<0>(parent.got[2]), 0x83EEu);
    EXPECT_EQ(std::get<1>(parent.got[2]), 1060);
    EXPECT_EQ(std::get<2>(parent.got[2]), 900);
}

TEST(ChannelList, ScrollBarOnlyBeyondTwelveLines) {
    test::ensureQtApp();
    QWidget window;
    auto* list = new CChannelListBox(&window);
    auto* bar = new CChannelScrollBar(&window);
    list->setScrollBar(bar);
    for (int i = 0; i < 12; ++i) list->addItem(QString("%1    局").arg(i + 13), i % 2);
    EXPECT_FALSE(bar->isVisibleTo(&window));
    list->addItem(QStringLiteral("25    局"), true);
    EXPECT_TRUE(bar->isVisibleTo(&window));
    list->clear();
    EXPECT_FALSE(bar->isVisibleTo(&window));
}

TEST(ChannelList, ThumbPagingAndWheel) {
    ChannelScrollModel m;
    m.count = 30;
    EXPECT_EQ(m.thumbHeight(), 273 * 12 / 30);
    m.count = 200;
    EXPECT_EQ(m.thumbHeight(), 22); // never smaller
    m.count = 30;
    // Paging up from 5 goes to 0; paging down never leaves fewer than 11 lines below.
    m.top = 5;
    m.syncThumb();
    ASSERT_GT(m.thumbTop, 0);
    m.press(5, 0);
    EXPECT_EQ(m.release(5, 0), 0);
    m.top = 15;
    m.syncThumb();
    ASSERT_LT(m.thumbTop + m.thumbHeight(), 260);
    m.press(5, 260); // a release away from the press point pages nothing
    EXPECT_EQ(m.release(5, 259), 15);
    m.press(5, 260);
    EXPECT_EQ(m.release(5, 260), 19);
    // Dragging the thumb by k ratios moves the top by k lines.
    m.top = 0;
    m.syncThumb();
    ASSERT_TRUE(m.press(3, m.thumbTop + 1));
    EXPECT_EQ(m.drag(m.thumbTop + 1 + int(4 * m.ratio() + 0.5)), 4);
    m.release(0, 0);
    // Wheel: one line per 120, up not past 0, down while 12 more lines remain.
    m.top = 1;
    EXPECT_EQ(m.wheel(3 * 120), 0);
    EXPECT_EQ(m.wheel(-100 * 120), 18);
    EXPECT_EQ(m.thumbTop, 18 * (273 - m.thumbHeight()) / 19);
}

} // namespace
} // namespace kobal
