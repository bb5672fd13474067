#include "TranslatorTestSupport.h"

#include <TranslatorFormats.h>
#include <TranslatorSettings.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace test;

namespace {

const uint32 kWidth = 7;
const uint32 kHeight = 4;

// The colours the fixtures draw with; alpha varies so both alpha forms show.
const uint32 kColors[6] = {0xff102030, 0x80f0e0d0, 0x00ff0000, 0xff00ff00, 0xc00000ff, 0xff7f7f7f};

// Palette index of each pixel: runs within rows, and a run that crosses from
// the end of row 0 into row 1 so that run-length packets span rows.
uint32 index_at(uint32 x, uint32 y)
{
    if (y == 0)
        return x >= 4 ? 3 : x % 6;
    if (y == 1)
        return x < 3 ? 3 : 5;
    return (x * 2 + y) % 6;
}

struct Variant
{
    const char* name;
    uint8 type;
    uint8 bits;
    uint8 mapBits;
    uint8 alphaBits;
    bool topDown;
    bool rightToLeft;
    uint8 idLength;
};

uint8 channel(uint32 color, int shift)
{
    return (color >> shift) & 0xff;
}

uint32 expand5(uint32 v)
{
    return (v << 3) | (v >> 2);
}

uint32 quantize15(uint32 color, bool alpha)
{
    uint32 a = alpha ? (channel(color, 24) >= 128 ? 255 : 0) : 255;
    return (a << 24) | (expand5(channel(color, 16) >> 3) << 16) |
           (expand5(channel(color, 8) >> 3) << 8) | expand5(channel(color, 0) >> 3);
}

void append_color(std::vector<uint8>& out, uint32 color, uint8 bits, bool alphaBit)
{
    uint8 r = channel(color, 16), g = channel(color, 8), b = channel(color, 0);
    switch (bits) {
    case 8:
        out.push_back(r);
        break;
    case 15:
    case 16: {
        uint32 v = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        if (alphaBit && channel(color, 24) >= 128)
            v |= 0x8000;
        out.push_back(v & 0xff);
        out.push_back(v >> 8);
        break;
    }
    case 24:
        out.insert(out.end(), {b, g, r});
        break;
    default:
        out.insert(out.end(), {b, g, r, channel(color, 24)});
        break;
    }
}

bool is_mapped(const Variant& v)
{
    return v.type == 1 || v.type == 9;
}

bool is_gray(const Variant& v)
{
    return v.type == 3 || v.type == 11;
}

// Run-length packets over the whole pixel sequence, as version 1 writers did.
std::vector<uint8> compress(const std::vector<std::vector<uint8>>& pixels)
{
    std::vector<uint8> out;
    size_t i = 0;
    while (i < pixels.size()) {
        size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i])
            run++;
        if (run >= 2) {
            out.push_back(0x80 | (run - 1));
            out.insert(out.end(), pixels[i].begin(), pixels[i].end());
        } else {
            run = 1;
            while (i + run < pixels.size() && run < 128 && pixels[i + run] != pixels[i + run - 1] &&
                   (i + run + 1 >= pixels.size() || pixels[i + run] != pixels[i + run + 1]))
                run++;
            out.push_back(run - 1);
            for (size_t k = 0; k < run; k++)
                out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
        }
        i += run;
    }
    return out;
}

std::vector<uint8> build_fixture(const Variant& v)
{
    std::vector<uint8> file(18, 0);
    file[0] = v.idLength;
    file[2] = v.type;
    const uint16 mapFirst = 2;
    if (is_mapped(v)) {
        file[1] = 1;
        file[3] = mapFirst;
        file[5] = 6;
        file[7] = v.mapBits;
    }
    file[12] = kWidth;
    file[14] = kHeight;
    file[16] = v.bits;
    file[17] = v.alphaBits | (v.topDown ? 0x20 : 0) | (v.rightToLeft ? 0x10 : 0);
    for (uint8 i = 0; i < v.idLength; i++)
        file.push_back('a' + i);
    if (is_mapped(v)) {
        for (uint32 color : kColors)
            append_color(file, color, v.mapBits, v.alphaBits != 0);
    }

    std::vector<std::vector<uint8>> pixels;
    for (uint32 i = 0; i < kHeight; i++) {
        uint32 y = v.topDown ? i : kHeight - 1 - i;
        for (uint32 k = 0; k < kWidth; k++) {
            uint32 x = v.rightToLeft ? kWidth - 1 - k : k;
            std::vector<uint8> pixel;
            if (is_mapped(v))
                pixel.push_back(index_at(x, y) + mapFirst);
            else
                append_color(pixel, kColors[index_at(x, y)], v.bits, v.alphaBits != 0);
            pixels.push_back(pixel);
        }
    }
    if (v.type >= 9) {
        std::vector<uint8> packed = compress(pixels);
        file.insert(file.end(), packed.begin(), packed.end());
    } else {
        for (const auto& pixel : pixels)
            file.insert(file.end(), pixel.begin(), pixel.end());
    }
    return file;
}

uint32 expected_pixel(const Variant& v, uint32 x, uint32 y)
{
    uint32 color = kColors[index_at(x, y)];
    uint8 bits = is_mapped(v) ? v.mapBits : v.bits;
    if (is_gray(v))
        return 0xff000000u | channel(color, 16) * 0x010101u;
    switch (bits) {
    case 15:
        return quantize15(color, false);
    case 16:
        return quantize15(color, v.alphaBits != 0);
    case 24:
        return color | 0xff000000u;
    default:
        return v.alphaBits != 0 || is_mapped(v) ? color : (color | 0xff000000u);
    }
}

const Variant kVariants[] = {
    {"true colour 24, bottom-up", 2, 24, 0, 0, false, false, 0},
    {"true colour 24, top-down", 2, 24, 0, 0, true, false, 0},
    {"true colour 24, right to left", 2, 24, 0, 0, true, true, 0},
    {"true colour 24 with an id", 2, 24, 0, 0, false, false, 5},
    {"true colour 32 with alpha", 2, 32, 0, 8, false, false, 0},
    {"true colour 32 without alpha bits", 2, 32, 0, 0, true, false, 0},
    {"true colour 16 with alpha bit", 2, 16, 0, 1, false, false, 0},
    {"true colour 15", 2, 15, 0, 0, true, false, 0},
    {"colour-mapped, 24-bit map", 1, 8, 24, 0, false, false, 0},
    {"colour-mapped, 32-bit map", 1, 8, 32, 8, true, false, 3},
    {"colour-mapped, 16-bit map", 1, 8, 16, 0, false, false, 0},
    {"grey 8", 3, 8, 0, 0, false, false, 0},
    {"run-length true colour 24", 10, 24, 0, 0, false, false, 0},
    {"run-length true colour 32", 10, 32, 0, 8, true, false, 0},
    {"run-length true colour 16", 10, 16, 0, 0, false, true, 0},
    {"run-length colour-mapped", 9, 8, 24, 0, true, false, 0},
    {"run-length grey", 11, 8, 0, 0, false, false, 0},
};

bool has_alpha(const Variant& v)
{
    if (is_mapped(v))
        return v.mapBits == 32 || (v.mapBits == 16 && v.alphaBits != 0);
    return v.alphaBits != 0 && (v.bits == 32 || v.bits == 16);
}

class TGATest : public testing::Test
{
protected:
    ScopedConfigHome fConfig;
    TranslatorModule fTranslator{"TGATranslator.so"};

    void SetUp() override { ASSERT_NE(fTranslator.Get(), nullptr) << fTranslator.Error(); }
};

} // namespace

TEST_F(TGATest, DecodesEveryVariant)
{
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.name);
        std::vector<uint8> file = build_fixture(v);
        Image image;
        ASSERT_EQ(decode(fTranslator.Get(), file, &image), B_OK);
        ASSERT_EQ(image.width, kWidth);
        ASSERT_EQ(image.height, kHeight);
        EXPECT_EQ(image.space, has_alpha(v) ? B_RGBA32 : B_RGB32);
        for (uint32 y = 0; y < kHeight; y++) {
            for (uint32 x = 0; x < kWidth; x++) {
                ASSERT_EQ(image.At(x, y), expected_pixel(v, x, y)) << x << "," << y;
            }
        }
    }
}

TEST_F(TGATest, IdentifyNamesTheFormat)
{
    translator_info info;
    ASSERT_EQ(fTranslator.Identify(build_fixture(kVariants[0]), &info), B_OK);
    EXPECT_EQ(info.type, (uint32)B_TGA_FORMAT);
    EXPECT_STREQ(info.MIME, "image/x-targa");
    EXPECT_STREQ(info.name, "Targa image");
    EXPECT_EQ(info.translator, fTranslator.ID());

    const std::vector<uint8> notTarga = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0,
                                         0,   0,   0,   0,   0,   0,   0, 0, 0, 0, 0};
    EXPECT_EQ(fTranslator.Identify(notTarga, &info), B_NO_TRANSLATOR);
}

TEST_F(TGATest, TruncatedFilesFail)
{
    for (const Variant& v : kVariants) {
        std::vector<uint8> file = build_fixture(v);
        for (size_t length = 0; length < file.size(); length++) {
            std::vector<uint8> cut(file.begin(), file.begin() + length);
            Image image;
            EXPECT_NE(decode(fTranslator.Get(), cut, &image), B_OK) << v.name << ", " << length;
        }
    }
}

TEST_F(TGATest, HostileHeadersFail)
{
    std::vector<uint8> huge(18 + 64, 0);
    huge[2] = 2;
    huge[12] = huge[13] = huge[14] = huge[15] = 0xff;
    huge[16] = 32;
    std::vector<uint8> hugeRLE = huge;
    hugeRLE[2] = 10;
    std::vector<uint8> zeroWidth = build_fixture(kVariants[0]);
    zeroWidth[12] = 0;
    std::vector<uint8> badMapBits = build_fixture(kVariants[8]);
    badMapBits[7] = 12;
    // Run-length data that stops after two of the 28 pixels.
    std::vector<uint8> shortRLE = build_fixture(kVariants[12]);
    shortRLE.resize(18);
    shortRLE.insert(shortRLE.end(), {0x81, 1, 2, 3});

    for (const std::vector<uint8>* file : {&huge, &hugeRLE, &zeroWidth, &badMapBits, &shortRLE}) {
        Image image;
        EXPECT_NE(decode(fTranslator.Get(), *file, &image), B_OK);
    }
}

TEST_F(TGATest, RoundTripsAreExact)
{
    struct Case
    {
        const char* name;
        bool alpha;
        bool rle;
    } cases[] = {{"plain", false, false},
                 {"run-length", false, true},
                 {"alpha", true, false},
                 {"alpha, run-length", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image original = make_test_image(61, 37, c.alpha);
        BMessage extension;
        extension.AddBool("tga /rle", c.rle);
        std::vector<uint8> bytes;
        ASSERT_EQ(encode(fTranslator.Get(), original, B_TGA_FORMAT, &bytes, &extension), B_OK);
        EXPECT_EQ(bytes[2], c.rle ? 10 : 2);
        Image decoded;
        ASSERT_EQ(decode(fTranslator.Get(), bytes, &decoded), B_OK);
        EXPECT_EQ(decoded.space, original.space);
        EXPECT_EQ(decoded.width, original.width);
        EXPECT_EQ(decoded.pixels, original.pixels);
    }
}

TEST_F(TGATest, SettingsChangeTheOutput)
{
    Image original = make_test_image(64, 64, true);
    Image flat = make_test_image(64, 64, false);
    std::vector<uint8> plain, flatPlain, packed, noAlpha;
    ASSERT_EQ(encode(fTranslator.Get(), original, B_TGA_FORMAT, &plain), B_OK);
    ASSERT_EQ(encode(fTranslator.Get(), flat, B_TGA_FORMAT, &flatPlain), B_OK);

    // The translator reads its settings file at each translation.
    TranslatorSettings settings("TGATranslator_settings");
    ASSERT_EQ(settings.SetBool("tga /rle", true), B_OK);
    ASSERT_EQ(encode(fTranslator.Get(), flat, B_TGA_FORMAT, &packed), B_OK);
    EXPECT_LT(packed.size(), flatPlain.size());
    EXPECT_EQ(packed[2], 10);

    ASSERT_EQ(settings.SetBool("tga /keep_alpha", false), B_OK);
    ASSERT_EQ(encode(fTranslator.Get(), original, B_TGA_FORMAT, &noAlpha), B_OK);
    EXPECT_EQ(noAlpha[16], 24);
    Image decoded;
    ASSERT_EQ(decode(fTranslator.Get(), noAlpha, &decoded), B_OK);
    EXPECT_EQ(decoded.space, B_RGB32);
    EXPECT_EQ(decoded.At(1, 1), original.At(1, 1) | 0xff000000u);

    // Reading with alpha ignored makes the 32-bit file opaque.
    Image opaque;
    ASSERT_EQ(decode(fTranslator.Get(), plain, &opaque), B_OK);
    EXPECT_EQ(opaque.space, B_RGB32);
    EXPECT_EQ(opaque.At(3, 2), original.At(3, 2) | 0xff000000u);
}

TEST_F(TGATest, AgreesWithImageMagick)
{
    Image original = make_test_image(45, 23, false);
    std::vector<uint8> ours;
    BMessage extension;
    extension.AddBool("tga /rle", true);
    ASSERT_EQ(encode(fTranslator.Get(), original, B_TGA_FORMAT, &ours, &extension), B_OK);
    TempDir scratch;
    std::string folder = scratch.Path();
    write_file(folder + "/ours.tga", ours);
    if (!run_convert(folder + "/ours.tga " + folder + "/theirs.ppm") ||
        !run_convert(folder + "/ours.tga -compress RLE " + folder + "/theirs.tga"))
        GTEST_SKIP() << "ImageMagick's convert is not available";

    // Their reading of our file.
    std::vector<uint8> ppm = read_file(folder + "/theirs.ppm");
    std::string header = "P6\n45 23\n255\n";
    ASSERT_GE(ppm.size(), header.size() + 45 * 23 * 3);
    size_t start = ppm.size() - 45 * 23 * 3;
    for (uint32 i = 0; i < 45 * 23; i++) {
        uint32 p = original.pixels[i];
        ASSERT_EQ(ppm[start + 3 * i], channel(p, 16)) << i;
        ASSERT_EQ(ppm[start + 3 * i + 1], channel(p, 8)) << i;
        ASSERT_EQ(ppm[start + 3 * i + 2], channel(p, 0)) << i;
    }

    // Our reading of their file.
    Image decoded;
    ASSERT_EQ(decode(fTranslator.Get(), read_file(folder + "/theirs.tga"), &decoded), B_OK);
    ASSERT_EQ(decoded.pixels.size(), original.pixels.size());
    for (size_t i = 0; i < decoded.pixels.size(); i++)
        ASSERT_EQ(decoded.pixels[i] | 0xff000000u, original.pixels[i]) << i;
}

TEST_F(TGATest, ConfigurationMessageHoldsTheSettings)
{
    TranslatorSettings settings("TGATranslator_settings");
    ASSERT_EQ(settings.SetBool("tga /rle", true), B_OK);
    BMessage message;
    ASSERT_EQ(fTranslator.Roster().GetConfigurationMessage(fTranslator.ID(), &message), B_OK);
    EXPECT_TRUE(message.GetBool("tga /rle", false));
}
