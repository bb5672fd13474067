#ifndef TAVRIN_HEIF_H
#define TAVRIN_HEIF_H

#include <DataIO.h>

#include <PictureMetadata.h>

#include "translation/BitsRows.h"

// The libheif side of the HEIF translator: HEVC-coded HEIF files (.heic, as
// phones write them). AV1-coded HEIF files are the AVIF translator's.

// The type code of the format; it is this translator's own, as the kit has
// none for HEIF.
const uint32 kHEIFFormat = 'HEIC';

struct HEIFInfo
{
    // The picture as it shows, after rotation, mirroring and cropping.
    uint32 width = 0;
    uint32 height = 0;
    bool hasAlpha = false;
    int32 bitDepth = 8;
    // Filled by decoding, before the sink starts, when set: the colour
    // profile (ICC, or nclx code points), the Exif and XMP blocks.
    BPrivate::PictureMetadata* metadata = nullptr;
};

struct HEIFWriteOptions
{
    int32 quality = 75; // 0 to 100
    // Full-resolution colour, an identity colour matrix and x265's lossless
    // mode: every pixel comes back exactly.
    bool lossless = false;
    // The colour profile (or code points), Exif and XMP to store, when set.
    const BPrivate::PictureMetadata* metadata = nullptr;
};

// Loads libheif's plugins for the lifetime of the object.
class HEIFLibrary
{
public:
    HEIFLibrary();
    ~HEIFLibrary();
};

// B_NO_TRANSLATOR unless the data is an HEVC-coded HEIF file; B_ILLEGAL_DATA
// when its boxes are broken; B_BAD_VALUE when the picture passes the pixel
// limit.
status_t heif_identify(BPositionIO* source, HEIFInfo* info);

// Decodes the primary image with its rotation, mirroring and cropping
// applied, 8 bits per sample whatever the file holds, into the sink.
status_t heif_decode(BPositionIO* source, HEIFInfo* info, BPrivate::BitsRowSink* sink);

// Writes width x height pixels whose rows are rowBytes apart as one HEVC
// image; with alpha, the alpha plane goes into an auxiliary image.
status_t heif_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                     const HEIFWriteOptions& options, BPositionIO* destination);

#endif
