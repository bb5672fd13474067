// Crops and drags of pictures past 16.8 megapixels take exactly the selected
// pixels: every pixel holds its own index, so a copy that starts one word off
// shows it everywhere, and one that reads past the end trips the sanitizer.

#include "MouseFixture.h"

namespace {

class BigPictureTest : public MouseTest
{
protected:
    // A picture of w x h pixels, each holding y * w + x. It is given to the
    // view without fitting the window: the gestures reach any point of it.
    void GiveIndexed(int w, int h)
    {
        delete view->image;
        view->image = new BBitmap(BRect(0, 0, w - 1, h - 1), B_RGB32);
        ASSERT_TRUE(view->image->IsValid());
        uint32* bits = static_cast<uint32*>(view->image->Bits());
        for (size_t i = 0; i < (size_t)w * h; i++)
            bits[i] = (uint32)i;
        fWidth = w;
        pic = view->image->Bounds();
        view->cursel.visible = false;
    }

    // The pixels of copy (rows without gaps) against the picture's rectangle:
    // the number that differ.
    int Mismatches(const BBitmap* copy, BRect rect)
    {
        const uint32* bits = static_cast<const uint32*>(copy->Bits());
        int wrong = 0;
        for (int y = (int)rect.top; y <= (int)rect.bottom; y++) {
            for (int x = (int)rect.left; x <= (int)rect.right; x++) {
                uint32 want = (uint32)((size_t)y * fWidth + x);
                wrong += *bits++ != want;
            }
        }
        return wrong;
    }

    int fWidth = 0;
};

struct Area
{
    BRect rect;
    const char* what;
};

// Selections whose start offsets a float cannot hold, up to the last pixel.
const Area kAreas[] = {
    {BRect(7999, 5999, 7999, 5999), "the last pixel"},
    {BRect(7901, 5900, 7999, 5999), "the bottom-right corner"},
    {BRect(4095, 4097, 4131, 4160), "the middle, odd start"},
    {BRect(1, 2098, 300, 2099), "rows past 2^24 words"},
};

TEST_F(BigPictureTest, ADragCopiesExactlyTheSelection)
{
    GiveIndexed(8000, 6000);
    for (const Area& area : kAreas) {
        drags.clear();
        Drag(area.rect.LeftTop(), area.rect.RightBottom(), 1);
        ASSERT_TRUE(view->cursel.visible) << area.what;
        ASSERT_EQ(view->cursel.rect, area.rect) << area.what;
        Mouse(B_MOUSE_DOWN, area.rect.RightBottom(), 1);
        ASSERT_EQ(drags.size(), 1u) << area.what;
        ASSERT_NE(view->dragbitmap, nullptr);
        EXPECT_EQ(view->dragbitmap->Bounds(), area.rect) << area.what;
        EXPECT_EQ(Mismatches(view->dragbitmap, area.rect), 0) << area.what;
        Mouse(B_MOUSE_UP, area.rect.RightBottom(), 0);
    }
}

TEST_F(BigPictureTest, ACropKeepsExactlyTheSelection)
{
    for (const Area& area : kAreas) {
        GiveIndexed(8000, 6000);
        // The secondary button crops what it selects.
        Drag(area.rect.LeftTop(), area.rect.RightBottom(), 2);
        ASSERT_NE(view->image, nullptr);
        int w = area.rect.IntegerWidth() + 1, h = area.rect.IntegerHeight() + 1;
        ASSERT_EQ(view->image->Bounds(), BRect(0, 0, w - 1, h - 1)) << area.what;
        EXPECT_EQ(Mismatches(view->image, area.rect), 0) << area.what;
        EXPECT_EQ(pic, BRect(0, 0, w - 1, h - 1));
    }
}

TEST_F(BigPictureTest, AWidePictureCropsFromTheColumnChosen)
{
    GiveIndexed(30000, 600);
    BRect area(101, 560, 420, 599);
    Drag(area.LeftTop(), area.RightBottom(), 1, B_SHIFT_KEY);
    ASSERT_NE(view->image, nullptr);
    ASSERT_EQ(view->image->Bounds(), BRect(0, 0, 319, 39));
    const uint32* bits = static_cast<const uint32*>(view->image->Bits());
    EXPECT_EQ(bits[0], 560u * 30000 + 101) << "starts at x = 101";
    EXPECT_EQ(Mismatches(view->image, area), 0);
}

} // namespace
