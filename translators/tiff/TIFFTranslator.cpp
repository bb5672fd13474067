#include "TIFFTranslator.h"

#include <new>

#include "translation/MetadataSink.h"
#include "translation/SettingsView.h"
#include "translation/StreamReader.h"
#include "translation/TIFFExif.h"

const char* const kTIFFSettingCompression = "tiff /compression";
const char* const kTIFFSettingUpright = "tiff /upright";

namespace {

const bool kDefaultUpright = true;

const translation_format kInputFormats[] = {
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (TIFF translator)"},
    {B_TIFF_FORMAT, B_TRANSLATOR_BITMAP, 0.7f, 0.7f, "image/tiff", "TIFF image"},
};

const translation_format kOutputFormats[] = {
    {B_TIFF_FORMAT, B_TRANSLATOR_BITMAP, 0.7f, 0.7f, "image/tiff", "TIFF image"},
    {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.4f, 0.6f, "image/x-be-bitmap",
     "Be Bitmap Format (TIFF translator)"},
};

} // namespace

TIFFTranslator::TIFFTranslator()
    : BaseTranslator("TIFF images", "Reads and writes TIFF images with libtiff",
                     B_TRANSLATION_MAKE_VERSION(1, 0, 0), kInputFormats,
                     sizeof(kInputFormats) / sizeof(kInputFormats[0]), kOutputFormats,
                     sizeof(kOutputFormats) / sizeof(kOutputFormats[0]), "TIFFTranslator_settings")
{}

status_t TIFFTranslator::IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                        translator_info* info)
{
    TIFFInfo tiff;
    return tiff_identify(source, &tiff);
}

status_t TIFFTranslator::Decode(BPositionIO* source, BMessage* ioExtension,
                                BPositionIO* destination)
{
    TIFFInfo tiff;
    bool upright = Settings()->GetBool(kTIFFSettingUpright, kDefaultUpright, ioExtension);
    BPrivate::BitsStreamWriter writer(destination);
    BPrivate::MetadataSink published(&writer, ioExtension);
    tiff.metadata = published.Metadata();
    // The picture's own Orientation tag is not among the Exif tags carried.
    off_t start = source->Position();
    std::string exif = BPrivate::exif_from_tiff(source, start);
    published.Metadata()->SetExif(exif.data(), exif.size());
    if (source->Seek(start, SEEK_SET) != start)
        return B_IO_ERROR;
    return tiff_decode(source, &tiff, upright, &published);
}

status_t TIFFTranslator::Encode(const BPrivate::BitsInfo& bits, BPositionIO* source,
                                BMessage* ioExtension, BPositionIO* destination)
{
    if (BPrivate::bits_rows_missing(bits, source))
        return B_ILLEGAL_DATA;

    TIFFWriteOptions options;
    int32 compression =
        Settings()->GetInt32(kTIFFSettingCompression, kTIFFCompressionLZW, ioExtension);
    options.compression =
        tiff_is_known_compression(compression) ? TIFFCompression(compression) : kTIFFCompressionLZW;
    BPrivate::PictureMetadata metadata = EncodingMetadata(ioExtension, bits.width, bits.height);
    options.metadata = &metadata;
    off_t start = destination->Position();
    BPrivate::BitsStreamReader reader(source, bits);
    status_t status = tiff_encode(&reader, bits.width, bits.height, bits.header.colors == B_RGBA32,
                                  options, destination);
    // libtiff has closed the file: the Exif directories go after it.
    if (status == B_OK && !metadata.exif.empty())
        status = BPrivate::add_exif_to_tiff(destination, start, metadata.exif);
    return status;
}

BPrivate::SettingsView* TIFFTranslator::MakeSettingsView()
{
    BPrivate::SettingsView* view = new BPrivate::SettingsView("TIFF settings", this);
    const char* const names[] = {"None", "LZW", "Deflate", "PackBits"};
    const int32 values[] = {kTIFFCompressionNone, kTIFFCompressionLZW, kTIFFCompressionDeflate,
                            kTIFFCompressionPackBits};
    view->AddOptionPopUp("Compression", kTIFFSettingCompression, names, values, 4,
                         kTIFFCompressionLZW);
    view->AddCheckBox("Turn pictures upright (orientation tag)", kTIFFSettingUpright,
                      kDefaultUpright);
    AddMetadataSettings(view);
    return view;
}

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...)
{
    return n == 0 ? new TIFFTranslator : nullptr;
}
