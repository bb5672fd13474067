#include <GraphicsDefs.h>
#include <Point.h>

#include <cstring>

const pattern B_SOLID_HIGH = {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}};
const pattern B_MIXED_COLORS = {{0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55}};
const pattern B_SOLID_LOW = {{0, 0, 0, 0, 0, 0, 0, 0}};

bool operator==(const pattern& a, const pattern& b)
{
    return memcmp(a.data, b.data, sizeof(a.data)) == 0;
}

// The colour that stands for "no colour" in views and bitmaps, with its encodings
// in each pixel format.
const rgb_color B_TRANSPARENT_COLOR = {0x77, 0x74, 0x77, 0x74};
const rgb_color B_TRANSPARENT_32_BIT = {0x77, 0x74, 0x77, 0x74};
const uint8 B_TRANSPARENT_8_BIT = 0xff;
const uint8 B_TRANSPARENT_MAGIC_CMAP8 = 0xff;
const uint16 B_TRANSPARENT_MAGIC_RGBA15 = 0x39ce;
const uint16 B_TRANSPARENT_MAGIC_RGBA15_BIG = 0xce39;
const uint32 B_TRANSPARENT_MAGIC_RGBA32 = 0x77747774;
const uint32 B_TRANSPARENT_MAGIC_RGBA32_BIG = 0x74777477;

const BPoint B_ORIGIN(0, 0);

// Every row of a bitmap starts on a four-byte boundary; 1-bit spaces pack eight
// pixels into each byte.
bool get_pixel_size_for(color_space space, size_t* pixelChunk, size_t* rowAlignment,
                        size_t* pixelsPerChunk)
{
    size_t bytes;
    size_t pixels = 1;
    switch (space) {
    case B_RGBA64:
    case B_RGBA64_BIG:
        bytes = 8;
        break;
    case B_RGB48:
    case B_RGB48_BIG:
        bytes = 6;
        break;
    case B_RGB32:
    case B_RGBA32:
    case B_RGB32_BIG:
    case B_RGBA32_BIG:
        bytes = 4;
        break;
    case B_RGB24:
    case B_RGB24_BIG:
        bytes = 3;
        break;
    case B_RGB16:
    case B_RGB15:
    case B_RGBA15:
    case B_RGB16_BIG:
    case B_RGB15_BIG:
    case B_RGBA15_BIG:
        bytes = 2;
        break;
    case B_CMAP8:
    case B_GRAY8:
        bytes = 1;
        break;
    case B_GRAY1:
        bytes = 1;
        pixels = 8;
        break;
    default:
        return false;
    }
    if (pixelChunk != nullptr)
        *pixelChunk = bytes;
    if (rowAlignment != nullptr)
        *rowAlignment = 4;
    if (pixelsPerChunk != nullptr)
        *pixelsPerChunk = pixels;
    return true;
}
