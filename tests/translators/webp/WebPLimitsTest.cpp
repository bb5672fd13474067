// What the WebP encoder does at the edges of what the format holds: a side
// past 16383 pixels is refused at once, before any row is read, with a
// status that says the picture is too large; 16383 still works.

#include <gtest/gtest.h>

#include <BitmapStream.h>

#include <cerrno>

#include "TranslatorTestSupport.h"
#include "translation/BitsHeader.h"

using test::Image;

namespace {

class WebPLimitsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(fModule.Get(), nullptr) << fModule.Error(); }
    BTranslator* Translator() { return fModule.Get(); }

    test::ScopedConfigHome fConfig;
    test::TranslatorModule fModule{"WebPTranslator.so"};
};

TEST_F(WebPLimitsTest, SidesPastTheFormatAreRefusedBeforeTheRowsAreRead)
{
    // Only the header is there: a translator that read the rows first would
    // answer that the data is cut short.
    struct Case
    {
        uint32 width;
        uint32 height;
    } const cases[] = {{16384, 4000}, {4000, 16384}, {16384, 16384}, {30000, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        uint8 header[B_TRANSLATOR_BITMAP_HEADER_SIZE];
        BPrivate::bits_header_to_bytes(BPrivate::make_bits_header(c.width, c.height, B_RGB32),
                                       header);
        for (bool lossless : {false, true}) {
            BMemoryIO source(header, sizeof(header));
            BMallocIO destination;
            BMessage settings;
            settings.AddBool("webp /lossless", lossless);
            EXPECT_EQ(
                Translator()->Translate(&source, nullptr, &settings, B_WEBP_FORMAT, &destination),
                status_from_errno(EFBIG));
            EXPECT_EQ(destination.BufferLength(), 0u);
        }
    }
}

TEST_F(WebPLimitsTest, TheLargestSideStillWorks)
{
    for (bool lossless : {false, true}) {
        SCOPED_TRACE(lossless ? "lossless" : "lossy");
        Image image = test::make_test_image(16383, 3, false);
        BMessage settings;
        settings.AddBool("webp /lossless", lossless);
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(Translator(), image, B_WEBP_FORMAT, &file, &settings), B_OK);
        Image decoded;
        ASSERT_EQ(test::decode(Translator(), file, &decoded), B_OK);
        EXPECT_EQ(decoded.width, 16383u);
        EXPECT_EQ(decoded.height, 3u);
    }
}

} // namespace
