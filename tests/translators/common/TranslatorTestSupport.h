#ifndef TAVRIN_TRANSLATOR_TEST_SUPPORT_H
#define TAVRIN_TRANSLATOR_TEST_SUPPORT_H

// Shared helpers for the translators' tests: a roster holding one add-on,
// decoding bytes to pixels and encoding pixels to bytes through it, and a
// private settings folder.

#include <GraphicsDefs.h>
#include <Message.h>
#include <TranslatorRoster.h>

#include <string>
#include <vector>

namespace testing_support {

// Pixels as 0xAARRGGBB words, top-down.
struct Image
{
    uint32 width = 0;
    uint32 height = 0;
    color_space space = B_RGB32;
    std::vector<uint32> pixels;

    uint32 At(uint32 x, uint32 y) const { return pixels[(size_t)y * width + x]; }
};

// A roster with the one add-on file (translator id 1).
class OneTranslator
{
public:
    explicit OneTranslator(const char* addOnName);

    BTranslatorRoster& Roster() { return fRoster; }
    translator_id ID() const { return 1; }

    // Through the roster's choice (Identify, then Translate to 'bits').
    status_t Decode(const std::vector<uint8>& bytes, Image* image, BMessage* extension = nullptr);
    // Through the named translator, from a 'bits' stream.
    status_t Encode(const Image& image, uint32 type, std::vector<uint8>* bytes,
                    BMessage* extension = nullptr);
    status_t Identify(const std::vector<uint8>& bytes, translator_info* info);

private:
    BTranslatorRoster fRoster;
};

// Points XDG_CONFIG_HOME at a fresh folder for the life of the object.
class ScratchConfig
{
public:
    ScratchConfig();
    ~ScratchConfig();
    const std::string& Folder() const { return fFolder; }

private:
    std::string fFolder;
};

// A picture with smooth gradients and a few hard edges, opaque unless alpha.
Image make_test_image(uint32 width, uint32 height, bool alpha);

// A folder of the test's own for scratch files, removed at exit.
std::string scratch_folder();

std::vector<uint8> read_file(const std::string& path);
void write_file(const std::string& path, const std::vector<uint8>& bytes);

// Runs ImageMagick's convert; false when it is missing or fails.
bool run_convert(const std::string& arguments);

} // namespace testing_support

#endif
