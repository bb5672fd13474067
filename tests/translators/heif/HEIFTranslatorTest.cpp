// The HEIF translator against files written by libheif's heif-enc and read
// back by heif-convert, and its own files read by both.

#include <gtest/gtest.h>

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>

#include "ToolImages.h"
#include "TranslatorTestSupport.h"

using test::Image;

namespace {

const uint32 kHEIFType = 'HEIC';

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

class HEIFTranslatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(fModule.Get(), nullptr) << fModule.Error();
        ASSERT_TRUE(test::have_tool("heif-enc") && test::have_tool("heif-convert"))
            << "scripts/install-deps installs libheif-examples";
    }
    BTranslator* Translator() { return fModule.Get(); }
    std::string Path(const std::string& name) { return fDir.Path() + "/" + name; }

    test::ScopedConfigHome fConfig;
    test::TempDir fDir;
    test::TranslatorModule fModule{"HEIFTranslator.so"};
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
        Image original = smooth(67, 45, c.alpha);
        ASSERT_TRUE(test::write_png(Path("in.png"), original, c.depth16));
        ASSERT_TRUE(test::run_tool(std::string("heif-enc ") + c.options + " -o " +
                                   Path("file.heic") + " " + Path("in.png")));
        Image image;
        translator_info info;
        ASSERT_EQ(test::decode(Translator(), test::read_file(Path("file.heic")), &image, &info),
                  B_OK);
        EXPECT_EQ(info.type, kHEIFType);
        EXPECT_STREQ(info.MIME, "image/heic");
        EXPECT_EQ(image.space, c.alpha ? B_RGBA32 : B_RGB32);
        ASSERT_EQ(image.width, original.width);
        ASSERT_EQ(image.height, original.height);
        EXPECT_LE(test::mean_channel_difference(image, original), c.meanTolerance);

        Image theirs;
        ASSERT_TRUE(test::run_tool("heif-convert " + Path("file.heic") + " " + Path("out.png")));
        ASSERT_TRUE(test::read_with_convert(Path("out.png"), &theirs, c.alpha));
        EXPECT_LE(test::max_channel_difference(image, theirs), 1);
    }
}

TEST_F(HEIFTranslatorTest, ReadsWhatVipsAndImageMagickWrite)
{
    struct Case
    {
        const char* name;
        const char* command; // IN and OUT stand for the files
    } const cases[] = {
        {"vips", "vips copy IN OUT[Q=90,compression=hevc]"},
        {"ImageMagick", "convert IN -quality 90 OUT"},
    };
    Image original = smooth(67, 45, false);
    ASSERT_TRUE(test::write_png(Path("in.png"), original));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string command = c.command;
        command.replace(command.find("IN"), 2, Path("in.png"));
        command.replace(command.find("OUT"), 3, Path("out.heic"));
        ASSERT_TRUE(test::run_tool(command));
        Image image;
        ASSERT_EQ(test::decode(Translator(), test::read_file(Path("out.heic")), &image), B_OK);
        ASSERT_EQ(image.width, original.width);
        ASSERT_EQ(image.height, original.height);
        EXPECT_LE(test::mean_channel_difference(image, original), 2.5);
    }
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
    Image stored = smooth(48, 30, false);
    for (int orientation = 1; orientation <= 8; orientation++) {
        SCOPED_TRACE(orientation);
        std::vector<uint8> file = write_oriented(stored, orientation);
        ASSERT_FALSE(file.empty());
        Image image;
        ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
        Image expected = test::oriented(stored, orientation);
        ASSERT_EQ(image.width, expected.width);
        ASSERT_EQ(image.height, expected.height);
        EXPECT_LE(test::mean_channel_difference(image, expected), 2.0);

        // heif-convert shows it the same way.
        ASSERT_TRUE(test::write_file(Path("turned.heic"), file));
        Image theirs;
        ASSERT_TRUE(test::run_tool("heif-convert " + Path("turned.heic") + " " + Path("out.png")));
        ASSERT_TRUE(test::read_with_convert(Path("out.png"), &theirs, false));
        EXPECT_LE(test::max_channel_difference(image, theirs), 1);
    }
}

TEST_F(HEIFTranslatorTest, WritesFilesHeifConvertReads)
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
        {"lossy with alpha", true, 90, false, 2.5},
        {"lossless", false, 50, true, 0.0},
        {"lossless with alpha", true, 50, true, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image original = smooth(61, 39, c.alpha);
        BMessage settings;
        settings.AddInt32("heif /quality", c.quality);
        settings.AddBool("heif /lossless", c.lossless);
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(Translator(), original, kHEIFType, &file, &settings), B_OK);

        Image ours, theirs;
        ASSERT_EQ(test::decode(Translator(), file, &ours), B_OK);
        EXPECT_EQ(ours.space, original.space);
        ASSERT_EQ(ours.pixels.size(), original.pixels.size());
        if (c.lossless)
            EXPECT_EQ(ours.pixels, original.pixels);
        else
            EXPECT_LE(test::mean_channel_difference(ours, original), c.meanTolerance);

        ASSERT_TRUE(test::write_file(Path("ours.heic"), file));
        ASSERT_TRUE(test::run_tool("heif-convert " + Path("ours.heic") + " " + Path("out.png")));
        ASSERT_TRUE(test::read_with_convert(Path("out.png"), &theirs, c.alpha));
        EXPECT_LE(test::max_channel_difference(ours, theirs), 1);
    }

    // A lower quality makes a smaller file.
    Image busy = test::make_test_image(64, 64, false);
    std::vector<uint8> low, high;
    BMessage lowQuality, highQuality;
    lowQuality.AddInt32("heif /quality", 10);
    highQuality.AddInt32("heif /quality", 95);
    ASSERT_EQ(test::encode(Translator(), busy, kHEIFType, &low, &lowQuality), B_OK);
    ASSERT_EQ(test::encode(Translator(), busy, kHEIFType, &high, &highQuality), B_OK);
    EXPECT_LT(low.size() * 2, high.size());
}

TEST_F(HEIFTranslatorTest, BrokenAndForeignFilesAreRefused)
{
    Image original = smooth(40, 24, true);
    ASSERT_TRUE(test::write_png(Path("in.png"), original));
    ASSERT_TRUE(test::run_tool("heif-enc -q 60 -o " + Path("file.heic") + " " + Path("in.png")));
    std::vector<uint8> file = test::read_file(Path("file.heic"));
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

    // The image's size property claims 30000 x 30000: refused before
    // decoding. (Coded in whole 64-pixel blocks, the picture has no clean
    // aperture that would give its size instead.)
    ASSERT_TRUE(test::write_png(Path("square.png"), smooth(64, 64, false)));
    ASSERT_TRUE(
        test::run_tool("heif-enc -q 60 -o " + Path("square.heic") + " " + Path("square.png")));
    std::vector<uint8> claim = test::read_file(Path("square.heic"));
    ASSERT_EQ(test::decode(Translator(), claim, &image), B_OK);
    const uint8 ispe[] = {'i', 's', 'p', 'e'};
    auto at = std::search(claim.begin(), claim.end(), ispe, ispe + 4);
    ASSERT_NE(at, claim.end());
    size_t offset = size_t(at - claim.begin()) + 8;
    for (size_t i : {offset, offset + 4}) {
        claim[i] = 0, claim[i + 1] = 0, claim[i + 2] = 0x75, claim[i + 3] = 0x30;
    }
    EXPECT_NE(test::decode(Translator(), claim, &image), B_OK);

    // AV1-coded HEIF is the AVIF translator's; a PNG is nobody's here.
    ASSERT_TRUE(test::run_tool("avifenc -s 10 " + Path("in.png") + " " + Path("file.avif")));
    EXPECT_EQ(test::decode(Translator(), test::read_file(Path("file.avif")), &image),
              B_NO_TRANSLATOR);
    EXPECT_EQ(test::decode(Translator(), test::read_file(Path("in.png")), &image), B_NO_TRANSLATOR);
}

TEST_F(HEIFTranslatorTest, AFullDestinationIsAnError)
{
    Image image = smooth(64, 64, true);
    std::vector<uint8> block(64);
    BMemoryIO destination(block.data(), block.size());
    EXPECT_NE(test::encode_into(Translator(), image, kHEIFType, &destination), B_OK);
}

} // namespace
