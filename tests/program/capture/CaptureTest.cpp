// File > Capture on a real X server: the picture is the screen's own
// pixels, with none of the program's window in it, and the window fits it.

#include <Screen.h>
#include <Window.h>

#include "CaptureFixture.h"
#include "TestApp.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

#include <cstring>

namespace {

class ScreenCaptureTest : public CaptureTest
{
protected:
    static void SetUpTestSuite() { StartServer(1024, 768); }

    void ExpectWholeScreen()
    {
        BBitmap* image = window->view->image;
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Bounds(), BRect(0, 0, 1023, 767));
        EXPECT_EQ(image->ColorSpace(), B_RGB32);
        EXPECT_EQ(pic, image->Bounds());
        // Every pixel is the pattern's, those where the window stood too.
        std::string where;
        EXPECT_EQ(pattern_mismatches(image, 0, 0, &where), 0) << where;
    }

    void ExpectFittedToTheCapture()
    {
        float minW, maxW, minH, maxH, zoomW, zoomH;
        window->GetSizeLimits(&minW, &maxW, &minH, &maxH);
        window->GetZoomLimits(&zoomW, &zoomH);
        EXPECT_EQ(maxW, 1023 + 14);
        EXPECT_EQ(maxH, 767 + 14 + 20);
        EXPECT_EQ(zoomW, 1023 + 14);
        EXPECT_EQ(zoomH, 767 + 14 + 20);
        // The window keeps its corner and fits what the screen leaves there.
        BRect area = BScreen(window).AvailableFrame();
        BRect frame = window->Frame();
        BRect decorator = window->DecoratorFrame();
        EXPECT_EQ(frame.right,
                  std::min(frame.left + 1023 + 14, area.right - (decorator.right - frame.right)));
        EXPECT_EQ(frame.bottom, std::min(frame.top + 767 + 14 + 20,
                                         area.bottom - (decorator.bottom - frame.bottom)));
        EXPECT_EQ(window->view->Bounds().Width(), frame.Width() - 14);
        EXPECT_EQ(window->view->Bounds().Height(), frame.Height() - 34);
    }

    // The window is back on the screen, showing the capture's top-left
    // corner in its view (20 below the window's corner, under the menu bar).
    void ExpectShownInTheView(int left, int top)
    {
        ASSERT_TRUE(run_until([&]() {
            std::vector<uint32_t> shown = Screen(left, top + 20, 64, 64);
            for (int y = 0; y < 64; y++) {
                for (int x = 0; x < 64; x++) {
                    if (shown.empty() || shown[y * 64 + x] != pattern_pixel(x, y))
                        return false;
                }
            }
            return true;
        })) << "the view does not show the capture";
    }
};

TEST_F(ScreenCaptureTest, CaptureWithNoImageTakesTheWholeScreen)
{
    OpenWindow(100, 100);
    Capture();
    ExpectWholeScreen();
    EXPECT_STREQ(window->Title(), "tavrin ver.0.00[1024x768]");
    EXPECT_FALSE(window->IsHidden());
    ExpectShownInTheView(100, 100);
    settle(window);
    ExpectFittedToTheCapture();
}

TEST_F(ScreenCaptureTest, CaptureReplacesTheImageAndKeepsTheDocumentName)
{
    OpenWindow(300, 200);
    window->Lock();
    tavrinview* view = window->view;
    view->image = new BBitmap(BRect(0, 0, 49, 39), B_RGB32);
    memset(view->image->Bits(), 0x40, view->image->BitsLength());
    strcpy(view->title, "sky.png");
    view->redraw(true);
    window->Unlock();
    ASSERT_TRUE(ScreenShows(300 + 5, 200 + 20 + 5, 0x404040));
    EXPECT_STREQ(window->Title(), "sky.png[50x40]");

    Capture();
    ExpectWholeScreen();
    EXPECT_STREQ(window->Title(), "sky.png[1024x768]");
    EXPECT_STREQ(view->title, "sky.png");
}

TEST_F(ScreenCaptureTest, RepeatedCapturesNeverShowTheWindow)
{
    // After the first capture the window covers most of the screen; the
    // later ones must still see only what lies under it.
    OpenWindow(100, 100);
    for (int i = 0; i < 5; i++) {
        SCOPED_TRACE("capture " + std::to_string(i + 1));
        Capture();
        ExpectWholeScreen();
        ExpectShownInTheView(100, 100);
    }
}

TEST_F(ScreenCaptureTest, ASelectionShownBeforeACaptureStaysInForce)
{
    OpenWindow(100, 100);
    window->Lock();
    tavrinview* view = window->view;
    view->image = new BBitmap(BRect(0, 0, 199, 149), B_RGB32);
    memset(view->image->Bits(), 0x40, view->image->BitsLength());
    view->redraw(true);
    view->cursel = s_sel{true, BRect(10, 20, 60, 70)};
    view->oldsel = view->cursel;
    window->Unlock();
    ASSERT_TRUE(ScreenShows(100 + 5, 100 + 20 + 5, 0x404040));

    Capture();
    ExpectWholeScreen();
    EXPECT_TRUE(view->cursel.visible);
    EXPECT_EQ(view->cursel.rect, BRect(10, 20, 60, 70));
    EXPECT_TRUE(view->oldsel.visible);
    EXPECT_EQ(view->oldsel.rect, BRect(10, 20, 60, 70));
    EXPECT_EQ(view->mousemode, 0);
}

TEST_F(ScreenCaptureTest, AnotherProgramUnderneathIsSeenAsItRepaints)
{
    // The other program takes a few milliseconds to answer each Expose
    // event; until it has, the area the window left still shows the window.
    PatternWindow other;
    std::string problem;
    ASSERT_TRUE(other.Open(5, &problem)) << problem;
    ASSERT_TRUE(run_until([&]() { return other.Repaints() > 0; }));
    OpenWindow(100, 100);
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE("capture " + std::to_string(i + 1));
        Capture();
        ExpectWholeScreen();
        ExpectShownInTheView(100, 100);
    }
}

} // namespace
