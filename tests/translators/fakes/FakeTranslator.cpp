// A translator add-on for the roster's tests. One source builds several
// add-ons; FAKE_KIND picks which. Each reads the bitmap stream and data that
// starts with "FAKE", and writes a line naming itself, so a test can see which
// translator the roster chose.

#include <DataIO.h>
#include <Translator.h>
#include <TranslatorFormats.h>
#include <View.h>

#include <cstdio>
#include <cstring>

#define KIND_TARGA_LOW 1
#define KIND_TARGA_HIGH 2
#define KIND_MEDIA 3
#define KIND_TRIPLE 4
#define KIND_NO_VIEW 5

namespace {

const translation_format kBitsFormat = {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP,      0.5f, 0.5f,
                                        "image/x-be-bitmap", "Be Bitmap Format (fake)"};

#if FAKE_KIND == KIND_TARGA_LOW
const char* kName = "Fake Targa (low)";
const float kQuality = 0.3f;
const translation_format kOutputs[] = {
    {B_TGA_FORMAT, B_TRANSLATOR_BITMAP, 0.3f, 0.5f, "image/x-targa", "Targa image (low)"},
    kBitsFormat};
#elif FAKE_KIND == KIND_TARGA_HIGH
const char* kName = "Fake Targa (high)";
const float kQuality = 0.9f;
const translation_format kOutputs[] = {
    {B_TGA_FORMAT, B_TRANSLATOR_BITMAP, 0.9f, 0.9f, "image/x-targa", "Targa image (high)"},
    kBitsFormat};
#elif FAKE_KIND == KIND_MEDIA
const char* kName = "Fake media";
const float kQuality = 0.5f;
const translation_format kOutputs[] = {
    kBitsFormat,
    {B_TRANSLATOR_MEDIA, B_TRANSLATOR_MEDIA, 0.5f, 0.5f, "video/x-fake", "Fake media"}};
#elif FAKE_KIND == KIND_TRIPLE
const char* kName = "Fake triple";
const float kQuality = 0.5f;
const translation_format kOutputs[] = {
    {'FAK1', B_TRANSLATOR_BITMAP, 0.5f, 0.5f, "image/x-fake-one", "Fake one"},
    {'FAK2', B_TRANSLATOR_BITMAP, 0.5f, 0.5f, "image/x-fake-two", "Fake two"},
    {'FAK3', B_TRANSLATOR_BITMAP, 0.5f, 0.5f, "image/x-fake-three", "Fake three"}};
#elif FAKE_KIND == KIND_NO_VIEW
const char* kName = "Fake without view";
const float kQuality = 0.4f;
const translation_format kOutputs[] = {
    {'NOVW', B_TRANSLATOR_BITMAP, 0.4f, 0.4f, "image/x-fake-noview", "Fake without view"},
    kBitsFormat};
#else
#error FAKE_KIND names no fake
#endif

const translation_format kInputs[] = {
    kBitsFormat, {'FAKE', B_TRANSLATOR_BITMAP, 0.5f, 0.5f, "image/x-fake", "Fake data"}};

class FakeTranslator : public BTranslator
{
public:
    const char* TranslatorName() const override { return kName; }
    const char* TranslatorInfo() const override { return "A translator for tests"; }
    int32 TranslatorVersion() const override { return 100; }

    const translation_format* InputFormats(int32* count) const override
    {
        *count = sizeof(kInputs) / sizeof(kInputs[0]);
        return kInputs;
    }
    const translation_format* OutputFormats(int32* count) const override
    {
        *count = sizeof(kOutputs) / sizeof(kOutputs[0]);
        return kOutputs;
    }

    status_t Identify(BPositionIO* source, const translation_format* format, BMessage* ioExtension,
                      translator_info* info, uint32 outType) override
    {
        char magic[4];
        if (source->Read(magic, 4) != 4)
            return B_NO_TRANSLATOR;
        bool bits = memcmp(magic, "bits", 4) == 0;
        if (!bits && memcmp(magic, "FAKE", 4) != 0)
            return B_NO_TRANSLATOR;
        const translation_format& input = kInputs[bits ? 0 : 1];
        // The triple names its data by a type of its own, for tests of the roster's hints.
        info->type = FAKE_KIND == KIND_TRIPLE && !bits ? 'FAK3' : input.type;
        info->group = input.group;
        info->quality = kQuality;
        info->capability = 0.5f;
        strcpy(info->name, input.name);
        strcpy(info->MIME, input.MIME);
        return B_OK;
    }

    status_t Translate(BPositionIO* source, const translator_info* info, BMessage* ioExtension,
                       uint32 outType, BPositionIO* destination) override
    {
        char line[128];
        int length = snprintf(line, sizeof(line), "%s wrote '%c%c%c%c'", kName, outType >> 24,
                              outType >> 16, outType >> 8, outType);
        return destination->WriteExactly(line, length);
    }

#if FAKE_KIND != KIND_NO_VIEW
    status_t MakeConfigurationView(BMessage* ioExtension, BView** view, BRect* extent) override
    {
        *extent = BRect(0, 0, 199, 99);
        *view = new BView(*extent, kName, 0, 0);
        return B_OK;
    }
#endif
};

} // namespace

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new FakeTranslator : nullptr;
}
