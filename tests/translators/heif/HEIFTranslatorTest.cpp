// The HEIF translator against files written by libheif's heif-enc and read
// back by heif-convert, and its own files read by both.

#include <gtest/gtest.h>

#include <libheif/heif.h>

#include "CodecTranslatorTest.h"
#include "ToolImages.h"
#include "TranslatorTestSupport.h"

using test::Image;
using test::smooth_image;

namespace {

const uint32 kHEIFType = 'HEIC';

class HEIFTranslatorTest : public test::CodecTranslatorTest
{
protected:
    HEIFTranslatorTest()
        : CodecTranslatorTest("HEIFTranslator.so", {"heif-enc", "heif-convert"}, "libheif-examples")
    {}
};

TEST_F(HEIFTranslatorTest, ReadsWhatHeifEncWrites)
{
    // Lossy files stay close to the picture; every file decodes as
    // heif-convert decodes it, give or take the rounding of its 16-bit PNG.
    struct Case
    {
        const char* name;
        const char* options;
        bool alpha;
        bool depth16; // the source is a 16-bit PNG, which heif-enc keeps in 10 bits
        double meanTolerance;
    } const cases[] = {
        {"lossy", "-q 90", false, false, 2.0},
        {"lossy with alpha", "-q 90", true, false, 2.5},
        {"10 bits", "-q 90 -b 10", false, true, 2.0},
        {"10 bits with alpha", "-q 90 -b 10", true, true, 2.5},
        {"lossless", "-L -p chroma=444", false, false, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image original = smooth_image(67, 45, c.alpha);
        ASSERT_TRUE(test::write_png(Path("in.png"), original, c.depth16));
        ASSERT_TRUE(test::run_tool(std::string("heif-enc ") + c.options + " -o " +
                                   Path("file.heic") + " " + Path("in.png")));
        std::vector<uint8> file = test::read_file(Path("file.heic"));
        Image image;
        test::check_decodes_like(Translator(), file, original, kHEIFType, "image/heic",
                                 c.meanTolerance, &image);
        if (HasFatalFailure())
            return;

        Image theirs;
        ASSERT_TRUE(DecodeWith("heif-convert", file, "heic", &theirs, c.alpha));
        EXPECT_LE(test::max_channel_difference(image, theirs), 1);
    }
}

TEST_F(HEIFTranslatorTest, ReadsWhatVipsAndImageMagickWrite)
{
    CheckReadsWhatToolsWrite(
        {
            {"vips", "vips copy IN OUT[Q=90,compression=hevc]"},
            {"ImageMagick", "convert IN -quality 90 OUT"},
        },
        "heic");
}

// An HEVC file whose picture is stored as it is and shows in the given EXIF
// orientation, through libheif's irot and imir properties.
std::vector<uint8> write_oriented(const Image& stored, int orientation)
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    heif_encoder_set_lossy_quality(encoder, 92);
    heif_image* image = nullptr;
    heif_image_create(int(stored.width), int(stored.height), heif_colorspace_RGB,
                      heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, int(stored.width), int(stored.height), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (uint32 y = 0; y < stored.height; y++) {
        for (uint32 x = 0; x < stored.width; x++) {
            uint32 pixel = stored.At(x, y);
            uint8_t* out = plane + y * stride + x * 3;
            out[0] = uint8(pixel >> 16), out[1] = uint8(pixel >> 8), out[2] = uint8(pixel);
        }
    }
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    heif_context_encode_image(context, image, encoder, options, nullptr);
    heif_encoding_options_free(options);
    std::vector<uint8> file;
    heif_writer writer = {1, [](heif_context*, const void* data, size_t size, void* userdata) {
                              auto* out = static_cast<std::vector<uint8>*>(userdata);
                              out->insert(out->end(), static_cast<const uint8*>(data),
                                          static_cast<const uint8*>(data) + size);
                              return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                          }};
    heif_context_write(context, &writer, &file);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return file;
}

TEST_F(HEIFTranslatorTest, ShowsEveryOrientationUpright)
{
    Image stored = smooth_image(48, 30, false);
    for (int orientation = 1; orientation <= 8; orientation++) {
        SCOPED_TRACE(orientation);
        std::vector<uint8> file = write_oriented(stored, orientation);
        ASSERT_FALSE(file.empty());
        Image image;
        test::check_decodes_oriented(Translator(), file, stored, orientation, 2.0, &image);
        if (HasFatalFailure())
            return;

        // heif-convert shows it the same way.
        Image theirs;
        ASSERT_TRUE(DecodeWith("heif-convert", file, "heic", &theirs, false));
        EXPECT_LE(test::max_channel_difference(image, theirs), 1);
    }
}

TEST_F(HEIFTranslatorTest, WritesFilesHeifConvertReads)
{
    test::check_writes(
        Translator(), kHEIFType, "heif ", test::lossy_and_lossless_cases(2.5),
        [this](const test::EncodeCase& c, const std::vector<uint8>& file, const Image& ours) {
            Image theirs;
            ASSERT_TRUE(DecodeWith("heif-convert", file, "heic", &theirs, c.alpha));
            EXPECT_LE(test::max_channel_difference(ours, theirs), 1);
        });
}

TEST_F(HEIFTranslatorTest, BrokenAndForeignFilesAreRefused)
{
    Image original = smooth_image(40, 24, true);
    ASSERT_TRUE(test::write_png(Path("in.png"), original));
    ASSERT_TRUE(test::run_tool("heif-enc -q 60 -o " + Path("file.heic") + " " + Path("in.png")));
    std::vector<uint8> file = test::read_file(Path("file.heic"));
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);

    test::check_cut_and_corrupt_files(Translator(), file);

    // The image's size property claims 30000 x 30000: refused before
    // decoding. (Coded in whole 64-pixel blocks, the picture has no clean
    // aperture that would give its size instead.)
    ASSERT_TRUE(test::write_png(Path("square.png"), smooth_image(64, 64, false)));
    ASSERT_TRUE(
        test::run_tool("heif-enc -q 60 -o " + Path("square.heic") + " " + Path("square.png")));
    std::vector<uint8> claim = test::read_file(Path("square.heic"));
    ASSERT_EQ(test::decode(Translator(), claim, &image), B_OK);
    ASSERT_TRUE(test::claim_huge_size(&claim));
    EXPECT_NE(test::decode(Translator(), claim, &image), B_OK);

    // AV1-coded HEIF is the AVIF translator's; a PNG is nobody's here.
    ASSERT_TRUE(test::run_tool("avifenc -s 10 " + Path("in.png") + " " + Path("file.avif")));
    EXPECT_EQ(DecodeFile("file.avif", &image), B_NO_TRANSLATOR);
    EXPECT_EQ(DecodeFile("in.png", &image), B_NO_TRANSLATOR);
}

TEST_F(HEIFTranslatorTest, AFullDestinationIsAnError)
{
    test::check_full_destination_fails(Translator(), kHEIFType);
}

} // namespace
