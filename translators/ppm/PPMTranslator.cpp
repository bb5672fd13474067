#include "PPMTranslator.h"

#include "translation/SettingsView.h"

namespace {

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (PPM translator)"},
    {B_PPM_FORMAT, B_TRANSLATOR_BITMAP, 0.6f, 0.8f, "image/x-portable-pixmap", "PPM image"},
};

const translation_format kOutputFormats[] = {
    {B_PPM_FORMAT, B_TRANSLATOR_BITMAP, 0.6f, 0.8f, "image/x-portable-pixmap", "PPM image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (PPM translator)"},
};

} // namespace

PPMTranslator::PPMTranslator()
    : BaseTranslator("PPM images", "Reads PBM, PGM, PPM and PAM images and writes PPM images",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "PPMTranslator_settings")
{}

status_t PPMTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                       translator_info* info)
{
    ppm::Header header;
    return ppm::read_header(source, &header);
}

status_t PPMTranslator::Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination)
{
    return ppm::decode(source, destination);
}

status_t PPMTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                               BMessage* ioExtension, BPositionIO* destination)
{
    int32 format = Settings()->GetInt32(ppm::kSettingFormat, ppm::kBinary, ioExtension);
    return ppm::encode(bits, source, format == ppm::kASCII, destination);
}

BPrivate::SettingsView* PPMTranslator::MakeSettingsView()
{
    static const char* const kNames[] = {"Binary (P6)", "ASCII text (P3)"};
    static const int32 kValues[] = {ppm::kBinary, ppm::kASCII};
    BPrivate::SettingsView* view = new BPrivate::SettingsView("PPM settings", this);
    view->AddOptionPopUp("Write as:", ppm::kSettingFormat, kNames, kValues, 2, ppm::kBinary);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new PPMTranslator : nullptr;
}
