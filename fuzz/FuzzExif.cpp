// The fuzz target of the Exif parser the JPEG, PNG, TIFF and WebP decoders
// share: it reads untrusted blocks, which must never take it outside them.
// The orientation it answers then turns a small picture, as the decoders do.
// The same block then goes through every edit the metadata record makes on
// the way to a file (turned upright, resized, location and camera removed),
// and as an XMP packet through the XMP edits.

#include <SupportDefs.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include <PictureMetadata.h>

#include "translation/ImageOrientation.h"

namespace {

class DiscardingSink : public BPrivate::BitsRowSink
{
public:
    status_t Start(uint32 width, uint32 height, bool alpha) override
    {
        fRowBytes = size_t(width) * 4;
        return B_OK;
    }
    status_t PutRows(const uint8* rows, uint32 count) override
    {
        // Touch every byte handed over, so that a short block shows up.
        uint8 sum = 0;
        for (size_t i = 0; i < fRowBytes * count; i++)
            sum ^= rows[i];
        fSum ^= sum;
        return B_OK;
    }

    size_t fRowBytes = 0;
    uint8 fSum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input's size, so that the sanitizer sees any
    // read past it.
    std::unique_ptr<uint8[]> block(new uint8[size > 0 ? size : 1]);
    if (size > 0)
        memcpy(block.get(), data, size);
    int32 orientation = BPrivate::exif_orientation(block.get(), size);
    if (orientation < 0 || orientation > 8)
        __builtin_trap();

    const uint32 width = 5, height = 3;
    uint8 pixels[width * height * 4];
    for (size_t i = 0; i < sizeof(pixels); i++)
        pixels[i] = uint8(i);
    DiscardingSink sink;
    BPrivate::OrientingSink upright(&sink, orientation);
    if (upright.Start(width, height, false) == B_OK)
        upright.PutRows(pixels, height);

    BPrivate::PictureMetadata metadata;
    metadata.SetExif(block.get(), size);
    metadata.xmp.assign(reinterpret_cast<const char*>(data), size);
    BPrivate::exif_orientation_of(metadata.exif);
    BPrivate::exif_has_location(metadata.exif);
    metadata.MarkTurnedUpright();
    metadata.FitTo(7, 3);
    metadata.RemoveLocation();
    metadata.RemoveCamera();
    if (BPrivate::exif_has_location(metadata.exif) || BPrivate::exif_has_thumbnail(metadata.exif))
        __builtin_trap();
    return 0;
}
