#include <GraphicsDefs.h>
#include <PixelSize.h>
#include <Point.h>
#include <Rect.h>

#include <gtest/gtest.h>

namespace {

void ExpectRect(BRect r, float l, float t, float rt, float b)
{
    EXPECT_FLOAT_EQ(r.left, l);
    EXPECT_FLOAT_EQ(r.top, t);
    EXPECT_FLOAT_EQ(r.right, rt);
    EXPECT_FLOAT_EQ(r.bottom, b);
}

TEST(RectTest, ContainsIncludesAllFourEdges)
{
    const BRect r(10, 20, 30, 40);
    struct Case
    {
        BPoint point;
        bool inside;
    };
    const Case cases[] = {
        {BPoint(10, 20), true},      {BPoint(30, 40), true},     {BPoint(30, 20), true},
        {BPoint(10, 40), true},      {BPoint(20, 30), true},     {BPoint(9.99f, 30), false},
        {BPoint(30.01f, 30), false}, {BPoint(20, 19.9f), false}, {BPoint(20, 40.1f), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(r.Contains(c.point), c.inside) << c.point.x << "," << c.point.y;
    EXPECT_FALSE(BRect().Contains(BPoint(0, 0)));
}

TEST(RectTest, IntersectionAndUnion)
{
    BRect a(0, 0, 10, 10);
    BRect b(5, -5, 20, 8);
    ExpectRect(a & b, 5, 0, 10, 8);
    ExpectRect(a | b, 0, -5, 20, 10);
    EXPECT_TRUE(a.Intersects(b));
    // Rectangles sharing only an edge meet, since edges belong to both.
    EXPECT_TRUE(a.Intersects(BRect(10, 10, 12, 12)));
    EXPECT_FALSE(a.Intersects(BRect(10.5f, 0, 12, 12)));
    EXPECT_FALSE((a & BRect(11, 11, 12, 12)).IsValid());
    EXPECT_FALSE(a.Intersects(BRect()));
}

TEST(RectTest, EqualityComparesEveryEdgeExactly)
{
    EXPECT_TRUE(BRect(1, 2, 3, 4) == BRect(1, 2, 3, 4));
    EXPECT_FALSE(BRect(1, 2, 3, 4) == BRect(1, 2, 3, 4.0001f));
    EXPECT_FALSE(BRect(1, 2, 3, 4) == BRect(0, 2, 3, 4));
    EXPECT_TRUE(BRect(1, 2, 3, 4) != BRect(1, 2, 5, 4));
}

TEST(RectTest, InsetAndOffset)
{
    BRect r(0, 0, 100, 50);
    ExpectRect(r.InsetByCopy(10, 5), 10, 5, 90, 45);
    ExpectRect(r.OffsetByCopy(-3, 4), -3, 4, 97, 54);
    ExpectRect(r.OffsetToCopy(200, 300), 200, 300, 300, 350);
    r.OffsetTo(BPoint(1, 1));
    ExpectRect(r, 1, 1, 101, 51);
    r.InsetBySelf(-1, -1).OffsetBySelf(1, 1);
    ExpectRect(r, 1, 1, 103, 53);
    EXPECT_EQ(BRect(0, 0, 9.5f, 4).IntegerWidth(), 10);
    EXPECT_FLOAT_EQ(BRect(0, 0, 199, 99).Width(), 199);
}

TEST(RectTest, ContainsRect)
{
    BRect r(0, 0, 10, 10);
    EXPECT_TRUE(r.Contains(BRect(0, 0, 10, 10)));
    EXPECT_TRUE(r.Contains(BRect(2, 2, 3, 3)));
    EXPECT_FALSE(r.Contains(BRect(2, 2, 11, 3)));
    EXPECT_FALSE(r.Contains(BRect()));
}

TEST(RectTest, PixelSizeRoundsFractionalExtentsUp)
{
    const float kHuge = 1e12f;
    struct Case
    {
        BRect rect;
        int32 width;
        int32 height;
    };
    const Case cases[] = {
        {BRect(0, 0, 9, 4), 10, 5},
        {BRect(-3, -2, 3, 2), 7, 5},
        {BRect(5, 5, 5, 5), 1, 1},
        {BRect(0, 0, 9.5f, 4.25f), 11, 6},
        {BRect(0.5f, 0.25f, 9.5f, 4.25f), 10, 5},
        {BRect(0.75f, 0.5f, 1.25f, 0.5f), 2, 1},
        {BRect(0.9f, 0, 1.1f, 0.01f), 2, 2},
        {BRect(), 0, 0},
        {BRect(0, 0, -0.5f, -0.5f), 0, 0},
        {BRect(0, 0, NAN, INFINITY), 0, 0},
        {BRect(-kHuge, 0, kHuge, 0), INT32_MAX, 1},
        {BRect(0, 0, 16777216, 0), 16777217, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pixel_width(c.rect), c.width) << c.rect.left << ".." << c.rect.right;
        EXPECT_EQ(pixel_height(c.rect), c.height) << c.rect.top << ".." << c.rect.bottom;
    }
}

TEST(PointTest, ConstrainToClampsIntoTheRect)
{
    BPoint p(-5, 50);
    p.ConstrainTo(BRect(0, 0, 10, 20));
    EXPECT_EQ(p, BPoint(0, 20));
    BPoint inside(3, 4);
    inside.ConstrainTo(BRect(0, 0, 10, 20));
    EXPECT_EQ(inside, BPoint(3, 4));
    EXPECT_EQ(B_ORIGIN, BPoint(0, 0));
}

TEST(GraphicsDefsTest, PatternsAndTransparentColour)
{
    for (int row = 0; row < 8; row++) {
        EXPECT_EQ(B_SOLID_HIGH.data[row], 0xff);
        EXPECT_EQ(B_SOLID_LOW.data[row], 0x00);
        EXPECT_EQ(B_MIXED_COLORS.data[row], row % 2 == 0 ? 0xaa : 0x55);
    }
    EXPECT_TRUE(B_SOLID_HIGH == B_SOLID_HIGH);
    EXPECT_FALSE(B_SOLID_HIGH == B_SOLID_LOW);
    EXPECT_EQ(B_TRANSPARENT_32_BIT, make_color(0x77, 0x74, 0x77, 0x74));
    EXPECT_EQ(B_TRANSPARENT_COLOR, B_TRANSPARENT_32_BIT);
    EXPECT_EQ(B_TRANSPARENT_MAGIC_RGBA32, 0x77747774u);
    EXPECT_EQ(B_TRANSPARENT_MAGIC_CMAP8, 0xff);
}

TEST(GraphicsDefsTest, PixelSizes)
{
    struct Case
    {
        color_space space;
        bool known;
        size_t chunk;
        size_t pixels;
    };
    const Case cases[] = {
        {B_RGB32, true, 4, 1},  {B_RGBA32, true, 4, 1},          {B_RGB24, true, 3, 1},
        {B_RGB16, true, 2, 1},  {B_CMAP8, true, 1, 1},           {B_GRAY1, true, 1, 8},
        {B_RGBA64, true, 8, 1}, {B_NO_COLOR_SPACE, false, 0, 0}, {(color_space)0x0999, false, 0, 0},
    };
    for (const Case& c : cases) {
        size_t chunk = 0, alignment = 0, pixels = 0;
        EXPECT_EQ(get_pixel_size_for(c.space, &chunk, &alignment, &pixels), c.known) << c.space;
        if (c.known) {
            EXPECT_EQ(chunk, c.chunk) << c.space;
            EXPECT_EQ(pixels, c.pixels) << c.space;
            EXPECT_EQ(alignment, 4u) << c.space;
        }
    }
}

} // namespace
