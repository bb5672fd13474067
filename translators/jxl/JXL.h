#ifndef TAVRIN_JXL_H
#define TAVRIN_JXL_H

#include <DataIO.h>

#include <PictureMetadata.h>

#include "translation/BitsRows.h"

// The libjxl side of the JPEG XL translator: bare codestreams and files in
// the container, still pictures and animations.

// The type code of the format; it is this translator's own, as the kit has
// none for JPEG XL.
const uint32 kJXLFormat = 'JXL ';

struct JXLInfo
{
    // The picture as it shows, after its orientation is applied.
    uint32 width = 0;
    uint32 height = 0;
    bool hasAlpha = false;
    uint32 bitDepth = 8;
    bool animated = false;
    // Filled by decoding, before the sink starts, when set: the profile of
    // the decoded samples unless they are sRGB, the Exif and XMP boxes.
    BPrivate::PictureMetadata* metadata = nullptr;
};

struct JXLWriteOptions
{
    int32 quality = 90; // 0 to 100, mapped to a distance as cjxl maps it
    bool lossless = false;
    // The profile (the samples are sRGB without one), Exif and XMP boxes.
    const BPrivate::PictureMetadata* metadata = nullptr;
};

// B_NO_TRANSLATOR unless the data starts with a JPEG XL signature;
// B_ILLEGAL_DATA when its header is broken or cut short; B_BAD_VALUE when the
// picture passes the pixel limit.
status_t jxl_identify(BPositionIO* source, JXLInfo* info);

// Decodes the first frame as it shows (of an animation, the first one
// displayed), oriented, 8 bits per sample whatever the file holds, into the
// sink.
status_t jxl_decode(BPositionIO* source, JXLInfo* info, BPrivate::BitsRowSink* sink);

// Writes width x height pixels whose rows are rowBytes apart as sRGB.
status_t jxl_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                    const JXLWriteOptions& options, BPositionIO* destination);

#endif
