#ifndef TAVRIN_GIF_H
#define TAVRIN_GIF_H

#include <memory>

#include <DataIO.h>

#include "translation/BitsRows.h"

// The giflib side of the GIF translator. Pixels are 32-bit words 0xAARRGGBB
// (bytes B, G, R, A in memory), in rows of exactly width * 4 bytes.

struct GIFInfo
{
    // The logical screen, grown when the first frame reaches past it.
    uint32 width = 0;
    uint32 height = 0;
    bool hasAlpha = false;
};

struct GIFWriteOptions
{
    bool dither = true;
};

// B_NO_TRANSLATOR when the data does not start with GIF87a or GIF89a;
// B_ILLEGAL_DATA when the screen descriptor is broken.
status_t gif_identify(BPositionIO* source, GIFInfo* info);

// Reads the first frame onto the logical screen, which grows to hold a frame
// that reaches past it. The screen around the frame is transparent (the
// background colour index is not painted: browsers show the page behind a
// GIF there too), and so are the pixels of the frame's transparent index;
// either makes the result carry alpha. A screen of more than 16 megapixels
// must be at least one sixteenth covered by the frame. The rows go to the
// sink as they are decoded, from the top (an interlaced frame's once it is
// whole).
status_t gif_decode(BPositionIO* source, GIFInfo* info, BPrivate::BitsRowSink* sink);

// Writes width x height pixels whose rows are rowBytes apart, quantised to at
// most 256 colours; with alpha, pixels whose alpha is below 128 become the
// transparent index.
status_t gif_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                    const GIFWriteOptions& options, BPositionIO* destination);

#endif
