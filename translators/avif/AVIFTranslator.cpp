#include "AVIFTranslator.h"

#include "translation/MetadataSink.h"
#include "translation/SettingsView.h"

const char* const kAVIFSettingQuality = "avif /quality";
const char* const kAVIFSettingLossless = "avif /lossless";

namespace {

const int32 kDefaultQuality = 75;
const bool kDefaultLossless = false;

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (AVIF translator)"},
    {kAVIFFormat, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/avif", "AVIF image"},
};

const translation_format kOutputFormats[] = {
    {kAVIFFormat, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/avif", "AVIF image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (AVIF translator)"},
};

} // namespace

AVIFTranslator::AVIFTranslator()
    : BaseTranslator("AVIF images", "Reads and writes AVIF images with libavif",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "AVIFTranslator_settings")
{}

status_t AVIFTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                        translator_info* info)
{
    AVIFInfo avif;
    return avif_identify(source, &avif);
}

status_t AVIFTranslator::Decode(BPositionIO* source, BMessage* ioExtension,
                                BPositionIO* destination)
{
    AVIFInfo avif;
    BPrivate::BitsStreamWriter writer(destination);
    BPrivate::MetadataSink published(&writer, ioExtension);
    avif.metadata = published.Metadata();
    // The file's own transformations turn the picture upright; an Exif
    // orientation, which readers of other formats would apply again, says 1.
    published.SetUpright(true);
    return avif_decode(source, &avif, &published);
}

status_t AVIFTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                                BMessage* ioExtension, BPositionIO* destination)
{
    std::unique_ptr<uint8[]> rows;
    status_t status = BPrivate::read_bits_rows(bits, source, &rows);
    if (status != B_OK)
        return status;

    AVIFWriteOptions options;
    options.quality = Settings()->GetInt32(kAVIFSettingQuality, kDefaultQuality, ioExtension);
    options.lossless = Settings()->GetBool(kAVIFSettingLossless, kDefaultLossless, ioExtension);
    BPrivate::PictureMetadata metadata =
        EncodingMetadata(ioExtension, bits.width, bits.height, true);
    options.metadata = &metadata;
    return avif_encode(rows.get(), bits.width, bits.height, bits.header.rowBytes,
                       bits.header.colors == B_RGBA32, options, destination);
}

BPrivate::SettingsView* AVIFTranslator::MakeSettingsView()
{
    BPrivate::SettingsView* view = new BPrivate::SettingsView("AVIF settings", this);
    view->AddSlider("Quality", kAVIFSettingQuality, 0, 100, kDefaultQuality);
    view->AddCheckBox("Lossless", kAVIFSettingLossless, kDefaultLossless);
    AddMetadataSettings(view);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new AVIFTranslator : nullptr;
}
