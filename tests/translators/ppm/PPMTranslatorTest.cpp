#include "TranslatorTestSupport.h"

#include <TranslatorFormats.h>
#include <TranslatorSettings.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace test;

namespace {

std::vector<uint8> bytes_of(const std::string& text)
{
    return std::vector<uint8>(text.begin(), text.end());
}

uint32 gray(uint32 v)
{
    return 0xff000000u | v * 0x010101u;
}

uint32 rgb(uint32 r, uint32 g, uint32 b)
{
    return 0xff000000u | (r << 16) | (g << 8) | b;
}

struct Fixture
{
    const char* name;
    std::vector<uint8> bytes;
    uint32 width;
    uint32 height;
    std::vector<uint32> pixels;
    // Shorter data still decodes when the cut falls in the last sample's
    // text; truncations are tested up to here.
    size_t firstUnsafeCut;
};

std::vector<Fixture> fixtures()
{
    std::vector<Fixture> list;
    auto add = [&](const char* name, const std::vector<uint8>& bytes, uint32 w, uint32 h,
                   std::vector<uint32> pixels, size_t tail) {
        list.push_back({name, bytes, w, h, pixels, bytes.size() - tail});
    };
    add("P2 with comments", bytes_of("P2\n# made by hand\n3 2 # size\n255\n0 128 255\n7 8 9\n"), 3,
        2, {gray(0), gray(128), gray(255), gray(7), gray(8), gray(9)}, 2);
    add("P2 maxval 15", bytes_of("P2 2 1 15 0 15"), 2, 1, {gray(0), gray(255)}, 2);
    add("P3", bytes_of("P3\n2 1\n255\n255 0 0\n0 0 255\n"), 2, 1, {rgb(255, 0, 0), rgb(0, 0, 255)},
        4);
    add("P3 maxval 1000", bytes_of("P3 1 1 1000 1000 500 0\n"), 1, 1, {rgb(255, 128, 0)}, 2);
    {
        std::vector<uint8> b = bytes_of("P5\n#c\n2 2\n255\n");
        b.insert(b.end(), {0, 64, 200, 255});
        add("P5", b, 2, 2, {gray(0), gray(64), gray(200), gray(255)}, 0);
    }
    {
        std::vector<uint8> b = bytes_of("P5 2 1 65535\n");
        b.insert(b.end(), {0xff, 0xff, 0x80, 0x00});
        add("P5 16-bit", b, 2, 1, {gray(255), gray(128)}, 0);
    }
    {
        std::vector<uint8> b = bytes_of("P6\n2 1\n255\n");
        b.insert(b.end(), {1, 2, 3, 250, 251, 252});
        add("P6", b, 2, 1, {rgb(1, 2, 3), rgb(250, 251, 252)}, 0);
    }
    {
        std::vector<uint8> b = bytes_of("P6 1 2 31\n");
        b.insert(b.end(), {31, 0, 16, 1, 2, 3});
        add("P6 maxval 31", b, 1, 2, {rgb(255, 0, 132), rgb(8, 16, 25)}, 0);
    }
    {
        std::vector<uint8> b = bytes_of("P6 1 1 1023\n");
        b.insert(b.end(), {0x03, 0xff, 0x00, 0x00, 0x02, 0x00});
        add("P6 16-bit", b, 1, 1, {rgb(255, 0, 128)}, 0);
    }
    // PBM: 1 is black; plain pixels need no space between them.
    add("P1", bytes_of("P1\n# c\n3 2\n1 0 1\n010\n"), 3, 2,
        {gray(0), gray(255), gray(0), gray(255), gray(0), gray(255)}, 1);
    {
        std::vector<uint8> b = bytes_of("P4\n10 2\n");
        b.insert(b.end(), {0xa5, 0x40, 0x00, 0xff});
        add("P4", b, 10, 2,
            {gray(0),   gray(255), gray(0),   gray(255), gray(255), gray(0),   gray(255),
             gray(0),   gray(255), gray(0),   gray(255), gray(255), gray(255), gray(255),
             gray(255), gray(255), gray(255), gray(255), gray(0),   gray(0)},
            0);
    }
    {
        std::vector<uint8> b =
            bytes_of("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n");
        b.insert(b.end(), {1, 2, 3, 250, 251, 252});
        add("P7 RGB", b, 2, 1, {rgb(1, 2, 3), rgb(250, 251, 252)}, 0);
    }
    {
        // In PAM, black and white keeps 0 for black.
        std::vector<uint8> b = bytes_of(
            "P7\n# c\nWIDTH 3\nHEIGHT 1\nDEPTH 1\nMAXVAL 1\nTUPLTYPE BLACKANDWHITE\nENDHDR\n");
        b.insert(b.end(), {0, 1, 0});
        add("P7 black and white", b, 3, 1, {gray(0), gray(255), gray(0)}, 0);
    }
    {
        std::vector<uint8> b =
            bytes_of("P7\nWIDTH 1\nHEIGHT 2\nDEPTH 1\nMAXVAL 65535\nTUPLTYPE GRAYSCALE\nENDHDR\n");
        b.insert(b.end(), {0xff, 0xff, 0x80, 0x00});
        add("P7 16-bit grey", b, 1, 2, {gray(255), gray(128)}, 0);
    }
    return list;
}

class PPMTest : public testing::Test
{
protected:
    ScopedConfigHome fConfig;
    TranslatorModule fTranslator{"PPMTranslator.so"};

    void SetUp() override { ASSERT_NE(fTranslator.Get(), nullptr) << fTranslator.Error(); }
};

} // namespace

TEST_F(PPMTest, DecodesEveryVariant)
{
    for (const Fixture& f : fixtures()) {
        SCOPED_TRACE(f.name);
        Image image;
        ASSERT_EQ(decode(fTranslator.Get(), f.bytes, &image), B_OK);
        EXPECT_EQ(image.width, f.width);
        EXPECT_EQ(image.height, f.height);
        EXPECT_EQ(image.space, B_RGB32);
        EXPECT_EQ(image.pixels, f.pixels);
    }
}

TEST_F(PPMTest, TruncatedFilesFail)
{
    for (const Fixture& f : fixtures()) {
        for (size_t length = 0; length < f.firstUnsafeCut; length++) {
            std::vector<uint8> cut(f.bytes.begin(), f.bytes.begin() + length);
            Image image;
            EXPECT_NE(decode(fTranslator.Get(), cut, &image), B_OK) << f.name << ", " << length;
        }
    }
}

TEST_F(PPMTest, BrokenFilesFail)
{
    const char* cases[] = {
        "P6 0 1 255\n",
        "P6 1 0 255\n",
        "P6 1 1 0\n\x01\x02\x03",
        "P6 1 1 65536\n\x01\x02\x03",
        "P6 99999999999 1 255\n",
        "P6 65536 65536 255\n",
        "P5 40000 40000 255\n",
        "P3 1 1 255\n1 2 256\n",
        "P3 1 1 255\n1 x 3\n",
        "P3 1 1 255\n1 -2 3\n",
        "P2 2 1 255 1 2x\n",
        "P6 -1 1 255\n",
        "P1 2 1 1 2\n",
        "P4 0 1\n",
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n\x01\x02\x03",
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 65536\nENDHDR\n\x01\x02",
        "P7\nWIDTH 1\nHEIGHT 0\nDEPTH 1\nMAXVAL 255\nENDHDR\n",
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nENDHDR\n",
        "P7\nWIDTH -1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nENDHDR\n\x01",
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nBOGUS 1\nENDHDR\n\x01",
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 5\nMAXVAL 255\nENDHDR\n\x01\x02\x03\x04\x05",
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE CMYK\nENDHDR\n\x01\x02\x03\x04",
        "P7\nWIDTH 40000\nHEIGHT 40000\nDEPTH 1\nMAXVAL 255\nENDHDR\n",
        "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\n",
    };
    for (const char* text : cases) {
        Image image;
        EXPECT_NE(decode(fTranslator.Get(), bytes_of(text), &image), B_OK) << text;
    }
}

TEST_F(PPMTest, OtherFormatsAreNotClaimed)
{
    const char* cases[] = {"P0 1 1\n0", "P8 1 1\n\x80", "P7 WIDTH 1\n", "PX", "BM", "P6"};
    for (const char* text : cases) {
        translator_info info;
        EXPECT_EQ(fTranslator.Identify(bytes_of(text), &info), B_NO_TRANSLATOR) << text;
    }
    translator_info info;
    ASSERT_EQ(fTranslator.Identify(bytes_of("P3 1 1 255 1 2 3"), &info), B_OK);
    EXPECT_EQ(info.type, (uint32)B_PPM_FORMAT);
    EXPECT_STREQ(info.MIME, "image/x-portable-pixmap");
}

TEST_F(PPMTest, RoundTripsAreExactInBothForms)
{
    Image original = make_test_image(101, 13, false);
    for (bool ascii : {false, true}) {
        SCOPED_TRACE(ascii ? "ASCII" : "binary");
        BMessage extension;
        extension.AddInt32("ppm /format", ascii ? 3 : 6);
        std::vector<uint8> bytes;
        ASSERT_EQ(encode(fTranslator.Get(), original, B_PPM_FORMAT, &bytes, &extension), B_OK);
        EXPECT_EQ(bytes[1], ascii ? '3' : '6');
        Image decoded;
        ASSERT_EQ(decode(fTranslator.Get(), bytes, &decoded), B_OK);
        EXPECT_EQ(decoded.pixels, original.pixels);
        if (ascii) {
            size_t lineStart = 0;
            for (size_t i = 0; i < bytes.size(); i++) {
                if (bytes[i] == '\n') {
                    EXPECT_LE(i - lineStart, 70u);
                    lineStart = i + 1;
                }
            }
        }
    }
}

TEST_F(PPMTest, SettingChoosesASCII)
{
    Image original = make_test_image(16, 16, true);
    std::vector<uint8> binary, text;
    ASSERT_EQ(encode(fTranslator.Get(), original, B_PPM_FORMAT, &binary), B_OK);
    EXPECT_EQ(std::string(binary.begin(), binary.begin() + 13), "P6\n16 16\n255\n");
    EXPECT_EQ(binary.size(), 13u + 16 * 16 * 3);

    TranslatorSettings settings("PPMTranslator_settings");
    ASSERT_EQ(settings.SetInt32("ppm /format", 3), B_OK);
    ASSERT_EQ(encode(fTranslator.Get(), original, B_PPM_FORMAT, &text), B_OK);
    EXPECT_EQ(std::string(text.begin(), text.begin() + 3), "P3\n");

    // Alpha has no place in the format: the pictures come back opaque.
    Image decoded;
    ASSERT_EQ(decode(fTranslator.Get(), text, &decoded), B_OK);
    for (size_t i = 0; i < decoded.pixels.size(); i++)
        ASSERT_EQ(decoded.pixels[i], original.pixels[i] | 0xff000000u) << i;
}

// Files written by Netpbm's tools and ImageMagick must decode as ImageMagick
// decodes them.
TEST_F(PPMTest, ReadsTheWholeNetpbmFamilyAsImageMagickDoes)
{
    TempDir scratch;
    const std::string folder = scratch.Path();
    const std::string colour = folder + "/colour.png";
    const std::string grey = folder + "/grey.png";
    ASSERT_TRUE(run_convert("-size 37x23 gradient:'#f08020'-'#2040a0' -swirl 120 -alpha set "
                            "-channel A -fx '0.1+0.9*i/w' +channel -depth 8 " +
                            colour));
    ASSERT_TRUE(run_convert(colour + " -colorspace Gray " + grey));
    struct Case
    {
        const char* name;
        std::string command;
        color_space space;
    } const cases[] = {
        {"P1 (pamthreshold, pnmtoplainpnm)",
         "pngtopam " + grey + " | pamthreshold | pamtopnm | pnmtoplainpnm", B_RGB32},
        {"P4 (pamthreshold, pamtopnm)", "pngtopam " + grey + " | pamthreshold | pamtopnm", B_RGB32},
        {"P4 (ImageMagick)", "convert " + grey + " -alpha off -monochrome PBM:-", B_RGB32},
        {"P7 BLACKANDWHITE (pamthreshold)", "pngtopam " + grey + " | pamthreshold", B_RGB32},
        {"P7 GRAYSCALE", "pngtopam " + grey + " | pamtopam", B_RGB32},
        {"P7 GRAYSCALE_ALPHA, maxval 65535", "pngtopam -alphapam " + grey + " | pamdepth 65535",
         B_RGBA32},
        {"P7 RGB, maxval 1000", "pngtopam " + colour + " | pamtopam | pamdepth 1000", B_RGB32},
        {"P7 RGB_ALPHA", "pngtopam -alphapam " + colour, B_RGBA32},
        {"P7 RGB_ALPHA (ImageMagick)", "convert " + colour + " PAM:-", B_RGBA32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = folder + "/netpbm";
        ASSERT_TRUE(run_command("((" + c.command + ") > " + file + ")"))
            << "Netpbm's tools (netpbm) are needed";
        Image expected;
        ASSERT_TRUE(convert_to_image(file, "", folder, &expected));
        Image image;
        ASSERT_EQ(decode(fTranslator.Get(), read_file(file), &image), B_OK);
        EXPECT_EQ(image.space, c.space);
        if (c.space == B_RGB32) {
            for (uint32& pixel : expected.pixels)
                pixel |= 0xff000000u;
        }
        EXPECT_LE(max_channel_difference(image, expected), 1);
    }
}

TEST_F(PPMTest, AgreesWithImageMagick)
{
    Image original = make_test_image(30, 20, false);
    std::vector<uint8> ours;
    ASSERT_EQ(encode(fTranslator.Get(), original, B_PPM_FORMAT, &ours), B_OK);
    TempDir scratch;
    std::string folder = scratch.Path();
    write_file(folder + "/ours.ppm", ours);
    if (!run_convert(folder + "/ours.ppm -depth 16 " + folder + "/theirs16.ppm") ||
        !run_convert(folder + "/ours.ppm -compress none " + folder + "/theirs-plain.ppm"))
        GTEST_SKIP() << "ImageMagick's convert is not available";
    for (const char* name : {"/theirs16.ppm", "/theirs-plain.ppm"}) {
        Image decoded;
        ASSERT_EQ(decode(fTranslator.Get(), read_file(folder + name), &decoded), B_OK) << name;
        EXPECT_EQ(decoded.pixels, original.pixels) << name;
    }
}
