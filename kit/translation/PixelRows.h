#ifndef _TAVRIN_PIXEL_ROWS_H
#define _TAVRIN_PIXEL_ROWS_H

// Conversions between the byte orders codecs use and the 32-bit pixels of
// 'bits' streams (bytes B, G, R, A in memory). They run a row at a time on
// the hot path of decoding and encoding, so each uses the processor's byte
// shuffles where it has them. in and out never overlap.

#include <SupportDefs.h>

#include <cstddef>

namespace BPrivate {

// count pixels of R, G, B bytes to B, G, R, 255.
void rgb24_to_bgrx(const uint8* in, uint8* out, size_t count);

// count pixels of R, G, B, A bytes to B, G, R, A.
void rgba_to_bgra(const uint8* in, uint8* out, size_t count);

// count pixels of B, G, R, x bytes to R, G, B.
void bgrx_to_rgb24(const uint8* in, uint8* out, size_t count);

// height rows of width B, G, R, A pixels, inBytes apart, to rows of R, G, B,
// A bytes (with alpha) or R, G, B bytes (without), outBytes apart: the
// samples encoders hand to codec libraries that take RGB.
void bgra_rows_to_rgb(const uint8* in, size_t inBytes, uint8* out, size_t outBytes, size_t width,
                      size_t height, bool alpha);

} // namespace BPrivate

#endif
