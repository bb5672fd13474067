#ifndef TAVRIN_WEBP_H
#define TAVRIN_WEBP_H

#include <memory>

#include <DataIO.h>
#include <PictureMetadata.h>

// The libwebp side of the WebP translator. Pixels are 32-bit words 0xAARRGGBB
// (bytes B, G, R, A in memory); a decoded buffer has rows of exactly width * 4
// bytes and belongs to the caller.

struct WebPInfo
{
    uint32 width = 0;
    uint32 height = 0;
    bool hasAlpha = false;
    bool animated = false;
    // What the EXIF chunk says (1 to 8; 1 without one), found by decoding.
    int32 orientation = 1;
    // Filled by decoding when set: the ICCP, EXIF and XMP chunks.
    BPrivate::PictureMetadata* metadata = nullptr;
};

struct WebPWriteOptions
{
    int32 quality = 80; // 0 to 100; for lossless files, the effort spent
    bool lossless = false;
    // Written as ICCP, EXIF and XMP chunks of an extended file when set.
    const BPrivate::PictureMetadata* metadata = nullptr;
};

// B_NO_TRANSLATOR when the data is not a RIFF WEBP container; B_ILLEGAL_DATA
// when its chunks are broken or cut short.
status_t webp_identify(BPositionIO* source, WebPInfo* info);

// Reads a lossy or lossless image, with or without alpha; of an animation,
// the first frame as it shows on the canvas. The pixels are in stored order;
// info->orientation says how to turn them upright.
status_t webp_decode(BPositionIO* source, WebPInfo* info, std::unique_ptr<uint8[]>* pixels);

// True when a still WebP image can be width x height pixels: at most 16383
// on a side.
bool webp_can_hold(uint32 width, uint32 height);

// Writes width x height pixels whose rows are rowBytes apart, releasing the
// rows as soon as libwebp has its own copy. Lossless files keep every pixel
// exactly, the colour of fully transparent ones included. A picture larger
// than the format holds, or whose coded data passes its limits even when
// the encoder spends fewer bits on it, is the EFBIG status; libwebp's other
// failures come back as their own status.
status_t webp_encode(std::unique_ptr<uint8[]> bits, uint32 width, uint32 height, size_t rowBytes,
                     bool hasAlpha, const WebPWriteOptions& options, BPositionIO* destination);

#endif
