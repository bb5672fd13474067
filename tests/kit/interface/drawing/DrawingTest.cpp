// The drawing calls land pixel-exactly in the window and in bitmaps.

#include <Bitmap.h>
#include <Messenger.h>
#include <View.h>
#include <Window.h>

#include "Pixels.h"
#include "TestApp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

namespace {

class Canvas : public BView
{
public:
    Canvas(BRect frame) : BView(frame, "canvas", B_FOLLOW_ALL_SIDES, B_WILL_DRAW) {}
    void Draw(BRect update) override
    {
        draws++;
        lastUpdate = update;
        if (onDraw)
            onDraw(update);
    }
    int draws = 0;
    BRect lastUpdate;
    std::function<void(BRect)> onDraw;
};

class DrawingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test_app();
        window = new BWindow(BRect(50, 50, 149, 99), "canvas", B_TITLED_WINDOW, 0);
        canvas = new Canvas(window->Bounds());
        window->AddChild(canvas);
        window->Show();
        ASSERT_TRUE(run_until([&] { return canvas->draws > 0; }));
    }
    void TearDown() override
    {
        BMessenger messenger(window);
        window->Lock();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }
    QRgb At(int x, int y) { return grab_view(canvas).pixel(x, y); }

    BWindow* window = nullptr;
    Canvas* canvas = nullptr;
};

TEST_F(DrawingTest, RectanglesIncludeBothEdges)
{
    canvas->SetHighColor(255, 0, 0);
    canvas->FillRect(BRect(10, 10, 12, 11));
    canvas->SetHighColor(0, 0, 255);
    canvas->StrokeRect(BRect(20, 20, 25, 24));
    ASSERT_TRUE(run_until([&] { return At(25, 24) == qRgb(0, 0, 255); }));
    QImage shown = grab_view(canvas);
    int red = 0;
    for (int y = 0; y < shown.height(); y++) {
        for (int x = 0; x < shown.width(); x++)
            red += shown.pixel(x, y) == qRgb(255, 0, 0);
    }
    EXPECT_EQ(red, 3 * 2);
    EXPECT_EQ(shown.pixel(12, 11), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(13, 11), qRgb(255, 255, 255));
    // The outline is one pixel wide, corners included; the inside untouched.
    for (int x = 20; x <= 25; x++) {
        EXPECT_EQ(shown.pixel(x, 20), qRgb(0, 0, 255));
        EXPECT_EQ(shown.pixel(x, 24), qRgb(0, 0, 255));
    }
    for (int y = 20; y <= 24; y++) {
        EXPECT_EQ(shown.pixel(20, y), qRgb(0, 0, 255));
        EXPECT_EQ(shown.pixel(25, y), qRgb(0, 0, 255));
    }
    EXPECT_EQ(shown.pixel(22, 22), qRgb(255, 255, 255));
}

TEST_F(DrawingTest, PatternsAreAlignedToViewCoordinatesAlsoWhenScrolled)
{
    canvas->SetHighColor(255, 255, 255);
    canvas->SetLowColor(0, 0, 0);
    for (float scroll : {0.0f, 3.0f}) {
        canvas->ScrollTo(scroll, 0);
        canvas->FillRect(BRect(scroll, 0, scroll + 15, 7), B_MIXED_COLORS);
        // The first pixel whose pattern bit differs from the plain white before.
        QRgb second = ((1 + (int)scroll) % 2 == 0) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        ASSERT_TRUE(run_until([&] { return At(1, 0) == second; }));
        QImage shown = grab_view(canvas);
        for (int y = 0; y < 8; y++) {
            for (int x = 0; x < 16; x++) {
                int viewX = x + (int)scroll;
                bool high = (y % 2 == 0) ? (viewX % 2 == 0) : (viewX % 2 == 1);
                ASSERT_EQ(shown.pixel(x, y), high ? qRgb(255, 255, 255) : qRgb(0, 0, 0))
                    << "scroll " << scroll << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(DrawingTest, BitmapsMapSourceOntoDestinationPixels)
{
    BBitmap bitmap(BRect(0, 0, 3, 1), B_RGBA32);
    uint32* bits = static_cast<uint32*>(bitmap.Bits());
    for (int i = 0; i < 8; i++)
        bits[i] = 0x00000000u | ((i * 30) << 16) | 0x10; // alpha 0: copied as opaque
    // Unscaled, at its own place and moved.
    canvas->DrawBitmap(&bitmap, BRect(0, 0, 3, 1), BRect(5, 5, 8, 6));
    // Scaled two times each way.
    canvas->DrawBitmap(&bitmap, BRect(0, 0, 3, 1), BRect(20, 5, 27, 8));
    // A source reaching past the bitmap draws only what is on it.
    canvas->DrawBitmap(&bitmap, BRect(2, 0, 9, 1), BRect(40, 5, 47, 6));
    ASSERT_TRUE(run_until([&] { return At(41, 6) == qRgb(7 * 30, 0, 0x10); }));
    QImage shown = grab_view(canvas);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(shown.pixel(5 + i, 5), qRgb(i * 30, 0, 0x10));
        EXPECT_EQ(shown.pixel(5 + i, 6), qRgb((i + 4) * 30, 0, 0x10));
        EXPECT_EQ(shown.pixel(20 + 2 * i + 1, 6), qRgb(i * 30, 0, 0x10));
        EXPECT_EQ(shown.pixel(20 + 2 * i, 8), qRgb((i + 4) * 30, 0, 0x10));
    }
    EXPECT_EQ(shown.pixel(40, 5), qRgb(60, 0, 0x10));
    EXPECT_EQ(shown.pixel(41, 6), qRgb(7 * 30, 0, 0x10));
    EXPECT_EQ(shown.pixel(42, 5), qRgb(255, 255, 255));
}

TEST_F(DrawingTest, ExposedAreasAreClearedToTheViewColourThenDrawn)
{
    canvas->SetViewColor(0, 128, 0);
    canvas->FillRect(BRect(0, 0, 10, 10));
    canvas->Hide();
    int before = canvas->draws;
    canvas->Show();
    ASSERT_TRUE(run_until([&] { return canvas->draws > before; }));
    EXPECT_EQ(canvas->lastUpdate, canvas->Bounds());
    EXPECT_EQ(At(5, 5), qRgb(0, 128, 0));

    // A transparent view colour: nothing is cleared before Draw.
    canvas->SetHighColor(200, 0, 0);
    canvas->FillRect(canvas->Bounds());
    canvas->SetViewColor(B_TRANSPARENT_32_BIT);
    before = canvas->draws;
    canvas->Invalidate();
    ASSERT_TRUE(run_until([&] { return canvas->draws > before; }));
    EXPECT_EQ(At(5, 5), qRgb(200, 0, 0));

    // Growing the window draws what it uncovered, cleared to the view colour.
    // The platform shows the larger window from a new buffer of its own, so
    // the view is drawn whole again (a view that keeps pixels of its own
    // draws only the new part: BackingTest).
    canvas->SetViewColor(0, 0, 0);
    before = canvas->draws;
    window->ResizeTo(129, 49);
    ASSERT_TRUE(run_until([&] { return canvas->draws > before; }));
    EXPECT_TRUE(canvas->lastUpdate.Contains(BRect(100, 0, 129, 49)));
    EXPECT_EQ(At(120, 40), qRgb(0, 0, 0));
}

TEST_F(DrawingTest, TextIsDrawnAtItsBaseline)
{
    BFont font(be_bold_font);
    font.SetSize(20);
    canvas->SetFont(&font);
    canvas->SetHighColor(0, 0, 0);
    canvas->DrawString("Ho", BPoint(10, 30));
    ASSERT_TRUE(run_until([&] {
        QImage image = grab_view(canvas);
        for (int y = 0; y < image.height(); y++) {
            for (int x = 0; x < image.width(); x++) {
                if (qRed(image.pixel(x, y)) <= 100)
                    return true;
            }
        }
        return false;
    }));
    QImage shown = grab_view(canvas);
    font_height height;
    canvas->GetFontHeight(&height);
    int ink = 0, below = 0, left = 0;
    for (int y = 0; y < shown.height(); y++) {
        for (int x = 0; x < shown.width(); x++) {
            if (qRed(shown.pixel(x, y)) > 100)
                continue;
            ink++;
            below += y > 30;
            left += x < 10;
        }
    }
    EXPECT_GT(ink, 40);
    EXPECT_EQ(below, 0) << "'Ho' has no descender";
    EXPECT_EQ(left, 0);
    EXPECT_NEAR(canvas->PenLocation().x, 10 + canvas->StringWidth("Ho"), 0.01);
    EXPECT_GT(height.ascent, 10);
}

TEST_F(DrawingTest, ViewsAttachedToABitmapDrawIntoItsPixels)
{
    BBitmap bitmap(BRect(0, 0, 19, 9), B_RGB32, true);
    BView* view = new BView(bitmap.Bounds(), "drawing", B_FOLLOW_NONE, B_WILL_DRAW);
    ASSERT_TRUE(bitmap.Lock());
    bitmap.AddChild(view);
    view->SetLowColor(255, 255, 255);
    view->FillRect(bitmap.Bounds(), B_SOLID_LOW);
    view->SetHighColor(1, 2, 3);
    view->FillRect(BRect(2, 3, 4, 5));
    view->Sync();
    bitmap.RemoveChild(view);
    bitmap.Unlock();
    delete view;
    const uint32* bits = static_cast<const uint32*>(bitmap.Bits());
    EXPECT_EQ(bits[0], 0xffffffffu);
    EXPECT_EQ(bits[3 * 20 + 2], 0xff010203u);
    EXPECT_EQ(bits[5 * 20 + 4], 0xff010203u);
    EXPECT_EQ(bits[5 * 20 + 5], 0xffffffffu);
}

TEST(BitmapTest, RowsAndSizes)
{
    struct
    {
        BRect bounds;
        color_space space;
        status_t status;
        int32 bytesPerRow;
    } cases[] = {
        {BRect(0, 0, 9, 9), B_RGB32, B_OK, 40},
        {BRect(0, 0, 0, 0), B_RGBA32, B_OK, 4},
        {BRect(0, 0, 9, 1), B_CMAP8, B_OK, 12},
        {BRect(0, 0, 9, 1), B_RGB24, B_OK, 32},
        {BRect(0, 0, 9, 1), B_GRAY1, B_OK, 4},
        {BRect(0, 0, -1, -1), B_RGB32, B_BAD_VALUE, 0},
        {BRect(0, 0, 9, 9), B_NO_COLOR_SPACE, B_BAD_VALUE, 0},
        {BRect(0, 0, 1e9f, 1e9f), B_RGB32, B_BAD_VALUE, 0},
        {BRect(0, 0, 100000, 100000), B_RGB32, B_NO_MEMORY, 0},
    };
    for (auto& c : cases) {
        BBitmap bitmap(c.bounds, c.space);
        EXPECT_EQ(bitmap.InitCheck(), c.status);
        if (c.status == B_OK) {
            EXPECT_EQ(bitmap.BytesPerRow(), c.bytesPerRow);
            EXPECT_EQ(bitmap.BitsLength(), c.bytesPerRow * (c.bounds.IntegerHeight() + 1));
        } else {
            EXPECT_EQ(bitmap.Bits(), nullptr);
        }
    }
}

// A bitmap whose every pixel tells where it is: (x, y) is x + y x 65536,
// with some alpha, so that a pixel moved to the wrong place shows.
void Number(BBitmap* bitmap)
{
    uint32* bits = static_cast<uint32*>(bitmap->Bits());
    int32 stride = bitmap->BytesPerRow() / 4;
    for (int32 y = 0; y <= bitmap->Bounds().IntegerHeight(); y++) {
        for (int32 x = 0; x < stride; x++)
            bits[y * stride + x] = 0x80000000u | (uint32)(y << 16) | (uint32)x;
    }
}

TEST(BitmapTest, ACropKeepsExactlyThePixelsInside)
{
    // Small bitmaps come from the heap, large ones (past 2 MiB) from a
    // mapping of their own; both are cropped in place.
    struct
    {
        BRect bounds;
        BRect crop;
    } cases[] = {
        {BRect(0, 0, 9, 9), BRect(0, 0, 9, 9)},
        {BRect(0, 0, 9, 9), BRect(3, 2, 6, 8)},
        {BRect(0, 0, 9, 9), BRect(9, 9, 9, 9)},
        {BRect(0, 0, 9, 9), BRect(0, 4, 9, 5)},
        {BRect(0, 0, 9, 9), BRect(4, 0, 4, 9)},
        {BRect(10, 20, 29, 39), BRect(15, 25, 20, 30)},
        {BRect(0, 0, 1999, 999), BRect(500, 250, 1499, 749)},
        {BRect(0, 0, 1999, 999), BRect(0, 0, 1999, 1)},
        {BRect(0, 0, 1999, 999), BRect(1999, 0, 1999, 999)},
        {BRect(0, 0, 1999, 999), BRect(1, 998, 1998, 999)},
        {BRect(0, 0, 1023, 1023), BRect(0, 0, 1023, 1022)},
    };
    for (auto& c : cases) {
        BBitmap bitmap(c.bounds, B_RGB32);
        ASSERT_EQ(bitmap.InitCheck(), B_OK);
        Number(&bitmap);
        ASSERT_EQ(bitmap.CropTo(c.crop), B_OK) << c.crop.left << "," << c.crop.top;
        int32 w = c.crop.IntegerWidth() + 1;
        int32 h = c.crop.IntegerHeight() + 1;
        EXPECT_EQ(bitmap.Bounds(), BRect(0, 0, w - 1, h - 1));
        EXPECT_EQ(bitmap.BytesPerRow(), w * 4);
        EXPECT_EQ(bitmap.BitsLength(), w * h * 4);
        const uint32* bits = static_cast<const uint32*>(bitmap.Bits());
        int32 left = (int32)(c.crop.left - c.bounds.left);
        int32 top = (int32)(c.crop.top - c.bounds.top);
        for (int32 y = 0; y < h; y++) {
            for (int32 x = 0; x < w; x++) {
                uint32 expected = 0x80000000u | (uint32)((top + y) << 16) | (uint32)(left + x);
                ASSERT_EQ(bits[y * w + x], expected)
                    << c.crop.left << "," << c.crop.top << ": " << x << "," << y;
            }
        }
        // The bitmap works as any other: a copy holds the same pixels.
        BBitmap copy(&bitmap);
        ASSERT_EQ(copy.Bounds(), bitmap.Bounds());
        EXPECT_EQ(memcmp(copy.Bits(), bitmap.Bits(), bitmap.BitsLength()), 0);
    }
}

TEST(BitmapTest, ACropGivesTheRestOfALargeBitmapBack)
{
    // 16 MB, cropped to 40,000 bytes: ten pages stay, the rest is unmapped
    // (by a thread of its own: the test waits for it).
    BBitmap bitmap(BRect(0, 0, 1999, 1999), B_RGB32);
    ASSERT_EQ(bitmap.InitCheck(), B_OK);
    Number(&bitmap);
    const uint8* start = static_cast<const uint8*>(bitmap.Bits());
    ASSERT_EQ(bitmap.CropTo(BRect(0, 1000, 99, 1099)), B_OK);
    EXPECT_EQ(bitmap.Bits(), start);
    const long page = sysconf(_SC_PAGESIZE);
    auto mapped = [&](size_t offset) {
        unsigned char resident;
        return mincore(const_cast<uint8*>(start) + offset, page, &resident) == 0;
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((mapped(4 << 20) || mapped(15 << 20)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(mapped(4 << 20));
    EXPECT_FALSE(mapped(15 << 20));
    EXPECT_TRUE(mapped(0));
    EXPECT_TRUE(mapped(9 * page));
    const uint32* bits = static_cast<const uint32*>(bitmap.Bits());
    EXPECT_EQ(bits[0], 0x80000000u | (1000u << 16));
    EXPECT_EQ(bits[100 * 100 - 1], 0x80000000u | (1099u << 16) | 99u);
}

TEST(BitmapTest, ACropThatCannotBeMadeChangesNothing)
{
    struct
    {
        color_space space;
        bool views;
        BRect crop;
    } cases[] = {
        {B_RGB32, false, BRect(-1, 0, 5, 5)}, {B_RGB32, false, BRect(0, 0, 10, 5)},
        {B_RGB32, false, BRect(2, 2, 1, 1)},  {B_RGB32, false, BRect(0, 0, 5, NAN)},
        {B_RGB32, true, BRect(0, 0, 5, 5)},   {B_CMAP8, false, BRect(0, 0, 5, 5)},
        {B_RGB24, false, BRect(0, 0, 5, 5)},
    };
    for (auto& c : cases) {
        BBitmap bitmap(BRect(0, 0, 9, 9), c.space, c.views);
        ASSERT_EQ(bitmap.InitCheck(), B_OK);
        memset(bitmap.Bits(), 0x5a, bitmap.BitsLength());
        int32 bytesPerRow = bitmap.BytesPerRow();
        EXPECT_EQ(bitmap.CropTo(c.crop), B_BAD_VALUE) << c.crop.left << "," << c.crop.right;
        EXPECT_EQ(bitmap.Bounds(), BRect(0, 0, 9, 9));
        EXPECT_EQ(bitmap.BytesPerRow(), bytesPerRow);
        const uint8* bytes = static_cast<const uint8*>(bitmap.Bits());
        for (int32 i = 0; i < bitmap.BitsLength(); i++)
            ASSERT_EQ(bytes[i], 0x5a) << i;
    }
}

TEST(BitmapTest, NewBitmapsOfAnySizeStartCleared)
{
    // 2 MiB is where bitmaps get memory of their own.
    for (int32 side : {16, 723, 724, 725, 2000}) {
        for (uint32 flags : {0u, (uint32)B_BITMAP_CLEAR_TO_WHITE}) {
            BBitmap bitmap(BRect(0, 0, side - 1, side - 1), flags, B_RGB32);
            ASSERT_EQ(bitmap.InitCheck(), B_OK);
            const uint32* bits = static_cast<const uint32*>(bitmap.Bits());
            uint32 expected = flags ? 0xffffffffu : 0u;
            for (int32 i = 0; i < side * side; i += 997)
                ASSERT_EQ(bits[i], expected) << side << " " << i;
            ASSERT_EQ(bits[side * side - 1], expected) << side;
        }
    }
}

} // namespace
