// Edit > Undo and Redo over the crops: the picture comes back bit for bit,
// with its name and scroll position, and the history keeps to its budget.

#include "MouseFixture.h"
#include "window/codes.h"

namespace {

class HistoryTest : public MouseTest
{
protected:
    void Command(uint32 what)
    {
        window->PostMessage(what, view);
        Settle();
    }

    // Whether the image is the pattern's part from (left, top), w x h.
    bool ShowsPattern(int left, int top, int w, int h)
    {
        if (!view->image || view->image->Bounds() != BRect(0, 0, w - 1, h - 1))
            return false;
        const uint32* bits = static_cast<const uint32*>(view->image->Bits());
        int stride = view->image->BytesPerRow() / 4;
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                if (bits[y * stride + x] != Colour(left + x, top + y))
                    return false;
            }
        }
        return true;
    }
};

TEST_F(HistoryTest, ARightClickCropIsUndoneBitForBit)
{
    GiveImage(1000, 800);
    view->ScrollTo(BPoint(30, 20));
    Settle();
    BPoint scrolled = view->Bounds().LeftTop();
    ASSERT_EQ(scrolled, BPoint(30, 20));
    Click(BPoint(35, 27), B_SECONDARY_MOUSE_BUTTON);
    ASSERT_TRUE(ShowsPattern(35, 27, 1, 1)) << "a click without movement crops to one pixel";
    EXPECT_STREQ(window->Title(), "pattern[1x1]");

    Command(kUndo);
    EXPECT_TRUE(ShowsPattern(0, 0, 1000, 800));
    EXPECT_STREQ(window->Title(), "pattern[1000x800]");
    EXPECT_EQ(view->Bounds().LeftTop(), scrolled);

    Command(kRedo);
    EXPECT_TRUE(ShowsPattern(35, 27, 1, 1));
    Command(kUndo);
    Command(kUndo); // nothing earlier: nothing changes
    EXPECT_TRUE(ShowsPattern(0, 0, 1000, 800));
    EXPECT_TRUE(view->changes.canredo());
    EXPECT_FALSE(view->changes.canundo());
}

TEST_F(HistoryTest, FiftyCropsAndFiftyUndosGiveTheOriginal)
{
    GiveImage(200, 150);
    for (int i = 0; i < 50; i++) {
        // The secondary button dragged over all but the last column and row.
        BRect bounds = view->image->Bounds();
        Drag(BPoint(1, 1), BPoint(bounds.right, bounds.bottom), B_SECONDARY_MOUSE_BUTTON);
        // The crops share one source: the history holds the original alone.
        ASSERT_EQ(view->changes.bytes(), 200u * 150 * 4) << "crop " << i;
    }
    ASSERT_TRUE(ShowsPattern(50, 50, 150, 100));
    for (int i = 0; i < 50; i++)
        Command(kUndo);
    EXPECT_TRUE(ShowsPattern(0, 0, 200, 150));
    EXPECT_EQ(view->changes.count(), 50);
    for (int i = 0; i < 50; i++)
        Command(kRedo);
    EXPECT_TRUE(ShowsPattern(50, 50, 150, 100));
}

TEST_F(HistoryTest, A24MegapixelCropHoldsOnePictureAndUndoes)
{
    const int w = 6000, h = 4000;
    GiveImage(w, h);
    long before = resident_kb();
    Click(BPoint(10, 20), B_SECONDARY_MOUSE_BUTTON);
    ASSERT_TRUE(ShowsPattern(10, 20, 1, 1));
    // The crop keeps its source, not a copy of it.
    EXPECT_EQ(view->changes.bytes(), (uint64)w * h * 4);
    long afterCrop = resident_kb();
    Command(kUndo);
    long afterUndo = resident_kb();
    printf("24 MP: history %.1f MB; resident %+ld kB after the crop, %+ld kB after the undo\n",
           view->changes.bytes() / 1e6, afterCrop - before, afterUndo - before);
    EXPECT_TRUE(view->image && view->image->Bounds() == BRect(0, 0, w - 1, h - 1));
    const uint32* bits = static_cast<const uint32*>(view->image->Bits());
    EXPECT_EQ(bits[(size_t)(h - 1) * w + (w - 1)], Colour(w - 1, h - 1));
    EXPECT_EQ(bits[(size_t)1234 * w + 4321], Colour(4321, 1234));
}

} // namespace
