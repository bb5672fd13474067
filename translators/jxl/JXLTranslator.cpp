#include "JXLTranslator.h"

#include "translation/MetadataSink.h"
#include "translation/SettingsView.h"

const char* const kJXLSettingQuality = "jxl /quality";
const char* const kJXLSettingLossless = "jxl /lossless";

namespace {

const int32 kDefaultQuality = 90;
const bool kDefaultLossless = false;

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (JPEG XL translator)"},
    {kJXLFormat, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/jxl", "JPEG XL image"},
};

const translation_format kOutputFormats[] = {
    {kJXLFormat, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/jxl", "JPEG XL image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (JPEG XL translator)"},
};

} // namespace

JXLTranslator::JXLTranslator()
    : BaseTranslator("JPEG XL images", "Reads and writes JPEG XL images with libjxl",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "JXLTranslator_settings")
{}

status_t JXLTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                       translator_info* info)
{
    JXLInfo jxl;
    return jxl_identify(source, &jxl);
}

status_t JXLTranslator::Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination)
{
    JXLInfo jxl;
    BPrivate::BitsStreamWriter writer(destination);
    BPrivate::MetadataSink published(&writer, ioExtension);
    jxl.metadata = published.Metadata();
    // libjxl turns the picture upright.
    published.SetUpright(true);
    return jxl_decode(source, &jxl, &published);
}

status_t JXLTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                               BMessage* ioExtension, BPositionIO* destination)
{
    std::unique_ptr<uint8[]> rows;
    status_t status = BPrivate::read_bits_rows(bits, source, &rows);
    if (status != B_OK)
        return status;

    JXLWriteOptions options;
    options.quality = Settings()->GetInt32(kJXLSettingQuality, kDefaultQuality, ioExtension);
    options.lossless = Settings()->GetBool(kJXLSettingLossless, kDefaultLossless, ioExtension);
    BPrivate::PictureMetadata metadata = EncodingMetadata(ioExtension, bits.width, bits.height);
    options.metadata = &metadata;
    return jxl_encode(rows.get(), bits.width, bits.height, bits.header.rowBytes,
                      bits.header.colors == B_RGBA32, options, destination);
}

BPrivate::SettingsView* JXLTranslator::MakeSettingsView()
{
    BPrivate::SettingsView* view = new BPrivate::SettingsView("JPEG XL settings", this);
    view->AddSlider("Quality", kJXLSettingQuality, 0, 100, kDefaultQuality);
    view->AddCheckBox("Lossless", kJXLSettingLossless, kDefaultLossless);
    AddMetadataSettings(view);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new JXLTranslator : nullptr;
}
