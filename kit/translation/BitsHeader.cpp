#include "BitsHeader.h"
#include "StreamReader.h"

#include <PixelSize.h>
#include <TranslationDefs.h>

#include <cmath>
#include <cstring>
#include <new>

namespace BPrivate {

namespace {

void put_be32(uint8* out, uint32 value)
{
    out[0] = value >> 24;
    out[1] = value >> 16;
    out[2] = value >> 8;
    out[3] = value;
}

uint32 get_be32(const uint8* in)
{
    return ((uint32)in[0] << 24) | ((uint32)in[1] << 16) | ((uint32)in[2] << 8) | in[3];
}

void put_float(uint8* out, float value)
{
    uint32 bits;
    memcpy(&bits, &value, sizeof(bits));
    put_be32(out, bits);
}

float get_float(const uint8* in)
{
    uint32 bits = get_be32(in);
    float value;
    memcpy(&value, &bits, sizeof(value));
    return value;
}

// The pixels along one axis of the bounds, or 0 when the edges are not whole
// numbers in order or the count is not representable.
uint64 axis_pixels(float low, float high)
{
    if (std::floor(low) != low || std::floor(high) != high)
        return 0;
    // Whole-number edges far enough apart to reach the clamp are too far.
    int32 span = pixel_span(low, high);
    return span == INT32_MAX ? 0 : (uint64)span;
}

// The colour space named by a stream's word, or B_NO_COLOR_SPACE for a word
// that names none (an enum may not hold other values).
color_space color_space_from_word(uint32 word)
{
    static const color_space kKnown[] = {
        B_RGB32,      B_RGBA32, B_RGB24,     B_RGB16,      B_RGB15,     B_RGBA15,    B_CMAP8,
        B_GRAY8,      B_GRAY1,  B_RGB32_BIG, B_RGBA32_BIG, B_RGB24_BIG, B_RGB16_BIG, B_RGB15_BIG,
        B_RGBA15_BIG, B_RGB48,  B_RGB48_BIG, B_RGBA64,     B_RGBA64_BIG};
    for (color_space space : kKnown) {
        if ((uint32)space == word)
            return space;
    }
    return B_NO_COLOR_SPACE;
}

} // namespace

void bits_header_to_bytes(const TranslatorBitmap& header,
                          uint8 bytes[B_TRANSLATOR_BITMAP_HEADER_SIZE])
{
    put_be32(bytes, header.magic);
    put_float(bytes + 4, header.bounds.left);
    put_float(bytes + 8, header.bounds.top);
    put_float(bytes + 12, header.bounds.right);
    put_float(bytes + 16, header.bounds.bottom);
    put_be32(bytes + 20, header.rowBytes);
    put_be32(bytes + 24, (uint32)header.colors);
    put_be32(bytes + 28, header.dataSize);
}

void bits_header_from_bytes(const uint8 bytes[B_TRANSLATOR_BITMAP_HEADER_SIZE],
                            TranslatorBitmap* header)
{
    header->magic = get_be32(bytes);
    header->bounds.left = get_float(bytes + 4);
    header->bounds.top = get_float(bytes + 8);
    header->bounds.right = get_float(bytes + 12);
    header->bounds.bottom = get_float(bytes + 16);
    header->rowBytes = get_be32(bytes + 20);
    header->colors = color_space_from_word(get_be32(bytes + 24));
    header->dataSize = get_be32(bytes + 28);
}

status_t check_bits_header(const TranslatorBitmap& header, BitsInfo* info)
{
    if (header.magic != B_TRANSLATOR_BITMAP)
        return B_NO_TRANSLATOR;

    uint64 width = axis_pixels(header.bounds.left, header.bounds.right);
    uint64 height = axis_pixels(header.bounds.top, header.bounds.bottom);
    if (width == 0 || height == 0)
        return B_BAD_VALUE;

    size_t chunk, alignment, pixelsPerChunk;
    if (!get_pixel_size_for(header.colors, &chunk, &alignment, &pixelsPerChunk) || chunk == 0 ||
        pixelsPerChunk == 0)
        return B_BAD_VALUE;
    uint64 minRowBytes = (width + pixelsPerChunk - 1) / pixelsPerChunk * chunk;
    if (header.rowBytes < minRowBytes)
        return B_BAD_VALUE;

    uint64 dataSize = (uint64)header.rowBytes * height;
    if (dataSize != header.dataSize || dataSize > B_TRANSLATION_MAX_PIXEL_BYTES)
        return B_BAD_VALUE;

    if (info != nullptr) {
        info->header = header;
        info->width = (uint32)width;
        info->height = (uint32)height;
        info->minRowBytes = (uint32)minRowBytes;
    }
    return B_OK;
}

status_t read_bits_header(BPositionIO* source, BitsInfo* info)
{
    uint8 bytes[B_TRANSLATOR_BITMAP_HEADER_SIZE];
    ssize_t got = source->Read(bytes, sizeof(bytes));
    if (got < 0)
        return (status_t)got;
    if (got != (ssize_t)sizeof(bytes))
        return B_NO_TRANSLATOR;
    TranslatorBitmap header;
    bits_header_from_bytes(bytes, &header);
    return check_bits_header(header, info);
}

TranslatorBitmap make_bits_header(uint32 width, uint32 height, color_space space)
{
    size_t chunk = 4, alignment, pixelsPerChunk = 1;
    get_pixel_size_for(space, &chunk, &alignment, &pixelsPerChunk);
    TranslatorBitmap header;
    header.magic = B_TRANSLATOR_BITMAP;
    header.bounds = BRect(0, 0, (float)width - 1, (float)height - 1);
    header.rowBytes = (uint32)((width + pixelsPerChunk - 1) / pixelsPerChunk * chunk);
    header.colors = space;
    header.dataSize = header.rowBytes * height;
    return header;
}

status_t write_bits_header(BPositionIO* destination, uint32 width, uint32 height, color_space space)
{
    TranslatorBitmap header = make_bits_header(width, height, space);
    status_t status = check_bits_header(header);
    if (status != B_OK)
        return status;
    uint8 bytes[B_TRANSLATOR_BITMAP_HEADER_SIZE];
    bits_header_to_bytes(header, bytes);
    return destination->WriteExactly(bytes, sizeof(bytes));
}

status_t write_bits_picture(BPositionIO* destination, uint32 width, uint32 height, bool alpha,
                            const uint8* pixels)
{
    status_t status = write_bits_header(destination, width, height, alpha ? B_RGBA32 : B_RGB32);
    if (status != B_OK)
        return status;
    return destination->WriteExactly(pixels, size_t(width) * height * 4);
}

status_t read_bits_rows(const BitsInfo& bits, BPositionIO* source, std::unique_ptr<uint8[]>* rows)
{
    off_t available = remaining_stream_size(source);
    if (available >= 0 && uint64(available) < bits.header.dataSize)
        return B_ILLEGAL_DATA;
    rows->reset(new (std::nothrow) uint8[bits.header.dataSize]);
    if (!*rows)
        return B_NO_MEMORY;
    // ReadExactly answers B_ERROR for a stream that ends too soon.
    status_t status = source->ReadExactly(rows->get(), bits.header.dataSize);
    if (status != B_OK)
        return status == B_ERROR ? status_t(B_ILLEGAL_DATA) : status;
    return B_OK;
}

} // namespace BPrivate
