#ifndef TAVRIN_TIFF_H
#define TAVRIN_TIFF_H

#include <memory>

#include <DataIO.h>
#include <PictureMetadata.h>

#include "translation/BitsRows.h"

// The libtiff side of the TIFF translator. Pixels are 32-bit words 0xAARRGGBB
// (bytes B, G, R, A in memory, alpha not premultiplied); a decoded buffer has
// rows of exactly width * 4 bytes and belongs to the caller.

// The values match libtiff's COMPRESSION_* tags, as written to the file.
enum TIFFCompression {
    kTIFFCompressionNone = 1,
    kTIFFCompressionLZW = 5,
    kTIFFCompressionDeflate = 8,
    kTIFFCompressionPackBits = 32773
};

struct TIFFInfo
{
    uint32 width = 0;
    uint32 height = 0;
    bool hasAlpha = false;
    int32 orientation = 1; // the Orientation tag, 1 to 8
    // Filled by decoding, before the sink starts, when set: the ICC profile
    // and XMP tags of the first directory.
    BPrivate::PictureMetadata* metadata = nullptr;
};

struct TIFFWriteOptions
{
    TIFFCompression compression = kTIFFCompressionLZW;
    // The ICC profile and XMP packet to store as tags, when set.
    const BPrivate::PictureMetadata* metadata = nullptr;
};

// True for the four compression schemes the writer offers.
bool tiff_is_known_compression(int32 compression);

// B_NO_TRANSLATOR when the data does not start with a TIFF header;
// B_ILLEGAL_DATA when the first directory is broken; B_NOT_SUPPORTED for a
// sample layout no reader here understands (floating point samples, say).
status_t tiff_identify(BPositionIO* source, TIFFInfo* info);

// Reads the first image of the file into the sink, a strip or a row of tiles
// at a time, turned upright as its Orientation tag says when upright is set.
// Palette, grey, RGB and RGBA of 1 to 16-bit integer or 16 to 64-bit floating
// point samples (0 to 1, clamped), in one plane or one per sample, are read
// directly; other photometric interpretations (YCbCr, CMYK, Lab) go through
// libtiff's RGBA reader.
status_t tiff_decode(BPositionIO* source, TIFFInfo* info, bool upright,
                     BPrivate::BitsRowSink* sink);

// Writes width x height pixels taken from source a strip's rows at a time, as
// 8-bit RGB or RGBA (unassociated alpha) strips.
status_t tiff_encode(BPrivate::BitsRowSource* source, uint32 width, uint32 height, bool hasAlpha,
                     const TIFFWriteOptions& options, BPositionIO* destination);

#endif
