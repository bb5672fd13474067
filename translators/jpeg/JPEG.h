#ifndef TAVRIN_JPEG_H
#define TAVRIN_JPEG_H

#include <DataIO.h>

#include <PictureMetadata.h>

#include "translation/BitsRows.h"

// The libjpeg-turbo side of the JPEG translator. Pixels are 32-bit words
// 0xAARRGGBB (bytes B, G, R, A in memory); decoded rows are exactly
// width * 4 bytes, alpha 255.

enum JPEGSubsampling { kSubsampling444 = 0, kSubsampling422 = 1, kSubsampling420 = 2 };

struct JPEGInfo
{
    uint32 width = 0;
    uint32 height = 0;
    int32 components = 0;
    bool progressive = false;
    int32 orientation = 1; // as the Exif block says; 1 when not applied
    // Filled by decoding, before the sink starts, when set: the ICC profile
    // (APP2), Exif and XMP (APP1).
    BPrivate::PictureMetadata* metadata = nullptr;
};

struct JPEGWriteOptions
{
    int32 quality = 90; // 1 to 100
    bool progressive = false;
    JPEGSubsampling subsampling = kSubsampling420;
    // Written as APP1 (Exif, XMP) and APP2 (ICC) markers when set; blocks too
    // large for one marker are left out.
    const BPrivate::PictureMetadata* metadata = nullptr;
};

// B_NO_TRANSLATOR when the data does not start with a JPEG start-of-image
// marker; B_ILLEGAL_DATA when the headers that follow are broken.
status_t jpeg_identify(BPositionIO* source, JPEGInfo* info);

// Reads the whole image: grey, YCbCr, RGB and CMYK/YCCK (Adobe's inverted
// CMYK when the APP14 marker says so), turned upright as its Exif
// orientation says when upright is set. Data that ends before the image does
// is an error, not a grey tail; a missing end-of-image marker after the last
// row is not. Rows reach the sink a block at a time, so no whole-image buffer
// is made here unless the orientation turns the picture.
status_t jpeg_decode(BPositionIO* source, JPEGInfo* info, bool upright,
                     BPrivate::BitsRowSink* sink);

// Writes width x height pixels taken from rows; alpha is ignored.
status_t jpeg_encode(BPrivate::BitsRowSource* rows, uint32 width, uint32 height,
                     const JPEGWriteOptions& options, BPositionIO* destination);

#endif
