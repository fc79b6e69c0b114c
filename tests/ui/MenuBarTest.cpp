// The skinned menu bar's opening rules, hovering and marks, driven by pointer events.
#include "UiEvents.h"
#include "tests/support/TestSupport.h"
#include "ui/MenuDropDown.h"
#include "ui/SkinColours.h"
#include "ui/SkinMenuBar.h"

#include <QKeyEvent>
#include <gtest/gtest.h>

namespace kobal {
namespace {

using test::mouse;

struct AppFirst {
    AppFirst() { test::ensureQtApp(); }
};

struct Bar : AppFirst {
    QWidget window;
    CSkinMenuBar* bar;
    bool audioKnown = false;
    std::vector<std::pair<int, int>> chosen;
    Bar() {
        window.resize(358, 200);
        bar = new CSkinMenuBar(&window);
        QObject::connect(bar, &CSkinMenuBar::chosen,
                         [this](int list, int item) { chosen.emplace_back(list, item); });
        bar->move(19, 47);
        bar->subMenuAllowed = [this](int list) { return list != menu::kSubAudio || audioKnown; };
        window.show();
    }
    void hoverItem(CMenuDropDown* d, int item) {
        mouse(d, QEvent::MouseMove, QPoint(30, menu::itemTop(d->list(), item) + 2), Qt::NoButton);
    }
};

TEST(MenuBar, PressOpensAndClosesMovingSwitchesColumns) {
    Bar b;
    CSkinMenuBar* bar = b.bar;
    mouse(bar, QEvent::MouseButtonPress, QPoint(100, 10)); // "チャンネル"
    ASSERT_TRUE(bar->isOpen());
    EXPECT_EQ(bar->hoveredTitle(), 2);
    EXPECT_TRUE(bar->dropDown()->isVisible());
    EXPECT_EQ(bar->dropDown()->list(), 2);
    EXPECT_EQ(bar->dropDown()->pos(), bar->mapToGlobal(QPoint(74, 20)));
    EXPECT_EQ(bar->dropDown()->size(), QSize(200, 4 * 20 + 5));

    // Moving over the titles switches without a click; the band edges as the hit test has them.
    for (auto [x, column] : {std::pair{182, 3}, {183, 4}, {230, 4}, {231, 5}, {36, 0}, {37, 1}}) {
        mouse(bar, QEvent::MouseMove, QPoint(x, 10), Qt::NoButton);
        EXPECT_EQ(bar->dropDown()->list(), column) << x;
    }
    // The open title, pressed again, closes everything.
    mouse(bar, QEvent::MouseButtonPress, QPoint(40, 10));
    EXPECT_FALSE(bar->isOpen());
    EXPECT_FALSE(bar->dropDown()->isVisible());
    // Closed, moving opens nothing.
    mouse(bar, QEvent::MouseMove, QPoint(250, 10), Qt::NoButton);
    EXPECT_FALSE(bar->dropDown()->isVisible());
}

TEST(MenuBar, SeparatorKeepsTheHoverAndClickChoosesAndCloses) {
    Bar b;
    const auto& chosen = b.chosen;
    b.bar->open(0);
    CMenuDropDown* d = b.bar->dropDown();
    b.hoverItem(d, 1); // "停止 "
    EXPECT_EQ(d->hovered(), 1);
    mouse(d, QEvent::MouseMove, QPoint(30, 42), Qt::NoButton); // the separator's band 40 … 45
    EXPECT_EQ(d->hovered(), 1);
    mouse(d, QEvent::MouseMove, QPoint(30, 200), Qt::NoButton); // below the last item
    EXPECT_EQ(d->hovered(), -1);
    mouse(d, QEvent::MouseButtonPress, QPoint(30, 42)); // a separator chooses nothing
    EXPECT_EQ(int(chosen.size()), 0);
    mouse(d, QEvent::MouseButtonPress, QPoint(30, 45 + 3 * 20 + 2)); // "録画開始/停止 "
    ASSERT_EQ(int(chosen.size()), 1);
    EXPECT_EQ(chosen[0], std::make_pair(0, 6));
    EXPECT_FALSE(b.bar->isOpen());
    EXPECT_FALSE(d->isVisible());
}

TEST(MenuBar, SubMenusOpenOnlyWhereAllowed) {
    Bar b;
    b.bar->open(1);
    CMenuDropDown* d = b.bar->dropDown();
    b.hoverItem(d, 4); // "音声多重切換>" with no audio mode reported
    EXPECT_FALSE(b.bar->subMenu()->isVisible());
    b.audioKnown = true;
    b.hoverItem(d, 3);
    b.hoverItem(d, 4);
    ASSERT_TRUE(b.bar->subMenu()->isVisible());
    EXPECT_EQ(b.bar->subMenu()->list(), menu::kSubAudio);
    EXPECT_EQ(b.bar->subMenu()->pos(), d->pos() + QPoint(200, menu::itemTop(1, 4)));
    b.hoverItem(d, 0); // another item closes it
    EXPECT_FALSE(b.bar->subMenu()->isVisible());

    // In full screen the size sub-menu stays shut; the keyboard cannot force it either.
    b.bar->subMenuAllowed = [](int) { return false; };
    b.bar->open(3);
    b.hoverItem(b.bar->dropDown(), 11);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    EXPECT_TRUE(b.bar->handleKey(enter));
    EXPECT_FALSE(b.bar->subMenu()->isVisible());
    EXPECT_TRUE(b.bar->isOpen());
}

TEST(MenuBar, DrawsTitlesMarksAndNothingWhenTooNarrow) {
    Bar b;
    b.window.setAutoFillBackground(true);
    b.window.setPalette(QPalette(Qt::white));
    const QImage wide = b.bar->grab().toImage();
    EXPECT_EQ(wide.pixelColor(2, 2), fromColourRef(colour::kMenuBar));
    b.bar->setFixedWidth(279);
    const QImage narrow = b.window.grab(QRect(19, 47, 279, 20)).toImage();
    EXPECT_EQ(narrow.pixelColor(2, 2), QColor(Qt::white));

    // A check mark sits at (5, band bottom − 16), the hovered one is picture 500.
    menu::Checks checks{};
    checks[3] = true;
    for (qreal dpr : {1.0, 2.0}) {
        const QImage plain = menu::renderDropDown(1, -1, {}, dpr);
        const QImage marked = menu::renderDropDown(1, -1, checks, dpr);
        const QImage lit = menu::renderDropDown(1, 3, checks, dpr);
        ASSERT_EQ(marked.size(), QSize(200, 85) * dpr);
        const QRect mark = QRect(5, menu::itemTop(1, 3) + 20 - 16, 11, 11);
        const QRect px(mark.topLeft() * dpr, mark.size() * dpr);
        EXPECT_NE(plain.copy(px), marked.copy(px)) << dpr;
        EXPECT_NE(marked.copy(px), lit.copy(px)) << dpr;
        EXPECT_EQ(plain.copy(QRect(QPoint(0, 0), QSize(200, 45) * dpr)),
                  marked.copy(QRect(QPoint(0, 0), QSize(200, 45) * dpr)));
    }
}

TEST(MenuBar, KeysMoveWrapAndChoose) {
    Bar b;
    const auto& chosen = b.chosen;
    auto key = [&](int k) {
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
        return b.bar->handleKey(e);
    };
    EXPECT_FALSE(key(Qt::Key_Down)); // closed: not the menu's key
    b.bar->open(0);
    key(Qt::Key_Left); // wraps to "ヘルプ"
    EXPECT_EQ(b.bar->dropDown()->list(), 5);
    key(Qt::Key_Right);
    EXPECT_EQ(b.bar->dropDown()->list(), 0);
    key(Qt::Key_Up); // from none upwards: the last item; separators are skipped
    EXPECT_EQ(b.bar->dropDown()->hovered(), 7);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(b.bar->dropDown()->hovered(), 3);
    key(Qt::Key_Escape);
    EXPECT_FALSE(b.bar->isOpen());
    EXPECT_EQ(int(chosen.size()), 0);
}

} // namespace
} // namespace kobal
