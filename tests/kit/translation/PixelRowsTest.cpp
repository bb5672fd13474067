#include "translation/PixelRows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

// Each conversion against the byte-by-byte rule it stands for, for every
// row length around the widths where the fast steps start and stop. The
// buffers are exactly as long as the pixels need, so a step that reads or
// writes past a row's end is caught by the address sanitizer.
struct ConversionCase
{
    const char* name;
    void (*convert)(const uint8*, uint8*, size_t);
    size_t inBytes;
    size_t outBytes;
    // The expected out pixel from an in pixel.
    void (*expect)(const uint8* in, uint8* out);
};

void PrintTo(const ConversionCase& c, std::ostream* os)
{
    *os << c.name;
}

class PixelRows : public testing::TestWithParam<ConversionCase>
{};

TEST_P(PixelRows, EveryLengthMatchesThePlainRule)
{
    const ConversionCase& c = GetParam();
    for (size_t count = 0; count <= 41; count++) {
        std::vector<uint8> in(count * c.inBytes);
        for (size_t i = 0; i < in.size(); i++)
            in[i] = uint8(i * 37 + count);
        std::vector<uint8> out(count * c.outBytes, 0xcd);
        std::vector<uint8> expected(count * c.outBytes);
        for (size_t i = 0; i < count; i++)
            c.expect(in.data() + i * c.inBytes, expected.data() + i * c.outBytes);
        c.convert(in.data(), out.data(), count);
        EXPECT_EQ(out, expected) << count << " pixels";
    }
}

INSTANTIATE_TEST_SUITE_P(Conversions, PixelRows,
                         testing::Values(ConversionCase{"RGBToBGRX", BPrivate::rgb24_to_bgrx, 3, 4,
                                                        [](const uint8* in, uint8* out) {
                                                            out[0] = in[2];
                                                            out[1] = in[1];
                                                            out[2] = in[0];
                                                            out[3] = 255;
                                                        }},
                                         ConversionCase{"RGBAToBGRA", BPrivate::rgba_to_bgra, 4, 4,
                                                        [](const uint8* in, uint8* out) {
                                                            out[0] = in[2];
                                                            out[1] = in[1];
                                                            out[2] = in[0];
                                                            out[3] = in[3];
                                                        }},
                                         ConversionCase{"BGRXToRGB", BPrivate::bgrx_to_rgb24, 4, 3,
                                                        [](const uint8* in, uint8* out) {
                                                            out[0] = in[2];
                                                            out[1] = in[1];
                                                            out[2] = in[0];
                                                        }}),
                         [](const testing::TestParamInfo<ConversionCase>& info) {
                             return info.param.name;
                         });

// Whole pictures with padded rows on both sides: every pixel converted as
// the row conversions do it, and the padding after each row left alone.
TEST(PixelRowsPicture, RowsAreConvertedWithTheirOwnStrides)
{
    struct Case
    {
        const char* name;
        size_t width;
        size_t height;
        size_t inPadding;
        size_t outPadding;
        bool alpha;
    };
    const Case cases[] = {
        {"packed RGB", 17, 5, 0, 0, false},       {"packed RGBA", 17, 5, 0, 0, true},
        {"padded RGB", 9, 4, 12, 7, false},       {"padded RGBA", 9, 4, 4, 13, true},
        {"one column", 1, 6, 8, 1, true},         {"no rows", 5, 0, 0, 0, false},
        {"wide single row", 300, 1, 0, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t samples = c.alpha ? 4 : 3;
        size_t inBytes = c.width * 4 + c.inPadding;
        size_t outBytes = c.width * samples + c.outPadding;
        std::vector<uint8> in(inBytes * c.height);
        for (size_t i = 0; i < in.size(); i++)
            in[i] = uint8(i * 13 + 5);
        std::vector<uint8> out(outBytes * c.height, 0xcd);
        std::vector<uint8> expected(out);
        for (size_t y = 0; y < c.height; y++) {
            for (size_t x = 0; x < c.width; x++) {
                const uint8* pixel = in.data() + y * inBytes + x * 4;
                uint8* sample = expected.data() + y * outBytes + x * samples;
                sample[0] = pixel[2];
                sample[1] = pixel[1];
                sample[2] = pixel[0];
                if (c.alpha)
                    sample[3] = pixel[3];
            }
        }
        BPrivate::bgra_rows_to_rgb(in.data(), inBytes, out.data(), outBytes, c.width, c.height,
                                   c.alpha);
        EXPECT_EQ(out, expected);
    }
}

} // namespace
