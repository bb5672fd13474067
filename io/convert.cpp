#include "io/convert.h"

#include <Bitmap.h>
#include <PixelSize.h>

#include <cstring>

namespace {

inline uint32 argb(uint32 a, uint32 r, uint32 g, uint32 b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

inline uint32 expand5(uint32 v)
{
    return (v << 3) | (v >> 2);
}

inline uint32 expand6(uint32 v)
{
    return (v << 2) | (v >> 4);
}

// The platform's standard 8-bit palette is not available here; an 8-bit
// indexed bitmap is read as a 6 x 6 x 6 colour cube followed by greys.
uint32 cmap8(uint8 index)
{
    if (index < 216) {
        uint32 r = index / 36, g = (index / 6) % 6, b = index % 6;
        return argb(255, r * 51, g * 51, b * 51);
    }
    uint32 grey = (index - 216) * 255 / 39;
    return argb(255, grey, grey, grey);
}

bool convert_row(color_space space, const uint8* in, uint32* out, int32 width)
{
    switch (space) {
    case B_RGB32:
    case B_RGBA32:
        memcpy(out, in, (size_t)width * 4);
        return true;
    case B_RGB32_BIG:
    case B_RGBA32_BIG:
        for (int32 x = 0; x < width; x++, in += 4)
            out[x] = argb(space == B_RGBA32_BIG ? in[0] : 255, in[1], in[2], in[3]);
        return true;
    case B_RGB24:
        for (int32 x = 0; x < width; x++, in += 3)
            out[x] = argb(255, in[2], in[1], in[0]);
        return true;
    case B_RGB24_BIG:
        for (int32 x = 0; x < width; x++, in += 3)
            out[x] = argb(255, in[0], in[1], in[2]);
        return true;
    case B_RGB16:
    case B_RGB16_BIG:
        for (int32 x = 0; x < width; x++, in += 2) {
            uint32 v = space == B_RGB16 ? (in[0] | (in[1] << 8)) : ((in[0] << 8) | in[1]);
            out[x] = argb(255, expand5(v >> 11), expand6((v >> 5) & 0x3f), expand5(v & 0x1f));
        }
        return true;
    case B_RGB15:
    case B_RGBA15:
    case B_RGB15_BIG:
    case B_RGBA15_BIG:
        for (int32 x = 0; x < width; x++, in += 2) {
            bool little = space == B_RGB15 || space == B_RGBA15;
            uint32 v = little ? (in[0] | (in[1] << 8)) : ((in[0] << 8) | in[1]);
            bool alpha = space == B_RGBA15 || space == B_RGBA15_BIG;
            out[x] = argb(alpha ? ((v & 0x8000) ? 255 : 0) : 255, expand5((v >> 10) & 0x1f),
                          expand5((v >> 5) & 0x1f), expand5(v & 0x1f));
        }
        return true;
    case B_GRAY8:
        for (int32 x = 0; x < width; x++)
            out[x] = argb(255, in[x], in[x], in[x]);
        return true;
    case B_CMAP8:
        for (int32 x = 0; x < width; x++)
            out[x] = cmap8(in[x]);
        return true;
    case B_GRAY1:
        for (int32 x = 0; x < width; x++) {
            bool set = in[x / 8] & (0x80 >> (x % 8));
            out[x] = set ? argb(255, 0, 0, 0) : argb(255, 255, 255, 255);
        }
        return true;
    default:
        return false;
    }
}

} // namespace

BBitmap* make_copyable(BBitmap* source)
{
    if (!source || !source->IsValid()) {
        delete source;
        return nullptr;
    }
    BRect bounds = source->Bounds();
    color_space space = source->ColorSpace();
    int32 width = pixel_width(bounds);
    int32 height = pixel_height(bounds);
    bool rowsExact = source->BytesPerRow() == width * 4;
    if ((space == B_RGB32 || space == B_RGBA32) && rowsExact && bounds.left == 0 && bounds.top == 0)
        return source;

    BRect target(0, 0, width - 1, height - 1);
    bool alpha =
        space == B_RGBA32 || space == B_RGBA32_BIG || space == B_RGBA15 || space == B_RGBA15_BIG;
    BBitmap* copy = new BBitmap(target, alpha ? B_RGBA32 : B_RGB32);
    if (!copy->IsValid()) {
        delete copy;
        delete source;
        return nullptr;
    }
    const uint8* in = static_cast<const uint8*>(source->Bits());
    uint32* out = static_cast<uint32*>(copy->Bits());
    for (int32 y = 0; y < height; y++) {
        if (!convert_row(space, in + (size_t)y * source->BytesPerRow(), out + (size_t)y * width,
                         width)) {
            delete copy;
            delete source;
            return nullptr;
        }
    }
    delete source;
    return copy;
}
