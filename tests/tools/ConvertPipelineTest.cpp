// The converter decodes on one thread and encodes on another. These tests
// drive it with translators made here, whose decoders lay the picture down in
// the ways real ones do (in order, bottom-up, checking what they wrote,
// giving up half-way), and check the file that comes out.

#include "ConvertTool.h"
#include "TranslatorTestSupport.h"
#include "translation/BitsHeader.h"

#include <DataIO.h>
#include <Translator.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <gtest/gtest.h>

#include <ostream>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <new>
#include <string>
#include <vector>

namespace {

const uint32 kRawType = 'RAWP';
const uint32 kOutType = 'RAWO';
const size_t kHeaderSize = 32;

enum class Mode { kInOrder, kBottomUp, kReadsBack, kFailsHalfway, kThrowsHalfway };

// A 'bits' header for a B_RGB32 picture, as the kit writes it.
std::vector<uint8> bits_header(uint32 width, uint32 height)
{
    std::vector<uint8> header(kHeaderSize);
    BPrivate::bits_header_to_bytes(BPrivate::make_bits_header(width, height, B_RGB32),
                                   header.data());
    return header;
}

const translation_format kRawFormat = {kRawType, B_TRANSLATOR_BITMAP, 0.5f,
                                       0.5f,     "image/x-raw",       "Raw pixels"};
const translation_format kOutFormat = {kOutType, B_TRANSLATOR_BITMAP, 0.5f,
                                       0.5f,     "image/x-raw-out",   "Raw pixels out"};
const translation_format kBitsFormat = {
    B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.5f, 0.5f, "image/x-be-bitmap", "Bitmap"};

class TestTranslator : public BTranslator
{
public:
    const char* TranslatorInfo() const override { return "made by the tests"; }
    int32 TranslatorVersion() const override { return 100; }

protected:
    status_t Fill(translator_info* info, const translation_format& format)
    {
        info->type = format.type;
        info->group = format.group;
        info->quality = format.quality;
        info->capability = format.capability;
        strcpy(info->name, format.name);
        strcpy(info->MIME, format.MIME);
        return B_OK;
    }
};

// Reads "RAWP", width and height (little-endian 32-bit), then BGRA rows.
class RawDecoder : public TestTranslator
{
public:
    explicit RawDecoder(Mode mode) : fMode(mode) {}
    const char* TranslatorName() const override { return "Raw decoder"; }
    const translation_format* InputFormats(int32* count) const override
    {
        *count = 1;
        return &kRawFormat;
    }
    const translation_format* OutputFormats(int32* count) const override
    {
        *count = 1;
        return &kBitsFormat;
    }

    status_t Identify(BPositionIO* source, const translation_format*, BMessage*,
                      translator_info* info, uint32 outType) override
    {
        char magic[4];
        if (source->Read(magic, 4) != 4 || memcmp(magic, "RAWP", 4) != 0)
            return B_NO_TRANSLATOR;
        return Fill(info, kRawFormat);
    }

    status_t Translate(BPositionIO* source, const translator_info*, BMessage*, uint32 outType,
                       BPositionIO* destination) override
    {
        uint8 head[12];
        if (source->ReadExactly(head, sizeof(head)) != B_OK)
            return B_ILLEGAL_DATA;
        uint32 width, height;
        memcpy(&width, head + 4, 4);
        memcpy(&height, head + 8, 4);
        size_t rowBytes = size_t(width) * 4;
        std::vector<uint8> pixels(rowBytes * height);
        if (source->ReadExactly(pixels.data(), pixels.size()) != B_OK)
            return B_ILLEGAL_DATA;

        std::vector<uint8> header = bits_header(width, height);
        if (destination->WriteExactly(header.data(), header.size()) != B_OK)
            return B_IO_ERROR;
        for (uint32 i = 0; i < height; i++) {
            if (fMode == Mode::kFailsHalfway && i == height / 2)
                return B_ILLEGAL_DATA;
            if (fMode == Mode::kThrowsHalfway && i == height / 2)
                throw std::bad_alloc();
            uint32 y = fMode == Mode::kBottomUp ? height - 1 - i : i;
            off_t at = off_t(kHeaderSize + y * rowBytes);
            ssize_t written = destination->WriteAt(at, pixels.data() + y * rowBytes, rowBytes);
            if (written != ssize_t(rowBytes))
                return written < 0 ? status_t(written) : B_IO_ERROR;
        }
        if (fMode == Mode::kReadsBack) {
            // Checks its own work, as some decoders do.
            std::vector<uint8> check(header.size());
            ssize_t got = destination->ReadAt(0, check.data(), check.size());
            if (got < 0)
                return status_t(got);
            if (check != header)
                return B_ERROR;
        }
        destination->Seek(off_t(kHeaderSize + pixels.size()), SEEK_SET);
        return B_OK;
    }

private:
    Mode fMode;
};

// Writes "RAWO" and the pixel bytes of a 'bits' stream, reading it a little
// at a time.
class RawEncoder : public TestTranslator
{
public:
    explicit RawEncoder(bool failHalfway) : fFailHalfway(failHalfway) {}
    const char* TranslatorName() const override { return "Raw encoder"; }
    const translation_format* InputFormats(int32* count) const override
    {
        *count = 1;
        return &kBitsFormat;
    }
    const translation_format* OutputFormats(int32* count) const override
    {
        *count = 1;
        return &kOutFormat;
    }

    status_t Identify(BPositionIO* source, const translation_format*, BMessage*,
                      translator_info* info, uint32 outType) override
    {
        uint8 header[kHeaderSize];
        if (source->Read(header, sizeof(header)) != ssize_t(sizeof(header)) ||
            memcmp(header, "bits", 4) != 0 || outType != kOutType)
            return B_NO_TRANSLATOR;
        return Fill(info, kBitsFormat);
    }

    status_t Translate(BPositionIO* source, const translator_info*, BMessage*, uint32 outType,
                       BPositionIO* destination) override
    {
        uint8 header[kHeaderSize];
        if (source->ReadExactly(header, sizeof(header)) != B_OK)
            return B_ILLEGAL_DATA;
        TranslatorBitmap bits;
        BPrivate::bits_header_from_bytes(header, &bits);
        uint32 size = bits.dataSize;
        if (destination->WriteExactly("RAWO", 4) != B_OK)
            return B_IO_ERROR;
        uint8 block[1000];
        for (uint32 done = 0; done < size;) {
            if (fFailHalfway && done >= size / 2)
                return B_DEVICE_FULL;
            uint32 part = std::min<uint32>(sizeof(block), size - done);
            if (source->ReadExactly(block, part) != B_OK)
                return B_ILLEGAL_DATA;
            if (destination->WriteExactly(block, part) != B_OK)
                return B_IO_ERROR;
            done += part;
        }
        return B_OK;
    }

private:
    bool fFailHalfway;
};

std::vector<std::string> names_in(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (struct dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

struct PipelineCase
{
    const char* name;
    Mode decoder;
    bool encoderFails;
    uint32 width;
    uint32 height;
    bool succeeds;
    const char* error; // the end of the message when it fails
};

void PrintTo(const PipelineCase& c, std::ostream* os)
{
    *os << c.name;
}

class ConvertPipeline : public testing::TestWithParam<PipelineCase>
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(fDir.Path().empty());
        fFolder = fDir.Path();
    }

    test::TempDir fDir;
    std::string fFolder;
};

TEST_P(ConvertPipeline, TheOutputHoldsThePictureOrNothingIsLeft)
{
    const PipelineCase& c = GetParam();
    std::vector<uint8> input = {'R', 'A', 'W', 'P'};
    input.resize(12 + size_t(c.width) * c.height * 4);
    memcpy(input.data() + 4, &c.width, 4);
    memcpy(input.data() + 8, &c.height, 4);
    for (size_t i = 12; i < input.size(); i++)
        input[i] = uint8(i * 13 + i / 4093);
    std::string in = fFolder + "/picture.raw";
    std::string out = fFolder + "/picture.out";
    ASSERT_TRUE(test::write_file(in, input));
    ASSERT_TRUE(test::write_file(out, {'o', 'l', 'd'}));

    BTranslatorRoster roster;
    BTranslator* decoder = new RawDecoder(c.decoder);
    BTranslator* encoder = new RawEncoder(c.encoderFails);
    roster.AddTranslator(decoder);
    roster.AddTranslator(encoder);
    decoder->Release();
    encoder->Release();

    std::string error;
    int result = convert::convert_file(&roster, in, out, kOutType, &error);
    if (c.succeeds) {
        EXPECT_EQ(result, convert::kSuccess) << error;
        std::vector<uint8> expected = {'R', 'A', 'W', 'O'};
        expected.insert(expected.end(), input.begin() + 12, input.end());
        std::vector<uint8> got = test::read_file(out);
        ASSERT_EQ(got.size(), expected.size());
        EXPECT_TRUE(got == expected);
    } else {
        EXPECT_EQ(result, convert::kFailed);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(test::read_file(out), (std::vector<uint8>{'o', 'l', 'd'}));
    }
    EXPECT_EQ(names_in(fFolder), (std::vector<std::string>{"picture.out", "picture.raw"}));
}

INSTANTIATE_TEST_SUITE_P(
    Decoders, ConvertPipeline,
    testing::Values(PipelineCase{"InOrder", Mode::kInOrder, false, 1500, 1100, true, ""},
                    PipelineCase{"BottomUp", Mode::kBottomUp, false, 1500, 1100, true, ""},
                    PipelineCase{"OneRow", Mode::kInOrder, false, 1, 1, true, ""},
                    // Reading its output back cannot be done across threads; the
                    // converter starts again holding the whole picture.
                    PipelineCase{"ReadsBack", Mode::kReadsBack, false, 1500, 1100, true, ""},
                    PipelineCase{"DecoderFailsHalfway", Mode::kFailsHalfway, false, 1500, 1100,
                                 false, "cannot read " /* the input's name follows */},
                    // A library that throws when memory runs out fails the conversion
                    // without ending the process or leaving the encoder waiting.
                    PipelineCase{"DecoderThrowsHalfway", Mode::kThrowsHalfway, false, 1500, 1100,
                                 false, "out of memory"},
                    PipelineCase{"EncoderFailsHalfway", Mode::kInOrder, true, 1500, 1100, false,
                                 "the disk is full"},
                    // Larger than the decoder may run ahead: it is still writing when the
                    // encoder fails, and its failure is the encoder's, not the input's.
                    PipelineCase{"EncoderFailsWhileTheDecoderWrites", Mode::kInOrder, true, 3200,
                                 3000, false, "cannot write"}),
    [](const testing::TestParamInfo<PipelineCase>& info) { return info.param.name; });

} // namespace
