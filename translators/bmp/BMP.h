#ifndef TAVRIN_BMP_H
#define TAVRIN_BMP_H

// The Windows and OS/2 bitmap layout: a 14-byte file header ("BM", sizes and
// the offset of the pixels), an information header whose size names its
// version (12 for OS/2, 40 for Windows 3, 52/56 with masks, 108 for V4, 124
// for V5), an optional palette or mask block, then rows padded to four bytes,
// bottom-up unless the height is negative.

#include <DataIO.h>

#include "translation/BitsHeader.h"

namespace bmp {

enum Compression { kRGB = 0, kRLE8 = 1, kRLE4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

const size_t kFileHeaderSize = 14;

struct Header
{
    uint32 dataOffset;
    uint32 infoSize;
    int32 width;
    int32 height;
    uint16 bits;
    uint32 compression;
    uint32 colorsUsed;
    // Colour masks; a zero alpha mask means the image has no alpha.
    uint32 masks[4];
    // Bytes of each palette entry: 3 for OS/2 headers, 4 otherwise.
    uint32 paletteEntrySize;
    // Where the palette starts, right after the headers and any masks.
    uint32 paletteOffset;
};

// Reads and checks the headers at the stream's position (which is left after
// the headers): B_NO_TRANSLATOR when the data is no BMP, B_NOT_SUPPORTED for
// a variant this translator cannot read, B_BAD_VALUE for broken fields.
status_t read_header(BPositionIO* source, Header* header);

status_t decode(BPositionIO* source, BPositionIO* destination);
status_t encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BPositionIO* destination);

} // namespace bmp

#endif
