#include "PNG.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>

#include <png.h>

#include <TranslationDefs.h>
#include <Translator.h>

#include "PNGErrors.h"
#include "translation/BaseTranslator.h"
#include "translation/ImageOrientation.h"
#include "translation/PixelRows.h"
#include "translation/StreamReader.h"

// The reading half. libpng reports errors by longjmp (see PNGErrors.h), so
// every object that outlives a jump is plain data owned outside the setjmp
// frame. Decoded rows travel in blocks of kBlockRows, so a picture that is
// not interlaced never exists whole here; Adam7 needs every row at once.

namespace {

const uint8 kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// libpng's own cap on either side is 2^31 - 1; ours is the pixel-buffer limit.
const uint32 kMaxSide = 0x7fffffff;

const uint32 kBlockRows = 16;

struct ReadContext
{
    // libpng asks for each chunk's header, data and CRC apart; a buffer
    // saves a system call for each.
    BPrivate::StreamReader* source;
    status_t error;
    // Set once every row has reached the sink: a file that ends after
    // that, without its closing chunks, still holds the whole picture.
    bool rowsRead;
};

void read_data(png_structp png, png_bytep data, size_t length)
{
    ReadContext* context = static_cast<ReadContext*>(png_get_io_ptr(png));
    // A stream that ends too soon is B_ILLEGAL_DATA.
    status_t status = context->source->Read(data, length);
    if (status != B_OK) {
        context->error = status;
        // A failed read says why in its status; only the end is the file's.
        if (status == B_ILLEGAL_DATA)
            set_translation_reason("PNG: the file ends too soon");
        png_longjmp(png, 1);
    }
}

// Reads the chunks up to the image data and fills info.
status_t read_header(png_structp png, png_infop pngInfo, BPositionIO* source, PNGInfo* info)
{
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, pngInfo);

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    png_get_IHDR(png, pngInfo, &width, &height, &bitDepth, &colorType, &interlace, nullptr,
                 nullptr);
    info->width = width;
    info->height = height;
    info->interlaced = interlace != PNG_INTERLACE_NONE;
    info->hasAlpha =
        (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, pngInfo, PNG_INFO_tRNS) != 0;
    if (BPrivate::check_decoded_size(width, height) != B_OK)
        return B_NO_MEMORY;

    // Deflate cannot shrink data by more than about 1032:1, so a stream far
    // shorter than the image it claims is truncated; say so before allocating.
    off_t size = 0;
    if (source->GetSize(&size) == B_OK) {
        uint64 stored = (uint64(png_get_rowbytes(png, pngInfo)) + 1) * height;
        if (stored / 1032 > uint64(size) + 65536)
            return B_ILLEGAL_DATA;
    }
    return B_OK;
}

// How stored rows become BGRA: by libpng's transformations, or, for the
// common 8-bit RGB and RGBA rows read in order, by a faster pass of ours.
enum RowConversion { kByLibpng, kFromRGB, kFromRGBA };

// Sets libpng up to give rows that the conversion turns into 8-bit BGRA (or
// BGRX) whatever the stored layout, and answers which conversion that is.
RowConversion set_transforms(png_structp png, png_infop pngInfo, const PNGInfo& info)
{
    int colorType = png_get_color_type(png, pngInfo);
    int bitDepth = png_get_bit_depth(png, pngInfo);
    RowConversion conversion = kByLibpng;
    if (bitDepth == 8 && !info.interlaced) {
        if (colorType == PNG_COLOR_TYPE_RGB && !info.hasAlpha)
            conversion = kFromRGB;
        else if (colorType == PNG_COLOR_TYPE_RGB_ALPHA)
            conversion = kFromRGBA;
    }
    if (conversion == kByLibpng) {
        png_set_expand(png);
        png_set_scale_16(png);
        if ((colorType & PNG_COLOR_MASK_COLOR) == 0)
            png_set_gray_to_rgb(png);
        png_set_bgr(png);
        if (!info.hasAlpha)
            png_set_filler(png, 0xff, PNG_FILLER_AFTER);
        if (info.interlaced)
            png_set_interlace_handling(png);
    }
    png_read_update_info(png, pngInfo);
    return conversion;
}

status_t check_signature(BPositionIO* source)
{
    uint8 signature[8];
    ssize_t got = source->Read(signature, sizeof(signature));
    if (got < 0)
        return status_t(got);
    if (size_t(got) < sizeof(signature) || memcmp(signature, kSignature, sizeof(signature)) != 0)
        return B_NO_TRANSLATOR;
    return B_OK;
}

// Decodes the image data into the sink. Called inside the setjmp frame;
// *buffer is whatever this allocated, for the caller to free after a jump.
status_t read_rows(png_structp png, png_infop pngInfo, const PNGInfo& info,
                   BPrivate::BitsRowSink* sink, uint8* volatile* buffer)
{
    RowConversion conversion = set_transforms(png, pngInfo, info);
    size_t rowBytes = size_t(info.width) * 4;
    size_t storedBytes = conversion == kFromRGB ? size_t(info.width) * 3 : rowBytes;
    if (png_get_rowbytes(png, pngInfo) != storedBytes)
        return B_ILLEGAL_DATA;
    uint32 blockRows = info.interlaced ? info.height : std::min(kBlockRows, info.height);
    size_t outBytes = conversion == kByLibpng ? 0 : rowBytes * blockRows;
    png_bytep* rows = make_block(storedBytes, blockRows, outBytes, buffer);
    if (rows == nullptr)
        return B_NO_MEMORY;
    uint8* block = rows[0];
    uint8* out = conversion == kByLibpng ? block : block + storedBytes * blockRows;

    status_t status = sink->Start(info.width, info.height, info.hasAlpha);
    if (status != B_OK)
        return status;
    if (info.interlaced) {
        png_read_image(png, rows);
        return sink->PutRows(block, info.height);
    }
    for (uint32 y = 0; y < info.height && status == B_OK; y += blockRows) {
        uint32 count = std::min(blockRows, info.height - y);
        png_read_rows(png, rows, nullptr, count);
        if (conversion == kFromRGB)
            BPrivate::rgb24_to_bgrx(block, out, size_t(info.width) * count);
        else if (conversion == kFromRGBA)
            BPrivate::rgba_to_bgra(block, out, size_t(info.width) * count);
        status = sink->PutRows(out, count);
    }
    return status;
}

// The orientation of an eXIf chunk that comes before the image data, or 1.
int32 exif_orientation(png_structp png, png_infop pngInfo)
{
#ifdef PNG_eXIf_SUPPORTED
    png_uint_32 size = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, pngInfo, &size, &exif) != 0 && exif != nullptr) {
        int32 orientation = BPrivate::exif_orientation(exif, size);
        if (orientation != 0)
            return orientation;
    }
#endif
    return BPrivate::kOrientationNormal;
}

const char kXMPKeyword[] = "XML:com.adobe.xmp";

void read_metadata(png_structp png, png_infop pngInfo, BPrivate::PictureMetadata* metadata)
{
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, pngInfo, &name, &compression, &profile, &length) != 0 && profile)
        metadata->icc.assign(reinterpret_cast<const char*>(profile), length);
#ifdef PNG_eXIf_SUPPORTED
    png_uint_32 size = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, pngInfo, &size, &exif) != 0 && exif != nullptr)
        metadata->SetExif(exif, size);
#endif
    png_textp texts = nullptr;
    int count = png_get_text(png, pngInfo, &texts, nullptr);
    for (int i = 0; i < count; i++) {
        if (texts[i].key != nullptr && strcmp(texts[i].key, kXMPKeyword) == 0 &&
            texts[i].text != nullptr) {
            size_t textLength = texts[i].compression >= PNG_ITXT_COMPRESSION_NONE
                                    ? texts[i].itxt_length
                                    : texts[i].text_length;
            metadata->xmp.assign(texts[i].text, textLength);
        }
    }
}

status_t decode(BPositionIO* source, PNGInfo* info, bool upright, BPrivate::BitsRowSink* sink)
{
    status_t status = check_signature(source);
    if (status != B_OK)
        return status;

    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, error_exit, quiet_warning);
    if (png == nullptr)
        return B_NO_MEMORY;
    png_infop pngInfo = png_create_info_struct(png);
    if (pngInfo == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return B_NO_MEMORY;
    }

    BPrivate::StreamReader reader(source);
    if (reader.InitCheck() != B_OK) {
        png_destroy_read_struct(&png, &pngInfo, nullptr);
        return reader.InitCheck();
    }
    ReadContext context = {&reader, B_OK, false};
    // Outside the jump's reach, so that it frees what it holds after one.
    BPrivate::OrientingSink oriented(sink, BPrivate::kOrientationNormal);
    uint8* volatile buffer = nullptr;
    // Volatile: these change after setjmp and are read after a jump.
    volatile status_t result = B_ILLEGAL_DATA;

    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &context, read_data);
        png_set_sig_bytes(png, 8);
        // A hostile file can make ancillary chunks balloon; none of them is used.
        png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
#ifdef PNG_IGNORE_ADLER32
        // Every byte of the compressed data is already covered by its chunk's
        // CRC, which libpng checks; zlib's own checksum over the inflated
        // bytes adds nothing but time.
        png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif

        result = read_header(png, pngInfo, source, info);
        if (upright)
            info->orientation = exif_orientation(png, pngInfo);
        if (result == B_OK && info->metadata != nullptr)
            read_metadata(png, pngInfo, info->metadata);
        if (result == B_OK && sink != nullptr) {
            // Until the rows are read to the end, a jump means broken data.
            result = B_ILLEGAL_DATA;
            oriented.SetOrientation(info->orientation);
            status_t rowsStatus = read_rows(png, pngInfo, *info, &oriented, &buffer);
            if (rowsStatus == B_OK) {
                // The chunks after the image data are checked as far as they
                // go; only their end may be missing (see rowsRead).
                context.rowsRead = true;
                png_read_end(png, nullptr);
            }
            result = rowsStatus;
        }
    } else if (context.rowsRead && context.error == B_ILLEGAL_DATA) {
        result = B_OK;
    } else if (context.error != B_OK) {
        result = context.error;
    }
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    delete[] buffer;
    return result;
}

} // namespace

status_t png_identify(BPositionIO* source, PNGInfo* info)
{
    return decode(source, info, false, nullptr);
}

status_t png_decode(BPositionIO* source, PNGInfo* info, bool upright, BPrivate::BitsRowSink* sink)
{
    return decode(source, info, upright, sink);
}
