// Bitmaps a translator may deliver in other colour spaces become 32-bit
// bitmaps with exact rows before any pixel copy sees them.

#include <Bitmap.h>

#include "io/convert.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(MakeCopyable, OtherSpacesBecome32BitRows)
{
    struct
    {
        color_space space;
        int32 width;
        std::vector<uint8> row; // the first row's bytes
        uint32 first, second;   // the first two pixels after conversion
        color_space result;
    } cases[] = {
        {B_RGB24, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 0xff030201u, 0xff060504u, B_RGB32},
        {B_RGB24_BIG, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 0xff010203u, 0xff040506u, B_RGB32},
        {B_GRAY8, 3, {0, 128, 255}, 0xff000000u, 0xff808080u, B_RGB32},
        {B_GRAY1, 3, {0x40}, 0xffffffffu, 0xff000000u, B_RGB32},
        {B_RGB16, 2, {0x00, 0xf8, 0x1f, 0x00}, 0xffff0000u, 0xff0000ffu, B_RGB32},
        {B_RGBA15, 2, {0x00, 0xfc, 0x1f, 0x00}, 0xffff0000u, 0x000000ffu, B_RGBA32},
        {B_RGBA32_BIG, 2, {0x80, 1, 2, 3, 0xff, 4, 5, 6}, 0x80010203u, 0xff040506u, B_RGBA32},
        {B_CMAP8, 2, {0, 215}, 0xff000000u, 0xffffffffu, B_RGB32},
    };
    for (auto& c : cases) {
        BBitmap* source = new BBitmap(BRect(10, 20, 10 + c.width - 1, 21), c.space);
        ASSERT_EQ(source->InitCheck(), B_OK);
        memcpy(source->Bits(), c.row.data(), c.row.size());
        BBitmap* result = make_copyable(source);
        ASSERT_NE(result, nullptr) << c.space;
        EXPECT_EQ(result->ColorSpace(), c.result) << c.space;
        EXPECT_EQ(result->Bounds(), BRect(0, 0, c.width - 1, 1)) << c.space;
        EXPECT_EQ(result->BytesPerRow(), c.width * 4);
        const uint32* bits = static_cast<const uint32*>(result->Bits());
        EXPECT_EQ(bits[0], c.first) << c.space;
        EXPECT_EQ(bits[1], c.second) << c.space;
        delete result;
    }
}

TEST(MakeCopyable, A32BitBitmapIsKeptAndAnUnknownSpaceRefused)
{
    BBitmap* plain = new BBitmap(BRect(0, 0, 3, 3), B_RGB32);
    EXPECT_EQ(make_copyable(plain), plain);
    delete plain;
    // Bounds away from the origin are moved there.
    BBitmap* moved = new BBitmap(BRect(5, 5, 8, 8), B_RGB32);
    BBitmap* result = make_copyable(moved);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->Bounds(), BRect(0, 0, 3, 3));
    delete result;
    EXPECT_EQ(make_copyable(new BBitmap(BRect(0, 0, 3, 3), B_RGB48)), nullptr);
    EXPECT_EQ(make_copyable(nullptr), nullptr);
}

} // namespace
