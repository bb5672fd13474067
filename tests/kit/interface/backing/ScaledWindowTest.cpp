// A window shown at two device pixels a point (run with QT_SCALE_FACTOR=2):
// its platform buffer is not one pixel a point, so its views keep pixels of
// their own, and draw all the same.

#include <Messenger.h>
#include <View.h>
#include <Window.h>

#include "PatternView.h"
#include "Pixels.h"
#include "TestApp.h"
#include "interface/ViewPrivate.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

using BPrivate::ViewBridge;

TEST(ScaledWindowTest, ViewsKeepPixelsOfTheirOwnAndDraw)
{
    test_app();
    auto* window = new BWindow(BRect(50, 50, 249, 149), "scaled", B_TITLED_WINDOW, 0);
    auto* view = new PatternView(window->Bounds());
    window->AddChild(view);
    window->Show();
    ASSERT_TRUE(run_until([&]() { return !view->updates.empty(); }));
    settle_window(window);
    ASSERT_EQ(ViewBridge::Widget(view)->devicePixelRatioF(), 2.0);
    EXPECT_FALSE(ViewBridge::Shares(view));
    EXPECT_EQ(wrong_pixels(grab_view(view), view->Bounds(), QRect(0, 0, 200, 100)), 0);
    // Drawing lands at once, as anywhere.
    view->SetHighColor(3, 2, 1);
    view->FillRect(BRect(10, 10, 19, 19));
    EXPECT_EQ(grab_view(view).pixel(15, 15), qRgb(3, 2, 1));

    BMessenger messenger(window);
    window->Lock();
    window->Quit();
    run_until([&] { return !messenger.IsValid(); });
}

} // namespace
