#ifndef TIFF_CODEC_H
#define TIFF_CODEC_H

#include <memory>

#include <DataIO.h>

// The libtiff side of the TIFF translator. Pixels are 32-bit words 0xAARRGGBB
// (bytes B, G, R, A in memory, alpha not premultiplied); a decoded buffer has
// rows of exactly width * 4 bytes and belongs to the caller.

// The values match libtiff's COMPRESSION_* tags, as written to the file.
enum TIFFCompression {
    kTIFFCompressionNone = 1,
    kTIFFCompressionLZW = 5,
    kTIFFCompressionDeflate = 8,
    kTIFFCompressionPackBits = 32773
};

struct TIFFInfo
{
    uint32 width = 0;
    uint32 height = 0;
    bool hasAlpha = false;
};

struct TIFFWriteOptions
{
    TIFFCompression compression = kTIFFCompressionLZW;
};

// True for the four compression schemes the writer offers.
bool tiff_is_known_compression(int32 compression);

// B_NO_TRANSLATOR when the data does not start with a TIFF header;
// B_ILLEGAL_DATA when the first directory is broken; B_NOT_SUPPORTED for a
// sample layout no reader here understands (floating point samples, say).
status_t tiff_identify(BPositionIO* source, TIFFInfo* info);

// Reads the first image of the file: strips or tiles, 1 to 16 bits per
// sample, palette, grey, RGB and RGBA are read directly; other photometric
// interpretations (YCbCr, CMYK, Lab, separate planes) go through libtiff's
// RGBA reader. Orientation tags are left alone.
status_t tiff_decode(BPositionIO* source, TIFFInfo* info, std::unique_ptr<uint8[]>* pixels);

// Writes width x height pixels whose rows are rowBytes apart, as 8-bit RGB or
// RGBA (unassociated alpha) in strips.
status_t tiff_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                     const TIFFWriteOptions& options, BPositionIO* destination);

#endif
