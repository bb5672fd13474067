#include "TranslatorTestSupport.h"

#include <TranslatorFormats.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace test;

namespace {

const uint32 kWidth = 9;
const uint32 kHeight = 5;

const uint32 kPalette[6] = {0xff000000, 0xffffffff, 0xff204060, 0xffc08040, 0xff00ff00, 0xff123456};
// Colours with alpha for the direct-colour variants.
const uint32 kColors[6] = {0xff102030, 0x80f0e0d0, 0x00ff0000, 0xff00ff00, 0xc00000ff, 0xff7f7f7f};

uint32 index_at(uint32 x, uint32 y, uint32 colors)
{
    // Runs for the run-length coders, then changing pixels for literal runs.
    uint32 value = x < 4 ? y % 6 : (x * 3 + y) % 6;
    return value % colors;
}

struct Variant
{
    const char* name;
    uint32 infoSize;
    uint16 bits;
    uint32 compression;
    bool topDown;
    uint32 masks[4];
};

void put16(std::vector<uint8>& out, size_t at, uint32 v)
{
    out[at] = v;
    out[at + 1] = v >> 8;
}

void put32(std::vector<uint8>& out, size_t at, uint32 v)
{
    for (int i = 0; i < 4; i++)
        out[at + i] = v >> (8 * i);
}

uint32 palette_size(const Variant& v)
{
    return v.bits <= 8 ? std::min<uint32>(6, 1u << v.bits) : 0;
}

uint32 scale(uint32 value, uint32 mask)
{
    if (mask == 0)
        return 255;
    uint32 shift = __builtin_ctz(mask);
    uint32 bits = __builtin_popcount(mask);
    uint32 v = (value & mask) >> shift;
    if (bits >= 8)
        return v >> (bits - 8);
    uint32 max = (1u << bits) - 1;
    return (v * 255 + max / 2) / max;
}

uint32 pack(uint32 color, const uint32 masks[4])
{
    const uint32 channels[4] = {(color >> 16) & 0xff, (color >> 8) & 0xff, color & 0xff,
                                color >> 24};
    uint32 out = 0;
    for (int c = 0; c < 4; c++) {
        if (masks[c] == 0)
            continue;
        uint32 shift = __builtin_ctz(masks[c]);
        uint32 bits = __builtin_popcount(masks[c]);
        out |= ((channels[c] >> (8 - std::min<uint32>(bits, 8))) << shift) & masks[c];
    }
    return out;
}

uint32 expected_pixel(const Variant& v, uint32 x, uint32 y)
{
    if (v.bits <= 8)
        return kPalette[index_at(x, y, palette_size(v))];
    uint32 color = kColors[index_at(x, y, 6)];
    if (v.bits == 24)
        return color | 0xff000000u;
    uint32 value = pack(color, v.masks);
    auto channel = [&](int c) { return v.masks[c] != 0 ? scale(value, v.masks[c]) : 0; };
    uint32 alpha = v.masks[3] != 0 ? scale(value, v.masks[3]) : 255;
    return (alpha << 24) | (channel(0) << 16) | (channel(1) << 8) | channel(2);
}

std::vector<uint8> rle_row(const Variant& v, uint32 y)
{
    std::vector<uint8> out;
    bool four = v.compression == 2;
    uint32 x = 0;
    while (x < kWidth) {
        uint32 run = 1;
        while (x + run < kWidth && index_at(x + run, y, 6) == index_at(x, y, 6))
            run++;
        if (run >= 3 || x + run >= kWidth - 2) {
            uint8 index = index_at(x, y, 6);
            out.push_back(run);
            out.push_back(four ? (index << 4) | index : index);
        } else {
            // Literal run of at least three pixels, padded to a 16-bit boundary.
            uint32 count = std::min<uint32>(kWidth - x, 3);
            out.push_back(0);
            out.push_back(count);
            std::vector<uint8> data;
            for (uint32 i = 0; i < count; i++) {
                uint8 index = index_at(x + i, y, 6);
                if (!four)
                    data.push_back(index);
                else if (i % 2 == 0)
                    data.push_back(index << 4);
                else
                    data.back() |= index;
            }
            if (data.size() % 2)
                data.push_back(0);
            out.insert(out.end(), data.begin(), data.end());
            run = count;
        }
        x += run;
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

std::vector<uint8> build_fixture(const Variant& v)
{
    bool core = v.infoSize == 12;
    uint32 entry = core ? 3 : 4;
    bool maskBlock = v.infoSize == 40 && (v.compression == 3 || v.compression == 6);
    uint32 maskBytes = maskBlock ? (v.compression == 6 ? 16 : 12) : 0;
    uint32 colors = palette_size(v);
    uint32 dataOffset = 14 + v.infoSize + maskBytes + colors * entry;

    std::vector<uint8> file(dataOffset, 0);
    file[0] = 'B';
    file[1] = 'M';
    put32(file, 10, dataOffset);
    put32(file, 14, v.infoSize);
    if (core) {
        put16(file, 18, kWidth);
        put16(file, 20, kHeight);
        put16(file, 22, 1);
        put16(file, 24, v.bits);
    } else {
        put32(file, 18, kWidth);
        put32(file, 22, v.topDown ? -(int32)kHeight : kHeight);
        put16(file, 26, 1);
        put16(file, 28, v.bits);
        put32(file, 30, v.compression);
        put32(file, 46, colors);
        if (v.infoSize >= 52 || maskBlock) {
            for (int i = 0; i < (v.compression == 6 || v.infoSize >= 56 ? 4 : 3); i++)
                put32(file, 54 + 4 * i, v.masks[i]);
        }
    }
    for (uint32 i = 0; i < colors; i++) {
        size_t at = 14 + v.infoSize + maskBytes + i * entry;
        file[at] = kPalette[i];
        file[at + 1] = kPalette[i] >> 8;
        file[at + 2] = kPalette[i] >> 16;
    }

    for (uint32 i = 0; i < kHeight; i++) {
        uint32 y = v.topDown ? i : kHeight - 1 - i;
        std::vector<uint8> row;
        if (v.compression == 1 || v.compression == 2) {
            row = rle_row(v, y);
        } else {
            row.assign((kWidth * v.bits + 31) / 32 * 4, 0);
            for (uint32 x = 0; x < kWidth; x++) {
                if (v.bits <= 8) {
                    uint32 index = index_at(x, y, colors);
                    uint32 bit = x * v.bits;
                    row[bit / 8] |= index << (8 - v.bits - bit % 8);
                    continue;
                }
                uint32 color = kColors[index_at(x, y, 6)];
                uint32 value = v.bits == 24 ? color : pack(color, v.masks);
                for (uint32 b = 0; b < v.bits / 8u; b++)
                    row[x * (v.bits / 8) + b] = value >> (8 * b);
            }
        }
        file.insert(file.end(), row.begin(), row.end());
    }
    if (v.compression == 1 || v.compression == 2) {
        file.push_back(0);
        file.push_back(1);
    }
    put32(file, 2, file.size());
    return file;
}

#define M555                                                                                       \
    {                                                                                              \
        0x7c00, 0x03e0, 0x001f, 0                                                                  \
    }
#define M565                                                                                       \
    {                                                                                              \
        0xf800, 0x07e0, 0x001f, 0                                                                  \
    }
#define M888                                                                                       \
    {                                                                                              \
        0xff0000, 0xff00, 0xff, 0                                                                  \
    }
#define M8888                                                                                      \
    {                                                                                              \
        0xff0000, 0xff00, 0xff, 0xff000000                                                         \
    }

const Variant kVariants[] = {
    {"1 bit", 40, 1, 0, false, {}},
    {"4 bits", 40, 4, 0, false, {}},
    {"8 bits", 40, 8, 0, false, {}},
    {"8 bits, top-down", 40, 8, 0, true, {}},
    {"8 bits, OS/2 header", 12, 8, 0, false, {}},
    {"24 bits", 40, 24, 0, false, {}},
    {"24 bits, top-down", 40, 24, 0, true, {}},
    {"24 bits, V5 header", 124, 24, 0, false, {}},
    {"16 bits, 5-5-5", 40, 16, 0, false, M555},
    {"16 bits, bit fields 5-6-5", 40, 16, 3, false, M565},
    {"32 bits", 40, 32, 0, false, M888},
    {"32 bits, bit fields", 40, 32, 3, true, M888},
    {"32 bits, V4 with alpha", 108, 32, 3, false, M8888},
    {"32 bits, V5 with alpha", 124, 32, 3, false, M8888},
    {"32 bits, alpha bit fields", 40, 32, 6, false, {0xff00, 0xff0000, 0xff000000, 0xff}},
    {"16 bits, bit fields without red", 40, 16, 3, false, {0, 0x07e0, 0x001f, 0}},
    {"8-bit run-length", 40, 8, 1, false, {}},
    {"4-bit run-length", 40, 4, 2, false, {}},
};

class BMPTest : public testing::Test
{
protected:
    TranslatorModule fTranslator{"BMPTranslator.so"};

    void SetUp() override { ASSERT_NE(fTranslator.Get(), nullptr) << fTranslator.Error(); }
};

} // namespace

TEST_F(BMPTest, DecodesEveryVariant)
{
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.name);
        Image image;
        ASSERT_EQ(decode(fTranslator.Get(), build_fixture(v), &image), B_OK);
        ASSERT_EQ(image.width, kWidth);
        ASSERT_EQ(image.height, kHeight);
        EXPECT_EQ(image.space, v.bits == 32 && v.masks[3] != 0 ? B_RGBA32 : B_RGB32);
        for (uint32 y = 0; y < kHeight; y++) {
            for (uint32 x = 0; x < kWidth; x++)
                ASSERT_EQ(image.At(x, y), expected_pixel(v, x, y)) << x << "," << y;
        }
    }
}

TEST_F(BMPTest, RunLengthDeltaLeavesSkippedPixelsBlack)
{
    Variant v = {"delta", 40, 8, 1, false, {}};
    std::vector<uint8> file = build_fixture(v);
    size_t dataOffset = file[10];
    file.resize(dataOffset);
    // Bottom row: two pixels of colour 3, then move 4 right and 2 up, then
    // three pixels of colour 2, then the end of the picture.
    file.insert(file.end(), {2, 3, 0, 2, 4, 2, 3, 2, 0, 1});
    Image image;
    ASSERT_EQ(decode(fTranslator.Get(), file, &image), B_OK);
    for (uint32 y = 0; y < kHeight; y++) {
        for (uint32 x = 0; x < kWidth; x++) {
            uint32 expected = 0xff000000u;
            if (y == kHeight - 1 && x < 2)
                expected = kPalette[3];
            if (y == kHeight - 3 && x >= 6 && x < 9)
                expected = kPalette[2];
            ASSERT_EQ(image.At(x, y), expected) << x << "," << y;
        }
    }
}

TEST_F(BMPTest, TruncatedFilesFail)
{
    for (const Variant& v : kVariants) {
        std::vector<uint8> file = build_fixture(v);
        // Run-length data may leave out its end-of-picture mark, and the
        // last row its padding.
        size_t end = file.size() - ((kWidth * v.bits + 31) / 32 * 4 - (kWidth * v.bits + 7) / 8);
        if (v.compression == 1 || v.compression == 2)
            end = file.size() - 2;
        for (size_t length = 0; length < end; length++) {
            std::vector<uint8> cut(file.begin(), file.begin() + length);
            Image image;
            EXPECT_NE(decode(fTranslator.Get(), cut, &image), B_OK) << v.name << ", " << length;
        }
    }
}

TEST_F(BMPTest, HostileHeadersFail)
{
    struct Case
    {
        const char* name;
        size_t at;
        uint32 value;
        int size;
    } cases[] = {
        {"huge width", 18, 0x7fffffff, 4},
        {"huge height", 22, 0x40000000, 4},
        {"lowest height", 22, 0x80000000, 4},
        {"zero width", 18, 0, 4},
        {"two planes", 26, 2, 2},
        {"7 bits", 28, 7, 2},
        {"unknown header size", 14, 44, 4},
        {"pixels inside the header", 10, 20, 4},
        {"JPEG compression", 30, 4, 4},
    };
    for (const Case& c : cases) {
        std::vector<uint8> file = build_fixture(kVariants[5]);
        for (int i = 0; i < c.size; i++)
            file[c.at + i] = c.value >> (8 * i);
        Image image;
        EXPECT_NE(decode(fTranslator.Get(), file, &image), B_OK) << c.name;
    }
    std::vector<uint8> gaps = build_fixture(kVariants[9]);
    put32(gaps, 54, 0xf0f0);
    Image image;
    EXPECT_NE(decode(fTranslator.Get(), gaps, &image), B_OK) << "mask with gaps";
}

TEST_F(BMPTest, IdentifyNamesTheFormat)
{
    translator_info info;
    ASSERT_EQ(fTranslator.Identify(build_fixture(kVariants[2]), &info), B_OK);
    EXPECT_EQ(info.type, (uint32)B_BMP_FORMAT);
    EXPECT_STREQ(info.MIME, "image/bmp");
    const std::vector<uint8> notBMP = {'P', '6', '\n', '1', ' ', '1', '\n', '2', '5', '5', '\n'};
    EXPECT_EQ(fTranslator.Identify(notBMP, &info), B_NO_TRANSLATOR);
}

TEST_F(BMPTest, RoundTripsAreExact)
{
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "alpha" : "opaque");
        Image original = make_test_image(33, 17, alpha);
        std::vector<uint8> bytes;
        ASSERT_EQ(encode(fTranslator.Get(), original, B_BMP_FORMAT, &bytes), B_OK);
        EXPECT_EQ(bytes[28], alpha ? 32 : 24);
        Image decoded;
        ASSERT_EQ(decode(fTranslator.Get(), bytes, &decoded), B_OK);
        EXPECT_EQ(decoded.space, original.space);
        EXPECT_EQ(decoded.pixels, original.pixels);
    }
}

TEST_F(BMPTest, HasNoSettingsPanel)
{
    BView* view = nullptr;
    BRect extent;
    EXPECT_EQ(fTranslator.Roster().MakeConfigurationView(fTranslator.ID(), nullptr, &view, &extent),
              B_ERROR);
    EXPECT_EQ(view, nullptr);
}

TEST_F(BMPTest, AgreesWithImageMagick)
{
    Image original = make_test_image(21, 11, false);
    std::vector<uint8> ours;
    ASSERT_EQ(encode(fTranslator.Get(), original, B_BMP_FORMAT, &ours), B_OK);
    TempDir scratch;
    std::string folder = scratch.Path();
    write_file(folder + "/ours.bmp", ours);
    if (!run_convert(folder + "/ours.bmp " + folder + "/theirs.ppm") ||
        !run_convert(folder + "/ours.bmp -colors 16 -type Palette -compress RLE BMP3:" + folder +
                     "/theirs-rle.bmp") ||
        !run_convert(folder + "/theirs-rle.bmp " + folder + "/theirs-rle.ppm"))
        GTEST_SKIP() << "ImageMagick's convert is not available";

    std::vector<uint8> ppm = read_file(folder + "/theirs.ppm");
    size_t start = ppm.size() - 21 * 11 * 3;
    for (uint32 i = 0; i < 21 * 11; i++) {
        uint32 p = original.pixels[i];
        ASSERT_EQ(ppm[start + 3 * i], (p >> 16) & 0xff) << i;
        ASSERT_EQ(ppm[start + 3 * i + 2], p & 0xff) << i;
    }

    // Their run-length file, read by us, matches their own reading of it.
    Image decoded;
    ASSERT_EQ(decode(fTranslator.Get(), read_file(folder + "/theirs-rle.bmp"), &decoded), B_OK);
    std::vector<uint8> reference = read_file(folder + "/theirs-rle.ppm");
    start = reference.size() - 21 * 11 * 3;
    for (uint32 i = 0; i < 21 * 11; i++) {
        uint32 p = decoded.pixels[i];
        ASSERT_EQ(reference[start + 3 * i], (p >> 16) & 0xff) << i;
        ASSERT_EQ(reference[start + 3 * i + 1], (p >> 8) & 0xff) << i;
        ASSERT_EQ(reference[start + 3 * i + 2], p & 0xff) << i;
    }
}
