#include "TIFF.h"

#include <new>

#include "TIFFStream.h"
#include "translation/BaseTranslator.h"

// Writes one directory of 8-bit RGB or RGBA strips, converting each row
// from the bitmap's B, G, R, A bytes as it goes.

bool tiff_is_known_compression(int32 compression)
{
    return compression == kTIFFCompressionNone || compression == kTIFFCompressionLZW ||
           compression == kTIFFCompressionDeflate || compression == kTIFFCompressionPackBits;
}

status_t tiff_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                     const TIFFWriteOptions& options, BPositionIO* destination)
{
    if (BPrivate::check_decoded_size(width, height) != B_OK || rowBytes < size_t(width) * 4)
        return B_BAD_VALUE;
    if (!tiff_is_known_compression(options.compression))
        return B_BAD_VALUE;
    TIFFHandle tiff(tiff_open_stream(destination, "wm"));
    if (!tiff)
        return B_IO_ERROR;

    uint16 samples = hasAlpha ? 4 : 3;
    size_t lineSize = size_t(width) * samples;
    uint32 rowsPerStrip = uint32(256 * 1024 / lineSize);
    TIFF* t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, uint16(options.compression));
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip > 0 ? rowsPerStrip : 1);
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

    std::unique_ptr<uint8[]> line(new (std::nothrow) uint8[lineSize]);
    if (!line)
        return B_NO_MEMORY;
    for (uint32 y = 0; y < height; y++) {
        const uint8* in = bits + y * rowBytes;
        uint8* out = line.get();
        for (uint32 x = 0; x < width; x++, in += 4, out += samples) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (hasAlpha)
                out[3] = in[3];
        }
        if (TIFFWriteScanline(t, line.get(), y, 0) < 0)
            return B_IO_ERROR;
    }
    if (!TIFFWriteDirectory(t))
        return B_IO_ERROR;
    return B_OK;
}
