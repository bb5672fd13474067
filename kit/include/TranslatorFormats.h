#ifndef _TRANSLATOR_FORMATS_H
#define _TRANSLATOR_FORMATS_H

#include <GraphicsDefs.h>
#include <Rect.h>

// Groups, which are also the standard interchange formats.
enum TranslatorGroups {
    B_TRANSLATOR_BITMAP = 'bits',
    B_TRANSLATOR_PICTURE = 'pict',
    B_TRANSLATOR_SOUND = 'nois',
    B_TRANSLATOR_TEXT = 'TEXT',
    B_TRANSLATOR_MIDI = 'midi',
    B_TRANSLATOR_MEDIA = 'mhi!',
    B_TRANSLATOR_NONE = 'none',
    B_TRANSLATOR_ANY_TYPE = 0
};

enum {
    B_GIF_FORMAT = 'GIF ',
    B_JPEG_FORMAT = 'JPEG',
    B_PNG_FORMAT = 'PNG ',
    B_PPM_FORMAT = 'PPM ',
    B_TGA_FORMAT = 'TGA ',
    B_BMP_FORMAT = 'BMP ',
    B_TIFF_FORMAT = 'TIFF',
    B_WEBP_FORMAT = 'WebP'
};

// The header of the standard bitmap stream, stored big-endian before the rows.
struct TranslatorBitmap
{
    uint32 magic; // B_TRANSLATOR_BITMAP
    BRect bounds;
    uint32 rowBytes;
    color_space colors;
    uint32 dataSize;
};

#define B_TRANSLATOR_BITMAP_HEADER_SIZE 32

// ioExtension fields that carry what a picture has besides its pixels, so
// that a conversion, a save or a drag keeps it. A translator reading a
// picture adds them (raw bytes) before it writes the bitmap's header; one
// writing a picture takes them from there.
#define B_TRANSLATOR_EXT_ICC_PROFILE "/icc_profile" // an ICC profile
#define B_TRANSLATOR_EXT_EXIF "/exif" // a TIFF-structured Exif block, no "Exif" prefix
#define B_TRANSLATOR_EXT_XMP "/xmp"   // an XMP packet
// H.273 colour primaries, transfer, matrix and full range, one byte each.
#define B_TRANSLATOR_EXT_CICP "/cicp"
// A bool every image translator reads: true leaves the metadata (Exif, XMP)
// of the source out of the file written (the colour profile stays).
#define B_TRANSLATOR_EXT_STRIP_METADATA "/strip_metadata"

#endif
