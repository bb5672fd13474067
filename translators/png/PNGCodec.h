#ifndef PNG_CODEC_H
#define PNG_CODEC_H

#include <memory>

#include <DataIO.h>

// The libpng side of the PNG translator. Pixels are 32-bit words 0xAARRGGBB
// (bytes B, G, R, A in memory); a decoded buffer has rows of exactly width * 4
// bytes and belongs to the caller.

struct PNGInfo
{
    uint32 width = 0;
    uint32 height = 0;
    bool hasAlpha = false;
    bool interlaced = false;
};

struct PNGWriteOptions
{
    int32 compression = 6; // zlib level, 0 (none) to 9
    bool interlaced = false;
};

// B_NO_TRANSLATOR when the data does not start with the PNG signature;
// B_ILLEGAL_DATA when the header that follows is broken.
status_t png_identify(BPositionIO* source, PNGInfo* info);

// Reads the whole image. Gamma is left alone; palettes, grey, tRNS and 16-bit
// samples become 8-bit BGRA.
status_t png_decode(BPositionIO* source, PNGInfo* info, std::unique_ptr<uint8[]>* pixels);

// Writes width x height pixels whose rows are rowBytes apart. Without alpha
// the image is written as RGB and the alpha bytes are ignored.
status_t png_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                    const PNGWriteOptions& options, BPositionIO* destination);

#endif
