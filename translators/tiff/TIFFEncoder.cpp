#include "TIFF.h"

#include <algorithm>
#include <new>

#include "TIFFStream.h"
#include "translation/BaseTranslator.h"
#include "translation/PixelRows.h"

// Writes one directory of 8-bit RGB or RGBA strips, each converted from the
// rows of B, G, R, A bytes as they come from the source.

bool tiff_is_known_compression(int32 compression)
{
    return compression == kTIFFCompressionNone || compression == kTIFFCompressionLZW ||
           compression == kTIFFCompressionDeflate || compression == kTIFFCompressionPackBits;
}

status_t tiff_encode(BPrivate::BitsRowSource* source, uint32 width, uint32 height, bool hasAlpha,
                     const TIFFWriteOptions& options, BPositionIO* destination)
{
    if (BPrivate::check_decoded_size(width, height) != B_OK)
        return B_BAD_VALUE;
    if (!tiff_is_known_compression(options.compression))
        return B_BAD_VALUE;
    TIFFHandle tiff(tiff_open_stream(destination, "wm"));
    if (!tiff)
        return B_IO_ERROR;

    uint16 samples = hasAlpha ? 4 : 3;
    size_t lineSize = size_t(width) * samples;
    // Strips of about 256 KB: a strip's rows are all the picture there is in
    // memory at a time, once as they come and once as the file's samples.
    uint32 rowsPerStrip = std::clamp<uint32>(uint32(256 * 1024 / lineSize), 1, height);
    TIFF* t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, uint16(options.compression));
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (options.compression == kTIFFCompressionLZW ||
        options.compression == kTIFFCompressionDeflate)
        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    const BPrivate::PictureMetadata* metadata = options.metadata;
    if (metadata != nullptr && !metadata->icc.empty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32(metadata->icc.size()), metadata->icc.data());
    if (metadata != nullptr && !metadata->xmp.empty())
        TIFFSetField(t, TIFFTAG_XMLPACKET, uint32(metadata->xmp.size()), metadata->xmp.data());
    if (hasAlpha) {
        uint16 extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }

    size_t pixelRowBytes = size_t(width) * 4;
    std::unique_ptr<uint8[]> band(new (std::nothrow) uint8[pixelRowBytes * rowsPerStrip]);
    std::unique_ptr<uint8[]> strip(new (std::nothrow) uint8[lineSize * rowsPerStrip]);
    if (!band || !strip)
        return B_NO_MEMORY;
    for (uint32 y = 0, index = 0; y < height; y += rowsPerStrip, index++) {
        uint32 count = std::min(rowsPerStrip, height - y);
        status_t status = source->GetRows(band.get(), count);
        if (status != B_OK)
            return status;
        BPrivate::bgra_rows_to_rgb(band.get(), pixelRowBytes, strip.get(), lineSize, width, count,
                                   hasAlpha);
        if (TIFFWriteEncodedStrip(t, index, strip.get(), tmsize_t(lineSize * count)) < 0)
            return B_IO_ERROR;
    }
    if (!TIFFWriteDirectory(t))
        return B_IO_ERROR;
    return B_OK;
}
