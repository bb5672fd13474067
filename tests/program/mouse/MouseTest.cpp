// The rubber band, cropping, scrolling by dragging, and the start of a drag.

#include "MouseFixture.h"

namespace {

const uint32 kWhite = 0xffffffffu;
const uint32 kGrey = 0xff646464u;

TEST_F(MouseTest, ButtonsAndKeysChooseTheGesture)
{
    struct
    {
        uint32 buttons, keys;
        int32 mode;
        bool shown;
    } cases[] = {
        {1, 0, 1, true},
        {1, B_SHIFT_KEY, 2, true},
        {2, 0, 2, true},
        {3, 0, 3, true},
        {1, B_CONTROL_KEY, 4, false},
        {1, B_CONTROL_KEY | B_SHIFT_KEY, 4, false},
        {4, 0, 4, false},
        {5, 0, 5, false},
        {6, 0, 6, false},
        {2, B_SHIFT_KEY, 2, true},
    };
    for (auto& c : cases) {
        GiveImage(100, 80);
        view->cursel.visible = false;
        Mouse(B_MOUSE_DOWN, BPoint(10, 10), c.buttons, c.keys);
        EXPECT_EQ(view->mousemode, c.mode) << c.buttons << "/" << c.keys;
        EXPECT_EQ(view->cursel.visible, c.shown) << c.buttons << "/" << c.keys;
        EXPECT_EQ(view->cursel.rect, BRect(10, 10, 10, 10));
        Mouse(B_MOUSE_UP, BPoint(10, 10), 0);
        EXPECT_EQ(view->mousemode, 0);
    }
}

TEST_F(MouseTest, AClickOutsideTheImageChangesNothing)
{
    GiveImage(50, 40);
    view->ResizeTo(186, 116);
    Mouse(B_MOUSE_DOWN, BPoint(120, 100), 1);
    EXPECT_EQ(view->mousemode, 0);
    EXPECT_FALSE(view->cursel.visible);
    Mouse(B_MOUSE_UP, BPoint(120, 100), 0);
}

TEST_F(MouseTest, AClickLeavesAOnePixelSelectionAndASecondClickDragsIt)
{
    GiveImage(100, 80);
    Click(BPoint(10, 10), 1);
    EXPECT_TRUE(view->cursel.visible);
    EXPECT_EQ(view->cursel.rect, BRect(10, 10, 10, 10));
    Pulse();
    // B_MIXED_COLORS at (10, 10): row 2 of the pattern, 0xaa, bit 2 set: white.
    EXPECT_EQ(Shown(10, 10), kWhite);

    Mouse(B_MOUSE_DOWN, BPoint(10, 10), 1);
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_EQ(dragRects[0], BRect(10, 10, 10, 10));
    EXPECT_STREQ(drags[0].GetString("be:clip_name", ""), "tavrin_img");
    ASSERT_NE(view->dragbitmap, nullptr);
    EXPECT_EQ(view->dragbitmap->Bounds(), BRect(10, 10, 10, 10));
    EXPECT_EQ(*static_cast<uint32*>(view->dragbitmap->Bits()), Colour(10, 10));
    EXPECT_FALSE(view->cursel.visible);
    EXPECT_EQ(view->mousemode, 0);
    Mouse(B_MOUSE_UP, BPoint(10, 10), 0);

    // The frame goes at the next pulse: the image's own pixel is back.
    Pulse();
    EXPECT_EQ(Shown(10, 10), Colour(10, 10));
}

TEST_F(MouseTest, TheMovingCornerStaysOnTheImageAndTheRectangleIsNormalised)
{
    GiveImage(100, 80);
    struct
    {
        BPoint from, to;
        BRect during, after;
    } cases[] = {
        {BPoint(10, 10), BPoint(500, -50), BRect(10, 10, 99, 0), BRect(10, 0, 99, 10)},
        {BPoint(50, 50), BPoint(20, 30), BRect(50, 50, 20, 30), BRect(20, 30, 50, 50)},
        {BPoint(5, 5), BPoint(-100, 300), BRect(5, 5, 0, 79), BRect(0, 5, 5, 79)},
    };
    for (auto& c : cases) {
        Mouse(B_MOUSE_DOWN, c.from, 1);
        Mouse(B_MOUSE_MOVED, c.to, 1);
        EXPECT_EQ(view->cursel.rect, c.during);
        Mouse(B_MOUSE_UP, c.to, 0);
        EXPECT_EQ(view->cursel.rect, c.after);
        EXPECT_TRUE(view->cursel.visible);
        EXPECT_EQ(view->Bounds().LeftTop(), BPoint(0, 0)) << "no scrolling by itself";
    }
}

TEST_F(MouseTest, TheFrameIsAMixedPatternOutlineAndIsErasedFromTheImage)
{
    GiveImage(100, 80);
    Drag(BPoint(20, 10), BPoint(60, 40), 1);
    Pulse();
    QImage shown = grab_view(view);
    auto expected = [](int x, int y) {
        static const uint8 rows[8] = {0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55};
        return (rows[y % 8] & (0x80 >> (x % 8))) ? kWhite : kGrey;
    };
    for (int x = 20; x <= 60; x++) {
        EXPECT_EQ(shown.pixel(x, 10), expected(x, 10)) << x;
        EXPECT_EQ(shown.pixel(x, 40), expected(x, 40)) << x;
    }
    for (int y = 10; y <= 40; y++) {
        EXPECT_EQ(shown.pixel(20, y), expected(20, y)) << y;
        EXPECT_EQ(shown.pixel(60, y), expected(60, y)) << y;
    }
    // Inside and outside the outline, the image.
    EXPECT_EQ(shown.pixel(40, 25), Colour(40, 25));
    EXPECT_EQ(shown.pixel(61, 41), Colour(61, 41));

    // A new click elsewhere: the old frame is erased, the new one drawn.
    Click(BPoint(80, 70), 1);
    Pulse();
    shown = grab_view(view);
    for (int x = 20; x <= 60; x++)
        EXPECT_EQ(shown.pixel(x, 10), Colour(x, 10)) << x;
    EXPECT_EQ(shown.pixel(80, 70), expected(80, 70));
}

TEST_F(MouseTest, ShiftClickCropsToOnePixel)
{
    GiveImage(100, 80);
    Click(BPoint(37, 21), 1, B_SHIFT_KEY);
    ASSERT_NE(view->image, nullptr);
    EXPECT_EQ(view->image->Bounds(), BRect(0, 0, 0, 0));
    EXPECT_EQ(*static_cast<uint32*>(view->image->Bits()), Colour(37, 21));
    EXPECT_FALSE(view->cursel.visible);
    EXPECT_EQ(window->Frame().Width(), 200);
    EXPECT_EQ(window->Frame().Height(), 150);
    EXPECT_STREQ(window->Title(), "pattern[1x1]");
}

TEST_F(MouseTest, SecondaryButtonDragCropsToTheSelection)
{
    GiveImage(100, 80);
    Drag(BPoint(60, 50), BPoint(10, 20), 2);
    ASSERT_NE(view->image, nullptr);
    EXPECT_EQ(view->image->Bounds(), BRect(0, 0, 50, 30));
    const uint32* bits = static_cast<const uint32*>(view->image->Bits());
    EXPECT_EQ(bits[0], Colour(10, 20));
    EXPECT_EQ(bits[30 * 51 + 50], Colour(60, 50));
    EXPECT_EQ(pic, BRect(0, 0, 50, 30));
}

TEST_F(MouseTest, DraggingWithControlScrollsButStaysOnTheImage)
{
    GiveImage(400, 300);
    window->ResizeTo(200, 150);
    run_until([&] { return view->Bounds() == BRect(0, 0, 186, 116); });
    ASSERT_EQ(view->Bounds(), BRect(0, 0, 186, 116));

    Mouse(B_MOUSE_DOWN, BPoint(100, 80), 1, B_CONTROL_KEY);
    ASSERT_EQ(view->mousemode, 4);
    // Moving the pointer left and up drags the image along: the view scrolls
    // right and down by as much.
    Mouse(B_MOUSE_MOVED, BPoint(70, 60), 1, B_CONTROL_KEY);
    EXPECT_EQ(view->Bounds().LeftTop(), BPoint(30, 20));
    EXPECT_EQ(window->scrollh->Value(), 30);
    EXPECT_EQ(window->scrollv->Value(), 20);
    // Far past the edge: the image's far corner stops at the view's.
    BPoint far = view->Bounds().LeftTop() + BPoint(-900, -900);
    Mouse(B_MOUSE_MOVED, far, 1, B_CONTROL_KEY);
    EXPECT_EQ(view->Bounds().right, 399);
    EXPECT_EQ(view->Bounds().bottom, 299);
    Mouse(B_MOUSE_UP, far, 0);
    // And back the other way: never before the image's start.
    Mouse(B_MOUSE_DOWN, BPoint(300, 250), 4);
    EXPECT_EQ(view->mousemode, 4);
    BPoint near = view->Bounds().LeftTop() + BPoint(2000, 2000);
    Mouse(B_MOUSE_MOVED, near, 4);
    EXPECT_EQ(view->Bounds().LeftTop(), BPoint(0, 0));
    Mouse(B_MOUSE_UP, near, 0);
    EXPECT_FALSE(view->cursel.visible);
}

TEST_F(MouseTest, ASelectionNeverReadsPastASmallerNewImage)
{
    GiveImage(100, 80);
    Drag(BPoint(10, 10), BPoint(90, 70), 1);
    ASSERT_TRUE(view->cursel.visible);

    // Close: the selection is in force but there is no image to drag.
    BMessage close('ficl');
    BMessenger(view).SendMessage(&close);
    run_until([&] { return view->image == nullptr; });
    Mouse(B_MOUSE_DOWN, BPoint(50, 50), 1);
    EXPECT_TRUE(drags.empty());
    Mouse(B_MOUSE_UP, BPoint(50, 50), 0);

    // A smaller image: a drag from the old selection takes only what lies on it.
    GiveImage(100, 80);
    Click(BPoint(95, 75), 1);
    Drag(BPoint(10, 10), BPoint(90, 70), 1);
    GiveImage(30, 20);
    Mouse(B_MOUSE_DOWN, BPoint(15, 15), 1);
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_EQ(dragRects[0], BRect(10, 10, 29, 19));
    EXPECT_EQ(view->dragbitmap->Bounds(), BRect(10, 10, 29, 19));
    Mouse(B_MOUSE_UP, BPoint(15, 15), 0);

    // A crop from a selection that reaches past the image crops what is on it.
    GiveImage(100, 80);
    Click(BPoint(95, 75), 1);
    Drag(BPoint(10, 10), BPoint(90, 70), 1);
    GiveImage(30, 20);
    view->cursel.rect.Set(20, 15, 90, 70);
    view->mousemode = 2;
    Mouse(B_MOUSE_UP, BPoint(15, 15), 0);
    EXPECT_EQ(view->image->Bounds(), BRect(0, 0, 9, 4));
}

} // namespace
