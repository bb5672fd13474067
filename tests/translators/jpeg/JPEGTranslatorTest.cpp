#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "TranslatorTestSupport.h"

using test::Image;

namespace {

uint32 argb(uint32 a, uint32 r, uint32 g, uint32 b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

// A JPEG written with libjpeg from samples in the given input colour space.
struct JPEGSource
{
    uint32 width;
    uint32 height;
    J_COLOR_SPACE input;     // JCS_GRAYSCALE, JCS_RGB or JCS_CMYK
    J_COLOR_SPACE stored;    // what the file holds
    bool adobeMarker = true; // only matters for CMYK and YCCK
    bool progressive = false;
    int quality = 100;
    std::function<uint8(uint32 x, uint32 y, int component)> sample;
    std::vector<uint8> exif{}; // an APP1 payload when not empty
};

struct ErrorJump
{
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void jump_out(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
}

std::vector<uint8> write_jpeg(const JPEGSource& source)
{
    jpeg_compress_struct cinfo;
    ErrorJump errors;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jump_out;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        free(buffer);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    int components = source.input == JCS_GRAYSCALE ? 1 : source.input == JCS_RGB ? 3 : 4;
    cinfo.image_width = source.width;
    cinfo.image_height = source.height;
    cinfo.input_components = components;
    cinfo.in_color_space = source.input;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, source.stored);
    cinfo.write_Adobe_marker = source.adobeMarker;
    for (int c = 0; c < cinfo.num_components; c++)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_set_quality(&cinfo, source.quality, TRUE);
    if (source.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (!source.exif.empty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, source.exif.data(), source.exif.size());
    std::vector<uint8> row(size_t(source.width) * components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (uint32 x = 0; x < source.width; x++) {
            for (int c = 0; c < components; c++)
                row[size_t(x) * components + c] = source.sample(x, cinfo.next_scanline, c);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8> out(buffer, buffer + size);
    free(buffer);
    return out;
}

// Flat 8 x 8 blocks, which JPEG keeps almost exactly at quality 100.
uint8 block_value(uint32 x, uint32 y, int component)
{
    return uint8(((x / 8) * 61 + (y / 8) * 97 + component * 53) % 200 + 30);
}

class JPEGTranslatorTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(fModule.Get(), nullptr) << fModule.Error(); }
    BTranslator* Translator() { return fModule.Get(); }

    test::ScopedConfigHome fConfig;
    test::TranslatorModule fModule{"JPEGTranslator.so"};
};

struct DecodeCase
{
    const char* name;
    JPEGSource source;
    int tolerance;
    std::function<uint32(uint32 x, uint32 y)> expected;
};

uint32 from_inverted_cmyk(uint32 x, uint32 y)
{
    uint32 k = block_value(x, y, 3);
    return argb(255, (block_value(x, y, 0) * k + 127) / 255, (block_value(x, y, 1) * k + 127) / 255,
                (block_value(x, y, 2) * k + 127) / 255);
}

uint32 from_plain_cmyk(uint32 x, uint32 y)
{
    uint32 k = 255 - block_value(x, y, 3);
    return argb(255, ((255 - block_value(x, y, 0)) * k + 127) / 255,
                ((255 - block_value(x, y, 1)) * k + 127) / 255,
                ((255 - block_value(x, y, 2)) * k + 127) / 255);
}

uint32 from_rgb(uint32 x, uint32 y)
{
    return argb(255, block_value(x, y, 0), block_value(x, y, 1), block_value(x, y, 2));
}

TEST_F(JPEGTranslatorTest, DecodesEveryColourModel)
{
    // Flat blocks at quality 100 come back within a few levels; YCbCr and
    // YCCK round their colour conversion on both sides, hence the wider margin.
    const uint32 w = 40, h = 24;
    const DecodeCase cases[] = {
        {"grey",
         {w, h, JCS_GRAYSCALE, JCS_GRAYSCALE, true, false, 100, block_value},
         2,
         [](uint32 x, uint32 y) {
             uint32 v = block_value(x, y, 0);
             return argb(255, v, v, v);
         }},
        {"YCbCr", {w, h, JCS_RGB, JCS_YCbCr, true, false, 100, block_value}, 4, from_rgb},
        {"RGB stored as RGB", {w, h, JCS_RGB, JCS_RGB, true, false, 100, block_value}, 2, from_rgb},
        {"progressive YCbCr",
         {w, h, JCS_RGB, JCS_YCbCr, true, true, 100, block_value},
         4,
         from_rgb},
        {"Adobe CMYK (inverted)",
         {w, h, JCS_CMYK, JCS_CMYK, true, false, 100, block_value},
         3,
         from_inverted_cmyk},
        {"plain CMYK",
         {w, h, JCS_CMYK, JCS_CMYK, false, false, 100, block_value},
         3,
         from_plain_cmyk},
        {"Adobe YCCK",
         {w, h, JCS_CMYK, JCS_YCCK, true, false, 100, block_value},
         5,
         from_inverted_cmyk},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8> file = write_jpeg(c.source);
        ASSERT_FALSE(file.empty());
        Image image;
        translator_info info;
        ASSERT_EQ(test::decode(Translator(), file, &image, &info), B_OK);
        EXPECT_EQ(info.type, uint32(B_JPEG_FORMAT));
        EXPECT_STREQ(info.MIME, "image/jpeg");
        ASSERT_EQ(image.width, w);
        ASSERT_EQ(image.height, h);
        EXPECT_EQ(image.space, B_RGB32);
        Image expected = test::make_image(w, h, B_RGB32, c.expected);
        EXPECT_LE(test::max_channel_difference(image, expected), c.tolerance);
    }
}

TEST_F(JPEGTranslatorTest, ExifOrientationTurnsThePictureUpright)
{
    test::check_orientations(Translator(), "jpg", "-quality 100 -sampling-factor 1x1",
                             "jpeg /upright", 4);
}

TEST_F(JPEGTranslatorTest, HandMadeExifBlockIsReadInBothByteOrders)
{
    // The smallest Exif blocks whose single entry says "turn 90 degrees
    // clockwise" (6), little- and big-endian.
    const std::vector<uint8> blocks[] = {
        {'E',  'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
         0x12, 1,   3,   0,   1, 0, 0,   0,   6,  0, 0, 0, 0, 0, 0, 0},
        {'E', 'x',  'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
         1,   0x12, 0,   3,   0, 0, 0,   1,   0, 6,  0, 0, 0, 0, 0, 0},
    };
    for (const std::vector<uint8>& exif : blocks) {
        SCOPED_TRACE(exif[6] == 'I' ? "little-endian" : "big-endian");
        JPEGSource source = {48, 16, JCS_RGB, JCS_YCbCr, true, false, 100, block_value};
        source.exif = exif;
        std::vector<uint8> file = write_jpeg(source);
        Image stored = test::make_image(48, 16, B_RGB32, from_rgb);
        // Upright, the stored picture's bottom-left corner is at the top left.
        Image upright = test::make_image(16, 48, B_RGB32,
                                         [&](uint32 x, uint32 y) { return stored.At(y, 15 - x); });
        Image image;
        ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);
        EXPECT_LE(test::max_channel_difference(image, upright), 4);

        BMessage keep;
        keep.AddBool("jpeg /upright", false);
        ASSERT_EQ(test::decode(Translator(), file, &image, nullptr, &keep), B_OK);
        EXPECT_LE(test::max_channel_difference(image, stored), 4);
    }
}

Image smooth_pattern(uint32 width, uint32 height, color_space space)
{
    return test::make_image(width, height, space, [](uint32 x, uint32 y) {
        return argb(x & 1 ? 0 : 255, 40 + x * 2, 30 + y * 3, 200 - x - y);
    });
}

// The offset of the frame header (SOF0 or SOF2), or 0.
size_t find_frame_header(const std::vector<uint8>& file, uint8* kind)
{
    for (size_t i = 2; i + 12 < file.size(); i++) {
        if (file[i] == 0xff && (file[i + 1] == 0xc0 || file[i + 1] == 0xc2)) {
            *kind = file[i + 1];
            return i;
        }
    }
    return 0;
}

TEST_F(JPEGTranslatorTest, WriteThenReadStaysClose)
{
    struct Case
    {
        const char* name;
        int32 quality;
        int32 subsampling;
        bool progressive;
        int tolerance;
    } const cases[] = {
        {"quality 95, 4:4:4", 95, 0, false, 6},
        {"quality 90, 4:2:0", 90, 2, false, 10},
        {"quality 90, 4:2:2, progressive", 90, 1, true, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // B_RGBA32 in, B_RGB32 out: JPEG has no alpha.
        Image original = smooth_pattern(64, 48, B_RGBA32);
        BMessage settings;
        settings.AddInt32("jpeg /quality", c.quality);
        settings.AddInt32("jpeg /subsampling", c.subsampling);
        settings.AddBool("jpeg /progressive", c.progressive);
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(Translator(), original, B_JPEG_FORMAT, &file, &settings), B_OK);
        Image decoded;
        ASSERT_EQ(test::decode(Translator(), file, &decoded), B_OK);
        EXPECT_EQ(decoded.space, B_RGB32);
        for (uint32& pixel : original.pixels)
            pixel |= 0xff000000u;
        EXPECT_LE(test::max_channel_difference(decoded, original), c.tolerance);

        uint8 kind = 0;
        size_t frame = find_frame_header(file, &kind);
        ASSERT_NE(frame, 0u);
        EXPECT_EQ(kind, c.progressive ? 0xc2 : 0xc0);
        const uint8 sampling[] = {0x11, 0x21, 0x22};
        EXPECT_EQ(file[frame + 11], sampling[c.subsampling]);
    }
}

TEST_F(JPEGTranslatorTest, ReadsBitmapRowsWithPadding)
{
    // Rows 40 bytes longer than the pixels need; the padding bytes (0xee)
    // must not show up in the picture.
    Image original = smooth_pattern(37, 29, B_RGB32);
    for (uint32& pixel : original.pixels)
        pixel |= 0xff000000u;
    std::vector<uint8> stream = test::bits_stream(original, 37 * 4 + 40);
    BMemoryIO source(stream.data(), stream.size());
    BMallocIO file;
    BMessage settings;
    settings.AddInt32("jpeg /quality", 95);
    settings.AddInt32("jpeg /subsampling", 0);
    ASSERT_EQ(Translator()->Translate(&source, nullptr, &settings, B_JPEG_FORMAT, &file), B_OK);
    const uint8* bytes = static_cast<const uint8*>(file.Buffer());
    Image decoded;
    ASSERT_EQ(test::decode(Translator(), std::vector<uint8>(bytes, bytes + file.BufferLength()),
                           &decoded),
              B_OK);
    EXPECT_LE(test::max_channel_difference(decoded, original), 6);
}

TEST_F(JPEGTranslatorTest, QualityChangesTheSize)
{
    Image image = test::make_image(96, 96, B_RGB32, [](uint32 x, uint32 y) {
        return argb(255, (x * x + y) & 0xff, (y * 7 ^ x) & 0xff, (x * y) & 0xff);
    });
    std::vector<uint8> low, high, byDefault;
    BMessage lowQuality, highQuality;
    lowQuality.AddInt32("jpeg /quality", 20);
    highQuality.AddInt32("jpeg /quality", 95);
    ASSERT_EQ(test::encode(Translator(), image, B_JPEG_FORMAT, &low, &lowQuality), B_OK);
    ASSERT_EQ(test::encode(Translator(), image, B_JPEG_FORMAT, &high, &highQuality), B_OK);
    ASSERT_EQ(test::encode(Translator(), image, B_JPEG_FORMAT, &byDefault), B_OK);
    EXPECT_LT(low.size() * 2, high.size());
    // The default quality is 90: between the two.
    EXPECT_LT(low.size(), byDefault.size());
    EXPECT_LT(byDefault.size(), high.size());
}

// Rewrites the frame size in the first SOF marker.
std::vector<uint8> with_size(std::vector<uint8> file, uint16 width, uint16 height)
{
    uint8 kind;
    size_t frame = find_frame_header(file, &kind);
    file[frame + 5] = uint8(height >> 8);
    file[frame + 6] = uint8(height);
    file[frame + 7] = uint8(width >> 8);
    file[frame + 8] = uint8(width);
    return file;
}

TEST_F(JPEGTranslatorTest, HostileFilesAreErrors)
{
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        JPEGSource source = {
            29,      21,
            JCS_RGB, JCS_YCbCr,
            true,    progressive,
            80,      [](uint32 x, uint32 y, int c) { return uint8(x * 8 + y * 3 + c); }};
        std::vector<uint8> file = write_jpeg(source);
        Image image;
        ASSERT_EQ(test::decode(Translator(), file, &image), B_OK);

        // Only the end-of-image marker (the last two bytes) may be missing.
        for (size_t length = 0; length < file.size(); length++) {
            std::vector<uint8> cut(file.begin(), file.begin() + length);
            if (length + 2 < file.size())
                EXPECT_NE(test::decode(Translator(), cut, &image), B_OK) << "length " << length;
            else
                EXPECT_EQ(test::decode(Translator(), cut, &image), B_OK) << "length " << length;
        }
        // Sizes past the pixel limit, and ones inside it that the file is far
        // too short to hold.
        const uint16 sizes[][2] = {{65500, 65500}, {20000, 20000}, {16000, 16000}, {65535, 1000}};
        for (const auto& size : sizes) {
            EXPECT_NE(test::decode(Translator(), with_size(file, size[0], size[1]), &image), B_OK)
                << size[0] << " x " << size[1];
        }
        for (size_t i = 2; i < file.size(); i++) {
            std::vector<uint8> corrupt = file;
            corrupt[i] ^= 0xa5;
            if (test::decode(Translator(), corrupt, &image) == B_OK) {
                EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height);
            }
        }
    }

    Image image;
    EXPECT_EQ(test::decode(Translator(), {0xff, 0xd8}, &image), B_NO_TRANSLATOR);
    EXPECT_EQ(test::decode(Translator(), {'R', 'I', 'F', 'F', 0, 0, 0, 0}, &image),
              B_NO_TRANSLATOR);
}

// The first byte of the last marker of a kind (0 when there is none).
size_t find_last_marker(const std::vector<uint8>& file, uint8 kind)
{
    for (size_t i = file.size() - 1; i > 0; i--) {
        if (file[i - 1] == 0xff && file[i] == kind)
            return i - 1;
    }
    return 0;
}

size_t find_first_marker(const std::vector<uint8>& file, uint8 kind)
{
    for (size_t i = 1; i < file.size(); i++) {
        if (file[i - 1] == 0xff && file[i] == kind)
            return i - 1;
    }
    return 0;
}

TEST_F(JPEGTranslatorTest, AMissingEndMarkerIsToleratedButMissingRowsAreNot)
{
    // Files from ImageMagick and libjpeg-turbo's cjpeg: Huffman baseline and
    // progressive, and arithmetic coding, which has no warning of its own
    // when its data runs out.
    test::TempDir dir;
    const std::string folder = dir.Path();
    ASSERT_TRUE(test::run_convert("-size 96x80 gradient:'#f08020'-'#2040a0' -swirl 90 " + folder +
                                  "/source.ppm"));
    struct Case
    {
        const char* name;
        std::string command;
    } const cases[] = {
        {"baseline", "convert " + folder + "/source.ppm -quality 90 " + folder + "/out.jpg"},
        {"progressive",
         "convert " + folder + "/source.ppm -interlace JPEG -quality 90 " + folder + "/out.jpg"},
        {"arithmetic",
         "cjpeg -arithmetic -outfile " + folder + "/out.jpg " + folder + "/source.ppm"},
        {"arithmetic progressive", "cjpeg -arithmetic -progressive -outfile " + folder +
                                       "/out.jpg " + folder + "/source.ppm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::run_command(c.command)) << "cjpeg (libjpeg-turbo-progs) is needed";
        std::vector<uint8> file = test::read_file(folder + "/out.jpg");
        ASSERT_GT(file.size(), 100u);
        ASSERT_EQ(file[file.size() - 2], 0xff);
        ASSERT_EQ(file[file.size() - 1], 0xd9);
        Image whole;
        ASSERT_EQ(test::decode(Translator(), file, &whole), B_OK);

        Image image;
        std::vector<uint8> noEnd(file.begin(), file.end() - 2);
        ASSERT_EQ(test::decode(Translator(), noEnd, &image), B_OK);
        EXPECT_EQ(test::max_channel_difference(image, whole), 0);

        // Cut in the middle of the data, with and without an end marker
        // put back after the cut.
        size_t scan = find_first_marker(file, 0xda);
        ASSERT_NE(scan, 0u);
        size_t middle = scan + (file.size() - scan) / 2;
        std::vector<uint8> half(file.begin(), file.begin() + middle);
        EXPECT_NE(test::decode(Translator(), half, &image), B_OK);
        half.push_back(0xff);
        half.push_back(0xd9);
        EXPECT_NE(test::decode(Translator(), half, &image), B_OK);
    }

    // A small arithmetic-coded file that claims 4096 x 4096 pixels: its data
    // ends in the first rows, and the rest would be made up.
    ASSERT_TRUE(test::run_command("cjpeg -arithmetic -outfile " + folder + "/small.jpg " + folder +
                                  "/source.ppm"));
    std::vector<uint8> small = test::read_file(folder + "/small.jpg");
    size_t frame = find_last_marker(small, 0xc9);
    ASSERT_NE(frame, 0u);
    small[frame + 5] = 0x10;
    small[frame + 6] = 0;
    small[frame + 7] = 0x10;
    small[frame + 8] = 0;
    Image image;
    EXPECT_NE(test::decode(Translator(), small, &image), B_OK);
}

TEST_F(JPEGTranslatorTest, AFullDestinationIsAnError)
{
    // A fixed 64-byte block cannot take the file: the write error comes back.
    Image image = test::make_image(64, 64, B_RGBA32, [](uint32 x, uint32 y) {
        return 0x80000000u | (x * 4) << 16 | (y * 4) << 8 | ((x * y) & 0xff);
    });
    std::vector<uint8> block(64);
    BMemoryIO destination(block.data(), block.size());
    EXPECT_NE(test::encode_into(Translator(), image, B_JPEG_FORMAT, &destination), B_OK);
}

} // namespace
