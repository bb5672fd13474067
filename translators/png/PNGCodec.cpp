#include "PNGCodec.h"

#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

#include <TranslationDefs.h>

// libpng reports errors by longjmp; everything that can jump stays in this
// file, and every object that outlives a jump is plain data owned outside the
// setjmp frame.

namespace {

const uint8 kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// libpng's own cap on either side is 2^31 - 1; ours is the pixel-buffer limit.
const uint32 kMaxSide = 0x7fffffff;

struct ReadContext
{
    BPositionIO* source;
    status_t error;
};

struct WriteContext
{
    BPositionIO* destination;
    status_t error;
};

void quiet_warning(png_structp, png_const_charp) {}

void error_exit(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void read_data(png_structp png, png_bytep data, size_t length)
{
    ReadContext* context = static_cast<ReadContext*>(png_get_io_ptr(png));
    // ReadExactly answers B_ERROR for a stream that ends too soon.
    status_t status = context->source->ReadExactly(data, length);
    if (status != B_OK) {
        context->error = status == B_ERROR ? status_t(B_ILLEGAL_DATA) : status;
        png_error(png, "truncated");
    }
}

void write_data(png_structp png, png_bytep data, size_t length)
{
    WriteContext* context = static_cast<WriteContext*>(png_get_io_ptr(png));
    status_t status = context->destination->WriteExactly(data, length);
    if (status != B_OK) {
        context->error = status == B_ERROR ? status_t(B_IO_ERROR) : status;
        png_error(png, "short write");
    }
}

void flush_data(png_structp) {}

bool fits_limit(uint32 width, uint32 height)
{
    return width > 0 && height > 0 && uint64(width) * height * 4 <= B_TRANSLATION_MAX_PIXEL_BYTES;
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
    if (!fits_limit(width, height))
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

// Asks libpng for 8-bit BGRA (or BGRX) whatever the stored layout.
void set_transforms(png_structp png, png_infop pngInfo, const PNGInfo& info)
{
    int colorType = png_get_color_type(png, pngInfo);
    png_set_expand(png);
    png_set_scale_16(png);
    if ((colorType & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (!info.hasAlpha)
        png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    if (info.interlaced)
        png_set_interlace_handling(png);
    png_read_update_info(png, pngInfo);
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

status_t decode(BPositionIO* source, PNGInfo* info, std::unique_ptr<uint8[]>* pixels)
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

    ReadContext context = {source, B_OK};
    std::vector<png_bytep> rows;
    uint8* volatile buffer = nullptr;
    // Volatile: these change after setjmp and are read after a jump.
    volatile status_t result = B_ILLEGAL_DATA;

    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &context, read_data);
        png_set_sig_bytes(png, 8);
        // A hostile file can make ancillary chunks balloon; none of them is used.
        png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);

        result = read_header(png, pngInfo, source, info);
        if (result == B_OK && pixels != nullptr) {
            set_transforms(png, pngInfo, *info);
            size_t rowBytes = size_t(info->width) * 4;
            if (png_get_rowbytes(png, pngInfo) != rowBytes) {
                result = B_ILLEGAL_DATA;
            } else {
                result = B_NO_MEMORY;
                uint8* block = new (std::nothrow) uint8[rowBytes * info->height];
                buffer = block;
                if (block != nullptr) {
                    rows.resize(info->height);
                    for (uint32 y = 0; y < info->height; y++)
                        rows[y] = block + y * rowBytes;
                    result = B_ILLEGAL_DATA;
                    png_read_image(png, rows.data());
                    // Reading on to IEND tells a complete file from a cut one.
                    png_read_end(png, nullptr);
                    result = B_OK;
                }
            }
        }
    } else if (context.error != B_OK) {
        result = context.error;
    }
    png_destroy_read_struct(&png, &pngInfo, nullptr);

    if (result == B_OK && pixels != nullptr)
        pixels->reset(buffer);
    else
        delete[] buffer;
    return result;
}

} // namespace

status_t png_identify(BPositionIO* source, PNGInfo* info)
{
    return decode(source, info, nullptr);
}

status_t png_decode(BPositionIO* source, PNGInfo* info, std::unique_ptr<uint8[]>* pixels)
{
    return decode(source, info, pixels);
}

status_t png_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                    const PNGWriteOptions& options, BPositionIO* destination)
{
    if (!fits_limit(width, height) || rowBytes < size_t(width) * 4)
        return B_BAD_VALUE;

    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, error_exit, quiet_warning);
    if (png == nullptr)
        return B_NO_MEMORY;
    png_infop pngInfo = png_create_info_struct(png);
    if (pngInfo == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return B_NO_MEMORY;
    }

    WriteContext context = {destination, B_OK};
    std::vector<png_bytep> rows(height);
    for (uint32 y = 0; y < height; y++)
        rows[y] = const_cast<png_bytep>(bits + y * rowBytes);
    volatile status_t result = B_ERROR;

    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &context, write_data, flush_data);
        int level = options.compression < 0 ? 0 : options.compression > 9 ? 9 : options.compression;
        png_set_compression_level(png, level);
        // Filters only cost time when nothing is compressed.
        if (level == 0)
            png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_set_IHDR(png, pngInfo, width, height, 8,
                     hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                     options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
        png_write_info(png, pngInfo);
        png_set_bgr(png);
        if (!hasAlpha)
            png_set_filler(png, 0, PNG_FILLER_AFTER);
        if (options.interlaced)
            png_set_interlace_handling(png);
        png_write_image(png, rows.data());
        png_write_end(png, pngInfo);
        result = B_OK;
    } else {
        result = context.error != B_OK ? context.error : B_ERROR;
    }
    png_destroy_write_struct(&png, &pngInfo);
    return result;
}
