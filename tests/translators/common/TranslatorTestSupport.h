#ifndef TAVRIN_TRANSLATOR_TEST_SUPPORT_H
#define TAVRIN_TRANSLATOR_TEST_SUPPORT_H

// Shared by the translators' tests: loading one add-on from the translators
// folder, pictures as plain pixel arrays, decoding and encoding them through
// the translator's own Identify and Translate, and scratch folders and
// settings of the test's own.

#include <DataIO.h>
#include <GraphicsDefs.h>
#include <Message.h>
#include <Translator.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace test {

// A translator add-on opened with dlopen from $TRANSLATORS (the build's
// translators folder when that is unset or a list), and a roster that holds
// it alone as translator 1. The object and the roster each hold a reference
// to the translator until they are destroyed.
class TranslatorModule
{
public:
    explicit TranslatorModule(const char* fileName);
    ~TranslatorModule();

    BTranslator* Get() const { return fTranslator; }
    const std::string& Error() const { return fError; }

    BTranslatorRoster& Roster() { return fRoster; }
    translator_id ID() const { return 1; }
    // Through the roster, as a program asks which translator reads the bytes.
    status_t Identify(const std::vector<uint8>& bytes, translator_info* info);

private:
    void* fHandle = nullptr;
    BTranslator* fTranslator = nullptr;
    std::string fError;
    BTranslatorRoster fRoster;
};

// Pixels as 32-bit words 0xAARRGGBB, top-down, rows without padding.
struct Image
{
    uint32 width = 0;
    uint32 height = 0;
    color_space space = B_RGB32;
    std::vector<uint32> pixels;

    uint32 At(uint32 x, uint32 y) const { return pixels[size_t(y) * width + x]; }
};

Image make_image(uint32 width, uint32 height, color_space space,
                 const std::function<uint32(uint32 x, uint32 y)>& pixel);

// A picture with smooth gradients and a few hard edges, opaque unless alpha.
Image make_test_image(uint32 width, uint32 height, bool alpha);

// The standard bitmap stream for an image; rowBytes 0 means width * 4.
std::vector<uint8> bits_stream(const Image& image, uint32 rowBytes = 0);

// Identify, then Translate to 'bits'; the image is filled on B_OK.
status_t decode(BTranslator* translator, const std::vector<uint8>& data, Image* image,
                translator_info* info = nullptr, BMessage* ioExtension = nullptr);

// Identify, then Translate from a 'bits' stream of the image to type.
status_t encode(BTranslator* translator, const Image& image, uint32 type, std::vector<uint8>* data,
                BMessage* ioExtension = nullptr);

// Translate from a 'bits' stream of the image to type, into destination.
status_t encode_into(BTranslator* translator, const Image& image, uint32 type,
                     BPositionIO* destination);

// The largest difference of any channel between two images of one size.
int max_channel_difference(const Image& a, const Image& b);

std::vector<uint8> read_file(const std::string& path);
bool write_file(const std::string& path, const std::vector<uint8>& data);

// A fresh folder under the system's temporary folder, removed with its files.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return fPath; }

private:
    std::string fPath;
};

// Points XDG_CONFIG_HOME at a fresh folder for the test's lifetime.
class ScopedConfigHome
{
public:
    ScopedConfigHome();
    ~ScopedConfigHome();
    const std::string& Path() const { return fDir.Path(); }

private:
    TempDir fDir;
    std::string fOld;
    bool fHadOld;
};

// Runs ImageMagick's convert; false when it is missing or fails.
bool run_convert(const std::string& arguments);

// Runs a shell command quietly; false when it fails.
bool run_command(const std::string& command);

// Reads a PAM file (P7, maxval 255, 1 to 4 samples) as ImageMagick writes
// it, so that another program's pixels can be compared with ours.
bool read_pam(const std::string& path, Image* image);

// The pixels ImageMagick decodes from a file, with its options applied
// (for example "-rotate 90"), through a PAM file in folder.
bool convert_to_image(const std::string& file, const std::string& options,
                      const std::string& folder, Image* image);

// Exif orientations: each value 1 to 8 with the ImageMagick operation that
// turns a picture stored that way upright.
struct OrientationCase
{
    int orientation;
    const char* operation;
};
extern const OrientationCase kOrientationCases[8];

// Checks a translator against files tagged by exiftool: for every
// orientation, a picture of flat 8 x 8 blocks (a different colour each) is
// written by ImageMagick with writeOptions to name.extension, tagged, and
// must decode as ImageMagick turns the original upright, within tolerance
// levels; and in stored order when the setting (a bool) is false. Reports
// through gtest.
void check_orientations(BTranslator* translator, const std::string& extension,
                        const std::string& writeOptions, const char* setting, int tolerance);

} // namespace test

#endif
