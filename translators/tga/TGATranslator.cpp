#include "TGATranslator.h"

#include "translation/SettingsView.h"

#include <cstring>

using BPrivate::BaseTranslator;

namespace {

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (Targa translator)"},
    {B_TGA_FORMAT, B_TRANSLATOR_BITMAP, 0.6f, 0.8f, "image/x-targa", "Targa image"},
};

const translation_format kOutputFormats[] = {
    {B_TGA_FORMAT, B_TRANSLATOR_BITMAP, 0.6f, 0.8f, "image/x-targa", "Targa image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (Targa translator)"},
};

} // namespace

TGATranslator::TGATranslator()
    : BaseTranslator("Targa images", "Reads and writes Targa (TGA) images",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "TGATranslator_settings")
{}

status_t TGATranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                       translator_info* info)
{
    uint8 bytes[tga::kHeaderSize];
    ssize_t got = source->Read(bytes, sizeof(bytes));
    if (got < 0)
        return (status_t)got;
    if (got != (ssize_t)sizeof(bytes))
        return B_NO_TRANSLATOR;
    tga::Header header;
    status_t status = tga::parse_header(bytes, &header);
    if (status != B_OK)
        return status;
    return BPrivate::check_decoded_size(header.width, header.height);
}

status_t TGATranslator::Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination)
{
    bool keepAlpha = Settings()->GetBool(tga::kSettingKeepAlpha, true, ioExtension);
    return tga::decode(source, keepAlpha, destination);
}

status_t TGATranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                               BMessage* ioExtension, BPositionIO* destination)
{
    bool rle = Settings()->GetBool(tga::kSettingRLE, false, ioExtension);
    bool keepAlpha = Settings()->GetBool(tga::kSettingKeepAlpha, true, ioExtension);
    return tga::encode(bits, source, rle, keepAlpha, destination);
}

BPrivate::SettingsView* TGATranslator::MakeSettingsView()
{
    BPrivate::SettingsView* view = new BPrivate::SettingsView("Targa settings", this);
    view->AddCheckBox("Compress with run-length encoding (RLE)", tga::kSettingRLE, false);
    view->AddCheckBox("Keep the alpha channel", tga::kSettingKeepAlpha, true);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new TGATranslator : nullptr;
}
