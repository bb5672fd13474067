#include "JPEGTranslator.h"

#include <cstdio>
#include <new>

#include "translation/ImageOrientation.h"
#include "translation/MetadataSink.h"
#include "translation/SettingsView.h"

const char* const kJPEGSettingQuality = "jpeg /quality";
const char* const kJPEGSettingProgressive = "jpeg /progressive";
const char* const kJPEGSettingSubsampling = "jpeg /subsampling";
const char* const kJPEGSettingUpright = "jpeg /upright";

namespace {

const int32 kDefaultQuality = 90;
const bool kDefaultProgressive = false;
const bool kDefaultUpright = true;

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (JPEG translator)"},
    {B_JPEG_FORMAT, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/jpeg", "JPEG image"},
};

const translation_format kOutputFormats[] = {
    {B_JPEG_FORMAT, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/jpeg", "JPEG image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (JPEG translator)"},
};

} // namespace

JPEGTranslator::JPEGTranslator()
    : BaseTranslator("JPEG images", "Reads and writes JPEG images with libjpeg-turbo",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "JPEGTranslator_settings")
{}

status_t JPEGTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                        translator_info* info)
{
    JPEGInfo jpeg;
    return jpeg_identify(source, &jpeg);
}

status_t JPEGTranslator::Decode(BPositionIO* source, BMessage* ioExtension,
                                BPositionIO* destination)
{
    JPEGInfo jpeg;
    BPrivate::BitsStreamWriter writer(destination);
    BPrivate::MetadataSink published(&writer, ioExtension);
    jpeg.metadata = published.Metadata();
    bool upright = Settings()->GetBool(kJPEGSettingUpright, kDefaultUpright, ioExtension);
    published.SetUpright(upright);
    return jpeg_decode(source, &jpeg, upright, &published);
}

status_t JPEGTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                                BMessage* ioExtension, BPositionIO* destination)
{
    if (BPrivate::bits_rows_missing(bits, source))
        return B_ILLEGAL_DATA;

    JPEGWriteOptions options;
    options.quality = Settings()->GetInt32(kJPEGSettingQuality, kDefaultQuality, ioExtension);
    options.progressive =
        Settings()->GetBool(kJPEGSettingProgressive, kDefaultProgressive, ioExtension);
    int32 subsampling = Settings()->GetInt32(kJPEGSettingSubsampling, kSubsampling420, ioExtension);
    if (subsampling < kSubsampling444 || subsampling > kSubsampling420)
        subsampling = kSubsampling420;
    options.subsampling = JPEGSubsampling(subsampling);
    BPrivate::PictureMetadata metadata = EncodingMetadata(ioExtension, bits.width, bits.height);
    options.metadata = &metadata;
    BPrivate::BitsStreamReader reader(source, bits);
    return jpeg_encode(&reader, bits.width, bits.height, options, destination);
}

BPrivate::SettingsView* JPEGTranslator::MakeSettingsView()
{
    BPrivate::SettingsView* view = new BPrivate::SettingsView("JPEG settings", this);
    view->AddSlider("Quality", kJPEGSettingQuality, 1, 100, kDefaultQuality);
    view->AddCheckBox("Progressive", kJPEGSettingProgressive, kDefaultProgressive);
    const char* const names[] = {"4:4:4 (full colour)", "4:2:2", "4:2:0"};
    const int32 values[] = {kSubsampling444, kSubsampling422, kSubsampling420};
    view->AddOptionPopUp("Chroma subsampling", kJPEGSettingSubsampling, names, values, 3,
                         kSubsampling420);
    view->AddCheckBox("Turn pictures upright (Exif orientation)", kJPEGSettingUpright,
                      kDefaultUpright);
    AddMetadataSettings(view);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new JPEGTranslator : nullptr;
}
