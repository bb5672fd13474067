#include "HEIFTranslator.h"

#include "translation/MetadataSink.h"
#include "translation/SettingsView.h"

const char* const kHEIFSettingQuality = "heif /quality";
const char* const kHEIFSettingLossless = "heif /lossless";

namespace {

const int32 kDefaultQuality = 75;
const bool kDefaultLossless = false;

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (HEIF translator)"},
    {kHEIFFormat, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/heic", "HEIF image (HEIC)"},
};

const translation_format kOutputFormats[] = {
    {kHEIFFormat, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/heic", "HEIF image (HEIC)"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (HEIF translator)"},
};

} // namespace

HEIFTranslator::HEIFTranslator()
    : BaseTranslator("HEIF images", "Reads and writes HEIF (HEIC) images with libheif",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "HEIFTranslator_settings")
{}

status_t HEIFTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                        translator_info* info)
{
    HEIFInfo heif;
    return heif_identify(source, &heif);
}

status_t HEIFTranslator::Decode(BPositionIO* source, BMessage* ioExtension,
                                BPositionIO* destination)
{
    HEIFInfo heif;
    BPrivate::BitsStreamWriter writer(destination);
    BPrivate::MetadataSink published(&writer, ioExtension);
    heif.metadata = published.Metadata();
    // The file's own transformations turn the picture upright; an Exif
    // orientation, which readers of other formats would apply again, says 1.
    published.SetUpright(true);
    return heif_decode(source, &heif, &published);
}

status_t HEIFTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                                BMessage* ioExtension, BPositionIO* destination)
{
    std::unique_ptr<uint8[]> rows;
    status_t status = BPrivate::read_bits_rows(bits, source, &rows);
    if (status != B_OK)
        return status;

    HEIFWriteOptions options;
    options.quality = Settings()->GetInt32(kHEIFSettingQuality, kDefaultQuality, ioExtension);
    options.lossless = Settings()->GetBool(kHEIFSettingLossless, kDefaultLossless, ioExtension);
    BPrivate::PictureMetadata metadata =
        EncodingMetadata(ioExtension, bits.width, bits.height, true);
    options.metadata = &metadata;
    return heif_encode(rows.get(), bits.width, bits.height, bits.header.rowBytes,
                       bits.header.colors == B_RGBA32, options, destination);
}

BPrivate::SettingsView* HEIFTranslator::MakeSettingsView()
{
    BPrivate::SettingsView* view = new BPrivate::SettingsView("HEIF settings", this);
    view->AddSlider("Quality", kHEIFSettingQuality, 0, 100, kDefaultQuality);
    view->AddCheckBox("Lossless", kHEIFSettingLossless, kDefaultLossless);
    AddMetadataSettings(view);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new HEIFTranslator : nullptr;
}
