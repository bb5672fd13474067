#include <gtest/gtest.h>

#include <png.h>

#include <cstring>

#include <zlib.h>

#include <TranslatorSettings.h>

#include "TranslatorTestSupport.h"

using test::Image;

namespace {

// A PNG written with libpng from samples given as 16-bit values in the
// file's own depth (palette indices for palette images).
struct PNGSource
{
    uint32 width;
    uint32 height;
    int colorType;
    int bitDepth;
    bool interlaced;
    std::function<uint16(uint32 x, uint32 y, int channel)> sample;
    std::vector<png_color> palette{};
    std::vector<uint8> paletteAlpha{}; // tRNS for palette images
    bool grayOrRGBKey = false;         // tRNS for grey/RGB images
    png_color_16 key = {};
    double gamma = 0; // a gAMA chunk when not 0
};

void write_bytes(png_structp png, png_bytep data, size_t length)
{
    auto out = static_cast<std::vector<uint8>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flush_nothing(png_structp) {}

int channels_of(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    default:
        return 4;
    }
}

std::vector<uint8> write_png(const PNGSource& source)
{
    std::vector<uint8> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, write_bytes, flush_nothing);
    png_set_IHDR(png, info, source.width, source.height, source.bitDepth, source.colorType,
                 source.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (!source.palette.empty())
        png_set_PLTE(png, info, source.palette.data(), int(source.palette.size()));
    if (!source.paletteAlpha.empty())
        png_set_tRNS(png, info, source.paletteAlpha.data(), int(source.paletteAlpha.size()),
                     nullptr);
    if (source.grayOrRGBKey)
        png_set_tRNS(png, info, nullptr, 0, &source.key);
    if (source.gamma != 0)
        png_set_gAMA(png, info, source.gamma);
    png_write_info(png, info);

    int channels = channels_of(source.colorType);
    size_t rowBytes = (size_t(source.width) * channels * source.bitDepth + 7) / 8;
    std::vector<std::vector<uint8>> rows(source.height, std::vector<uint8>(rowBytes, 0));
    for (uint32 y = 0; y < source.height; y++) {
        uint8* row = rows[y].data();
        for (uint32 x = 0; x < source.width; x++) {
            for (int c = 0; c < channels; c++) {
                uint32 v = source.sample(x, y, c);
                size_t index = size_t(x) * channels + c;
                if (source.bitDepth == 16) {
                    row[index * 2] = uint8(v >> 8);
                    row[index * 2 + 1] = uint8(v);
                } else if (source.bitDepth == 8) {
                    row[index] = uint8(v);
                } else {
                    size_t bit = index * source.bitDepth;
                    row[bit / 8] |= uint8(v << (8 - source.bitDepth - bit % 8));
                }
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

uint32 argb(uint32 a, uint32 r, uint32 g, uint32 b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

// 16-bit samples become 8-bit ones by rounding, as v * 255 / 65535.
uint32 to8(uint32 v16)
{
    return (v16 * 255 + 32767) / 65535;
}

class PNGTranslatorTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(fModule.Get(), nullptr) << fModule.Error(); }
    BTranslator* Translator() { return fModule.Get(); }

    test::ScopedConfigHome fConfig;
    test::TranslatorModule fModule{"PNGTranslator.so"};
};

struct DecodeCase
{
    const char* name;
    PNGSource source;
    color_space space;
    std::function<uint32(uint32 x, uint32 y)> expected;
};

std::vector<png_color> rainbow(int count)
{
    std::vector<png_color> colours;
    for (int i = 0; i < count; i++)
        colours.push_back(png_color{uint8(i * 7), uint8(255 - i * 3), uint8(i * 13)});
    return colours;
}

std::vector<DecodeCase> decode_cases()
{
    const uint32 w = 13, h = 9;
    std::vector<DecodeCase> cases;
    auto grey8 = [](uint32 x, uint32 y, int) { return uint16((x * 19 + y * 7) & 0xff); };
    cases.push_back(
        {"grey 8", {w, h, PNG_COLOR_TYPE_GRAY, 8, false, grey8}, B_RGB32, [](uint32 x, uint32 y) {
             uint32 v = (x * 19 + y * 7) & 0xff;
             return argb(255, v, v, v);
         }});
    cases.push_back({"grey 1",
                     {w, h, PNG_COLOR_TYPE_GRAY, 1, false,
                      [](uint32 x, uint32 y, int) { return uint16((x + y) & 1); }},
                     B_RGB32,
                     [](uint32 x, uint32 y) {
                         uint32 v = (x + y) & 1 ? 255 : 0;
                         return argb(255, v, v, v);
                     }});
    cases.push_back({"grey 4",
                     {w, h, PNG_COLOR_TYPE_GRAY, 4, false,
                      [](uint32 x, uint32 y, int) { return uint16((x + y) & 15); }},
                     B_RGB32,
                     [](uint32 x, uint32 y) {
                         uint32 v = ((x + y) & 15) * 17;
                         return argb(255, v, v, v);
                     }});
    cases.push_back({"grey 16",
                     {w, h, PNG_COLOR_TYPE_GRAY, 16, false,
                      [](uint32 x, uint32 y, int) { return uint16(x * 5003 + y * 301); }},
                     B_RGB32,
                     [](uint32 x, uint32 y) {
                         uint32 v = to8(uint16(x * 5003 + y * 301));
                         return argb(255, v, v, v);
                     }});
    cases.push_back({"grey+alpha 8",
                     {w, h, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false,
                      [](uint32 x, uint32 y, int c) { return uint16(c == 0 ? x * 10 : y * 25); }},
                     B_RGBA32,
                     [](uint32 x, uint32 y) { return argb(y * 25, x * 10, x * 10, x * 10); }});
    cases.push_back(
        {"grey+alpha 16",
         {w, h, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false,
          [](uint32 x, uint32 y, int c) { return uint16(c == 0 ? x * 4099 : 65535 - y * 7000); }},
         B_RGBA32,
         [](uint32 x, uint32 y) {
             uint32 v = to8(x * 4099);
             return argb(to8(65535 - y * 7000), v, v, v);
         }});
    cases.push_back({"grey with tRNS key",
                     {w, h, PNG_COLOR_TYPE_GRAY, 8, false, grey8, {}, {}, true, {0, 0, 0, 0, 26}},
                     B_RGBA32,
                     [](uint32 x, uint32 y) {
                         uint32 v = (x * 19 + y * 7) & 0xff;
                         return argb(v == 26 ? 0 : 255, v, v, v);
                     }});
    cases.push_back({"RGB 8",
                     {w, h, PNG_COLOR_TYPE_RGB, 8, false,
                      [](uint32 x, uint32 y, int c) {
                          return uint16(c == 0 ? x * 9 : c == 1 ? y * 11 : 77);
                      }},
                     B_RGB32,
                     [](uint32 x, uint32 y) { return argb(255, x * 9, y * 11, 77); }});
    cases.push_back(
        {"RGB 16",
         {w, h, PNG_COLOR_TYPE_RGB, 16, false,
          [](uint32 x, uint32 y, int c) { return uint16(c * 20000 + x * 1000 + y * 37); }},
         B_RGB32,
         [](uint32 x, uint32 y) {
             return argb(255, to8(x * 1000 + y * 37), to8(20000 + x * 1000 + y * 37),
                         to8(40000 + x * 1000 + y * 37));
         }});
    cases.push_back(
        {"RGBA 8",
         {w, h, PNG_COLOR_TYPE_RGB_ALPHA, 8, false,
          [](uint32 x, uint32 y, int c) { return uint16(c == 3 ? (x * y) & 0xff : c * 60 + x); }},
         B_RGBA32,
         [](uint32 x, uint32 y) { return argb((x * y) & 0xff, x, 60 + x, 120 + x); }});
    cases.push_back({"RGBA 16",
                     {w, h, PNG_COLOR_TYPE_RGB_ALPHA, 16, false,
                      [](uint32 x, uint32 y, int c) { return uint16(c * 16000 + x * 997 + y); }},
                     B_RGBA32,
                     [](uint32 x, uint32 y) {
                         return argb(to8(48000 + x * 997 + y), to8(x * 997 + y),
                                     to8(16000 + x * 997 + y), to8(32000 + x * 997 + y));
                     }});
    cases.push_back({"RGB with tRNS key",
                     {w,
                      h,
                      PNG_COLOR_TYPE_RGB,
                      8,
                      false,
                      [](uint32 x, uint32 y, int c) { return uint16(c == 0   ? x
                                                                    : c == 1 ? y
                                                                             : 5); },
                      {},
                      {},
                      true,
                      {0, 3, 4, 5, 0}},
                     B_RGBA32,
                     [](uint32 x, uint32 y) { return argb(x == 3 && y == 4 ? 0 : 255, x, y, 5); }});
    auto palette = rainbow(20);
    cases.push_back({"palette 8 with tRNS",
                     {w,
                      h,
                      PNG_COLOR_TYPE_PALETTE,
                      8,
                      false,
                      [](uint32 x, uint32 y, int) { return uint16((x + y) % 20); },
                      palette,
                      {0, 128, 255}},
                     B_RGBA32,
                     [palette](uint32 x, uint32 y) {
                         uint32 i = (x + y) % 20;
                         uint32 a = i == 0 ? 0 : i == 1 ? 128 : 255;
                         return argb(a, palette[i].red, palette[i].green, palette[i].blue);
                     }});
    auto small = rainbow(4);
    cases.push_back({"palette 2",
                     {w, h, PNG_COLOR_TYPE_PALETTE, 2, false,
                      [](uint32 x, uint32 y, int) { return uint16((x * 3 + y) % 4); }, small},
                     B_RGB32,
                     [small](uint32 x, uint32 y) {
                         uint32 i = (x * 3 + y) % 4;
                         return argb(255, small[i].red, small[i].green, small[i].blue);
                     }});
    cases.push_back(
        {"interlaced RGB",
         {w, h, PNG_COLOR_TYPE_RGB, 8, true,
          [](uint32 x, uint32 y, int c) { return uint16((x * 31 + y * 17 + c * 50) & 0xff); }},
         B_RGB32,
         [](uint32 x, uint32 y) {
             return argb(255, (x * 31 + y * 17) & 0xff, (x * 31 + y * 17 + 50) & 0xff,
                         (x * 31 + y * 17 + 100) & 0xff);
         }});
    cases.push_back(
        {"interlaced grey+alpha 16",
         {w, h, PNG_COLOR_TYPE_GRAY_ALPHA, 16, true,
          [](uint32 x, uint32 y, int c) { return uint16(c == 0 ? x * 5000 : y * 7000); }},
         B_RGBA32,
         [](uint32 x, uint32 y) {
             uint32 v = to8(x * 5000);
             return argb(to8(y * 7000), v, v, v);
         }});
    return cases;
}

TEST_F(PNGTranslatorTest, DecodesEveryLayoutToExactPixels)
{
    for (const DecodeCase& c : decode_cases()) {
        SCOPED_TRACE(c.name);
        std::vector<uint8> file = write_png(c.source);
        ASSERT_FALSE(file.empty());
        Image image;
        translator_info info;
        ASSERT_EQ(test::decode(Translator(), file, &image, &info), B_OK);
        EXPECT_EQ(info.type, uint32(B_PNG_FORMAT));
        EXPECT_STREQ(info.MIME, "image/png");
        ASSERT_EQ(image.width, c.source.width);
        ASSERT_EQ(image.height, c.source.height);
        EXPECT_EQ(image.space, c.space);
        Image expected = test::make_image(image.width, image.height, c.space, c.expected);
        for (uint32 y = 0; y < image.height; y++) {
            for (uint32 x = 0; x < image.width; x++)
                ASSERT_EQ(image.At(x, y), expected.At(x, y)) << "at " << x << "," << y;
        }
    }
}

TEST_F(PNGTranslatorTest, GammaIsLeftAlone)
{
    PNGSource source = {4, 1,     PNG_COLOR_TYPE_GRAY,
                        8, false, [](uint32 x, uint32, int) { return uint16(x * 60); }};
    source.gamma = 1.0 / 1.8;
    Image image;
    ASSERT_EQ(test::decode(Translator(), write_png(source), &image), B_OK);
    for (uint32 x = 0; x < 4; x++)
        EXPECT_EQ(image.At(x, 0), argb(255, x * 60, x * 60, x * 60));
}

Image test_pattern(uint32 width, uint32 height, color_space space)
{
    return test::make_image(width, height, space, [](uint32 x, uint32 y) {
        return argb((x * 7 + y * 3) & 0xff, (x * 13) & 0xff, (y * 29) & 0xff, (x ^ y) & 0xff);
    });
}

struct RoundTripCase
{
    const char* name;
    color_space space;
    int32 compression;
    bool interlace;
};

TEST_F(PNGTranslatorTest, WriteThenReadIsExact)
{
    const RoundTripCase cases[] = {
        {"RGBA, level 6", B_RGBA32, 6, false},
        {"RGBA, stored, interlaced", B_RGBA32, 0, true},
        {"RGB, level 9", B_RGB32, 9, false},
        {"RGB, level 1, interlaced", B_RGB32, 1, true},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        Image original = test_pattern(37, 23, c.space);
        BMessage settings;
        settings.AddInt32("png /compression", c.compression);
        settings.AddBool("png /interlace", c.interlace);
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(Translator(), original, B_PNG_FORMAT, &file, &settings), B_OK);
        Image decoded;
        ASSERT_EQ(test::decode(Translator(), file, &decoded), B_OK);
        EXPECT_EQ(decoded.space, c.space);
        if (c.space == B_RGB32) {
            // The alpha byte of B_RGB32 means nothing; it comes back opaque.
            for (uint32& pixel : original.pixels)
                pixel |= 0xff000000u;
        }
        EXPECT_EQ(decoded.pixels, original.pixels);
    }
}

// Reads a PNG with libpng's own checks (chunk CRCs and the zlib stream's
// checksum included) into 32-bit pixels, B, G, R, A in memory.
bool strict_read(const std::vector<uint8>& file, uint32 width, uint32 height,
                 std::vector<uint32>* pixels)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return false;
    image.format = PNG_FORMAT_BGRA;
    pixels->assign(size_t(width) * height, 0);
    bool ok = image.width == width && image.height == height &&
              png_image_finish_read(&image, nullptr, pixels->data(), 0, nullptr);
    png_image_free(&image);
    return ok;
}

// The same picture written by libpng itself at a zlib level, with its
// adaptive filters.
size_t libpng_size(const Image& image, int level)
{
    std::vector<uint8> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_set_write_fn(png, &out, write_bytes, flush_nothing);
    png_set_compression_level(png, level);
    bool alpha = image.space == B_RGBA32;
    png_set_IHDR(png, info, image.width, image.height, 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    png_set_bgr(png);
    if (!alpha)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (uint32 y = 0; y < image.height; y++)
        png_write_row(png,
                      reinterpret_cast<png_const_bytep>(&image.pixels[size_t(y) * image.width]));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out.size();
}

TEST_F(PNGTranslatorTest, PicturesOfManyBandsAreOneStreamAsSmallAsLibpngs)
{
    // Tall enough to be cut into several bands, each compressed apart; the
    // joined stream must read back exactly under libpng's strict checks and
    // be no larger than what libpng writes in one pass.
    const RoundTripCase cases[] = {
        {"RGB, level 6", B_RGB32, 6, false}, {"RGBA, level 6", B_RGBA32, 6, false},
        {"RGB, level 1", B_RGB32, 1, false}, {"RGBA, level 9", B_RGBA32, 9, false},
        {"RGB, stored", B_RGB32, 0, false},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Smooth shading with some grain, so that every filter has its use.
        uint32 seed = 12345;
        Image original = test::make_image(400, 1400, c.space, [&seed](uint32 x, uint32 y) {
            seed = seed * 1103515245u + 12345u;
            uint32 grain = (seed >> 16) & 7;
            return argb(255 - (y & 0x3f), (x / 3 + grain) & 0xff, (y / 5 + grain) & 0xff,
                        ((x + y) / 7) & 0xff);
        });
        BMessage settings;
        settings.AddInt32("png /compression", c.compression);
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(Translator(), original, B_PNG_FORMAT, &file, &settings), B_OK);
        std::vector<uint32> pixels;
        ASSERT_TRUE(strict_read(file, original.width, original.height, &pixels));
        if (c.space == B_RGB32) {
            for (uint32& pixel : original.pixels)
                pixel |= 0xff000000u;
        }
        EXPECT_EQ(pixels, original.pixels);
        if (c.compression > 0) {
            EXPECT_LE(file.size(), libpng_size(original, c.compression) * 1001 / 1000);
        }
    }
}

TEST_F(PNGTranslatorTest, ReadsBitmapRowsWithPadding)
{
    Image original = test_pattern(5, 4, B_RGBA32);
    std::vector<uint8> stream = test::bits_stream(original, 5 * 4 + 12);
    BMemoryIO source(stream.data(), stream.size());
    BMallocIO file;
    ASSERT_EQ(Translator()->Translate(&source, nullptr, nullptr, B_PNG_FORMAT, &file), B_OK);
    const uint8* bytes = static_cast<const uint8*>(file.Buffer());
    Image decoded;
    ASSERT_EQ(test::decode(Translator(), std::vector<uint8>(bytes, bytes + file.BufferLength()),
                           &decoded),
              B_OK);
    EXPECT_EQ(decoded.pixels, original.pixels);
}

TEST_F(PNGTranslatorTest, SettingsChangeTheFile)
{
    Image image = test_pattern(64, 64, B_RGB32);
    // Stored settings take effect on the next translation.
    BTranslator* translator = Translator();
    std::vector<uint8> plain, interlaced, stored, packed;
    ASSERT_EQ(test::encode(translator, image, B_PNG_FORMAT, &plain), B_OK);

    BMessage message;
    message.AddBool("png /interlace", true);
    ASSERT_EQ(test::encode(translator, image, B_PNG_FORMAT, &interlaced, &message), B_OK);
    // IHDR's interlace method is byte 28 of the file.
    ASSERT_GT(plain.size(), 29u);
    EXPECT_EQ(plain[28], 0);
    EXPECT_EQ(interlaced[28], 1);

    BMessage none, most;
    none.AddInt32("png /compression", 0);
    most.AddInt32("png /compression", 9);
    ASSERT_EQ(test::encode(translator, image, B_PNG_FORMAT, &stored, &none), B_OK);
    ASSERT_EQ(test::encode(translator, image, B_PNG_FORMAT, &packed, &most), B_OK);
    EXPECT_GT(stored.size(), size_t(64 * 64 * 3));
    EXPECT_LT(packed.size(), stored.size() / 2);
}

TEST_F(PNGTranslatorTest, StoredSettingsPersistForTheNextTranslation)
{
    Image image = test_pattern(16, 16, B_RGB32);
    // Another process (a settings panel, say) changes the stored value.
    TranslatorSettings settings("PNGTranslator_settings");
    ASSERT_EQ(settings.SetBool("png /interlace", true), B_OK);
    std::vector<uint8> file;
    ASSERT_EQ(test::encode(Translator(), image, B_PNG_FORMAT, &file), B_OK);
    EXPECT_EQ(file[28], 1);
    ASSERT_EQ(settings.SetBool("png /interlace", false), B_OK);
    ASSERT_EQ(test::encode(Translator(), image, B_PNG_FORMAT, &file), B_OK);
    EXPECT_EQ(file[28], 0);
}

TEST_F(PNGTranslatorTest, OtherDataIsNotPNG)
{
    const std::vector<std::vector<uint8>> others = {
        {},
        {0x89, 'P', 'N'},
        {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0},
        std::vector<uint8>(100, 'x'),
    };
    for (const auto& data : others) {
        Image image;
        EXPECT_EQ(test::decode(Translator(), data, &image), B_NO_TRANSLATOR);
    }
}

// Rewrites the size in IHDR and fixes its CRC, so only the claim is wrong.
std::vector<uint8> with_size(std::vector<uint8> file, uint32 width, uint32 height)
{
    for (int i = 0; i < 4; i++) {
        file[16 + i] = uint8(width >> (24 - 8 * i));
        file[20 + i] = uint8(height >> (24 - 8 * i));
    }
    uint32 crc = uint32(::crc32(0, file.data() + 12, 17));
    for (int i = 0; i < 4; i++)
        file[29 + i] = uint8(crc >> (24 - 8 * i));
    return file;
}

TEST_F(PNGTranslatorTest, HostileFilesAreErrors)
{
    PNGSource source = {
        21, 17,   PNG_COLOR_TYPE_RGB_ALPHA,
        8,  true, [](uint32 x, uint32 y, int c) { return uint16((x * y + c * 77) & 0xff); }};
    std::vector<uint8> file = write_png(source);
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);

    // Only the closing IEND chunk (12 bytes) may be missing, in part or whole.
    for (size_t length = 0; length < file.size(); length++) {
        std::vector<uint8> cut(file.begin(), file.begin() + length);
        if (length + 12 < file.size())
            EXPECT_NE(test::decode(Translator(), cut, &image), B_OK) << "length " << length;
        else
            EXPECT_EQ(test::decode(Translator(), cut, &image), B_OK) << "length " << length;
    }

    const struct
    {
        uint32 width, height;
    } sizes[] = {{100000, 100000}, {0x7fffffff, 1}, {1, 0x7fffffff}, {16385, 16384}, {65536, 4096}};
    for (const auto& size : sizes) {
        std::vector<uint8> huge = with_size(file, size.width, size.height);
        EXPECT_NE(test::decode(Translator(), huge, &image), B_OK)
            << size.width << " x " << size.height;
    }

    // Every single corrupt byte either fails cleanly or still gives an image
    // of the declared size; ASan and UBSan watch the rest.
    for (size_t i = 8; i < file.size(); i++) {
        std::vector<uint8> corrupt = file;
        corrupt[i] ^= 0x5a;
        status_t status = test::decode(Translator(), corrupt, &image);
        if (status == B_OK) {
            EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height);
        }
    }
}

TEST_F(PNGTranslatorTest, ExifOrientationTurnsThePictureUpright)
{
    // exiftool stores the Exif block in an eXIf chunk.
    test::check_orientations(Translator(), "png", "", "png /upright", 0);
}

TEST_F(PNGTranslatorTest, AMissingIENDIsToleratedButMissingRowsAreNot)
{
    test::TempDir dir;
    const std::string folder = dir.Path();
    for (const char* options : {"", "-interlace PNG", "-alpha set -channel A -fx 'i/w' +channel"}) {
        SCOPED_TRACE(options);
        ASSERT_TRUE(test::run_convert("-size 90x70 gradient:'#f08020'-'#2040a0' -swirl 90 " +
                                      std::string(options) + " " + folder + "/out.png"));
        std::vector<uint8> file = test::read_file(folder + "/out.png");
        ASSERT_GT(file.size(), 12u);
        ASSERT_EQ(memcmp(file.data() + file.size() - 8, "IEND", 4), 0);
        Image whole;
        ASSERT_EQ(test::decode(Translator(), file, &whole), B_OK);

        Image image;
        std::vector<uint8> noEnd(file.begin(), file.end() - 12);
        ASSERT_EQ(test::decode(Translator(), noEnd, &image), B_OK);
        EXPECT_EQ(test::max_channel_difference(image, whole), 0);

        // The image data cut in its middle, with IEND put back after it.
        std::vector<uint8> half(file.begin(), file.begin() + file.size() / 2);
        EXPECT_NE(test::decode(Translator(), half, &image), B_OK);
        half.insert(half.end(), file.end() - 12, file.end());
        EXPECT_NE(test::decode(Translator(), half, &image), B_OK);
    }
}

TEST_F(PNGTranslatorTest, AFullDestinationIsAnError)
{
    // A fixed 64-byte block cannot take the file: the write error comes back.
    Image image = test::make_image(64, 64, B_RGBA32, [](uint32 x, uint32 y) {
        return 0x80000000u | (x * 4) << 16 | (y * 4) << 8 | ((x * y) & 0xff);
    });
    std::vector<uint8> block(64);
    BMemoryIO destination(block.data(), block.size());
    EXPECT_NE(test::encode_into(Translator(), image, B_PNG_FORMAT, &destination), B_OK);
}

} // namespace
