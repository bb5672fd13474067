// The main window's layout and size rules, the empty view and redraw, checked
// on the window's own pixels under the offscreen platform.

#include <Bitmap.h>
#include <MenuBar.h>
#include <MenuItem.h>
#include <Messenger.h>
#include <Screen.h>
#include <ScrollBar.h>
#include <TranslatorRoster.h>

#include "MainWindow.h"
#include "Pixels.h"
#include "TestApp.h"
#include "app/tavrin.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = open_main_window();
        Settle();
    }

    void TearDown() override
    {
        BMessenger messenger(window);
        window->Lock();
        window->QuitRequested();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }

    void Settle() { settle_window(window); }

    BBitmap* MakeImage(int width, int height)
    {
        BBitmap* bitmap = new BBitmap(BRect(0, 0, width - 1, height - 1), B_RGB32);
        uint32* bits = static_cast<uint32*>(bitmap->Bits());
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++)
                bits[y * width + x] = 0xff000000u | ((x & 0xff) << 16) | ((y & 0xff) << 8) | 0x40;
        }
        return bitmap;
    }

    void ShowImage(int width, int height, const char* name)
    {
        tavrinview* view = window->view;
        delete view->image;
        view->image = MakeImage(width, height);
        strcpy(view->title, name);
        view->redraw(true);
        Settle();
    }

    void ExpectRange(BScrollBar* bar, float max)
    {
        float lo = -1, hi = -1;
        bar->GetRange(&lo, &hi);
        EXPECT_EQ(lo, 0) << bar->Name();
        EXPECT_EQ(hi, max) << bar->Name();
    }

    tavrinwindow* window = nullptr;
};

TEST_F(MainWindowTest, StartsAtItsDefaultLayout)
{
    EXPECT_EQ(window->Frame(), BRect(100, 100, 300, 250));
    EXPECT_STREQ(window->Title(), "tavrin ver.0.00");
    QImage shown = grab_window(window);
    EXPECT_EQ(shown.width(), 201);
    EXPECT_EQ(shown.height(), 151);

    EXPECT_EQ(window->view->Frame(), BRect(0, 20, 186, 136));
    EXPECT_EQ(window->scrollv->Frame(), BRect(187, 19, 201, 137));
    EXPECT_EQ(window->scrollh->Frame(), BRect(-1, 137, 187, 151));
    BView* bar = window->FindView("menubar");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Frame(), BRect(0, 0, 200, 19));

    float minW, maxW, minH, maxH, zoomW, zoomH;
    window->GetSizeLimits(&minW, &maxW, &minH, &maxH);
    window->GetZoomLimits(&zoomW, &zoomH);
    EXPECT_EQ(minW, 35);
    EXPECT_EQ(maxW, 200);
    EXPECT_EQ(minH, 35);
    EXPECT_EQ(maxH, 150);
    EXPECT_EQ(zoomW, 200);
    EXPECT_EQ(zoomH, 150);
    ExpectRange(window->scrollv, 0);
    ExpectRange(window->scrollh, 0);

    float small, large;
    window->scrollv->GetSteps(&small, &large);
    EXPECT_EQ(small, 10);
    EXPECT_EQ(large, window->scrollv->Bounds().Height());
}

TEST_F(MainWindowTest, FileMenuHoldsTheCommandsInOrder)
{
    BMenuBar* bar = dynamic_cast<BMenuBar*>(window->FindView("menubar"));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->CountItems(), 4);
    EXPECT_STREQ(bar->ItemAt(0)->Label(), "File");
    EXPECT_STREQ(bar->ItemAt(1)->Label(), "View");
    EXPECT_STREQ(bar->ItemAt(2)->Label(), "Edit");
    EXPECT_STREQ(bar->ItemAt(3)->Label(), "Config");
    // The View menu's zoom commands, each with its key, for the view.
    struct
    {
        const char* label;
        uint32 code;
        char key;
    } zoom[] = {{"Fit to window", 'vfit', '0'},
                {"Actual size", 'vact', '1'},
                {"Zoom in", 'vzin', '+'},
                {"Zoom out", 'vzou', '-'}};
    BMenu* view = bar->SubmenuAt(1);
    ASSERT_EQ(view->CountItems(), 4);
    for (int i = 0; i < 4; i++) {
        EXPECT_STREQ(view->ItemAt(i)->Label(), zoom[i].label);
        EXPECT_EQ(view->ItemAt(i)->Command(), zoom[i].code);
        EXPECT_EQ(view->ItemAt(i)->Shortcut(), zoom[i].key);
        EXPECT_EQ(view->ItemAt(i)->Target(nullptr), window->view);
    }
    // Every command with its keys: Ctrl and a character (Shift added), or
    // a function key.
    struct
    {
        const char* label;
        uint32 code;
        char key;
        uint32 modifiers;
        int32 function;
    } commands[] = {{"Open", 'fiop', 'O', 0, 0},
                    {"Close", 'ficl', 'W', 0, 0},
                    {"Save as PNG image", 'fisv', 'S', 0, 0},
                    {"Save as", 0, 'S', B_SHIFT_KEY, 0},
                    {"Capture", 'fica', 'C', B_SHIFT_KEY, B_PRINT_KEY},
                    {"Capture region…", 'fcrg', 0, 0, 0},
                    {"Capture window…", 'fcwi', 0, 0, 0},
                    {"Capture delay", 0, 0, 0, 0},
                    {"Capture window frame", 'fcfr', 0, 0, 0},
                    {"Print", 'fipr', 'P', 0, 0},
                    {"About", B_ABOUT_REQUESTED, 0, 0, B_F1_KEY},
                    {"Quit", B_QUIT_REQUESTED, 'Q', 0, 0},
                    {"Undo", 'edun', 'Z', 0, 0},
                    {"Redo", 'edre', 'Z', B_SHIFT_KEY, 0},
                    {"Copy", 'edcp', 'C', 0, 0},
                    {"Paste", 'edpa', 'V', 0, 0},
                    {"Paste into picture", 'edpi', 'V', B_SHIFT_KEY, 0}};
    BMenu* file = bar->SubmenuAt(0);
    BMenu* edit = bar->SubmenuAt(2);
    ASSERT_EQ(file->CountItems(), 12);
    ASSERT_EQ(edit->CountItems(), 5);
    for (int i = 0; i < 17; i++) {
        BMenuItem* item = i < 12 ? file->ItemAt(i) : edit->ItemAt(i - 12);
        SCOPED_TRACE(commands[i].label);
        EXPECT_STREQ(item->Label(), commands[i].label);
        if (commands[i].code) {
            EXPECT_EQ(item->Command(), commands[i].code);
        }
        uint32 modifiers = 0;
        EXPECT_EQ(item->Shortcut(&modifiers), commands[i].key);
        EXPECT_EQ(modifiers, commands[i].modifiers);
        EXPECT_EQ(item->FunctionKey(), commands[i].function);
    }
    // Nothing to undo, redo or copy yet; pasting is always there.
    EXPECT_FALSE(edit->ItemAt(0)->IsEnabled());
    EXPECT_FALSE(edit->ItemAt(1)->IsEnabled());
    EXPECT_FALSE(edit->ItemAt(2)->IsEnabled());
    EXPECT_TRUE(edit->ItemAt(3)->IsEnabled());
    EXPECT_EQ(edit->ItemAt(0)->Target(nullptr), window->view);
    // About and Quit speak to the application, the rest to the view.
    EXPECT_EQ(file->ItemAt(10)->Target(nullptr), be_app);
    EXPECT_EQ(file->ItemAt(11)->Target(nullptr), be_app);
    EXPECT_EQ(file->ItemAt(0)->Target(nullptr), window->view);

    // The capture delay: one of four marked, None at first; choosing one
    // marks it alone and sets the view's delay.
    BMenu* delay = file->SubmenuAt(7);
    ASSERT_NE(delay, nullptr);
    EXPECT_TRUE(delay->IsRadioMode());
    ASSERT_EQ(delay->CountItems(), 4);
    const int32 seconds[] = {0, 3, 5, 10};
    // -1: as the window opens.
    for (int chosen : {-1, 3, 1, 0}) {
        if (chosen >= 0) {
            window->PostMessage(delay->ItemAt(chosen)->Message(), window->view);
            ASSERT_TRUE(settle_window(window));
        }
        int marked = chosen >= 0 ? chosen : 0;
        EXPECT_EQ(window->view->capturedelay, seconds[marked]);
        for (int i = 0; i < 4; i++) {
            int32 value = -1;
            delay->ItemAt(i)->Message()->FindInt32("seconds", &value);
            EXPECT_EQ(value, seconds[i]);
            EXPECT_EQ(delay->ItemAt(i)->IsMarked(), i == marked) << "chosen " << chosen;
        }
    }
}

TEST_F(MainWindowTest, EmptyPictureGivesNoScrolling)
{
    struct
    {
        BRect picture;
        float proportion;
    } cases[] = {
        {BRect(0, 0, -1, -1), 0},   // negative quotient
        {BRect(-1, -1, -1, -1), 1}, // infinite quotient
    };
    for (auto& c : cases) {
        pic = c.picture;
        window->FrameResized(200, 150);
        ExpectRange(window->scrollv, 0);
        ExpectRange(window->scrollh, 0);
        EXPECT_EQ(window->scrollv->Proportion(), c.proportion);
        EXPECT_EQ(window->scrollh->Proportion(), c.proportion);
    }
}

TEST_F(MainWindowTest, APictureFitsTheWindowAndShrinkingMakesItScroll)
{
    ShowImage(400, 300, "sky.png");
    EXPECT_EQ(pic, BRect(0, 0, 399, 299));
    EXPECT_EQ(window->Frame().Width(), 413);
    EXPECT_EQ(window->Frame().Height(), 333);
    EXPECT_EQ(window->view->Bounds().Width(), 399);
    EXPECT_EQ(window->view->Bounds().Height(), 299);
    EXPECT_STREQ(window->Title(), "sky.png[400x300]");
    ExpectRange(window->scrollv, 0);
    ExpectRange(window->scrollh, 0);

    window->ResizeBy(-50, 0);
    Settle();
    ExpectRange(window->scrollh, 50);
    ExpectRange(window->scrollv, 0);

    // The shown pixels are the image's, at the view's place in the window.
    QImage shown = grab_window(window);
    for (QPoint p : {QPoint(0, 0), QPoint(10, 7), QPoint(300, 250), QPoint(349, 298)}) {
        QRgb pixel = shown.pixel(p.x(), p.y() + 20);
        EXPECT_EQ(qRed(pixel), p.x() & 0xff) << p.x() << "," << p.y();
        EXPECT_EQ(qGreen(pixel), p.y() & 0xff) << p.x() << "," << p.y();
        EXPECT_EQ(qBlue(pixel), 0x40);
    }

    // Scrolling to the right end shows the image's last columns.
    window->scrollh->SetValue(50);
    Settle();
    EXPECT_EQ(window->view->Bounds().left, 50);
    shown = grab_window(window);
    EXPECT_EQ(qRed(shown.pixel(0, 30)), 50);
    EXPECT_EQ(qRed(shown.pixel(349, 30)), 399 & 0xff);
}

TEST_F(MainWindowTest, APictureLargerThanTheScreenGetsAWindowThatFitsAndScrolls)
{
    BRect area = BScreen(window).AvailableFrame();
    ASSERT_TRUE(area.IsValid());
    // The window's border, as the platform draws it.
    BRect decorator = window->DecoratorFrame();
    area.right -= decorator.right - window->Frame().right;
    area.bottom -= decorator.bottom - window->Frame().bottom;
    struct
    {
        int width, height;
    } pictures[] = {{2000, 1500}, {3000, 2500}, {2000, 1500}};
    for (const auto& p : pictures) {
        ShowImage(p.width, p.height, "large.png");
        BRect frame = window->Frame();
        // The corner stays; the window and its border end at the free area's
        // far edges.
        EXPECT_EQ(frame, BRect(100, 100, area.right, area.bottom)) << p.width;
        EXPECT_EQ(window->view->Frame(), BRect(0, 20, frame.Width() - 14, frame.Height() - 14));
        // The limits are the picture's, so the window may still grow to it.
        float minW, maxW, minH, maxH, zoomW, zoomH;
        window->GetSizeLimits(&minW, &maxW, &minH, &maxH);
        window->GetZoomLimits(&zoomW, &zoomH);
        EXPECT_EQ(maxW, p.width - 1 + 14);
        EXPECT_EQ(maxH, p.height - 1 + 34);
        EXPECT_EQ(zoomW, maxW);
        EXPECT_EQ(zoomH, maxH);
        // Each range reaches the picture's far edge, even when the window
        // kept its size from the picture before.
        ExpectRange(window->scrollh, p.width - 1 - window->scrollh->Bounds().Width() + 2);
        ExpectRange(window->scrollv, p.height - 1 - window->scrollv->Bounds().Height() + 2);
    }
    window->scrollh->SetValue(1e6);
    window->scrollv->SetValue(1e6);
    Settle();
    // Scrolled to the end, the view's last pixel is the picture's last.
    BRect bounds = window->view->Bounds();
    EXPECT_EQ(bounds.right, 1999);
    EXPECT_EQ(bounds.bottom, 1499);
}

TEST_F(MainWindowTest, ResizeViewZeroPicksTheDefault)
{
    window->resizeview(0, 5);
    Settle();
    EXPECT_EQ(window->view->Bounds().Width(), 186);
    EXPECT_EQ(window->view->Bounds().Height(), 5);
    float minW, maxW, minH, maxH;
    window->GetSizeLimits(&minW, &maxW, &minH, &maxH);
    EXPECT_EQ(minW, 35);
    EXPECT_EQ(maxW, 200);
    EXPECT_EQ(minH, 35);
    EXPECT_EQ(maxH, 39);
}

TEST_F(MainWindowTest, OnePixelWideImageGetsTheDefaultWidth)
{
    ShowImage(1, 300, "line.png");
    EXPECT_EQ(window->Frame().Width(), 200);
    EXPECT_EQ(window->Frame().Height(), 299 + 34);
    EXPECT_EQ(window->view->Bounds().Width(), 186);
    EXPECT_STREQ(window->Title(), "line.png[1x300]");
}

TEST_F(MainWindowTest, EmptyViewShowsTheNameInWhiteBoldOnBlack)
{
    Settle();
    QImage shown = grab_window(window);
    auto white_in = [&](int left, int top, int right, int bottom) {
        int count = 0;
        for (int y = top; y <= bottom; y++) {
            for (int x = left; x <= right; x++) {
                QRgb p = shown.pixel(x, y + 20);
                count += qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
            }
        }
        return count;
    };
    // "tavrin" at 30 px with its baseline at y 50 from x 45; "ver.0.00" at 20 px, baseline 80,
    // x 75.
    EXPECT_GT(white_in(45, 28, 150, 50), 150);
    EXPECT_GT(white_in(75, 66, 170, 80), 100);
    // Nothing left of the texts' origins, nor between them below the first baseline's descent.
    EXPECT_EQ(white_in(0, 0, 43, 115), 0);
    EXPECT_EQ(white_in(0, 0, 185, 20), 0);
    EXPECT_EQ(white_in(0, 86, 185, 115), 0);
    // Black elsewhere.
    EXPECT_EQ(shown.pixel(5, 25), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(180, 130), qRgb(0, 0, 0));
}

TEST_F(MainWindowTest, ClosingThePictureReturnsToTheEmptyState)
{
    ShowImage(640, 480, "sky.png");
    EXPECT_STREQ(window->Title(), "sky.png[640x480]");
    delete window->view->image;
    window->view->image = nullptr;
    window->view->redraw(true);
    Settle();
    EXPECT_EQ(pic, BRect(-1, -1, -1, -1));
    EXPECT_STREQ(window->Title(), "tavrin ver.0.00");
    EXPECT_STREQ(window->view->title, "sky.png");
    EXPECT_EQ(window->Frame().Width(), 200);
    EXPECT_EQ(window->Frame().Height(), 150);
    QImage shown = grab_window(window);
    EXPECT_EQ(shown.pixel(5, 25), qRgb(0, 0, 0));
}

} // namespace
