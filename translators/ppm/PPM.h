#ifndef TAVRIN_PPM_H
#define TAVRIN_PPM_H

// The Netpbm formats. PBM, PGM and PPM ("P1"/"P4", "P2"/"P5", "P3"/"P6")
// have a text header of width, height and (but for PBM) maximum value with
// '#' comments, then the samples as decimal text (P1, P2, P3) or binary: PBM
// packs eight pixels a byte, 1 for black; the others take one byte a sample,
// or two big-endian bytes when the maximum passes 255. PAM ("P7") has a
// header of named lines (WIDTH, HEIGHT, DEPTH, MAXVAL, TUPLTYPE, ENDHDR) and
// binary samples; its tuple type says what they are, alpha included.

#include <DataIO.h>

#include "translation/BitsHeader.h"

namespace ppm {

struct Header
{
    char kind; // '1' to '7'
    uint32 width;
    uint32 height;
    uint32 maxValue; // 1 for PBM
    uint32 depth;    // samples a pixel: 1 to 4
    bool alpha;      // the last sample is opacity
};

// The format written: 6 for binary (P6), 3 for ASCII text (P3).
extern const char* const kSettingFormat;
const int32 kBinary = 6;
const int32 kASCII = 3;

// Reads the header at the stream's position, leaving it at the first sample:
// B_NO_TRANSLATOR when the data is no Netpbm file, B_BAD_VALUE for a broken
// header, B_NOT_SUPPORTED for a PAM tuple type other than grey, black and
// white or RGB (each with or without alpha), B_ILLEGAL_DATA for one cut short.
status_t read_header(BPositionIO* source, Header* header);

status_t decode(BPositionIO* source, BPositionIO* destination);
status_t encode(const BPrivate::BitsInfo& bits, BPositionIO* source, bool ascii,
                BPositionIO* destination);

} // namespace ppm

#endif
