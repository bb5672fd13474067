#ifndef _GRAPHICS_DEFS_H
#define _GRAPHICS_DEFS_H

#include <SupportDefs.h>

// An 8 x 8 bit mask: a set bit takes the high colour, a clear bit the low colour.
// Byte i is row i; its most significant bit is the leftmost pixel.
typedef struct pattern
{
    uint8 data[8];
} pattern;

bool operator==(const pattern& a, const pattern& b);

extern const pattern B_SOLID_HIGH;
extern const pattern B_MIXED_COLORS;
extern const pattern B_SOLID_LOW;

typedef struct rgb_color
{
    uint8 red;
    uint8 green;
    uint8 blue;
    uint8 alpha;

    rgb_color& set_to(uint8 r, uint8 g, uint8 b, uint8 a = 255)
    {
        red = r;
        green = g;
        blue = b;
        alpha = a;
        return *this;
    }
    bool operator==(const rgb_color& o) const
    {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
    bool operator!=(const rgb_color& o) const { return !(*this == o); }
} rgb_color;

inline rgb_color make_color(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255)
{
    rgb_color c = {red, green, blue, alpha};
    return c;
}

extern const rgb_color B_TRANSPARENT_COLOR;
extern const uint8 B_TRANSPARENT_MAGIC_CMAP8;
extern const uint16 B_TRANSPARENT_MAGIC_RGBA15;
extern const uint16 B_TRANSPARENT_MAGIC_RGBA15_BIG;
extern const uint32 B_TRANSPARENT_MAGIC_RGBA32;
extern const uint32 B_TRANSPARENT_MAGIC_RGBA32_BIG;
extern const uint8 B_TRANSPARENT_8_BIT;
extern const rgb_color B_TRANSPARENT_32_BIT;

typedef enum {
    B_NO_COLOR_SPACE = 0x0000,
    B_RGB32 = 0x0008,
    B_RGBA32 = 0x2008,
    B_RGB24 = 0x0003,
    B_RGB16 = 0x0005,
    B_RGB15 = 0x0010,
    B_RGBA15 = 0x2010,
    B_CMAP8 = 0x0004,
    B_GRAY8 = 0x0002,
    B_GRAY1 = 0x0001,
    B_RGB32_BIG = 0x1008,
    B_RGBA32_BIG = 0x3008,
    B_RGB24_BIG = 0x1003,
    B_RGB16_BIG = 0x1005,
    B_RGB15_BIG = 0x1010,
    B_RGBA15_BIG = 0x3010,
    B_RGB48 = 0x0011,
    B_RGB48_BIG = 0x1011,
    B_RGBA64 = 0x2012,
    B_RGBA64_BIG = 0x3012,
} color_space;

// Bytes per pixel (rounded up for 1-bit spaces) and pixels per chunk; false for an unknown space.
bool get_pixel_size_for(color_space space, size_t* pixelChunk, size_t* rowAlignment,
                        size_t* pixelsPerChunk);

enum buffer_orientation { B_BUFFER_TOP_TO_BOTTOM, B_BUFFER_BOTTOM_TO_TOP };

enum buffer_layout { B_BUFFER_NONINTERLEAVED = 1 };

enum drawing_mode {
    B_OP_COPY,
    B_OP_OVER,
    B_OP_ERASE,
    B_OP_INVERT,
    B_OP_ADD,
    B_OP_SUBTRACT,
    B_OP_BLEND,
    B_OP_MIN,
    B_OP_MAX,
    B_OP_SELECT,
    B_OP_ALPHA
};

#endif
