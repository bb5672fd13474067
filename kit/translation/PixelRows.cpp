#include "PixelRows.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAVRIN_HAVE_SSSE3_PATH 1
#endif

namespace BPrivate {

namespace {

void rgb24_to_bgrx_plain(const uint8* in, uint8* out, size_t count)
{
    for (size_t i = 0; i < count; i++, in += 3, out += 4) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = 255;
    }
}

void rgba_to_bgra_plain(const uint8* in, uint8* out, size_t count)
{
    for (size_t i = 0; i < count; i++, in += 4, out += 4) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = in[3];
    }
}

void bgrx_to_rgb24_plain(const uint8* in, uint8* out, size_t count)
{
    for (size_t i = 0; i < count; i++, in += 4, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

#ifdef TAVRIN_HAVE_SSSE3_PATH

bool has_ssse3()
{
    static const bool kHas = __builtin_cpu_supports("ssse3");
    return kHas;
}

// Four pixels a step. A step loads (or stores) 16 bytes of which the
// 3-byte side uses 12, so it runs only while 6 pixels remain: the last
// 4 bytes touched then still lie inside the row.
__attribute__((target("ssse3"))) void rgb24_to_bgrx_ssse3(const uint8* in, uint8* out, size_t count)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i alpha = _mm_set1_epi32(int32(0xff000000u));
    size_t i = 0;
    for (; i + 6 <= count; i += 4) {
        __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 3));
        pixels = _mm_or_si128(_mm_shuffle_epi8(pixels, order), alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * 4), pixels);
    }
    rgb24_to_bgrx_plain(in + i * 3, out + i * 4, count - i);
}

__attribute__((target("ssse3"))) void rgba_to_bgra_ssse3(const uint8* in, uint8* out, size_t count)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * 4), _mm_shuffle_epi8(pixels, order));
    }
    rgba_to_bgra_plain(in + i * 4, out + i * 4, count - i);
}

__attribute__((target("ssse3"))) void bgrx_to_rgb24_ssse3(const uint8* in, uint8* out, size_t count)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    size_t i = 0;
    for (; i + 6 <= count; i += 4) {
        __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * 3), _mm_shuffle_epi8(pixels, order));
    }
    bgrx_to_rgb24_plain(in + i * 4, out + i * 3, count - i);
}

#endif

} // namespace

void rgb24_to_bgrx(const uint8* in, uint8* out, size_t count)
{
#ifdef TAVRIN_HAVE_SSSE3_PATH
    if (has_ssse3())
        return rgb24_to_bgrx_ssse3(in, out, count);
#endif
    rgb24_to_bgrx_plain(in, out, count);
}

void rgba_to_bgra(const uint8* in, uint8* out, size_t count)
{
#ifdef TAVRIN_HAVE_SSSE3_PATH
    if (has_ssse3())
        return rgba_to_bgra_ssse3(in, out, count);
#endif
    rgba_to_bgra_plain(in, out, count);
}

void bgrx_to_rgb24(const uint8* in, uint8* out, size_t count)
{
#ifdef TAVRIN_HAVE_SSSE3_PATH
    if (has_ssse3())
        return bgrx_to_rgb24_ssse3(in, out, count);
#endif
    bgrx_to_rgb24_plain(in, out, count);
}

void bgra_rows_to_rgb(const uint8* in, size_t inBytes, uint8* out, size_t outBytes, size_t width,
                      size_t height, bool alpha)
{
    for (size_t y = 0; y < height; y++, in += inBytes, out += outBytes) {
        // Swapping the first and third byte of each pixel goes both ways.
        if (alpha)
            rgba_to_bgra(in, out, width);
        else
            bgrx_to_rgb24(in, out, width);
    }
}

} // namespace BPrivate
