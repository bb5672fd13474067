#ifndef _TAVRIN_BITS_HEADER_H
#define _TAVRIN_BITS_HEADER_H

// The 32-byte header of the standard bitmap stream ('bits'), shared by
// BBitmapStream and the translators: conversion to and from its big-endian
// bytes and the one set of consistency checks every reader applies.

#include <DataIO.h>
#include <TranslatorFormats.h>

#include <memory>

namespace BPrivate {

// A checked header with the figures derived from it.
struct BitsInfo
{
    TranslatorBitmap header;
    uint32 width;
    uint32 height;
    // The fewest bytes a row of this width holds in this colour space.
    uint32 minRowBytes;
};

void bits_header_to_bytes(const TranslatorBitmap& header,
                          uint8 bytes[B_TRANSLATOR_BITMAP_HEADER_SIZE]);
void bits_header_from_bytes(const uint8 bytes[B_TRANSLATOR_BITMAP_HEADER_SIZE],
                            TranslatorBitmap* header);

// B_NO_TRANSLATOR when the magic is not 'bits'; B_BAD_VALUE when the header
// is inconsistent: bounds not finite or inverted, a colour space without a
// pixel size, rows shorter than the width needs, a data size that is not
// rowBytes x height, arithmetic that overflows, or more pixel bytes than
// B_TRANSLATION_MAX_PIXEL_BYTES.
status_t check_bits_header(const TranslatorBitmap& header, BitsInfo* info = nullptr);

// Reads and checks the header at the stream's position.
status_t read_bits_header(BPositionIO* source, BitsInfo* info);

// A header for a top-down bitmap of width x height pixels at (0, 0).
TranslatorBitmap make_bits_header(uint32 width, uint32 height, color_space space);

// Writes the header of make_bits_header() at the stream's position.
status_t write_bits_header(BPositionIO* destination, uint32 width, uint32 height,
                           color_space space);

// Writes a whole decoded picture as a 'bits' stream: the header, then rows of
// exactly width x 4 bytes (B_RGBA32 with alpha, else B_RGB32).
status_t write_bits_picture(BPositionIO* destination, uint32 width, uint32 height, bool alpha,
                            const uint8* pixels);

// Reads the rows of a checked 'bits' stream that follow at the source's
// position into a buffer of its own. A source shorter than the header says is
// B_ILLEGAL_DATA, found out before the buffer is made where the size is known.
status_t read_bits_rows(const BitsInfo& bits, BPositionIO* source, std::unique_ptr<uint8[]>* rows);

} // namespace BPrivate

#endif
