#ifndef TAVRIN_PPM_H
#define TAVRIN_PPM_H

// The Netpbm grey and colour formats: "P2"/"P5" (PGM) and "P3"/"P6" (PPM), a
// text header of width, height and maximum value with '#' comments, then the
// samples as decimal text (P2, P3) or binary bytes, two big-endian bytes each
// when the maximum passes 255 (P5, P6).

#include <DataIO.h>

#include "translation/BitsHeader.h"

namespace ppm {

struct Header
{
    char kind; // '2', '3', '5' or '6'
    uint32 width;
    uint32 height;
    uint32 maxValue;
};

// The format written: 6 for binary (P6), 3 for ASCII text (P3).
extern const char* const kSettingFormat;
const int32 kBinary = 6;
const int32 kASCII = 3;

// Reads the header at the stream's position, leaving it at the first sample:
// B_NO_TRANSLATOR when the data is no PGM/PPM, B_BAD_VALUE for a broken
// header, B_ILLEGAL_DATA for one cut short.
status_t read_header(BPositionIO* source, Header* header);

status_t decode(BPositionIO* source, BPositionIO* destination);
status_t encode(const BPrivate::BitsInfo& bits, BPositionIO* source, bool ascii,
                BPositionIO* destination);

} // namespace ppm

#endif
