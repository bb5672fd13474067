#include "CodecTranslatorTest.h"

#include <algorithm>

#include "ToolImages.h"

namespace test {

Image smooth_image(uint32 width, uint32 height, bool alpha)
{
    return make_image(width, height, alpha ? B_RGBA32 : B_RGB32, [=](uint32 x, uint32 y) {
        uint32 r = 40 + x * 170 / width;
        uint32 g = 30 + y * 190 / height;
        uint32 b = 210 - (x + y) * 150 / (width + height);
        uint32 a = alpha ? 70 + (x + y) * 180 / (width + height) : 255;
        return a << 24 | r << 16 | g << 8 | b;
    });
}

CodecTranslatorTest::CodecTranslatorTest(const char* module, std::vector<std::string> tools,
                                         const char* package)
    : fModule(module), fTools(std::move(tools)), fPackage(package)
{}

void CodecTranslatorTest::SetUp()
{
    ASSERT_NE(fModule.Get(), nullptr) << fModule.Error();
    bool haveTools = true;
    for (const std::string& tool : fTools)
        haveTools = haveTools && have_tool(tool);
    ASSERT_TRUE(haveTools) << "scripts/install-deps installs " << fPackage;
}

bool CodecTranslatorTest::DecodeWith(const std::string& command, const std::vector<uint8>& file,
                                     const std::string& extension, Image* image, bool alpha)
{
    std::string theirs = Path("theirs." + extension);
    return write_file(theirs, file) &&
           run_tool(command + " " + theirs + " " + Path("theirs.png")) &&
           read_with_convert(Path("theirs.png"), image, alpha);
}

void CodecTranslatorTest::CheckReadsWhatToolsWrite(const std::vector<ToolCommand>& commands,
                                                   const std::string& extension)
{
    Image original = smooth_image(67, 45, false);
    ASSERT_TRUE(write_png(Path("in.png"), original));
    for (const ToolCommand& c : commands) {
        SCOPED_TRACE(c.name);
        std::string command = c.command;
        command.replace(command.find("IN"), 2, Path("in.png"));
        command.replace(command.find("OUT"), 3, Path("out." + extension));
        ASSERT_TRUE(run_tool(command));
        Image image;
        ASSERT_EQ(DecodeFile("out." + extension, &image), B_OK);
        ASSERT_EQ(image.width, original.width);
        ASSERT_EQ(image.height, original.height);
        EXPECT_LE(mean_channel_difference(image, original), 2.5);
    }
}

namespace {

// The picture has the expected size and its pixels: exactly when
// meanTolerance is 0, else within that mean difference.
void expect_close(const Image& image, const Image& expected, double meanTolerance)
{
    ASSERT_EQ(image.width, expected.width);
    ASSERT_EQ(image.height, expected.height);
    if (meanTolerance == 0)
        EXPECT_EQ(image.pixels, expected.pixels);
    else
        EXPECT_LE(mean_channel_difference(image, expected), meanTolerance);
}

} // namespace

void check_decodes_like(BTranslator* translator, const std::vector<uint8>& file,
                        const Image& original, uint32 type, const char* mime, double meanTolerance,
                        Image* image)
{
    translator_info info;
    ASSERT_EQ(decode(translator, file, image, &info), B_OK);
    EXPECT_EQ(info.type, type);
    EXPECT_STREQ(info.MIME, mime);
    EXPECT_EQ(image->space, original.space);
    expect_close(*image, original, meanTolerance);
}

void check_decodes_oriented(BTranslator* translator, const std::vector<uint8>& file,
                            const Image& stored, int orientation, double meanTolerance,
                            Image* image)
{
    ASSERT_EQ(decode(translator, file, image), B_OK);
    expect_close(*image, oriented(stored, orientation), meanTolerance);
}

std::vector<EncodeCase> lossy_and_lossless_cases(double alphaTolerance)
{
    return {
        {"lossy", false, 90, false, 2.0},
        {"lossy with alpha", true, 90, false, alphaTolerance},
        {"lossless", false, 50, true, 0.0},
        {"lossless with alpha", true, 50, true, 0.0},
    };
}

void check_writes(BTranslator* translator, uint32 type, const std::string& prefix,
                  const std::vector<EncodeCase>& cases,
                  const std::function<void(const EncodeCase&, const std::vector<uint8>& file,
                                           const Image& ours)>& compareWithOthers)
{
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Image original = smooth_image(61, 39, c.alpha);
        BMessage settings;
        settings.AddInt32((prefix + "/quality").c_str(), c.quality);
        settings.AddBool((prefix + "/lossless").c_str(), c.lossless);
        std::vector<uint8> file;
        ASSERT_EQ(encode(translator, original, type, &file, &settings), B_OK);

        Image ours;
        ASSERT_EQ(decode(translator, file, &ours), B_OK);
        EXPECT_EQ(ours.space, original.space);
        ASSERT_EQ(ours.pixels.size(), original.pixels.size());
        if (c.lossless)
            EXPECT_EQ(ours.pixels, original.pixels);
        else
            EXPECT_LE(mean_channel_difference(ours, original), c.meanTolerance);
        compareWithOthers(c, file, ours);
    }

    // A lower quality makes a smaller file.
    Image busy = make_test_image(64, 64, false);
    std::vector<uint8> low, high;
    BMessage lowQuality, highQuality;
    lowQuality.AddInt32((prefix + "/quality").c_str(), 10);
    highQuality.AddInt32((prefix + "/quality").c_str(), 95);
    ASSERT_EQ(encode(translator, busy, type, &low, &lowQuality), B_OK);
    ASSERT_EQ(encode(translator, busy, type, &high, &highQuality), B_OK);
    EXPECT_LT(low.size() * 2, high.size());
}

void check_cut_and_corrupt_files(BTranslator* translator, const std::vector<uint8>& file)
{
    Image image;
    // Every file cut short is refused: the picture data ends the file.
    for (size_t length = 0; length < file.size(); length++) {
        std::vector<uint8> cut(file.begin(), file.begin() + length);
        EXPECT_NE(decode(translator, cut, &image), B_OK) << "length " << length;
    }
    // A changed byte anywhere is refused or gives a consistent picture.
    for (size_t i = 0; i < file.size(); i++) {
        std::vector<uint8> corrupt = file;
        corrupt[i] ^= 0x5a;
        if (decode(translator, corrupt, &image) == B_OK) {
            EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height);
        }
    }
}

bool claim_huge_size(std::vector<uint8>* file)
{
    const uint8 ispe[] = {'i', 's', 'p', 'e'};
    auto at = std::search(file->begin(), file->end(), ispe, ispe + 4);
    size_t offset = size_t(at - file->begin()) + 8;
    if (at == file->end() || offset + 8 > file->size())
        return false;
    for (size_t i : {offset, offset + 4}) {
        (*file)[i] = 0, (*file)[i + 1] = 0, (*file)[i + 2] = 0x75, (*file)[i + 3] = 0x30;
    }
    return true;
}

void check_full_destination_fails(BTranslator* translator, uint32 type)
{
    Image image = smooth_image(64, 64, true);
    std::vector<uint8> block(64);
    BMemoryIO destination(block.data(), block.size());
    EXPECT_NE(encode_into(translator, image, type, &destination), B_OK);
}

} // namespace test
