#include "GIFTranslator.h"

#include <new>

#include "translation/SettingsView.h"
#include "translation/StreamReader.h"

const char* const kGIFSettingDither = "gif /dither";

namespace {

const bool kDefaultDither = true;

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (GIF translator)"},
    {B_GIF_FORMAT, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/gif", "GIF image"},
};

const translation_format kOutputFormats[] = {
    {B_GIF_FORMAT, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/gif", "GIF image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (GIF translator)"},
};

} // namespace

GIFTranslator::GIFTranslator()
    : BaseTranslator("GIF images",
                     "Reads the first frame of GIF images and writes GIF images with giflib",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "GIFTranslator_settings")
{}

status_t GIFTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                       translator_info* info)
{
    GIFInfo gif;
    return gif_identify(source, &gif);
}

status_t GIFTranslator::Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination)
{
    GIFInfo gif;
    BPrivate::BitsStreamWriter writer(destination);
    return gif_decode(source, &gif, &writer);
}

status_t GIFTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                               BMessage* ioExtension, BPositionIO* destination)
{
    std::unique_ptr<uint8[]> rows;
    status_t status = BPrivate::read_bits_rows(bits, source, &rows);
    if (status != B_OK)
        return status;

    GIFWriteOptions options;
    options.dither = Settings()->GetBool(kGIFSettingDither, kDefaultDither, ioExtension);
    return gif_encode(rows.get(), bits.width, bits.height, bits.header.rowBytes,
                      bits.header.colors == B_RGBA32, options, destination);
}

BPrivate::SettingsView* GIFTranslator::MakeSettingsView()
{
    BPrivate::SettingsView* view = new BPrivate::SettingsView("GIF settings", this);
    view->AddText("Pictures are reduced to 256 colours at most.");
    view->AddCheckBox("Dither (Floyd-Steinberg)", kGIFSettingDither, kDefaultDither);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new GIFTranslator : nullptr;
}
