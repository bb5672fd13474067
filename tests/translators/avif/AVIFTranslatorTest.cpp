// The AVIF translator against files written by libavif's avifenc and read
// back by avifdec and by libheif's heif-convert, and its own files read by
// both.

#include <gtest/gtest.h>

#include "CodecTranslatorTest.h"
#include "ToolImages.h"
#include "TranslatorTestSupport.h"

using test::Image;
using test::smooth_image;

namespace {

const uint32 kAVIFType = 'AVIF';

Image crop(const Image& image, uint32 left, uint32 top, uint32 width, uint32 height)
{
    return test::make_image(width, height, image.space,
                            [&](uint32 x, uint32 y) { return image.At(left + x, top + y); });
}

class AVIFTranslatorTest : public test::CodecTranslatorTest
{
protected:
    AVIFTranslatorTest()
        : CodecTranslatorTest("AVIFTranslator.so", {"avifenc", "avifdec"}, "libavif-bin")
    {}

    // Writes the picture with avifenc and the given options.
    std::vector<uint8> Avifenc(const Image& image, const std::string& options, bool depth16 = false)
    {
        if (!test::write_png(Path("in.png"), image, depth16) ||
            !test::run_tool("avifenc -s 10 " + options + " " + Path("in.png") + " " +
                            Path("file.avif")))
            return {};
        return test::read_file(Path("file.avif"));
    }

    // What another decoder makes of the file: avifdec, or heif-convert,
    // which also applies rotation, mirroring and cropping.
    bool DecodeWith(const std::string& tool, const std::vector<uint8>& file, Image* image,
                    bool alpha)
    {
        return CodecTranslatorTest::DecodeWith(tool == "avifdec" ? "avifdec -d 8" : "heif-convert",
                                               file, "avif", image, alpha);
    }
};

TEST_F(AVIFTranslatorTest, ReadsWhatAvifencWrites)
{
    // Lossy files stay close to the picture, lossless ones are exact, and
    // every file decodes as avifdec decodes it.
    struct Case
    {
        const char* name;
        const char* options;
        bool alpha;
        bool depth16; // the source is a 16-bit PNG, kept in the depth asked for
        double meanTolerance;
    } const cases[] = {
        {"lossy 4:2:0", "--min 8 --max 8", false, false, 2.0},
        {"lossy with alpha", "--min 8 --max 8", true, false, 2.0},
        {"lossy 4:4:4", "-y 444 --min 8 --max 8", false, false, 2.0},
        {"lossless", "-l", false, false, 0.0},
        {"lossless with alpha", "-l", true, false, 0.0},
        {"10 bits", "-d 10 --min 8 --max 8", false, true, 2.0},
        {"12 bits with alpha", "-d 12 -y 444 --min 4 --max 4", true, true, 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image original = smooth_image(67, 45, c.alpha);
        std::vector<uint8> file = Avifenc(original, c.options, c.depth16);
        ASSERT_FALSE(file.empty());
        Image image;
        test::check_decodes_like(Translator(), file, original, kAVIFType, "image/avif",
                                 c.meanTolerance, &image);
        if (HasFatalFailure())
            return;

        // avifdec takes more than 8 bits to 8 through a 16-bit PNG here,
        // which rounds once more.
        Image theirs;
        ASSERT_TRUE(DecodeWith("avifdec", file, &theirs, c.alpha));
        EXPECT_LE(test::max_channel_difference(image, theirs), c.depth16 ? 2 : 1);
    }
}

TEST_F(AVIFTranslatorTest, ReadsWhatVipsAndImageMagickWrite)
{
    CheckReadsWhatToolsWrite(
        {
            {"vips", "vips copy IN OUT[Q=90,compression=av1,effort=9]"},
            {"ImageMagick", "convert IN -quality 90 OUT"},
        },
        "avif");
}

TEST_F(AVIFTranslatorTest, ShowsEveryOrientationUpright)
{
    // The eight EXIF orientations as a rotation (quarter turns anticlockwise)
    // followed by a mirroring (0 top and bottom, 1 left and right, -1 none).
    struct Case
    {
        int orientation;
        int irot;
        int imir;
    } const cases[] = {
        {1, 0, -1}, {2, 0, 1}, {3, 2, -1}, {4, 0, 0}, {5, 1, 0}, {6, 3, -1}, {7, 1, 1}, {8, 1, -1},
    };
    Image stored = smooth_image(48, 30, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        std::string options = "-l --irot " + std::to_string(c.irot);
        if (c.imir >= 0)
            options += " --imir " + std::to_string(c.imir);
        std::vector<uint8> file = Avifenc(stored, options);
        ASSERT_FALSE(file.empty());
        Image image;
        test::check_decodes_oriented(Translator(), file, stored, c.orientation, 0, &image);
        if (HasFatalFailure())
            return;

        Image theirs;
        ASSERT_TRUE(DecodeWith("heif-convert", file, &theirs, false));
        EXPECT_EQ(theirs.pixels, test::oriented(stored, c.orientation).pixels);
    }
}

TEST_F(AVIFTranslatorTest, CropsToTheCleanAperture)
{
    Image stored = smooth_image(48, 30, false);
    std::vector<uint8> file = Avifenc(stored, "-l --crop 4,2,40,24");
    ASSERT_FALSE(file.empty());
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
    EXPECT_EQ(image.width, 40u);
    EXPECT_EQ(image.height, 24u);
    EXPECT_EQ(image.pixels, crop(stored, 4, 2, 40, 24).pixels);
}

TEST_F(AVIFTranslatorTest, ReadsTheFirstFrameOfASequence)
{
    Image first = smooth_image(32, 24, false);
    Image second = test::make_image(32, 24, B_RGB32, [](uint32, uint32) { return 0xff20c040u; });
    ASSERT_TRUE(test::write_png(Path("1.png"), first) && test::write_png(Path("2.png"), second));
    ASSERT_TRUE(test::run_tool("avifenc -s 10 -l " + Path("1.png") + " " + Path("2.png") + " " +
                               Path("seq.avif")));
    Image image;
    ASSERT_EQ(DecodeFile("seq.avif", &image), B_OK);
    EXPECT_EQ(image.pixels, first.pixels);
}

TEST_F(AVIFTranslatorTest, WritesFilesOtherDecodersRead)
{
    test::check_writes(
        Translator(), kAVIFType, "avif ", test::lossy_and_lossless_cases(),
        [this](const test::EncodeCase& c, const std::vector<uint8>& file, const Image& ours) {
            for (const char* tool : {"avifdec", "heif-convert"}) {
                SCOPED_TRACE(tool);
                Image theirs;
                ASSERT_TRUE(DecodeWith(tool, file, &theirs, c.alpha));
                // libheif widens 4:2:0 colour differently from
                // libavif: close, not equal, after lossy coding.
                if (c.lossless)
                    EXPECT_EQ(ours.pixels, theirs.pixels);
                else
                    EXPECT_LE(test::mean_channel_difference(ours, theirs), 2.0);
            }
        });
}

TEST_F(AVIFTranslatorTest, BrokenAndForeignFilesAreRefused)
{
    Image original = smooth_image(40, 24, true);
    std::vector<uint8> file = Avifenc(original, "--min 20 --max 20");
    ASSERT_FALSE(file.empty());
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);

    test::check_cut_and_corrupt_files(Translator(), file);

    // The image's size property claims 30000 x 30000: refused before decoding.
    std::vector<uint8> claim = file;
    ASSERT_TRUE(test::claim_huge_size(&claim));
    EXPECT_NE(test::decode(Translator(), claim, &image), B_OK);

    // HEVC-coded HEIF is the HEIF translator's; a PNG is nobody's here.
    ASSERT_TRUE(test::run_tool("heif-enc -o " + Path("file.heic") + " " + Path("in.png")));
    EXPECT_EQ(DecodeFile("file.heic", &image), B_NO_TRANSLATOR);
    EXPECT_EQ(DecodeFile("in.png", &image), B_NO_TRANSLATOR);
}

TEST_F(AVIFTranslatorTest, AFullDestinationIsAnError)
{
    test::check_full_destination_fails(Translator(), kAVIFType);
}

} // namespace
