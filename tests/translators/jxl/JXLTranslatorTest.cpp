// The JPEG XL translator against files written by libjxl's cjxl (from PNG,
// GIF and exiftool-tagged JPEG files ImageMagick makes) and read back by
// djxl, and its own files read by djxl.

#include <gtest/gtest.h>

#include "CodecTranslatorTest.h"
#include "ToolImages.h"
#include "TranslatorTestSupport.h"

using test::Image;
using test::smooth_image;

namespace {

const uint32 kJXLType = 'JXL ';

Image grey(uint32 width, uint32 height)
{
    return test::make_image(width, height, B_RGB32, [=](uint32 x, uint32 y) {
        uint32 v = 20 + (x * 7 + y * 3) % 220;
        return 0xff000000u | v << 16 | v << 8 | v;
    });
}

class JXLTranslatorTest : public test::CodecTranslatorTest
{
protected:
    JXLTranslatorTest() : CodecTranslatorTest("JXLTranslator.so", {"cjxl", "djxl"}, "libjxl-tools")
    {}

    std::vector<uint8> Cjxl(const std::string& input, const std::string& options)
    {
        if (!test::run_tool("cjxl " + options + " " + input + " " + Path("file.jxl")))
            return {};
        return test::read_file(Path("file.jxl"));
    }

    bool Djxl(const std::vector<uint8>& file, Image* image, bool alpha)
    {
        return DecodeWith("djxl", file, "jxl", image, alpha);
    }
};

TEST_F(JXLTranslatorTest, ReadsWhatCjxlWrites)
{
    // Lossy files stay close to the picture, lossless ones are exact (a
    // 16-bit one once brought back to 8 bits), and every file decodes as
    // djxl decodes it.
    struct Case
    {
        const char* name;
        Image original;
        const char* options;
        bool depth16; // the source is a 16-bit PNG
        double meanTolerance;
        // djxl 0.7 cannot write a PNG of 16-bit colour with 16-bit alpha.
        bool djxlWrites = true;
    } const cases[] = {
        {"lossy", smooth_image(67, 45, false), "-d 1", false, 2.0},
        {"lossy with alpha", smooth_image(67, 45, true), "-d 1", false, 2.0},
        {"lossless", smooth_image(67, 45, false), "-d 0", false, 0.0},
        {"lossless with alpha", smooth_image(67, 45, true), "-d 0", false, 0.0},
        {"16 bits lossless", smooth_image(67, 45, false), "-d 0", true, 0.0},
        {"16 bits lossless with alpha", smooth_image(67, 45, true), "-d 0", true, 0.0, false},
        {"16 bits lossy", smooth_image(67, 45, false), "-d 1", true, 2.0},
        {"grey lossless", grey(50, 30), "-d 0", false, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool alpha = c.original.space == B_RGBA32;
        ASSERT_TRUE(test::write_png(Path("in.png"), c.original, c.depth16));
        std::vector<uint8> file = Cjxl(Path("in.png"), c.options);
        ASSERT_FALSE(file.empty());
        Image image;
        test::check_decodes_like(Translator(), file, c.original, kJXLType, "image/jxl",
                                 c.meanTolerance, &image);
        if (HasFatalFailure())
            return;

        Image theirs;
        if (c.djxlWrites) {
            ASSERT_TRUE(Djxl(file, &theirs, alpha));
            EXPECT_LE(test::max_channel_difference(image, theirs), 1);
        }
    }
}

TEST_F(JXLTranslatorTest, ReadsWhatVipsAndImageMagickWrite)
{
    CheckReadsWhatToolsWrite(
        {
            {"vips", "vips copy IN OUT[Q=90]"},
            {"vips lossless", "vips copy IN OUT[lossless]"},
        },
        "jxl");
}

TEST_F(JXLTranslatorTest, ShowsEveryOrientationUpright)
{
    // cjxl moves a JPEG's EXIF orientation into the codestream when it
    // recompresses the JPEG losslessly.
    Image stored = smooth_image(48, 30, false);
    ASSERT_TRUE(test::write_pam(Path("in.pam"), stored));
    ASSERT_TRUE(test::run_tool("convert " + Path("in.pam") + " -quality 95 " + Path("in.jpg")));
    Image jpeg;
    ASSERT_TRUE(test::read_with_convert(Path("in.jpg"), &jpeg, false));
    ASSERT_TRUE(test::have_tool("exiftool")) << "scripts/install-deps installs exiftool";
    for (int orientation = 1; orientation <= 8; orientation++) {
        SCOPED_TRACE(orientation);
        std::string tagged = Path("o" + std::to_string(orientation) + ".jpg");
        ASSERT_TRUE(test::run_tool("cp " + Path("in.jpg") + " " + tagged));
        ASSERT_TRUE(test::run_tool("exiftool -q -overwrite_original -Orientation#=" +
                                   std::to_string(orientation) + " " + tagged));
        std::vector<uint8> file = Cjxl(tagged, "");
        ASSERT_FALSE(file.empty());
        Image image;
        // libjxl's and libjpeg's inverse transforms round apart.
        test::check_decodes_oriented(Translator(), file, jpeg, orientation, 1.0, &image);
        if (HasFatalFailure())
            return;

        Image theirs;
        ASSERT_TRUE(Djxl(file, &theirs, false));
        EXPECT_LE(test::max_channel_difference(image, theirs), 1);
    }
}

TEST_F(JXLTranslatorTest, ReadsTheFirstFrameOfAnAnimation)
{
    Image first = test::make_image(32, 24, B_RGB32, [](uint32 x, uint32 y) {
        return x < 16 ? (y < 12 ? 0xffff0000u : 0xff0000ffu) : (y < 12 ? 0xffffffffu : 0xff000000u);
    });
    Image second = test::make_image(32, 24, B_RGB32, [](uint32, uint32) { return 0xff00ff00u; });
    ASSERT_TRUE(test::write_pam(Path("1.pam"), first) && test::write_pam(Path("2.pam"), second));
    ASSERT_TRUE(test::run_tool("convert -delay 20 " + Path("1.pam") + " " + Path("2.pam") + " " +
                               Path("anim.gif")));
    std::vector<uint8> file = Cjxl(Path("anim.gif"), "");
    ASSERT_FALSE(file.empty());
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
    ASSERT_EQ(image.pixels.size(), first.pixels.size());
    for (size_t i = 0; i < first.pixels.size(); i++)
        ASSERT_EQ(image.pixels[i] | 0xff000000u, first.pixels[i]) << "pixel " << i;
}

TEST_F(JXLTranslatorTest, WritesFilesDjxlReads)
{
    test::check_writes(
        Translator(), kJXLType, "jxl ", test::lossy_and_lossless_cases(),
        [this](const test::EncodeCase& c, const std::vector<uint8>& file, const Image& ours) {
            Image theirs;
            ASSERT_TRUE(Djxl(file, &theirs, c.alpha));
            EXPECT_LE(test::max_channel_difference(ours, theirs), 1);
        });
}

// A bare codestream header: the signature, a size of width x height and
// default metadata, bits from the least significant up.
std::vector<uint8> header_claiming(uint32 width, uint32 height)
{
    std::vector<uint8> bytes = {0xff, 0x0a};
    uint32 bit = 0;
    auto put = [&](uint32 value, uint32 count) {
        for (uint32 i = 0; i < count; i++, bit++) {
            if (bit % 8 == 0)
                bytes.push_back(0);
            bytes.back() |= uint8(((value >> i) & 1) << (bit % 8));
        }
    };
    put(0, 1); // not a small size
    put(3, 2); // height - 1 in 30 bits
    put(height - 1, 30);
    put(0, 3); // no fixed aspect ratio
    put(3, 2); // width - 1 in 30 bits
    put(width - 1, 30);
    put(1, 1); // all metadata default
    for (int i = 0; i < 8; i++)
        put(0, 8); // padding
    return bytes;
}

TEST_F(JXLTranslatorTest, BrokenAndForeignFilesAreRefused)
{
    Image original = smooth_image(40, 24, true);
    ASSERT_TRUE(test::write_png(Path("in.png"), original));
    std::vector<uint8> file = Cjxl(Path("in.png"), "-d 2");
    ASSERT_FALSE(file.empty());
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);

    test::check_cut_and_corrupt_files(Translator(), file);

    // A header that fits is read; one whose picture passes the 1 GiB limit
    // is refused before anything is allocated.
    translator_info info;
    EXPECT_EQ(fModule.Identify(header_claiming(1000, 800), &info), B_OK);
    EXPECT_NE(test::decode(Translator(), header_claiming(20000, 20000), &image), B_OK);
    EXPECT_NE(fModule.Identify(header_claiming(20000, 20000), &info), B_OK);

    EXPECT_EQ(DecodeFile("in.png", &image), B_NO_TRANSLATOR);
}

TEST_F(JXLTranslatorTest, AFullDestinationIsAnError)
{
    test::check_full_destination_fails(Translator(), kJXLType);
}

} // namespace
