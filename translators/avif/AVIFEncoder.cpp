#include "AVIF.h"

#include <memory>

#include <avif/avif.h>

#include "AVIFErrors.h"
#include "translation/BaseTranslator.h"

// The writing half: libavif converts the pixels to YUV and encodes them into
// a buffer of its own, which then goes to the stream whole.

status_t avif_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                     const AVIFWriteOptions& options, BPositionIO* destination)
{
    if (BPrivate::check_decoded_size(width, height) != B_OK || rowBytes < size_t(width) * 4 ||
        rowBytes > UINT32_MAX)
        return B_BAD_VALUE;

    std::unique_ptr<avifImage, void (*)(avifImage*)> image(
        avifImageCreate(width, height, 8,
                        options.lossless ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420),
        avifImageDestroy);
    if (!image)
        return B_NO_MEMORY;
    // sRGB; lossless pictures keep R, G and B as planes of their own.
    image->colorPrimaries = AVIF_COLOR_PRIMARIES_BT709;
    image->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
    image->matrixCoefficients =
        options.lossless ? AVIF_MATRIX_COEFFICIENTS_IDENTITY : AVIF_MATRIX_COEFFICIENTS_BT601;
    image->yuvRange = AVIF_RANGE_FULL;
    const BPrivate::PictureMetadata* metadata = options.metadata;
    if (metadata != nullptr) {
        if (!metadata->icc.empty()) {
            avifImageSetProfileICC(image.get(),
                                   reinterpret_cast<const uint8_t*>(metadata->icc.data()),
                                   metadata->icc.size());
        } else if (metadata->cicp.IsSet()) {
            image->colorPrimaries = avifColorPrimaries(metadata->cicp.primaries);
            image->transferCharacteristics = avifTransferCharacteristics(metadata->cicp.transfer);
        }
        if (!metadata->exif.empty())
            avifImageSetMetadataExif(image.get(),
                                     reinterpret_cast<const uint8_t*>(metadata->exif.data()),
                                     metadata->exif.size());
        if (!metadata->xmp.empty())
            avifImageSetMetadataXMP(image.get(),
                                    reinterpret_cast<const uint8_t*>(metadata->xmp.data()),
                                    metadata->xmp.size());
    }

    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image.get());
    rgb.format = AVIF_RGB_FORMAT_BGRA;
    rgb.depth = 8;
    rgb.ignoreAlpha = hasAlpha ? AVIF_FALSE : AVIF_TRUE;
    rgb.pixels = const_cast<uint8*>(bits);
    rgb.rowBytes = uint32(rowBytes);
    status_t status = status_for(avifImageRGBToYUV(image.get(), &rgb), B_OK);
    if (status != B_OK)
        return status;

    std::unique_ptr<avifEncoder, void (*)(avifEncoder*)> encoder(avifEncoderCreate(),
                                                                 avifEncoderDestroy);
    if (!encoder)
        return B_NO_MEMORY;
    encoder->maxThreads = 2;
    // avifenc's default: the encoder's slowest settings take minutes for a
    // photo and gain little.
    encoder->speed = 6;
    int32 quality = options.quality < 0 ? 0 : options.quality > 100 ? 100 : options.quality;
    int quantizer = options.lossless
                        ? AVIF_QUANTIZER_LOSSLESS
                        : int(((100 - quality) * AVIF_QUANTIZER_WORST_QUALITY + 50) / 100);
    encoder->minQuantizer = encoder->maxQuantizer = quantizer;
    encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;

    avifRWData output = AVIF_DATA_EMPTY;
    status = status_for(avifEncoderWrite(encoder.get(), image.get(), &output), B_OK);
    if (status == B_OK) {
        status = destination->WriteExactly(output.data, output.size);
        if (status == B_ERROR)
            status = B_IO_ERROR;
    }
    avifRWDataFree(&output);
    return status;
}
