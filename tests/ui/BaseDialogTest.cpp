// The skinned dialog base: initialised once on first show, a press on its body moves it.
#include "UiEvents.h"
#include "skin/QXBaseDialog.h"
#include "tests/support/TestSupport.h"

#include <QGuiApplication>
#include <QWindow>
#include <gtest/gtest.h>

namespace kobal {
namespace {

struct Dialog : CQXBaseDialog {
    Dialog() : CQXBaseDialog(401) {}
    int inits = 0;
    std::vector<QPoint> presses;
    bool OnInitDialog() override {
        CQXBaseDialog::OnInitDialog();
        ++inits;
        return true;
    }
    void OnLButtonDown(Qt::KeyboardModifiers flags, const QPoint& point) override {
        presses.push_back(point);
        CQXBaseDialog::OnLButtonDown(flags, point);
    }
};

TEST(BaseDialog, FramelessInitialisedOnceAndDraggedByItsBody) {
    test::ensureQtApp();
    Dialog dialog;
    dialog.setGeometry(100, 100, 358, 157);
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    dialog.show();
    dialog.hide();
    dialog.show();
    EXPECT_EQ(dialog.inits, 1);
    test::mouse(&dialog, QEvent::MouseButtonPress, {30, 40});
    ASSERT_EQ(dialog.presses, std::vector<QPoint>{QPoint(30, 40)});
    // Where the window system cannot move it (offscreen), the window follows the pointer.
    if (!dialog.windowHandle()->startSystemMove()) {
        const QPoint before = dialog.pos();
        QMouseEvent move(QEvent::MouseMove, QPointF(80, 60), QPointF(before + QPoint(80, 60)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &move);
        EXPECT_EQ(dialog.pos(), before + QPoint(50, 20));
    }
    test::mouse(&dialog, QEvent::MouseButtonRelease, {80, 60});
}

} // namespace
} // namespace kobal
