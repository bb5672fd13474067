#ifndef TAVRIN_GIF_QUANTIZER_H
#define TAVRIN_GIF_QUANTIZER_H

#include <SupportDefs.h>

// Reduces 32-bit pixels (bytes B, G, R, A) to at most 256 palette indices.
// Pixels with alpha below 128 take a transparent index of their own. An image
// with few enough colours keeps them exactly; otherwise a variance-minimising
// cut over a 5-bit-per-channel histogram, refined by k-means, picks the
// palette, optionally with Floyd-Steinberg error diffusion.
struct GIFPalette
{
    uint8 red[256];
    uint8 green[256];
    uint8 blue[256];
    int32 count = 0;
    int32 transparentIndex = -1;
};

// indices receives width * height bytes, one row after another. Returns
// B_NO_MEMORY when the working tables cannot be allocated.
status_t gif_quantize(const uint8* bits, uint32 width, uint32 height, size_t rowBytes,
                      bool hasAlpha, bool dither, GIFPalette* palette, uint8* indices);

#endif
