// The AVIF translator against files written by libavif's avifenc and read
// back by avifdec and by libheif's heif-convert, and its own files read by
// both.

#include <gtest/gtest.h>

#include <algorithm>

#include "ToolImages.h"
#include "TranslatorTestSupport.h"

using test::Image;

namespace {

const uint32 kAVIFType = 'AVIF';

// Smooth in both directions and different along each, so that a turned or
// mirrored picture is far from the upright one even after lossy coding.
Image smooth(uint32 width, uint32 height, bool alpha)
{
    return test::make_image(width, height, alpha ? B_RGBA32 : B_RGB32, [=](uint32 x, uint32 y) {
        uint32 r = 40 + x * 170 / width;
        uint32 g = 30 + y * 190 / height;
        uint32 b = 210 - (x + y) * 150 / (width + height);
        uint32 a = alpha ? 70 + (x + y) * 180 / (width + height) : 255;
        return a << 24 | r << 16 | g << 8 | b;
    });
}

Image crop(const Image& image, uint32 left, uint32 top, uint32 width, uint32 height)
{
    return test::make_image(width, height, image.space,
                            [&](uint32 x, uint32 y) { return image.At(left + x, top + y); });
}

class AVIFTranslatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(fModule.Get(), nullptr) << fModule.Error();
        ASSERT_TRUE(test::have_tool("avifenc") && test::have_tool("avifdec"))
            << "scripts/install-deps installs libavif-bin";
    }
    BTranslator* Translator() { return fModule.Get(); }
    std::string Path(const std::string& name) { return fDir.Path() + "/" + name; }

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
        std::string command = tool == "avifdec" ? "avifdec -d 8 " : "heif-convert ";
        return test::write_file(Path("theirs.avif"), file) &&
               test::run_tool(command + Path("theirs.avif") + " " + Path("theirs.png")) &&
               test::read_with_convert(Path("theirs.png"), image, alpha);
    }

    test::ScopedConfigHome fConfig;
    test::TempDir fDir;
    test::TranslatorModule fModule{"AVIFTranslator.so"};
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
        Image original = smooth(67, 45, c.alpha);
        std::vector<uint8> file = Avifenc(original, c.options, c.depth16);
        ASSERT_FALSE(file.empty());
        Image image;
        translator_info info;
        ASSERT_EQ(test::decode(Translator(), file, &image, &info), B_OK);
        EXPECT_EQ(info.type, kAVIFType);
        EXPECT_STREQ(info.MIME, "image/avif");
        EXPECT_EQ(image.space, c.alpha ? B_RGBA32 : B_RGB32);
        ASSERT_EQ(image.width, original.width);
        ASSERT_EQ(image.height, original.height);
        if (c.meanTolerance == 0)
            EXPECT_EQ(image.pixels, original.pixels);
        else
            EXPECT_LE(test::mean_channel_difference(image, original), c.meanTolerance);

        // avifdec takes more than 8 bits to 8 through a 16-bit PNG here,
        // which rounds once more.
        Image theirs;
        ASSERT_TRUE(DecodeWith("avifdec", file, &theirs, c.alpha));
        EXPECT_LE(test::max_channel_difference(image, theirs), c.depth16 ? 2 : 1);
    }
}

TEST_F(AVIFTranslatorTest, ReadsWhatVipsAndImageMagickWrite)
{
    struct Case
    {
        const char* name;
        const char* command; // IN and OUT stand for the files
    } const cases[] = {
        {"vips", "vips copy IN OUT[Q=90,compression=av1,effort=9]"},
        {"ImageMagick", "convert IN -quality 90 OUT"},
    };
    Image original = smooth(67, 45, false);
    ASSERT_TRUE(test::write_png(Path("in.png"), original));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string command = c.command;
        command.replace(command.find("IN"), 2, Path("in.png"));
        command.replace(command.find("OUT"), 3, Path("out.avif"));
        ASSERT_TRUE(test::run_tool(command));
        Image image;
        ASSERT_EQ(test::decode(Translator(), test::read_file(Path("out.avif")), &image), B_OK);
        ASSERT_EQ(image.width, original.width);
        ASSERT_EQ(image.height, original.height);
        EXPECT_LE(test::mean_channel_difference(image, original), 2.5);
    }
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
    Image stored = smooth(48, 30, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        std::string options = "-l --irot " + std::to_string(c.irot);
        if (c.imir >= 0)
            options += " --imir " + std::to_string(c.imir);
        std::vector<uint8> file = Avifenc(stored, options);
        ASSERT_FALSE(file.empty());
        Image image;
        ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
        Image expected = test::oriented(stored, c.orientation);
        ASSERT_EQ(image.width, expected.width);
        ASSERT_EQ(image.height, expected.height);
        EXPECT_EQ(image.pixels, expected.pixels);

        Image theirs;
        ASSERT_TRUE(DecodeWith("heif-convert", file, &theirs, false));
        EXPECT_EQ(theirs.pixels, expected.pixels);
    }
}

TEST_F(AVIFTranslatorTest, CropsToTheCleanAperture)
{
    Image stored = smooth(48, 30, false);
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
    Image first = smooth(32, 24, false);
    Image second = test::make_image(32, 24, B_RGB32, [](uint32, uint32) { return 0xff20c040u; });
    ASSERT_TRUE(test::write_png(Path("1.png"), first) && test::write_png(Path("2.png"), second));
    ASSERT_TRUE(test::run_tool("avifenc -s 10 -l " + Path("1.png") + " " + Path("2.png") + " " +
                               Path("seq.avif")));
    Image image;
    ASSERT_EQ(test::decode(Translator(), test::read_file(Path("seq.avif")), &image), B_OK);
    EXPECT_EQ(image.pixels, first.pixels);
}

TEST_F(AVIFTranslatorTest, WritesFilesOtherDecodersRead)
{
    struct Case
    {
        const char* name;
        bool alpha;
        int32 quality;
        bool lossless;
        double meanTolerance;
    } const cases[] = {
        {"lossy", false, 90, false, 2.0},
        {"lossy with alpha", true, 90, false, 2.0},
        {"lossless", false, 50, true, 0.0},
        {"lossless with alpha", true, 50, true, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image original = smooth(61, 39, c.alpha);
        BMessage settings;
        settings.AddInt32("avif /quality", c.quality);
        settings.AddBool("avif /lossless", c.lossless);
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(Translator(), original, kAVIFType, &file, &settings), B_OK);

        Image ours;
        ASSERT_EQ(test::decode(Translator(), file, &ours), B_OK);
        EXPECT_EQ(ours.space, original.space);
        ASSERT_EQ(ours.pixels.size(), original.pixels.size());
        if (c.lossless)
            EXPECT_EQ(ours.pixels, original.pixels);
        else
            EXPECT_LE(test::mean_channel_difference(ours, original), c.meanTolerance);

        for (const char* tool : {"avifdec", "heif-convert"}) {
            SCOPED_TRACE(tool);
            Image theirs;
            ASSERT_TRUE(DecodeWith(tool, file, &theirs, c.alpha));
            // libheif widens 4:2:0 colour differently from libavif: close,
            // not equal, after lossy coding.
            if (c.lossless)
                EXPECT_EQ(ours.pixels, theirs.pixels);
            else
                EXPECT_LE(test::mean_channel_difference(ours, theirs), 2.0);
        }
    }

    // A lower quality makes a smaller file.
    Image busy = test::make_test_image(64, 64, false);
    std::vector<uint8> low, high;
    BMessage lowQuality, highQuality;
    lowQuality.AddInt32("avif /quality", 10);
    highQuality.AddInt32("avif /quality", 95);
    ASSERT_EQ(test::encode(Translator(), busy, kAVIFType, &low, &lowQuality), B_OK);
    ASSERT_EQ(test::encode(Translator(), busy, kAVIFType, &high, &highQuality), B_OK);
    EXPECT_LT(low.size() * 2, high.size());
}

TEST_F(AVIFTranslatorTest, BrokenAndForeignFilesAreRefused)
{
    Image original = smooth(40, 24, true);
    std::vector<uint8> file = Avifenc(original, "--min 20 --max 20");
    ASSERT_FALSE(file.empty());
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);

    // Every file cut short is refused: the picture data ends the file.
    for (size_t length = 0; length < file.size(); length++) {
        std::vector<uint8> cut(file.begin(), file.begin() + length);
        EXPECT_NE(test::decode(Translator(), cut, &image), B_OK) << "length " << length;
    }
    // A changed byte anywhere is refused or gives a consistent picture.
    for (size_t i = 0; i < file.size(); i++) {
        std::vector<uint8> corrupt = file;
        corrupt[i] ^= 0x5a;
        if (test::decode(Translator(), corrupt, &image) == B_OK) {
            EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height);
        }
    }

    // The image's size property claims 30000 x 30000: refused before decoding.
    std::vector<uint8> claim = file;
    const uint8 ispe[] = {'i', 's', 'p', 'e'};
    auto at = std::search(claim.begin(), claim.end(), ispe, ispe + 4);
    ASSERT_NE(at, claim.end());
    size_t offset = size_t(at - claim.begin()) + 8;
    for (size_t i : {offset, offset + 4}) {
        claim[i] = 0, claim[i + 1] = 0, claim[i + 2] = 0x75, claim[i + 3] = 0x30;
    }
    EXPECT_NE(test::decode(Translator(), claim, &image), B_OK);

    // HEVC-coded HEIF is the HEIF translator's; a PNG is nobody's here.
    ASSERT_TRUE(test::run_tool("heif-enc -o " + Path("file.heic") + " " + Path("in.png")));
    EXPECT_EQ(test::decode(Translator(), test::read_file(Path("file.heic")), &image),
              B_NO_TRANSLATOR);
    EXPECT_EQ(test::decode(Translator(), test::read_file(Path("in.png")), &image), B_NO_TRANSLATOR);
}

TEST_F(AVIFTranslatorTest, AFullDestinationIsAnError)
{
    Image image = smooth(64, 64, true);
    std::vector<uint8> block(64);
    BMemoryIO destination(block.data(), block.size());
    EXPECT_NE(test::encode_into(Translator(), image, kAVIFType, &destination), B_OK);
}

} // namespace
