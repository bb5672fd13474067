#ifndef TAVRIN_PNG_H
#define TAVRIN_PNG_H

#include <DataIO.h>

#include <PictureMetadata.h>

#include "translation/BitsRows.h"

// The libpng side of the PNG translator. Pixels are 32-bit words 0xAARRGGBB
// (bytes B, G, R, A in memory), rows exactly width * 4 bytes.

struct PNGInfo
{
    uint32 width = 0;
    uint32 height = 0;
    bool hasAlpha = false;
    bool interlaced = false;
    int32 orientation = 1; // as an eXIf chunk says; 1 when not applied
    // Filled by decoding, before the sink starts, when set: iCCP, eXIf and
    // the XMP packet of an iTXt chunk, as far as they come before the image
    // data.
    BPrivate::PictureMetadata* metadata = nullptr;
};

struct PNGWriteOptions
{
    int32 compression = 6; // zlib level, 0 (none) to 9
    bool interlaced = false;
    // Written as iCCP, eXIf and iTXt (XML:com.adobe.xmp) chunks before the
    // image data when set.
    const BPrivate::PictureMetadata* metadata = nullptr;
};

// B_NO_TRANSLATOR when the data does not start with the PNG signature;
// B_ILLEGAL_DATA when the header that follows is broken.
status_t png_identify(BPositionIO* source, PNGInfo* info);

// Reads the whole image into the sink, a block of rows at a time, turned
// upright as an eXIf chunk before the image data says when upright is set.
// Gamma is left alone; palettes, grey, tRNS and 16-bit samples become 8-bit
// BGRA. A file cut short before its last row is an error; one that ends
// after it, without IEND, is not.
status_t png_decode(BPositionIO* source, PNGInfo* info, bool upright, BPrivate::BitsRowSink* sink);

// Writes width x height pixels taken from the source. Without alpha the image
// is written as RGB and the alpha bytes are ignored.
status_t png_encode(BPrivate::BitsRowSource* source, uint32 width, uint32 height, bool hasAlpha,
                    const PNGWriteOptions& options, BPositionIO* destination);

// The same for a picture that is not interlaced, with its bands of rows
// filtered and deflated on all processors at once.
status_t png_encode_bands(BPrivate::BitsRowSource* source, uint32 width, uint32 height,
                          bool hasAlpha, int32 level, BPositionIO* destination,
                          const BPrivate::PictureMetadata* metadata = nullptr);

#endif
