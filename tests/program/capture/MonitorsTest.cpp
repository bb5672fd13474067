// A screen made of two monitors side by side, the second one smaller: the
// kit's screens and screen copy, and File > Capture on either monitor.

#include <Bitmap.h>
#include <Screen.h>
#include <Window.h>

#include "CaptureFixture.h"
#include "TestApp.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

#include <memory>

namespace {

const BRect kLeft(0, 0, 799, 767);
const BRect kRight(800, 0, 1439, 479);

class MonitorsTest : public CaptureTest
{
protected:
    static void SetUpTestSuite()
    {
        StartServer(1440, 768, {{"LEFT", 0, 0, 800, 768}, {"RIGHT", 800, 0, 640, 480}});
    }
};

TEST_F(MonitorsTest, ScreensListTheMonitorsMainFirst)
{
    BScreen screen;
    ASSERT_TRUE(screen.IsValid());
    EXPECT_EQ(screen.Frame(), kLeft);
    EXPECT_EQ(screen.ColorSpace(), B_RGB32);
    ASSERT_EQ(screen.SetToNext(), B_OK);
    EXPECT_EQ(screen.Frame(), kRight);
    EXPECT_EQ(screen.SetToNext(), B_ERROR);
    EXPECT_EQ(screen.Frame(), kRight);

    BScreen missing(screen_id{7});
    EXPECT_FALSE(missing.IsValid());
    EXPECT_FALSE(missing.Frame().IsValid());
}

TEST_F(MonitorsTest, ScreenCopyTakesTheFramesPixels)
{
    struct Case
    {
        const char* what;
        BRect frame;
        color_space space;
    } cases[] = {
        {"part of the main monitor", BRect(10, 20, 41, 35), B_RGB32},
        {"part of the second monitor", BRect(810, 30, 849, 59), B_RGBA32},
        {"the whole second monitor", kRight, B_RGB32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BBitmap bitmap(c.frame.OffsetToCopy(0, 0), c.space);
        ASSERT_EQ(_get_screen_bitmap_(&bitmap, c.frame, false), B_OK);
        std::string where;
        // Opaque, alpha included, and the frame's own pixels.
        EXPECT_EQ(pattern_mismatches(&bitmap, (int)c.frame.left, (int)c.frame.top, &where), 0)
            << where;
    }
}

TEST_F(MonitorsTest, ScreenCopyRefusesWhatItCannotDo)
{
    BBitmap fits(BRect(0, 0, 19, 19), B_RGB32);
    BBitmap wrongSize(BRect(0, 0, 9, 19), B_RGB32);
    BBitmap wrongSpace(BRect(0, 0, 19, 19), B_CMAP8);
    struct Case
    {
        const char* what;
        BBitmap* bitmap;
        BRect frame;
        bool cursor;
        status_t expected;
    } cases[] = {
        {"no bitmap", nullptr, BRect(0, 0, 19, 19), false, B_BAD_VALUE},
        {"a bitmap of another size", &wrongSize, BRect(0, 0, 19, 19), false, B_BAD_VALUE},
        {"an 8-bit bitmap", &wrongSpace, BRect(0, 0, 19, 19), false, B_BAD_VALUE},
        {"an invalid frame", &fits, BRect(0, 0, -1, -1), false, B_BAD_VALUE},
        {"a frame across both monitors", &fits, BRect(790, 0, 809, 19), false, B_BAD_VALUE},
        {"a frame below the second monitor", &fits, BRect(900, 600, 919, 619), false, B_BAD_VALUE},
        {"a frame off the screen", &fits, BRect(-30, 0, -11, 19), false, B_BAD_VALUE},
        {"the pointer in the picture", &fits, BRect(0, 0, 19, 19), true, B_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.bitmap && c.bitmap->ColorSpace() == B_RGB32)
            memset(c.bitmap->Bits(), 0x11, c.bitmap->BitsLength());
        EXPECT_EQ(_get_screen_bitmap_(c.bitmap, c.frame, c.cursor), c.expected);
        if (c.bitmap == &fits) {
            EXPECT_EQ(*static_cast<uint32*>(fits.Bits()), 0x11111111u) << "the bitmap changed";
        }
    }
}

TEST_F(MonitorsTest, CaptureTakesTheMonitorTheWindowStandsOn)
{
    struct Case
    {
        const char* what;
        float x, y;
        BRect frame;
    } cases[] = {
        {"window on the second monitor", 900, 100, kRight},
        {"window on the main monitor", 100, 100, kLeft},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenWindow(c.x, c.y);
        EXPECT_EQ(BScreen(window).Frame(), c.frame);
        Capture();
        BBitmap* image = window->view->image;
        ASSERT_NE(image, nullptr);
        // The picture starts at (0, 0) like every image the program makes,
        // and holds the pixels of the window's monitor.
        EXPECT_EQ(image->Bounds(), c.frame.OffsetToCopy(0, 0));
        EXPECT_EQ(pic, image->Bounds());
        std::string where;
        EXPECT_EQ(pattern_mismatches(image, (int)c.frame.left, (int)c.frame.top, &where), 0)
            << where;
        char title[64];
        snprintf(title, sizeof(title), "tavrin ver.0.00[%dx%d]", c.frame.IntegerWidth() + 1,
                 c.frame.IntegerHeight() + 1);
        EXPECT_STREQ(window->Title(), title);
        TearDown();
        window = nullptr;
    }
}

} // namespace
