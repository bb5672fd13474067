#include "WebPTranslator.h"

#include <cerrno>
#include <new>

#include "translation/ImageOrientation.h"
#include "translation/MetadataSink.h"
#include "translation/SettingsView.h"
#include "translation/StreamReader.h"

const char* const kWebPSettingQuality = "webp /quality";
const char* const kWebPSettingLossless = "webp /lossless";
const char* const kWebPSettingUpright = "webp /upright";

namespace {

const int32 kDefaultQuality = 80;
const bool kDefaultLossless = false;
const bool kDefaultUpright = true;

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (WebP translator)"},
    {B_WEBP_FORMAT, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/webp", "WebP image"},
};

const translation_format kOutputFormats[] = {
    {B_WEBP_FORMAT, B_TRANSLATOR_BITMAP, 0.8f, 0.8f, "image/webp", "WebP image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (WebP translator)"},
};

} // namespace

WebPTranslator::WebPTranslator()
    : BaseTranslator("WebP images", "Reads and writes WebP images with libwebp",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "WebPTranslator_settings")
{}

status_t WebPTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                        translator_info* info)
{
    WebPInfo webp;
    return webp_identify(source, &webp);
}

status_t WebPTranslator::Decode(BPositionIO* source, BMessage* ioExtension,
                                BPositionIO* destination)
{
    WebPInfo webp;
    BPrivate::BitsStreamWriter writer(destination);
    BPrivate::MetadataSink published(&writer, ioExtension);
    webp.metadata = published.Metadata();
    std::unique_ptr<uint8[]> pixels;
    status_t status = webp_decode(source, &webp, &pixels);
    if (status != B_OK)
        return status;
    bool upright = Settings()->GetBool(kWebPSettingUpright, kDefaultUpright, ioExtension);
    published.SetUpright(upright);
    return BPrivate::put_upright_picture(&published, pixels.get(), webp.width, webp.height,
                                         webp.hasAlpha,
                                         upright ? webp.orientation : BPrivate::kOrientationNormal);
}

status_t WebPTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                                BMessage* ioExtension, BPositionIO* destination)
{
    // A picture the format cannot hold is refused before its rows are read.
    if (!webp_can_hold(bits.width, bits.height))
        return status_from_errno(EFBIG);
    std::unique_ptr<uint8[]> rows;
    status_t status = BPrivate::read_bits_rows(bits, source, &rows);
    if (status != B_OK)
        return status;

    WebPWriteOptions options;
    options.quality = Settings()->GetInt32(kWebPSettingQuality, kDefaultQuality, ioExtension);
    options.lossless = Settings()->GetBool(kWebPSettingLossless, kDefaultLossless, ioExtension);
    BPrivate::PictureMetadata metadata = EncodingMetadata(ioExtension, bits.width, bits.height);
    options.metadata = &metadata;
    return webp_encode(std::move(rows), bits.width, bits.height, bits.header.rowBytes,
                       bits.header.colors == B_RGBA32, options, destination);
}

BPrivate::SettingsView* WebPTranslator::MakeSettingsView()
{
    BPrivate::SettingsView* view = new BPrivate::SettingsView("WebP settings", this);
    view->AddSlider("Quality", kWebPSettingQuality, 0, 100, kDefaultQuality);
    view->AddCheckBox("Lossless", kWebPSettingLossless, kDefaultLossless);
    view->AddCheckBox("Turn pictures upright (Exif orientation)", kWebPSettingUpright,
                      kDefaultUpright);
    AddMetadataSettings(view);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new WebPTranslator : nullptr;
}
