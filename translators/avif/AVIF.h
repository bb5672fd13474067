#ifndef TAVRIN_AVIF_H
#define TAVRIN_AVIF_H

#include <DataIO.h>

#include <PictureMetadata.h>

#include "translation/BitsRows.h"

// The libavif side of the AVIF translator: AV1-coded HEIF files, still
// pictures and sequences.

// The type code of the format; it is this translator's own, as the kit has
// none for AVIF.
const uint32 kAVIFFormat = 'AVIF';

struct AVIFInfo
{
    // The picture as it shows, after cropping, rotation and mirroring.
    uint32 width = 0;
    uint32 height = 0;
    bool hasAlpha = false;
    uint32 bitDepth = 8;
    uint32 frames = 1;
    // Filled by decoding, before the sink starts, when set: the colour
    // profile (ICC, or code points), the Exif and XMP blocks.
    BPrivate::PictureMetadata* metadata = nullptr;
};

struct AVIFWriteOptions
{
    int32 quality = 75; // 0 to 100
    // Full-resolution colour stored as G, B, R planes at quantizer 0: every
    // pixel comes back exactly.
    bool lossless = false;
    // The colour profile (or code points), Exif and XMP to store, when set.
    const BPrivate::PictureMetadata* metadata = nullptr;
};

// B_NO_TRANSLATOR unless the file type box names AVIF; B_ILLEGAL_DATA when
// the file is broken; B_BAD_VALUE when the picture passes the pixel limit.
status_t avif_identify(BPositionIO* source, AVIFInfo* info);

// Decodes the first image (of a sequence, its first frame) with the clean
// aperture, rotation and mirroring the file asks for applied, 8 bits per
// sample whatever the file holds, into the sink.
status_t avif_decode(BPositionIO* source, AVIFInfo* info, BPrivate::BitsRowSink* sink);

// Writes width x height pixels whose rows are rowBytes apart as one AV1
// image; alpha, when there is any, is kept losslessly.
status_t avif_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                     const AVIFWriteOptions& options, BPositionIO* destination);

#endif
