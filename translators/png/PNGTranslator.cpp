#include "PNGTranslator.h"

#include <new>

#include "translation/MetadataSink.h"
#include "translation/SettingsView.h"

const char* const kPNGSettingCompression = "png /compression";
const char* const kPNGSettingInterlace = "png /interlace";
const char* const kPNGSettingUpright = "png /upright";

namespace {

const int32 kDefaultCompression = 6;
const bool kDefaultInterlace = false;
const bool kDefaultUpright = true;

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (PNG translator)"},
    {B_PNG_FORMAT, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/png", "PNG image"},
};

const translation_format kOutputFormats[] = {
    {B_PNG_FORMAT, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/png", "PNG image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (PNG translator)"},
};

} // namespace

PNGTranslator::PNGTranslator()
    : BaseTranslator("PNG images", "Reads and writes PNG images with libpng",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "PNGTranslator_settings")
{}

status_t PNGTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                       translator_info* info)
{
    PNGInfo png;
    return png_identify(source, &png);
}

status_t PNGTranslator::Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination)
{
    PNGInfo png;
    BPrivate::BitsStreamWriter writer(destination);
    BPrivate::MetadataSink published(&writer, ioExtension);
    png.metadata = published.Metadata();
    bool upright = Settings()->GetBool(kPNGSettingUpright, kDefaultUpright, ioExtension);
    published.SetUpright(upright);
    return png_decode(source, &png, upright, &published);
}

status_t PNGTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                               BMessage* ioExtension, BPositionIO* destination)
{
    if (BPrivate::bits_rows_missing(bits, source))
        return B_ILLEGAL_DATA;

    PNGWriteOptions options;
    options.compression =
        Settings()->GetInt32(kPNGSettingCompression, kDefaultCompression, ioExtension);
    options.interlaced = Settings()->GetBool(kPNGSettingInterlace, kDefaultInterlace, ioExtension);
    BPrivate::PictureMetadata metadata = EncodingMetadata(ioExtension, bits.width, bits.height);
    options.metadata = &metadata;
    BPrivate::BitsStreamReader reader(source, bits);
    return png_encode(&reader, bits.width, bits.height, bits.header.colors == B_RGBA32, options,
                      destination);
}

BPrivate::SettingsView* PNGTranslator::MakeSettingsView()
{
    BPrivate::SettingsView* view = new BPrivate::SettingsView("PNG settings", this);
    view->AddSlider("Compression level", kPNGSettingCompression, 0, 9, kDefaultCompression);
    view->AddCheckBox("Interlaced (Adam7)", kPNGSettingInterlace, kDefaultInterlace);
    view->AddCheckBox("Turn pictures upright (Exif orientation)", kPNGSettingUpright,
                      kDefaultUpright);
    AddMetadataSettings(view);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new PNGTranslator : nullptr;
}
