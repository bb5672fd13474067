#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "translation/ImageOrientation.h"

namespace {

// An Exif block of one directory: a header in the given byte order, the
// directory at offset 8, entries of (tag, type, count, value).
struct Entry
{
    uint16 tag;
    uint16 type;
    uint32 count;
    uint32 value;
};

std::vector<uint8> exif_block(bool little, const std::vector<Entry>& entries, bool prefix = false)
{
    std::vector<uint8> out;
    auto put16 = [&](uint16 v) {
        if (little)
            out.insert(out.end(), {uint8(v), uint8(v >> 8)});
        else
            out.insert(out.end(), {uint8(v >> 8), uint8(v)});
    };
    auto put32 = [&](uint32 v) {
        if (little)
            out.insert(out.end(), {uint8(v), uint8(v >> 8), uint8(v >> 16), uint8(v >> 24)});
        else
            out.insert(out.end(), {uint8(v >> 24), uint8(v >> 16), uint8(v >> 8), uint8(v)});
    };
    if (prefix)
        out.insert(out.end(), {'E', 'x', 'i', 'f', 0, 0});
    out.insert(out.end(), 2, little ? 'I' : 'M');
    put16(42);
    put32(8);
    put16(uint16(entries.size()));
    for (const Entry& e : entries) {
        put16(e.tag);
        put16(e.type);
        put32(e.count);
        // A SHORT sits at the start of the four value bytes.
        if (e.type == 3) {
            put16(uint16(e.value));
            put16(0);
        } else {
            put32(e.value);
        }
    }
    put32(0);
    return out;
}

// The parser on a heap copy of exactly the bytes, so that the address
// sanitizer catches a read past them.
int32 parse(const std::vector<uint8>& bytes)
{
    std::unique_ptr<uint8[]> exact(new uint8[bytes.size() == 0 ? 1 : bytes.size()]);
    if (!bytes.empty())
        memcpy(exact.get(), bytes.data(), bytes.size());
    return BPrivate::exif_orientation(exact.get(), bytes.size());
}

TEST(ExifOrientationTest, FindsTheTagOrAnswersZero)
{
    const Entry width = {0x0100, 4, 1, 640};
    struct Case
    {
        const char* name;
        std::vector<uint8> block;
        int32 expected;
    } const cases[] = {
        {"little-endian", exif_block(true, {{0x0112, 3, 1, 6}}), 6},
        {"big-endian", exif_block(false, {{0x0112, 3, 1, 8}}), 8},
        {"after the JPEG prefix", exif_block(false, {{0x0112, 3, 1, 3}}, true), 3},
        {"after another entry", exif_block(true, {width, {0x0112, 3, 1, 5}}), 5},
        {"as a LONG", exif_block(true, {{0x0112, 4, 1, 7}}), 7},
        {"no orientation", exif_block(true, {width}), 0},
        {"value 0", exif_block(true, {{0x0112, 3, 1, 0}}), 0},
        {"value 9", exif_block(true, {{0x0112, 3, 1, 9}}), 0},
        {"two values", exif_block(true, {{0x0112, 3, 2, 6}}), 0},
        {"an ASCII type", exif_block(true, {{0x0112, 2, 1, 6}}), 0},
        {"empty", {}, 0},
        {"not TIFF", {'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0}, 0},
        {"mixed byte order", {'I', 'M', 42, 0, 8, 0, 0, 0, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parse(c.block), c.expected);
    }
}

TEST(ExifOrientationTest, BrokenOffsetsAndCountsNeverReadOutside)
{
    std::vector<uint8> good = exif_block(true, {{0x0100, 4, 1, 640}, {0x0112, 3, 1, 6}});
    ASSERT_EQ(parse(good), 6);
    // Every shorter block: the tag is found only when its entry is whole.
    size_t entryEnd = 8 + 2 + 2 * 12;
    for (size_t length = 0; length < good.size(); length++) {
        std::vector<uint8> cut(good.begin(), good.begin() + length);
        EXPECT_EQ(parse(cut), length >= entryEnd ? 6 : 0) << "length " << length;
    }
    // Directory offsets and entry counts that point past the end, or wrap.
    for (uint32 offset : {0u, 7u, 45u, 46u, 0x7fffffffu, 0xfffffff0u, 0xffffffffu}) {
        std::vector<uint8> moved = good;
        memcpy(moved.data() + 4, &offset, 4);
        int32 found = parse(moved);
        EXPECT_TRUE(found == 0 || found == 6) << "offset " << offset;
    }
    std::vector<uint8> many = good;
    many[8] = 0xff;
    many[9] = 0xff;
    EXPECT_EQ(parse(many), 6);
    many = exif_block(true, {{0x0100, 4, 1, 640}});
    many[8] = 0xff;
    many[9] = 0xff;
    EXPECT_EQ(parse(many), 0);
}

// Collects what an OrientingSink passes on.
class CollectingSink : public BPrivate::BitsRowSink
{
public:
    status_t Start(uint32 width, uint32 height, bool alpha) override
    {
        fWidth = width;
        fHeight = height;
        fAlpha = alpha;
        return B_OK;
    }
    status_t PutRows(const uint8* rows, uint32 count) override
    {
        const uint32* pixels = reinterpret_cast<const uint32*>(rows);
        fPixels.insert(fPixels.end(), pixels, pixels + size_t(count) * fWidth);
        return B_OK;
    }

    uint32 fWidth = 0;
    uint32 fHeight = 0;
    bool fAlpha = false;
    std::vector<uint32> fPixels;
};

TEST(OrientingSinkTest, RowsInAnyBlocksComeOutTurnedTheSameWay)
{
    // 37 x 21 pixels, each holding its own position; the expected upright
    // pixels for each orientation are the stored position of each corner.
    const uint32 w = 37, h = 21;
    std::vector<uint32> stored(size_t(w) * h);
    for (uint32 y = 0; y < h; y++) {
        for (uint32 x = 0; x < w; x++)
            stored[size_t(y) * w + x] = y << 16 | x;
    }
    auto at = [&](uint32 x, uint32 y) { return y << 16 | x; };
    struct Corners
    {
        int32 orientation;
        uint32 topLeft, topRight, bottomLeft;
    } const cases[] = {
        {1, at(0, 0), at(w - 1, 0), at(0, h - 1)},
        {2, at(w - 1, 0), at(0, 0), at(w - 1, h - 1)},
        {3, at(w - 1, h - 1), at(0, h - 1), at(w - 1, 0)},
        {4, at(0, h - 1), at(w - 1, h - 1), at(0, 0)},
        {5, at(0, 0), at(0, h - 1), at(w - 1, 0)},
        {6, at(0, h - 1), at(0, 0), at(w - 1, h - 1)},
        {7, at(w - 1, h - 1), at(w - 1, 0), at(0, h - 1)},
        {8, at(w - 1, 0), at(w - 1, h - 1), at(0, 0)},
    };
    for (const Corners& c : cases) {
        SCOPED_TRACE("orientation " + std::to_string(c.orientation));
        std::vector<uint32> first;
        for (uint32 block : {1u, 3u, 16u, 21u}) {
            CollectingSink target;
            BPrivate::OrientingSink sink(&target, c.orientation);
            ASSERT_EQ(sink.Start(w, h, true), B_OK);
            for (uint32 y = 0; y < h; y += block) {
                uint32 count = std::min(block, h - y);
                ASSERT_EQ(
                    sink.PutRows(reinterpret_cast<const uint8*>(&stored[size_t(y) * w]), count),
                    B_OK);
            }
            bool swapped = c.orientation >= 5;
            ASSERT_EQ(target.fWidth, swapped ? h : w);
            ASSERT_EQ(target.fHeight, swapped ? w : h);
            EXPECT_TRUE(target.fAlpha);
            ASSERT_EQ(target.fPixels.size(), stored.size());
            uint32 width = target.fWidth;
            EXPECT_EQ(target.fPixels.front(), c.topLeft);
            EXPECT_EQ(target.fPixels[width - 1], c.topRight);
            EXPECT_EQ(target.fPixels[target.fPixels.size() - width], c.bottomLeft);
            if (first.empty())
                first = target.fPixels;
            EXPECT_EQ(target.fPixels, first) << "blocks of " << block;

            // A whole picture handed over at once gives the same.
            CollectingSink whole;
            ASSERT_EQ(BPrivate::put_upright_picture(&whole,
                                                    reinterpret_cast<const uint8*>(stored.data()),
                                                    w, h, false, c.orientation),
                      B_OK);
            EXPECT_EQ(whole.fPixels, first);
        }
        // Rows past the announced height are refused.
        CollectingSink target;
        BPrivate::OrientingSink sink(&target, c.orientation);
        ASSERT_EQ(sink.Start(w, h, false), B_OK);
        EXPECT_EQ(sink.PutRows(reinterpret_cast<const uint8*>(stored.data()), h), B_OK);
        EXPECT_NE(sink.PutRows(reinterpret_cast<const uint8*>(stored.data()), 1), B_OK);
    }
}

} // namespace
