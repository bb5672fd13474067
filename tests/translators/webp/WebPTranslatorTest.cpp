#include <gtest/gtest.h>

#include <webp/encode.h>
#include <webp/mux.h>

#include <cstring>

#include "TranslatorTestSupport.h"

using test::Image;

namespace {

uint32 argb(uint32 a, uint32 r, uint32 g, uint32 b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

Image pattern(uint32 width, uint32 height, color_space space)
{
    return test::make_image(width, height, space, [](uint32 x, uint32 y) {
        return argb((x * 5 + y * 3) & 0xff, 20 + x * 3, 40 + y * 4, (x * 2 + y * 2) & 0xff);
    });
}

// A fixture written by libwebp itself from RGBA bytes.
std::vector<uint8> write_webp(const Image& image, bool lossless, bool withAlpha)
{
    std::vector<uint8> rgba;
    for (uint32 pixel : image.pixels) {
        rgba.push_back(uint8(pixel >> 16));
        rgba.push_back(uint8(pixel >> 8));
        rgba.push_back(uint8(pixel));
        rgba.push_back(uint8(pixel >> 24));
    }
    uint8_t* out = nullptr;
    size_t size;
    int stride = int(image.width) * 4;
    if (lossless && withAlpha)
        size =
            WebPEncodeLosslessRGBA(rgba.data(), int(image.width), int(image.height), stride, &out);
    else if (withAlpha)
        size = WebPEncodeRGBA(rgba.data(), int(image.width), int(image.height), stride, 95, &out);
    else {
        std::vector<uint8> rgb;
        for (size_t i = 0; i < rgba.size(); i += 4)
            rgb.insert(rgb.end(), rgba.begin() + i, rgba.begin() + i + 3);
        size = lossless ? WebPEncodeLosslessRGB(rgb.data(), int(image.width), int(image.height),
                                                int(image.width) * 3, &out)
                        : WebPEncodeRGB(rgb.data(), int(image.width), int(image.height),
                                        int(image.width) * 3, 95, &out);
    }
    std::vector<uint8> file(out, out + size);
    WebPFree(out);
    return file;
}

class WebPTranslatorTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(fModule.Get(), nullptr) << fModule.Error(); }
    BTranslator* Translator() { return fModule.Get(); }

    test::ScopedConfigHome fConfig;
    test::TranslatorModule fModule{"WebPTranslator.so"};
};

TEST_F(WebPTranslatorTest, DecodesLossyLosslessAndAlpha)
{
    // Lossless files come back exactly; lossy ones at quality 95 on this
    // smooth pattern stay within 16 levels (alpha is stored losslessly).
    struct Case
    {
        const char* name;
        bool lossless;
        bool alpha;
        int tolerance;
    } const cases[] = {
        {"lossless RGBA", true, true, 0},
        {"lossless RGB", true, false, 0},
        {"lossy RGBA", false, true, 16},
        {"lossy RGB", false, false, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image original = pattern(48, 40, c.alpha ? B_RGBA32 : B_RGB32);
        if (!c.alpha) {
            for (uint32& pixel : original.pixels)
                pixel |= 0xff000000u;
        }
        std::vector<uint8> file = write_webp(original, c.lossless, c.alpha);
        ASSERT_FALSE(file.empty());
        Image image;
        translator_info info;
        ASSERT_EQ(test::decode(Translator(), file, &image, &info), B_OK);
        EXPECT_EQ(info.type, uint32(B_WEBP_FORMAT));
        EXPECT_STREQ(info.MIME, "image/webp");
        EXPECT_EQ(image.space, c.alpha ? B_RGBA32 : B_RGB32);
        if (c.lossless && c.alpha) {
            // Without the exact flag, libwebp may change the colour under
            // fully transparent pixels; compare the visible ones.
            for (size_t i = 0; i < image.pixels.size(); i++) {
                if ((original.pixels[i] >> 24) != 0) {
                    ASSERT_EQ(image.pixels[i], original.pixels[i]) << "pixel " << i;
                }
            }
        } else {
            EXPECT_LE(test::max_channel_difference(image, original), c.tolerance);
        }
    }
}

TEST_F(WebPTranslatorTest, LosslessSettingWritesExactPixels)
{
    for (color_space space : {B_RGBA32, B_RGB32}) {
        SCOPED_TRACE(space == B_RGBA32 ? "RGBA" : "RGB");
        Image original = pattern(33, 29, space);
        BMessage settings;
        settings.AddBool("webp /lossless", true);
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(Translator(), original, B_WEBP_FORMAT, &file, &settings), B_OK);
        Image decoded;
        ASSERT_EQ(test::decode(Translator(), file, &decoded), B_OK);
        if (space == B_RGB32) {
            for (uint32& pixel : original.pixels)
                pixel |= 0xff000000u;
        }
        // Exact everywhere, the colour of fully transparent pixels included.
        EXPECT_EQ(decoded.pixels, original.pixels);
        EXPECT_EQ(decoded.space, space);
    }
}

TEST_F(WebPTranslatorTest, LossyQualityChangesSizeAndStaysClose)
{
    Image busy = test::make_image(96, 64, B_RGB32, [](uint32 x, uint32 y) {
        return argb(255, (x * x / 4 + y) & 0xff, (y * 3 ^ x) & 0xff, (x + y) & 0xff);
    });
    std::vector<uint8> low, high;
    BMessage lowQuality, highQuality;
    lowQuality.AddInt32("webp /quality", 10);
    highQuality.AddInt32("webp /quality", 95);
    ASSERT_EQ(test::encode(Translator(), busy, B_WEBP_FORMAT, &low, &lowQuality), B_OK);
    ASSERT_EQ(test::encode(Translator(), busy, B_WEBP_FORMAT, &high, &highQuality), B_OK);
    EXPECT_LT(low.size() * 2, high.size());

    // On a photo-like smooth image the lossy coder at quality 95 keeps the
    // mean error per channel below 2 levels.
    Image smooth = test::make_image(96, 64, B_RGB32, [](uint32 x, uint32 y) {
        return argb(255, 30 + x * 2, 20 + y * 3, 220 - x - y);
    });
    ASSERT_EQ(test::encode(Translator(), smooth, B_WEBP_FORMAT, &high, &highQuality), B_OK);
    Image decoded;
    ASSERT_EQ(test::decode(Translator(), high, &decoded), B_OK);
    double total = 0;
    for (size_t i = 0; i < decoded.pixels.size(); i++) {
        for (int shift = 0; shift < 24; shift += 8) {
            total += std::abs(int((decoded.pixels[i] >> shift) & 0xff) -
                              int((smooth.pixels[i] >> shift) & 0xff));
        }
    }
    EXPECT_LT(total / (decoded.pixels.size() * 3), 2.0);
}

// A two-frame animation written by libwebp's animation encoder, lossless.
std::vector<uint8> write_animation(const Image& first, const Image& second)
{
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(int(first.width), int(first.height), &options);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    config.exact = 1;
    int timestamp = 0;
    for (const Image* frame : {&first, &second}) {
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = int(frame->width);
        picture.height = int(frame->height);
        WebPPictureImportBGRA(&picture, reinterpret_cast<const uint8_t*>(frame->pixels.data()),
                              int(frame->width) * 4);
        WebPAnimEncoderAdd(encoder, &picture, timestamp, &config);
        WebPPictureFree(&picture);
        timestamp += 100;
    }
    WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr);
    WebPData data;
    WebPDataInit(&data);
    WebPAnimEncoderAssemble(encoder, &data);
    std::vector<uint8> file(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);
    return file;
}

TEST_F(WebPTranslatorTest, ReadsTheFirstFrameOfAnAnimation)
{
    Image first = pattern(30, 20, B_RGBA32);
    for (uint32& pixel : first.pixels)
        pixel |= 0xff000000u;
    first.pixels[0] = 0; // one transparent pixel
    Image second = test::make_image(30, 20, B_RGBA32, [](uint32, uint32) { return 0xff00ff00u; });
    std::vector<uint8> file = write_animation(first, second);
    ASSERT_FALSE(file.empty());
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
    EXPECT_EQ(image.space, B_RGBA32);
    EXPECT_EQ(image.pixels, first.pixels);

    // The canvas claims 16383 x 16383 around the 30 x 20 frames.
    ASSERT_EQ(std::string(file.begin() + 12, file.begin() + 16), "VP8X");
    for (int i = 0; i < 6; i++)
        file[24 + i] = (i % 3 == 2) ? 0x00 : (i % 3 == 0 ? 0xfe : 0x3f);
    EXPECT_NE(test::decode(Translator(), file, &image), B_OK);
}

TEST_F(WebPTranslatorTest, HostileFilesAreErrors)
{
    for (bool lossless : {true, false}) {
        SCOPED_TRACE(lossless ? "lossless" : "lossy");
        std::vector<uint8> file = write_webp(pattern(23, 17, B_RGBA32), lossless, true);
        Image image;
        ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
        for (size_t length = 0; length < file.size(); length++) {
            std::vector<uint8> cut(file.begin(), file.begin() + length);
            EXPECT_NE(test::decode(Translator(), cut, &image), B_OK) << "length " << length;
        }
        for (size_t i = 12; i < file.size(); i++) {
            std::vector<uint8> corrupt = file;
            corrupt[i] ^= 0x5a;
            if (test::decode(Translator(), corrupt, &image) == B_OK) {
                EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height);
            }
        }
        // A container that claims to be 4 GB long.
        std::vector<uint8> claim = file;
        claim[4] = claim[5] = claim[6] = claim[7] = 0xff;
        EXPECT_NE(test::decode(Translator(), claim, &image), B_OK);
    }
    Image image;
    EXPECT_EQ(
        test::decode(Translator(), {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, &image),
        B_NO_TRANSLATOR);
}

TEST_F(WebPTranslatorTest, AFullDestinationIsAnError)
{
    // A fixed 64-byte block cannot take the file: the write error comes back.
    Image image = test::make_image(64, 64, B_RGBA32, [](uint32 x, uint32 y) {
        return 0x80000000u | (x * 4) << 16 | (y * 4) << 8 | ((x * y) & 0xff);
    });
    std::vector<uint8> block(64);
    BMemoryIO destination(block.data(), block.size());
    EXPECT_NE(test::encode_into(Translator(), image, B_WEBP_FORMAT, &destination), B_OK);
}

TEST_F(WebPTranslatorTest, ExifOrientationTurnsThePictureUpright)
{
    // exiftool stores the Exif block in the container's EXIF chunk.
    test::check_orientations(Translator(), "webp", "-define webp:lossless=true", "webp /upright",
                             0);
}

} // namespace
