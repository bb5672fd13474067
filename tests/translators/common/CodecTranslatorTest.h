#ifndef TAVRIN_CODEC_TRANSLATOR_TEST_H
#define TAVRIN_CODEC_TRANSLATOR_TEST_H

// What the tests of the translators for the newer codecs (HEIF, AVIF, JPEG
// XL) have in common: a fixture that loads the add-on and checks for the
// codec's command-line tools, and the checks every such translator must
// pass, each reporting through gtest.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TranslatorTestSupport.h"

namespace test {

// Smooth in both directions and different along each, so that a turned or
// mirrored picture is far from the upright one even after lossy coding.
Image smooth_image(uint32 width, uint32 height, bool alpha);

// The add-on, a scratch folder and settings of the test's own; SetUp fails
// when the add-on does not load or one of the tools is missing, naming the
// package that installs them.
class CodecTranslatorTest : public ::testing::Test
{
protected:
    CodecTranslatorTest(const char* module, std::vector<std::string> tools, const char* package);

    void SetUp() override;
    BTranslator* Translator() { return fModule.Get(); }
    std::string Path(const std::string& name) { return fDir.Path() + "/" + name; }
    // Decodes the file of that name in the scratch folder.
    status_t DecodeFile(const std::string& name, Image* image)
    {
        return decode(Translator(), read_file(Path(name)), image);
    }

    // What another decoder makes of the file: it is written as
    // theirs.extension and command is run with that and theirs.png.
    bool DecodeWith(const std::string& command, const std::vector<uint8>& file,
                    const std::string& extension, Image* image, bool alpha);

    // A command another program writes a file with; IN and OUT in it stand
    // for the files.
    struct ToolCommand
    {
        const char* name;
        const char* command;
    };
    // Each command writes a picture as out.extension, which must decode
    // close to it.
    void CheckReadsWhatToolsWrite(const std::vector<ToolCommand>& commands,
                                  const std::string& extension);

    test::ScopedConfigHome fConfig;
    test::TempDir fDir;
    test::TranslatorModule fModule;

private:
    std::vector<std::string> fTools;
    std::string fPackage;
};

// Decodes the file, which must be of type and MIME type and decode to the
// size and colour space of the original: exactly when meanTolerance is 0,
// else within that mean difference.
void check_decodes_like(BTranslator* translator, const std::vector<uint8>& file,
                        const Image& original, uint32 type, const char* mime, double meanTolerance,
                        Image* image);

// Decodes the file, which must show stored as the EXIF orientation shows it:
// exactly when meanTolerance is 0, else within that mean difference.
void check_decodes_oriented(BTranslator* translator, const std::vector<uint8>& file,
                            const Image& stored, int orientation, double meanTolerance,
                            Image* image);

// One picture written through the translator's settings ("<prefix>/quality",
// "<prefix>/lossless").
struct EncodeCase
{
    const char* name;
    bool alpha;
    int32 quality;
    bool lossless;
    double meanTolerance;
};

// Lossy (quality 90) and lossless pictures, opaque and with alpha; the
// lossy ones within a mean difference of 2, or alphaTolerance with alpha.
std::vector<EncodeCase> lossy_and_lossless_cases(double alphaTolerance = 2.0);

// For every case, encodes a smooth picture, decodes it again (exact when
// lossless, else within the case's mean difference) and hands the file and
// the decoded picture to compareWithOthers; then checks that a lower quality
// makes a smaller file.
void check_writes(BTranslator* translator, uint32 type, const std::string& prefix,
                  const std::vector<EncodeCase>& cases,
                  const std::function<void(const EncodeCase&, const std::vector<uint8>& file,
                                           const Image& ours)>& compareWithOthers);

// Every prefix of the file is refused, and every single changed byte is
// refused or gives a consistent picture.
void check_cut_and_corrupt_files(BTranslator* translator, const std::vector<uint8>& file);

// Makes the first image size ('ispe') property of a HEIF container claim
// 30000 x 30000; false when the file has none.
bool claim_huge_size(std::vector<uint8>* file);

// Encodes a 64 x 64 picture into a 64-byte block, which must fail.
void check_full_destination_fails(BTranslator* translator, uint32 type);

} // namespace test

#endif
