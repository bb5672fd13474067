#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstring>

#include "TranslatorTestSupport.h"

using test::Image;

namespace {

uint32 argb(uint32 a, uint32 r, uint32 g, uint32 b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

// A TIFF written with libtiff; samples are given in the file's own depth.
struct TIFFSource
{
    uint32 width;
    uint32 height;
    uint16 photometric;
    uint16 bits;
    uint16 samples;
    uint16 compression;
    uint16 extra = 0; // EXTRASAMPLE_* of the last sample, when extraCount is 1
    bool extraSample = false;
    bool tiled = false;
    bool separate = false;
    std::function<uint16(uint32 x, uint32 y, int sample)> sample;
    std::vector<uint16> map[3]{}; // palette
};

std::vector<uint8> write_tiff(const TIFFSource& source)
{
    test::TempDir dir;
    std::string path = dir.Path() + "/fixture.tif";
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr)
        return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, source.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, source.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, source.bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, source.samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, source.photometric);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, source.compression);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG,
                 source.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (source.extraSample)
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &source.extra);
    if (source.photometric == PHOTOMETRIC_PALETTE)
        TIFFSetField(tiff, TIFFTAG_COLORMAP, source.map[0].data(), source.map[1].data(),
                     source.map[2].data());
    if (source.photometric == PHOTOMETRIC_SEPARATED)
        TIFFSetField(tiff, TIFFTAG_INKSET, INKSET_CMYK);

    int planes = source.separate ? source.samples : 1;
    int perPlane = source.separate ? 1 : source.samples;
    auto pack = [&](uint8* out, uint32 x0, uint32 y, uint32 count, int plane) {
        for (uint32 i = 0; i < count; i++) {
            uint32 x = x0 + i;
            for (int s = 0; s < perPlane; s++) {
                int sampleIndex = source.separate ? plane : s;
                uint16 v =
                    x < source.width && y < source.height ? source.sample(x, y, sampleIndex) : 0;
                size_t index = size_t(i) * perPlane + s;
                if (source.bits == 16) {
                    memcpy(out + index * 2, &v, 2);
                } else if (source.bits == 8) {
                    out[index] = uint8(v);
                } else {
                    size_t bit = index * source.bits;
                    out[bit / 8] |= uint8(v << (8 - source.bits - bit % 8));
                }
            }
        }
    };

    bool ok = true;
    if (source.tiled) {
        const uint32 tile = 16;
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, tile);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, tile);
        std::vector<uint8> buffer(TIFFTileSize(tiff));
        size_t rowSize = TIFFTileRowSize(tiff);
        for (int plane = 0; plane < planes; plane++)
            for (uint32 y = 0; y < source.height; y += tile)
                for (uint32 x = 0; x < source.width; x += tile) {
                    std::fill(buffer.begin(), buffer.end(), 0);
                    for (uint32 r = 0; r < tile; r++)
                        pack(buffer.data() + r * rowSize, x, y + r, tile, plane);
                    ok = ok && TIFFWriteTile(tiff, buffer.data(), x, y, 0, uint16(plane)) >= 0;
                }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 3);
        std::vector<uint8> line(TIFFScanlineSize(tiff));
        for (int plane = 0; plane < planes; plane++)
            for (uint32 y = 0; y < source.height; y++) {
                std::fill(line.begin(), line.end(), 0);
                pack(line.data(), 0, y, source.width, plane);
                ok = ok && TIFFWriteScanline(tiff, line.data(), y, uint16(plane)) >= 0;
            }
    }
    TIFFClose(tiff);
    return ok ? test::read_file(path) : std::vector<uint8>();
}

class TIFFTranslatorTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(fModule.Get(), nullptr) << fModule.Error(); }
    BTranslator* Translator() { return fModule.Get(); }

    test::ScopedConfigHome fConfig;
    test::TranslatorModule fModule{"TIFFTranslator.so"};
};

struct DecodeCase
{
    const char* name;
    TIFFSource source;
    color_space space;
    std::function<uint32(uint32 x, uint32 y)> expected;
};

uint32 to8(uint32 v16)
{
    return (v16 * 255 + 32767) / 65535;
}

uint8 unpremultiply(uint32 v, uint32 a)
{
    return a == 0 ? 0 : uint8(std::min<uint32>(255, (v * 255 + a / 2) / a));
}

std::vector<DecodeCase> decode_cases()
{
    const uint32 w = 37, h = 21;
    auto rgb8 = [](uint32 x, uint32 y, int s) { return uint16((x * 5 + y * 9 + s * 70) & 0xff); };
    auto rgbExpected = [](uint32 x, uint32 y) {
        return argb(255, (x * 5 + y * 9) & 0xff, (x * 5 + y * 9 + 70) & 0xff,
                    (x * 5 + y * 9 + 140) & 0xff);
    };
    auto alpha = [](uint32 x, uint32 y) { return uint16((x * 11 + y) % 256); };
    std::vector<uint16> map[3];
    for (int i = 0; i < 256; i++) {
        map[0].push_back(uint16(i * 257));
        map[1].push_back(uint16((255 - i) * 257));
        map[2].push_back(uint16((i * 3 % 256) * 257));
    }
    auto mapped = [](uint32 i) { return argb(255, i, 255 - i, i * 3 % 256); };

    std::vector<DecodeCase> cases;
    cases.push_back({"RGB 8, strips, LZW",
                     {w, h, PHOTOMETRIC_RGB, 8, 3, COMPRESSION_LZW, 0, false, false, false, rgb8},
                     B_RGB32,
                     rgbExpected});
    cases.push_back(
        {"RGB 8, tiles, Deflate",
         {w, h, PHOTOMETRIC_RGB, 8, 3, COMPRESSION_ADOBE_DEFLATE, 0, false, true, false, rgb8},
         B_RGB32,
         rgbExpected});
    cases.push_back({"RGB 8, separate planes",
                     {w, h, PHOTOMETRIC_RGB, 8, 3, COMPRESSION_NONE, 0, false, false, true, rgb8},
                     B_RGB32,
                     rgbExpected});
    cases.push_back(
        {"RGBA 8, unassociated alpha",
         {w, h, PHOTOMETRIC_RGB, 8, 4, COMPRESSION_PACKBITS, EXTRASAMPLE_UNASSALPHA, true, false,
          false, [=](uint32 x, uint32 y, int s) { return s == 3 ? alpha(x, y) : rgb8(x, y, s); }},
         B_RGBA32,
         [=](uint32 x, uint32 y) {
             return (rgbExpected(x, y) & 0xffffff) | uint32(alpha(x, y)) << 24;
         }});
    cases.push_back(
        {"RGBA 8, associated alpha",
         {w, h, PHOTOMETRIC_RGB, 8, 4, COMPRESSION_NONE, EXTRASAMPLE_ASSOCALPHA, true, false, false,
          [=](uint32 x, uint32 y, int s) {
              uint32 a = alpha(x, y);
              return s == 3 ? uint16(a) : uint16(rgb8(x, y, s) * a / 255);
          }},
         B_RGBA32,
         [=](uint32 x, uint32 y) {
             uint32 a = alpha(x, y);
             return argb(a, unpremultiply(rgb8(x, y, 0) * a / 255, a),
                         unpremultiply(rgb8(x, y, 1) * a / 255, a),
                         unpremultiply(rgb8(x, y, 2) * a / 255, a));
         }});
    cases.push_back(
        {"RGB 16, tiles",
         {w, h, PHOTOMETRIC_RGB, 16, 3, COMPRESSION_LZW, 0, false, true, false,
          [](uint32 x, uint32 y, int s) { return uint16(x * 1000 + y * 90 + s * 9000); }},
         B_RGB32,
         [](uint32 x, uint32 y) {
             uint32 v = x * 1000 + y * 90;
             return argb(255, to8(v), to8(v + 9000), to8(v + 18000));
         }});
    cases.push_back({"grey 8, min-is-black",
                     {w, h, PHOTOMETRIC_MINISBLACK, 8, 1, COMPRESSION_ADOBE_DEFLATE, 0, false,
                      false, false, [](uint32 x, uint32 y, int) { return uint16(x * 6 + y); }},
                     B_RGB32,
                     [](uint32 x, uint32 y) {
                         uint32 v = x * 6 + y;
                         return argb(255, v, v, v);
                     }});
    cases.push_back({"grey 16, tiles",
                     {w, h, PHOTOMETRIC_MINISBLACK, 16, 1, COMPRESSION_NONE, 0, false, true, false,
                      [](uint32 x, uint32 y, int) { return uint16(x * 1200 + y * 500); }},
                     B_RGB32,
                     [](uint32 x, uint32 y) {
                         uint32 v = to8(x * 1200 + y * 500);
                         return argb(255, v, v, v);
                     }});
    cases.push_back({"grey 1, min-is-white, PackBits",
                     {w, h, PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_PACKBITS, 0, false, false,
                      false, [](uint32 x, uint32 y, int) { return uint16((x / 3 + y) & 1); }},
                     B_RGB32,
                     [](uint32 x, uint32 y) {
                         uint32 v = (x / 3 + y) & 1 ? 0 : 255;
                         return argb(255, v, v, v);
                     }});
    cases.push_back(
        {"grey+alpha 8",
         {w, h, PHOTOMETRIC_MINISBLACK, 8, 2, COMPRESSION_LZW, EXTRASAMPLE_UNASSALPHA, true, false,
          false, [=](uint32 x, uint32 y, int s) { return s == 1 ? alpha(x, y) : uint16(x * 6); }},
         B_RGBA32,
         [=](uint32 x, uint32 y) { return argb(alpha(x, y), x * 6, x * 6, x * 6); }});
    TIFFSource palette8 = {w,
                           h,
                           PHOTOMETRIC_PALETTE,
                           8,
                           1,
                           COMPRESSION_LZW,
                           0,
                           false,
                           false,
                           false,
                           [](uint32 x, uint32 y, int) { return uint16((x * 7 + y) & 0xff); }};
    for (int c = 0; c < 3; c++)
        palette8.map[c] = map[c];
    cases.push_back({"palette 8", palette8, B_RGB32,
                     [=](uint32 x, uint32 y) { return mapped((x * 7 + y) & 0xff); }});
    TIFFSource palette4 = {w,
                           h,
                           PHOTOMETRIC_PALETTE,
                           4,
                           1,
                           COMPRESSION_NONE,
                           0,
                           false,
                           true,
                           false,
                           [](uint32 x, uint32 y, int) { return uint16((x + y) & 15); }};
    for (int c = 0; c < 3; c++)
        palette4.map[c].assign(map[c].begin(), map[c].begin() + 16);
    cases.push_back({"palette 4, tiles", palette4, B_RGB32,
                     [=](uint32 x, uint32 y) { return mapped((x + y) & 15); }});
    cases.push_back({"CMYK 8, through the RGBA reader",
                     {w, h, PHOTOMETRIC_SEPARATED, 8, 4, COMPRESSION_LZW, 0, false, false, false,
                      [](uint32 x, uint32 y, int s) { return uint16(s == 3 ? y * 4 : x * 6 + s); }},
                     B_RGB32,
                     [](uint32 x, uint32 y) {
                         uint32 k = 255 - y * 4;
                         return argb(255, k * (255 - x * 6) / 255, k * (254 - x * 6) / 255,
                                     k * (253 - x * 6) / 255);
                     }});
    return cases;
}

TEST_F(TIFFTranslatorTest, DecodesEveryLayoutToExactPixels)
{
    for (const DecodeCase& c : decode_cases()) {
        SCOPED_TRACE(c.name);
        std::vector<uint8> file = write_tiff(c.source);
        ASSERT_FALSE(file.empty());
        Image image;
        translator_info info;
        ASSERT_EQ(test::decode(Translator(), file, &image, &info), B_OK);
        EXPECT_EQ(info.type, uint32(B_TIFF_FORMAT));
        EXPECT_STREQ(info.MIME, "image/tiff");
        ASSERT_EQ(image.width, c.source.width);
        ASSERT_EQ(image.height, c.source.height);
        EXPECT_EQ(image.space, c.space);
        Image expected = test::make_image(image.width, image.height, c.space, c.expected);
        EXPECT_LE(test::max_channel_difference(image, expected),
                  c.source.photometric == PHOTOMETRIC_SEPARATED ? 1 : 0);
    }
}

uint16 compression_of(const std::vector<uint8>& file)
{
    test::TempDir dir;
    std::string path = dir.Path() + "/written.tif";
    test::write_file(path, file);
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr)
        return 0;
    uint16 compression = 0;
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFClose(tiff);
    return compression;
}

TEST_F(TIFFTranslatorTest, WriteThenReadIsExactWithEveryCompression)
{
    const int32 compressions[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE,
                                  COMPRESSION_PACKBITS};
    for (color_space space : {B_RGB32, B_RGBA32}) {
        for (int32 compression : compressions) {
            SCOPED_TRACE(testing::Message()
                         << "space " << space << ", compression " << compression);
            Image original = test::make_image(45, 31, space, [](uint32 x, uint32 y) {
                return argb((x * 9 + y) & 0xff, x * 5, y * 8, (x * y) & 0xff);
            });
            BMessage settings;
            settings.AddInt32("tiff /compression", compression);
            std::vector<uint8> file;
            ASSERT_EQ(test::encode(Translator(), original, B_TIFF_FORMAT, &file, &settings), B_OK);
            EXPECT_EQ(compression_of(file), compression);
            Image decoded;
            ASSERT_EQ(test::decode(Translator(), file, &decoded), B_OK);
            EXPECT_EQ(decoded.space, space);
            if (space == B_RGB32) {
                for (uint32& pixel : original.pixels)
                    pixel |= 0xff000000u;
            }
            EXPECT_EQ(decoded.pixels, original.pixels);
        }
    }
}

TEST_F(TIFFTranslatorTest, UnknownCompressionSettingFallsBackToLZW)
{
    Image image =
        test::make_image(8, 8, B_RGB32, [](uint32 x, uint32) { return argb(255, x, 0, 0); });
    BMessage settings;
    settings.AddInt32("tiff /compression", 7); // JPEG: not offered
    std::vector<uint8> file;
    ASSERT_EQ(test::encode(Translator(), image, B_TIFF_FORMAT, &file, &settings), B_OK);
    EXPECT_EQ(compression_of(file), COMPRESSION_LZW);
}

void put16(std::vector<uint8>& out, uint16 v)
{
    out.push_back(uint8(v));
    out.push_back(uint8(v >> 8));
}

void put32(std::vector<uint8>& out, uint32 v)
{
    put16(out, uint16(v));
    put16(out, uint16(v >> 16));
}

// A hand-made little-endian RGB file that claims width x height pixels but
// holds only a few bytes of strip data.
std::vector<uint8> claimed_size(uint32 width, uint32 height, uint16 tileSide)
{
    std::vector<uint8> out = {'I', 'I', 42, 0};
    put32(out, 8);
    struct Entry
    {
        uint16 tag, type;
        uint32 count, value;
    };
    std::vector<Entry> entries = {
        {256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 1, 8},
        {259, 3, 1, 1},     {262, 3, 1, 2},      {277, 3, 1, 3},
    };
    if (tileSide != 0) {
        entries.push_back({322, 3, 1, tileSide});
        entries.push_back({323, 3, 1, tileSide});
        entries.push_back({324, 4, 1, 200});
        entries.push_back({325, 4, 1, 16});
    } else {
        entries.push_back({273, 4, 1, 200});
        entries.push_back({278, 4, 1, height});
        entries.push_back({279, 4, 1, 16});
    }
    put16(out, uint16(entries.size()));
    for (const Entry& e : entries) {
        put16(out, e.tag);
        put16(out, e.type);
        put32(out, e.count);
        put32(out, e.value);
    }
    put32(out, 0);
    out.resize(216, 0x80);
    return out;
}

TEST_F(TIFFTranslatorTest, HostileFilesAreErrors)
{
    TIFFSource source = {19,
                         13,
                         PHOTOMETRIC_RGB,
                         8,
                         4,
                         COMPRESSION_LZW,
                         EXTRASAMPLE_UNASSALPHA,
                         true,
                         false,
                         false,
                         [](uint32 x, uint32 y, int s) { return uint16((x * y + s * 40) & 0xff); }};
    for (bool tiled : {false, true}) {
        SCOPED_TRACE(tiled ? "tiles" : "strips");
        source.tiled = tiled;
        std::vector<uint8> file = write_tiff(source);
        Image image;
        ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
        for (size_t length = 0; length < file.size(); length++) {
            std::vector<uint8> cut(file.begin(), file.begin() + length);
            EXPECT_NE(test::decode(Translator(), cut, &image), B_OK) << "length " << length;
        }
        for (size_t i = 4; i < file.size(); i++) {
            std::vector<uint8> corrupt = file;
            corrupt[i] ^= 0x5a;
            if (test::decode(Translator(), corrupt, &image) == B_OK) {
                EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height);
            }
        }
    }

    Image image;
    ASSERT_EQ(test::decode(Translator(), claimed_size(2, 2, 0), &image), B_OK);
    const struct
    {
        uint32 width, height;
        uint16 tile;
    } claims[] = {{100000, 100000, 0}, {0xffffffff, 1, 0}, {16000, 16000, 0},
                  {64, 64, 0xfff0},    {20000, 20000, 16}, {1, 1, 0xfff0}};
    for (const auto& claim : claims) {
        EXPECT_NE(
            test::decode(Translator(), claimed_size(claim.width, claim.height, claim.tile), &image),
            B_OK)
            << claim.width << " x " << claim.height << ", tile " << claim.tile;
    }
    EXPECT_EQ(test::decode(Translator(), {'I', 'I', 42}, &image), B_NO_TRANSLATOR);
    EXPECT_EQ(test::decode(Translator(), {'M', 'M', 0, 41, 0, 0}, &image), B_NO_TRANSLATOR);
}

TEST_F(TIFFTranslatorTest, OrientationTagTurnsThePictureUpright)
{
    // Both of the direct reader's paths and the RGBA reader's.
    test::check_orientations(Translator(), "tif", "-compress lzw", "tiff /upright", 0);
    test::check_orientations(Translator(), "tif",
                             "-define tiff:tile-geometry=16x16 -interlace plane", "tiff /upright",
                             0);
    test::check_orientations(Translator(), "tif", "-colorspace CMYK -depth 8", "tiff /upright", 1);
}

// Files other programs write that the direct reader now reads: each must
// decode as ImageMagick decodes it.
TEST_F(TIFFTranslatorTest, DecodesPlanarFloatingPointAndTiledFilesAsImageMagickDoes)
{
    test::TempDir dir;
    const std::string folder = dir.Path();
    const std::string rgb = folder + "/rgb.tif";
    const std::string rgba = folder + "/rgba.tif";
    // 45 x 37: no strip or tile size below divides it.
    ASSERT_TRUE(test::run_convert("-size 45x37 gradient:'#f08020'-'#2040a0' -swirl 120 "
                                  "-depth 8 -compress none " +
                                  rgb));
    // Alpha as low as 2 to 40 levels: premultiplied and back, colour is lost.
    ASSERT_TRUE(test::run_convert(rgb +
                                  " -alpha set -channel A -fx '0.01+0.15*i/w' +channel "
                                  "-compress none " +
                                  rgba));
    struct Case
    {
        const char* name;
        std::string command;
        int tolerance;
    } const cases[] = {
        {"planar RGB, 5 rows a strip (tiffcp)",
         "tiffcp -p separate -r 5 " + rgb + " " + folder + "/out.tif", 0},
        {"planar RGB, 32 rows a strip: each plane's second strip is short (tiffcp)",
         "tiffcp -p separate -r 32 " + rgb + " " + folder + "/out.tif", 0},
        {"planar RGB, 5 rows a strip, PackBits (tiffcp)",
         "tiffcp -p separate -r 5 -c packbits " + rgb + " " + folder + "/out.tif", 0},
        {"planar RGBA with low alpha (tiffcp)",
         "tiffcp -p separate -r 8 -c lzw " + rgba + " " + folder + "/out.tif", 0},
        {"planar RGBA, tiles (tiffcp)",
         "tiffcp -p separate -t -w 16 -l 16 " + rgba + " " + folder + "/out.tif", 0},
        {"planar RGB, 16 bits (ImageMagick)",
         "convert " + rgb + " -depth 16 -interlace plane " + folder + "/out.tif", 0},
        {"32-bit floating point (ImageMagick)",
         "convert " + rgb + " -define quantum:format=floating-point -depth 32 -compress lzw " +
             folder + "/out.tif",
         1},
        {"16-bit floating point (ImageMagick)",
         "convert " + rgb + " -define quantum:format=floating-point -depth 16 -compress zip " +
             folder + "/out.tif",
         1},
        {"32-bit floating point grey with alpha (ImageMagick)",
         "convert " + rgba +
             " -colorspace Gray -define quantum:format=floating-point -depth 32 -compress lzw " +
             folder + "/out.tif",
         1},
        {"32-bit floating point, planar, predictor (ImageMagick)",
         "convert " + rgb +
             " -define quantum:format=floating-point -depth 32 -interlace plane -compress lzw " +
             folder + "/out.tif",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::run_command(c.command)) << "tiffcp (libtiff-tools) is needed";
        Image expected;
        ASSERT_TRUE(test::convert_to_image(folder + "/out.tif", "", folder, &expected));
        Image image;
        ASSERT_EQ(test::decode(Translator(), test::read_file(folder + "/out.tif"), &image), B_OK);
        EXPECT_EQ(image.space, expected.space);
        EXPECT_LE(test::max_channel_difference(image, expected), c.tolerance);
    }
}

} // namespace

namespace {

// Inputs the fuzzer found to take very long: a few hundred bytes whose many
// uncompressed strips all point at the same data, declaring a picture of
// 130 million pixels.
TEST_F(TIFFTranslatorTest, SharedStripsCannotBlowUpATinyFile)
{
    const char* const names[] = {"slow-unit-1753157d2baa7405752ec7dc9f821252d231b896",
                                 "slow-unit-fe374727cdd2b5748bcc4084991acbb5828d457b"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        std::vector<uint8> file = test::read_file(std::string(TAVRIN_TIFF_FIXTURES) + "/" + name);
        ASSERT_FALSE(file.empty());
        Image image;
        EXPECT_EQ(test::decode(Translator(), file, &image), B_ILLEGAL_DATA);
    }
}

TEST_F(TIFFTranslatorTest, AFullDestinationIsAnError)
{
    // A fixed 64-byte block cannot take the file: the write error comes back.
    Image image = test::make_image(64, 64, B_RGBA32, [](uint32 x, uint32 y) {
        return 0x80000000u | (x * 4) << 16 | (y * 4) << 8 | ((x * y) & 0xff);
    });
    std::vector<uint8> block(64);
    BMemoryIO destination(block.data(), block.size());
    EXPECT_NE(test::encode_into(Translator(), image, B_TIFF_FORMAT, &destination), B_OK);
}

} // namespace
