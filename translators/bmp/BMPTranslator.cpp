#include "BMPTranslator.h"

namespace {

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (BMP translator)"},
    {B_BMP_FORMAT, B_TRANSLATOR_BITMAP, 0.6f, 0.8f, "image/bmp", "BMP image"},
};

const translation_format kOutputFormats[] = {
    {B_BMP_FORMAT, B_TRANSLATOR_BITMAP, 0.6f, 0.8f, "image/bmp", "BMP image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (BMP translator)"},
};

} // namespace

BMPTranslator::BMPTranslator()
    : BaseTranslator("BMP images", "Reads and writes Windows and OS/2 bitmap (BMP) images",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), nullptr)
{}

status_t BMPTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                       translator_info* info)
{
    bmp::Header header;
    return bmp::read_header(source, &header);
}

status_t BMPTranslator::Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination)
{
    return bmp::decode(source, destination);
}

status_t BMPTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                               BMessage* ioExtension, BPositionIO* destination)
{
    return bmp::encode(bits, source, destination);
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new BMPTranslator : nullptr;
}
