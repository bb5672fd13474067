#include <gtest/gtest.h>

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "TranslatorTestSupport.h"

using test::Image;

namespace {

uint32 argb(uint32 a, uint32 r, uint32 g, uint32 b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

struct Frame
{
    int left, top, width, height;
    bool interlaced;
    int transparent; // -1 for none
    std::vector<GifColorType> localMap;
    std::function<uint8(int x, int y)> index;
};

int append(GifFileType* gif, const GifByteType* data, int size)
{
    auto out = static_cast<std::vector<uint8>*>(gif->UserData);
    out->insert(out->end(), data, data + size);
    return size;
}

// A GIF written with giflib: a logical screen and one or more frames.
std::vector<uint8> write_gif(int width, int height, const std::vector<GifColorType>& globalMap,
                             const std::vector<Frame>& frames)
{
    std::vector<uint8> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, append, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global =
        globalMap.empty() ? nullptr : GifMakeMapObject(int(globalMap.size()), globalMap.data());
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 1, global) != GIF_ERROR;
    for (const Frame& frame : frames) {
        if (frame.transparent >= 0) {
            GraphicsControlBlock control = {DISPOSAL_UNSPECIFIED, false, 10, frame.transparent};
            GifByteType block[4];
            size_t length = EGifGCBToExtension(&control, block);
            ok = ok &&
                 EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), block) != GIF_ERROR;
        }
        ColorMapObject* local =
            frame.localMap.empty()
                ? nullptr
                : GifMakeMapObject(int(frame.localMap.size()), frame.localMap.data());
        ok = ok && EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height,
                                    frame.interlaced, local) != GIF_ERROR;
        GifFreeMapObject(local);
        // Interlaced frames are written in pass order.
        std::vector<int> rows;
        if (frame.interlaced) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; pass++)
                for (int y = start[pass]; y < frame.height; y += step[pass])
                    rows.push_back(y);
        } else {
            for (int y = 0; y < frame.height; y++)
                rows.push_back(y);
        }
        std::vector<GifPixelType> line(frame.width);
        for (int y : rows) {
            for (int x = 0; x < frame.width; x++)
                line[x] = frame.index(x, y);
            ok = ok && EGifPutLine(gif, line.data(), frame.width) != GIF_ERROR;
        }
    }
    ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
    GifFreeMapObject(global);
    return ok ? out : std::vector<uint8>();
}

std::vector<GifColorType> colour_map(int count, int seed)
{
    std::vector<GifColorType> map;
    for (int i = 0; i < count; i++)
        map.push_back(
            GifColorType{uint8(i * 31 + seed), uint8(i * 17 + 3 * seed), uint8(255 - i * 9)});
    return map;
}

uint32 colour_of(const std::vector<GifColorType>& map, int index)
{
    return argb(255, map[index].Red, map[index].Green, map[index].Blue);
}

class GIFTranslatorTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(fModule.Get(), nullptr) << fModule.Error(); }
    BTranslator* Translator() { return fModule.Get(); }

    test::ScopedConfigHome fConfig;
    test::TranslatorModule fModule{"GIFTranslator.so"};
};

struct DecodeCase
{
    const char* name;
    std::vector<uint8> file;
    uint32 width, height;
    color_space space;
    std::function<uint32(uint32 x, uint32 y)> expected;
};

std::vector<DecodeCase> decode_cases()
{
    auto global = colour_map(8, 0);
    auto local = colour_map(16, 5);
    auto pattern = [](int x, int y) { return uint8((x + 2 * y) % 8); };
    std::vector<DecodeCase> cases;

    // An animation whose first frame sits at (3, 2) on a 20 x 16 screen and
    // uses index 5 as transparent; the second frame must not show.
    Frame first = {3, 2, 10, 8, true, 5, {}, pattern};
    Frame second = {0, 0, 20, 16, false, -1, {}, [](int, int) { return uint8(1); }};
    cases.push_back({"first frame of an animation, offset, interlaced, transparent",
                     write_gif(20, 16, global, {first, second}), 20, 16, B_RGBA32,
                     [=](uint32 x, uint32 y) -> uint32 {
                         if (x < 3 || x >= 13 || y < 2 || y >= 10)
                             return 0;
                         int index = pattern(int(x) - 3, int(y) - 2);
                         return index == 5 ? 0 : colour_of(global, index);
                     }});
    // Not interlaced, the rows come out in bands: the frame starts and ends
    // inside them, with screen above, below and beside it.
    Frame tall = {3, 5, 10, 30, false, -1, {}, pattern};
    cases.push_back({"offset frame across bands of rows", write_gif(20, 40, global, {tall}), 20, 40,
                     B_RGBA32, [=](uint32 x, uint32 y) -> uint32 {
                         if (x < 3 || x >= 13 || y < 5 || y >= 35)
                             return 0;
                         return colour_of(global, pattern(int(x) - 3, int(y) - 5));
                     }});
    Frame whole = {0, 0, 12, 9, false, -1, local, [](int x, int y) { return uint8((x * y) % 16); }};
    cases.push_back({"whole screen, local colour map", write_gif(12, 9, global, {whole}), 12, 9,
                     B_RGB32,
                     [=](uint32 x, uint32 y) { return colour_of(local, int((x * y) % 16)); }});
    Frame beyond = {2, 2, 6, 5, false, -1, {}, pattern};
    cases.push_back({"frame reaching past the screen", write_gif(4, 4, global, {beyond}), 8, 7,
                     B_RGBA32, [=](uint32 x, uint32 y) -> uint32 {
                         if (x < 2 || y < 2)
                             return 0;
                         return colour_of(global, pattern(int(x) - 2, int(y) - 2));
                     }});
    // Written with an 8-entry map (3-bit codes), then cut down to 4 entries:
    // indices 4 to 7 point past the map that is left.
    Frame outOfMap = {0, 0, 8, 2, false, -1, {}, [](int x, int) { return uint8(x); }};
    std::vector<uint8> shortMap = write_gif(8, 2, colour_map(8, 1), {outOfMap});
    shortMap[10] = uint8((shortMap[10] & ~7) | 1);
    shortMap.erase(shortMap.begin() + 13 + 12, shortMap.begin() + 13 + 24);
    cases.push_back({"indices past a 4-entry map", shortMap, 8, 2, B_RGB32, [](uint32 x, uint32) {
                         return x < 4 ? colour_of(colour_map(8, 1), int(x)) : argb(255, 0, 0, 0);
                     }});
    return cases;
}

TEST_F(GIFTranslatorTest, DecodesTheFirstFrameOnItsScreen)
{
    for (const DecodeCase& c : decode_cases()) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.file.empty());
        Image image;
        translator_info info;
        ASSERT_EQ(test::decode(Translator(), c.file, &image, &info), B_OK);
        EXPECT_EQ(info.type, uint32(B_GIF_FORMAT));
        EXPECT_STREQ(info.MIME, "image/gif");
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        EXPECT_EQ(image.space, c.space);
        Image expected = test::make_image(c.width, c.height, c.space, c.expected);
        for (uint32 y = 0; y < c.height; y++)
            for (uint32 x = 0; x < c.width; x++)
                ASSERT_EQ(image.At(x, y), expected.At(x, y)) << "at " << x << "," << y;
    }
}

TEST_F(GIFTranslatorTest, FewColoursRoundTripExactly)
{
    // 200 colours and no alpha; then 100 colours with a transparent area,
    // and alpha values on both sides of 128.
    Image opaque = test::make_image(40, 30, B_RGB32, [](uint32 x, uint32 y) {
        uint32 i = (x + y * 40) % 200;
        return argb(255, i, 255 - i, (i * 7) & 0xff);
    });
    Image transparent = test::make_image(40, 30, B_RGBA32, [](uint32 x, uint32 y) {
        uint32 i = (x * 3 + y) % 100;
        uint32 a = x < 5 ? 0 : x < 10 ? 127 : x < 15 ? 128 : 255;
        return argb(a, i * 2, 50, 255 - i);
    });
    for (bool dither : {true, false}) {
        SCOPED_TRACE(dither ? "dithering" : "no dithering");
        BMessage settings;
        settings.AddBool("gif /dither", dither);
        std::vector<uint8> file;
        Image decoded;
        ASSERT_EQ(test::encode(Translator(), opaque, B_GIF_FORMAT, &file, &settings), B_OK);
        ASSERT_EQ(test::decode(Translator(), file, &decoded), B_OK);
        EXPECT_EQ(decoded.space, B_RGB32);
        Image expected = opaque;
        EXPECT_EQ(decoded.pixels, expected.pixels);

        ASSERT_EQ(test::encode(Translator(), transparent, B_GIF_FORMAT, &file, &settings), B_OK);
        ASSERT_EQ(test::decode(Translator(), file, &decoded), B_OK);
        EXPECT_EQ(decoded.space, B_RGBA32);
        expected = transparent;
        for (uint32& pixel : expected.pixels)
            pixel = (pixel >> 24) < 128 ? 0 : pixel | 0xff000000u;
        EXPECT_EQ(decoded.pixels, expected.pixels);
    }
}

TEST_F(GIFTranslatorTest, ManyColoursAreQuantisedCloseToTheOriginal)
{
    Image original = test::make_image(96, 64, B_RGB32, [](uint32 x, uint32 y) {
        return argb(255, x * 255 / 95, y * 255 / 63, (x + y) & 0xff);
    });
    std::vector<uint8> dithered, plain;
    BMessage on, off;
    on.AddBool("gif /dither", true);
    off.AddBool("gif /dither", false);
    ASSERT_EQ(test::encode(Translator(), original, B_GIF_FORMAT, &dithered, &on), B_OK);
    ASSERT_EQ(test::encode(Translator(), original, B_GIF_FORMAT, &plain, &off), B_OK);
    EXPECT_NE(dithered, plain);

    for (const auto* file : {&dithered, &plain}) {
        Image decoded;
        ASSERT_EQ(test::decode(Translator(), *file, &decoded), B_OK);
        std::set<uint32> colours(decoded.pixels.begin(), decoded.pixels.end());
        EXPECT_LE(colours.size(), 256u);
        // With 256 colours for 6144 different ones, each channel of each
        // pixel stays within 48 levels, and within 12 on average.
        double total = 0;
        for (size_t i = 0; i < decoded.pixels.size(); i++) {
            for (int shift = 0; shift < 24; shift += 8) {
                int d = std::abs(int((decoded.pixels[i] >> shift) & 0xff) -
                                 int((original.pixels[i] >> shift) & 0xff));
                EXPECT_LE(d, 48);
                total += d;
            }
        }
        EXPECT_LT(total / (decoded.pixels.size() * 3), 12.0);
    }
}

// A smooth, photo-like field of colour: many shades close together, where a
// poor palette shows as bands and a poor diffusion as noise.
Image photo_like(uint32 width, uint32 height)
{
    return test::make_image(width, height, B_RGB32, [](uint32 x, uint32 y) {
        // Lightness carries most of the detail, as in a photograph; the
        // colour drifts slowly around it.
        double light = 127.5 + 110 * std::sin(x / 37.0 + std::cos(y / 29.0));
        double warm = 40 * std::sin(y / 61.0 + x / 97.0);
        double green = 25 * std::cos((x + 2.0 * y) / 83.0);
        auto level = [](double v) { return uint32(std::clamp(v, 0.0, 255.0)); };
        return argb(255, level(light + warm), level(light + green), level(light - warm));
    });
}

TEST_F(GIFTranslatorTest, PhotoLikePicturesKeepTheirShades)
{
    // The bounds sit between what a careful palette reaches (ImageMagick's
    // own is near 4 levels and 32 dB on such pictures) and what a plain
    // median cut with coarse mapping gave.
    Image original = photo_like(320, 240);
    for (bool dither : {true, false}) {
        SCOPED_TRACE(dither ? "dithering" : "no dithering");
        BMessage settings;
        settings.AddBool("gif /dither", dither);
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(Translator(), original, B_GIF_FORMAT, &file, &settings), B_OK);
        Image decoded;
        ASSERT_EQ(test::decode(Translator(), file, &decoded), B_OK);
        double total = 0, squares = 0;
        for (size_t i = 0; i < decoded.pixels.size(); i++) {
            for (int shift = 0; shift < 24; shift += 8) {
                int d = int((decoded.pixels[i] >> shift) & 0xff) -
                        int((original.pixels[i] >> shift) & 0xff);
                total += std::abs(d);
                squares += d * d;
            }
        }
        double samples = double(decoded.pixels.size()) * 3;
        double psnr = 10 * std::log10(255.0 * 255.0 / (squares / samples));
        EXPECT_LT(total / samples, 4.0) << "PSNR " << psnr;
        EXPECT_GT(psnr, 33.0) << "mean " << total / samples;
    }
}

TEST_F(GIFTranslatorTest, HostileFilesAreErrors)
{
    auto global = colour_map(8, 0);
    Frame frame = {1, 1, 17, 11, true, 3, {}, [](int x, int y) { return uint8((x * y) % 8); }};
    std::vector<uint8> file = write_gif(19, 13, global, {frame});
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
    for (size_t length = 0; length < file.size(); length++) {
        std::vector<uint8> cut(file.begin(), file.begin() + length);
        EXPECT_NE(test::decode(Translator(), cut, &image), B_OK) << "length " << length;
    }
    for (size_t i = 6; i < file.size(); i++) {
        std::vector<uint8> corrupt = file;
        corrupt[i] ^= 0x5a;
        if (test::decode(Translator(), corrupt, &image) == B_OK) {
            EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height);
        }
    }

    // The screen claims 65535 x 65535; then a frame of 16000 x 16000 inside
    // a small screen, with almost no data behind it.
    std::vector<uint8> huge = file;
    huge[6] = huge[7] = huge[8] = huge[9] = 0xff;
    EXPECT_NE(test::decode(Translator(), huge, &image), B_OK);
    Frame big = {0, 0, 16000, 16000, false, -1, {}, [](int, int) { return uint8(0); }};
    std::vector<uint8> small = write_gif(2, 2, global, {{0, 0, 2, 2, false, -1, {}, big.index}});
    // Patch the frame's size in its image descriptor (after the 6-byte
    // signature, 7-byte screen descriptor and 24-byte colour map).
    size_t descriptor = 6 + 7 + 24;
    ASSERT_EQ(small[descriptor], ',');
    small[descriptor + 5] = uint8(16000 & 0xff);
    small[descriptor + 6] = uint8(16000 >> 8);
    small[descriptor + 7] = uint8(16000 & 0xff);
    small[descriptor + 8] = uint8(16000 >> 8);
    EXPECT_NE(test::decode(Translator(), small, &image), B_OK);

    // A 20-megapixel screen around the 17 x 11 frame, and the frame pushed
    // 60000 rows down a screen 4000 wide: tiny files that would become huge,
    // mostly empty bitmaps.
    std::vector<uint8> wide = file;
    wide[6] = uint8(5000 & 0xff);
    wide[7] = uint8(5000 >> 8);
    wide[8] = uint8(4000 & 0xff);
    wide[9] = uint8(4000 >> 8);
    EXPECT_EQ(test::decode(Translator(), wide, &image), B_ILLEGAL_DATA);
    std::vector<uint8> low = file;
    low[6] = uint8(4000 & 0xff);
    low[7] = uint8(4000 >> 8);
    size_t frameStart = 6 + 7 + 24 + 8; // after the graphic control extension
    ASSERT_EQ(low[frameStart], ',');
    low[frameStart + 3] = uint8(60000 & 0xff);
    low[frameStart + 4] = uint8(60000 >> 8);
    EXPECT_EQ(test::decode(Translator(), low, &image), B_ILLEGAL_DATA);
    // The fuzzer's find of the same kind: a 4 KB file declaring 4184 x 56077.
    std::vector<uint8> found = test::read_file(std::string(TAVRIN_GIF_FIXTURES) +
                                               "/timeout-82d6e815db3e037194531cdb41ad55ea8d034970");
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(test::decode(Translator(), found, &image), B_ILLEGAL_DATA);

    EXPECT_EQ(test::decode(Translator(), {'G', 'I', 'F', '8', '8', 'a'}, &image), B_NO_TRANSLATOR);
}

TEST_F(GIFTranslatorTest, AFullDestinationIsAnError)
{
    // A fixed 64-byte block cannot take the file: the write error comes back.
    Image image = test::make_image(64, 64, B_RGBA32, [](uint32 x, uint32 y) {
        return 0x80000000u | (x * 4) << 16 | (y * 4) << 8 | ((x * y) & 0xff);
    });
    std::vector<uint8> block(64);
    BMemoryIO destination(block.data(), block.size());
    EXPECT_NE(test::encode_into(Translator(), image, B_GIF_FORMAT, &destination), B_OK);
}

} // namespace
