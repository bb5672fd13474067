#include "WebP.h"

#include <cerrno>
#include <memory>

#include <string>

#include <webp/encode.h>
#include <webp/mux.h>

#include <Errors.h>

#include "translation/BaseTranslator.h"

// The writing half: libwebp encodes the whole picture and hands the file to
// a writer of ours as it goes.

namespace {

struct WriterContext
{
    BPositionIO* destination;
    status_t error;
};

int write_data(const uint8_t* data, size_t size, const WebPPicture* picture)
{
    WriterContext* context = static_cast<WriterContext*>(picture->custom_ptr);
    status_t status = context->destination->WriteExactly(data, size);
    if (status != B_OK) {
        context->error = status == B_ERROR ? status_t(B_IO_ERROR) : status;
        return 0;
    }
    return 1;
}

// The first partition of a lossy file, which holds every macroblock's
// modes, is at most 512 KiB: some 4 bits a macroblock for a picture of
// 16000 x 16000, about what the cheapest modes cost. Past this many
// macroblocks (about 11600 x 11600) the encoder is told from the start to
// spend the fewest bits on modes it can, with one segment, whose map costs
// nothing; a busy picture may still not fit, and then the encoder fails
// early instead of after minutes.
const uint64 kTooManyForModes = 1 << 19;

uint64 macroblocks(uint32 width, uint32 height)
{
    return uint64((width + 15) / 16) * ((height + 15) / 16);
}

status_t status_for(WebPEncodingError error)
{
    switch (error) {
    case VP8_ENC_OK:
        return B_OK;
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
        return B_NO_MEMORY;
    case VP8_ENC_ERROR_NULL_PARAMETER:
    case VP8_ENC_ERROR_INVALID_CONFIGURATION:
        return B_BAD_VALUE;
    case VP8_ENC_ERROR_BAD_DIMENSION:
    case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
    case VP8_ENC_ERROR_PARTITION_OVERFLOW:
    case VP8_ENC_ERROR_FILE_TOO_BIG:
        // What the picture needs does not fit what the format can hold.
        return status_from_errno(EFBIG);
    case VP8_ENC_ERROR_BAD_WRITE:
        return B_IO_ERROR;
    case VP8_ENC_ERROR_USER_ABORT:
        return B_CANCELED;
    default:
        return B_ERROR;
    }
}

// Runs the encoder; a run that failed may have written the file's first
// headers, so another run starts again at start.
status_t encode_picture(const WebPConfig& config, WebPPicture* picture, BPositionIO* destination,
                        off_t start)
{
    if (destination->Seek(start, SEEK_SET) != start)
        return B_IO_ERROR;
    WriterContext context = {destination, B_OK};
    picture->writer = write_data;
    picture->custom_ptr = &context;
    picture->error_code = VP8_ENC_OK;
    if (WebPEncode(&config, picture))
        return B_OK;
    if (context.error != B_OK)
        return context.error;
    return status_for(picture->error_code);
}

// Writes the encoded file again with the metadata chunks added (which
// makes it an extended file); libwebp's muxer places them where readers
// look for them.
status_t write_with_metadata(const BMallocIO& encoded, const BPrivate::PictureMetadata& metadata,
                             BPositionIO* destination)
{
    WebPData image = {static_cast<const uint8_t*>(encoded.Buffer()),
                      size_t(encoded.BufferLength())};
    WebPMux* mux = WebPMuxCreate(&image, 0);
    if (mux == nullptr)
        return B_ERROR;
    struct Chunk
    {
        const char* name;
        const std::string& bytes;
    } chunks[] = {{"ICCP", metadata.icc}, {"EXIF", metadata.exif}, {"XMP ", metadata.xmp}};
    WebPMuxError error = WEBP_MUX_OK;
    for (const Chunk& chunk : chunks) {
        if (chunk.bytes.empty() || error != WEBP_MUX_OK)
            continue;
        WebPData data = {reinterpret_cast<const uint8_t*>(chunk.bytes.data()), chunk.bytes.size()};
        error = WebPMuxSetChunk(mux, chunk.name, &data, 1);
    }
    WebPData assembled = {nullptr, 0};
    if (error == WEBP_MUX_OK)
        error = WebPMuxAssemble(mux, &assembled);
    WebPMuxDelete(mux);
    if (error != WEBP_MUX_OK) {
        WebPDataClear(&assembled);
        return error == WEBP_MUX_MEMORY_ERROR ? B_NO_MEMORY : B_ERROR;
    }
    status_t status = destination->WriteExactly(assembled.bytes, assembled.size);
    WebPDataClear(&assembled);
    return status;
}

} // namespace

bool webp_can_hold(uint32 width, uint32 height)
{
    return width > 0 && height > 0 && width <= WEBP_MAX_DIMENSION && height <= WEBP_MAX_DIMENSION;
}

status_t webp_encode(std::unique_ptr<uint8[]> bits, uint32 width, uint32 height, size_t rowBytes,
                     bool hasAlpha, const WebPWriteOptions& options, BPositionIO* destination)
{
    if (!webp_can_hold(width, height))
        return status_from_errno(EFBIG);
    if (BPrivate::check_decoded_size(width, height) != B_OK || rowBytes < size_t(width) * 4 ||
        rowBytes > INT32_MAX)
        return B_BAD_VALUE;

    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
        return B_ERROR;
    int32 quality = options.quality < 0 ? 0 : options.quality > 100 ? 100 : options.quality;
    config.quality = float(quality);
    config.lossless = options.lossless ? 1 : 0;
    config.exact = options.lossless ? 1 : 0;
    uint64 blocks = macroblocks(width, height);
    if (!options.lossless && blocks > kTooManyForModes) {
        config.partition_limit = 100;
        config.segments = 1;
    }
    if (!WebPValidateConfig(&config))
        return B_BAD_VALUE;

    picture.use_argb = options.lossless ? 1 : 0;
    picture.width = int(width);
    picture.height = int(height);
    int imported = hasAlpha ? WebPPictureImportBGRA(&picture, bits.get(), int(rowBytes))
                            : WebPPictureImportBGRX(&picture, bits.get(), int(rowBytes));
    // The picture holds its own copy now (as YUV for lossy files); the rows
    // are not needed while the encoder runs.
    bits.reset();
    if (!imported) {
        WebPPictureFree(&picture);
        return B_NO_MEMORY;
    }

    // With metadata the file is made in memory first and then written with
    // its chunks.
    const BPrivate::PictureMetadata* metadata = options.metadata;
    bool extended = metadata != nullptr &&
                    (!metadata->icc.empty() || !metadata->exif.empty() || !metadata->xmp.empty());
    BMallocIO encoded;
    BPositionIO* finalDestination = destination;
    if (extended)
        destination = &encoded;
    off_t start = destination->Position();
    status_t status =
        start < 0 ? status_t(start) : encode_picture(config, &picture, destination, start);
    if (status != B_OK && !options.lossless &&
        picture.error_code == VP8_ENC_ERROR_PARTITION0_OVERFLOW &&
        (config.segments > 1 || config.partition_limit < 100)) {
        // The modes did not fit at the usual settings: the most the encoder
        // may give up for them, and one segment.
        config.partition_limit = 100;
        config.segments = 1;
        status = encode_picture(config, &picture, destination, start);
    }
    WebPPictureFree(&picture);
    if (status == B_OK && extended)
        status = write_with_metadata(encoded, *metadata, finalDestination);
    return status;
}
