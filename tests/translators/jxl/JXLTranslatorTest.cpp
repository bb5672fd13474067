// The JPEG XL translator against files written by libjxl's cjxl (from PNG,
// GIF and exiftool-tagged JPEG files ImageMagick makes) and read back by
// djxl, and its own files read by djxl.

#include <gtest/gtest.h>

#include "ToolImages.h"
#include "TranslatorTestSupport.h"

using test::Image;

namespace {

const uint32 kJXLType = 'JXL ';

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

Image grey(uint32 width, uint32 height)
{
    return test::make_image(width, height, B_RGB32, [=](uint32 x, uint32 y) {
        uint32 v = 20 + (x * 7 + y * 3) % 220;
        return 0xff000000u | v << 16 | v << 8 | v;
    });
}

class JXLTranslatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(fModule.Get(), nullptr) << fModule.Error();
        ASSERT_TRUE(test::have_tool("cjxl") && test::have_tool("djxl"))
            << "scripts/install-deps installs libjxl-tools";
    }
    BTranslator* Translator() { return fModule.Get(); }
    std::string Path(const std::string& name) { return fDir.Path() + "/" + name; }

    std::vector<uint8> Cjxl(const std::string& input, const std::string& options)
    {
        if (!test::run_tool("cjxl " + options + " " + input + " " + Path("file.jxl")))
            return {};
        return test::read_file(Path("file.jxl"));
    }

    bool Djxl(const std::vector<uint8>& file, Image* image, bool alpha)
    {
        return test::write_file(Path("theirs.jxl"), file) &&
               test::run_tool("djxl " + Path("theirs.jxl") + " " + Path("theirs.png")) &&
               test::read_with_convert(Path("theirs.png"), image, alpha);
    }

    test::ScopedConfigHome fConfig;
    test::TempDir fDir;
    test::TranslatorModule fModule{"JXLTranslator.so"};
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
        {"lossy", smooth(67, 45, false), "-d 1", false, 2.0},
        {"lossy with alpha", smooth(67, 45, true), "-d 1", false, 2.0},
        {"lossless", smooth(67, 45, false), "-d 0", false, 0.0},
        {"lossless with alpha", smooth(67, 45, true), "-d 0", false, 0.0},
        {"16 bits lossless", smooth(67, 45, false), "-d 0", true, 0.0},
        {"16 bits lossless with alpha", smooth(67, 45, true), "-d 0", true, 0.0, false},
        {"16 bits lossy", smooth(67, 45, false), "-d 1", true, 2.0},
        {"grey lossless", grey(50, 30), "-d 0", false, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool alpha = c.original.space == B_RGBA32;
        ASSERT_TRUE(test::write_png(Path("in.png"), c.original, c.depth16));
        std::vector<uint8> file = Cjxl(Path("in.png"), c.options);
        ASSERT_FALSE(file.empty());
        Image image;
        translator_info info;
        ASSERT_EQ(test::decode(Translator(), file, &image, &info), B_OK);
        EXPECT_EQ(info.type, kJXLType);
        EXPECT_STREQ(info.MIME, "image/jxl");
        EXPECT_EQ(image.space, c.original.space);
        ASSERT_EQ(image.width, c.original.width);
        ASSERT_EQ(image.height, c.original.height);
        if (c.meanTolerance == 0)
            EXPECT_EQ(image.pixels, c.original.pixels);
        else
            EXPECT_LE(test::mean_channel_difference(image, c.original), c.meanTolerance);

        Image theirs;
        if (c.djxlWrites) {
            ASSERT_TRUE(Djxl(file, &theirs, alpha));
            EXPECT_LE(test::max_channel_difference(image, theirs), 1);
        }
    }
}

TEST_F(JXLTranslatorTest, ReadsWhatVipsAndImageMagickWrite)
{
    struct Case
    {
        const char* name;
        const char* command; // IN and OUT stand for the files
    } const cases[] = {
        {"vips", "vips copy IN OUT[Q=90]"},
        {"vips lossless", "vips copy IN OUT[lossless]"},
    };
    Image original = smooth(67, 45, false);
    ASSERT_TRUE(test::write_png(Path("in.png"), original));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string command = c.command;
        command.replace(command.find("IN"), 2, Path("in.png"));
        command.replace(command.find("OUT"), 3, Path("out.jxl"));
        ASSERT_TRUE(test::run_tool(command));
        Image image;
        ASSERT_EQ(test::decode(Translator(), test::read_file(Path("out.jxl")), &image), B_OK);
        ASSERT_EQ(image.width, original.width);
        ASSERT_EQ(image.height, original.height);
        EXPECT_LE(test::mean_channel_difference(image, original), 2.5);
    }
}

TEST_F(JXLTranslatorTest, ShowsEveryOrientationUpright)
{
    // cjxl moves a JPEG's EXIF orientation into the codestream when it
    // recompresses the JPEG losslessly.
    Image stored = smooth(48, 30, false);
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
        ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
        Image expected = test::oriented(jpeg, orientation);
        ASSERT_EQ(image.width, expected.width);
        ASSERT_EQ(image.height, expected.height);
        // libjxl's and libjpeg's inverse transforms round apart.
        EXPECT_LE(test::mean_channel_difference(image, expected), 1.0);

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
        settings.AddInt32("jxl /quality", c.quality);
        settings.AddBool("jxl /lossless", c.lossless);
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(Translator(), original, kJXLType, &file, &settings), B_OK);

        Image ours, theirs;
        ASSERT_EQ(test::decode(Translator(), file, &ours), B_OK);
        EXPECT_EQ(ours.space, original.space);
        ASSERT_EQ(ours.pixels.size(), original.pixels.size());
        if (c.lossless)
            EXPECT_EQ(ours.pixels, original.pixels);
        else
            EXPECT_LE(test::mean_channel_difference(ours, original), c.meanTolerance);
        ASSERT_TRUE(Djxl(file, &theirs, c.alpha));
        EXPECT_LE(test::max_channel_difference(ours, theirs), 1);
    }

    // A lower quality makes a smaller file.
    Image busy = test::make_test_image(64, 64, false);
    std::vector<uint8> low, high;
    BMessage lowQuality, highQuality;
    lowQuality.AddInt32("jxl /quality", 10);
    highQuality.AddInt32("jxl /quality", 95);
    ASSERT_EQ(test::encode(Translator(), busy, kJXLType, &low, &lowQuality), B_OK);
    ASSERT_EQ(test::encode(Translator(), busy, kJXLType, &high, &highQuality), B_OK);
    EXPECT_LT(low.size() * 2, high.size());
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
    Image original = smooth(40, 24, true);
    ASSERT_TRUE(test::write_png(Path("in.png"), original));
    std::vector<uint8> file = Cjxl(Path("in.png"), "-d 2");
    ASSERT_FALSE(file.empty());
    Image image;
    ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);

    for (size_t length = 0; length < file.size(); length++) {
        std::vector<uint8> cut(file.begin(), file.begin() + length);
        EXPECT_NE(test::decode(Translator(), cut, &image), B_OK) << "length " << length;
    }
    for (size_t i = 0; i < file.size(); i++) {
        std::vector<uint8> corrupt = file;
        corrupt[i] ^= 0x5a;
        if (test::decode(Translator(), corrupt, &image) == B_OK) {
            EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height);
        }
    }

    // A header that fits is read; one whose picture passes the 1 GiB limit
    // is refused before anything is allocated.
    translator_info info;
    EXPECT_EQ(fModule.Identify(header_claiming(1000, 800), &info), B_OK);
    EXPECT_NE(test::decode(Translator(), header_claiming(20000, 20000), &image), B_OK);
    EXPECT_NE(fModule.Identify(header_claiming(20000, 20000), &info), B_OK);

    EXPECT_EQ(test::decode(Translator(), test::read_file(Path("in.png")), &image), B_NO_TRANSLATOR);
}

TEST_F(JXLTranslatorTest, AFullDestinationIsAnError)
{
    Image image = smooth(64, 64, true);
    std::vector<uint8> block(64);
    BMemoryIO destination(block.data(), block.size());
    EXPECT_NE(test::encode_into(Translator(), image, kJXLType, &destination), B_OK);
}

} // namespace
