#include "WebP.h"

#include <cstring>
#include <iterator>
#include <new>

#include <webp/decode.h>
#include <webp/demux.h>

#include <Errors.h>
#include <TranslationDefs.h>

#include "translation/BaseTranslator.h"
#include "translation/ImageOrientation.h"

// The reading half. libwebp works on whole files in memory: the container's
// size field says how much to read, and it is checked against the stream
// before anything is allocated.

namespace {

const size_t kHeaderSize = 12;
// A still image holds at most 16383 x 16383 pixels; even uncompressed, its
// file cannot be larger than this.
const uint64 kMaxFileSize = uint64(16383) * 16383 * 4 + 65536;

// Canvases up to this many pixels are taken as they are; larger ones must
// be mostly covered by the first frame.
const uint64 kLargeCanvas = 16 * 1024 * 1024;

// Identify needs only the first chunks, which carry the canvas size.
const size_t kIdentifyPrefix = 4096;

// Reads the container into data (only its start unless whole is set); size
// is the number of bytes read.
status_t read_file(BPositionIO* source, bool whole, std::unique_ptr<uint8[]>* data, size_t* size)
{
    uint8 header[kHeaderSize];
    ssize_t got = source->Read(header, kHeaderSize);
    if (got < 0)
        return status_t(got);
    if (size_t(got) < kHeaderSize || memcmp(header, "RIFF", 4) != 0 ||
        memcmp(header + 8, "WEBP", 4) != 0)
        return B_NO_TRANSLATOR;

    uint64 total = uint64(header[4] | header[5] << 8 | header[6] << 16 | uint32(header[7]) << 24);
    total += 8;
    if (total < kHeaderSize || total > kMaxFileSize)
        return B_ILLEGAL_DATA;
    off_t position = source->Position();
    off_t streamSize = 0;
    if (position >= 0 && source->GetSize(&streamSize) == B_OK &&
        (streamSize < position || uint64(streamSize - position) < total - kHeaderSize)) {
        set_translation_reason("WebP: the file is shorter than its header says");
        return B_ILLEGAL_DATA;
    }

    size_t length = whole || total < kIdentifyPrefix ? size_t(total) : kIdentifyPrefix;
    std::unique_ptr<uint8[]> buffer(new (std::nothrow) uint8[length]);
    if (!buffer)
        return B_NO_MEMORY;
    memcpy(buffer.get(), header, kHeaderSize);
    // ReadExactly answers B_ERROR for a stream that ends too soon.
    status_t status = source->ReadExactly(buffer.get() + kHeaderSize, length - kHeaderSize);
    if (status != B_OK)
        return status == B_ERROR ? status_t(B_ILLEGAL_DATA) : status;
    *data = std::move(buffer);
    *size = length;
    return B_OK;
}

// libwebp's status as the reason of the failure it causes.
status_t libwebp_failure(VP8StatusCode code)
{
    static const char* const kNames[] = {
        "ok",        "out of memory", "invalid parameter", "bitstream error", "unsupported feature",
        "suspended", "user abort",    "not enough data"};
    size_t index = size_t(code);
    set_translation_reason("libwebp: %s", index < std::size(kNames) ? kNames[index] : "failed");
    return code == VP8_STATUS_OUT_OF_MEMORY ? status_t(B_NO_MEMORY) : status_t(B_ILLEGAL_DATA);
}

// An animation's canvas around its first frame is only background, so a
// canvas far larger than that frame is a header's claim rather than an
// image (the same rule as for GIF screens).
status_t check_first_frame(const uint8* data, size_t size, const WebPInfo& info)
{
    WebPData webp = {data, size};
    WebPDemuxer* demuxer = WebPDemux(&webp);
    if (demuxer == nullptr)
        return B_ILLEGAL_DATA;
    WebPIterator frame;
    status_t status = B_ILLEGAL_DATA;
    if (WebPDemuxGetFrame(demuxer, 1, &frame)) {
        uint64 area = uint64(info.width) * info.height;
        uint64 frameArea = uint64(frame.width) * uint64(frame.height);
        status = area > kLargeCanvas && area / 16 > frameArea ? status_t(B_ILLEGAL_DATA) : B_OK;
        WebPDemuxReleaseIterator(&frame);
    }
    WebPDemuxDelete(demuxer);
    return status;
}

// Renders the first frame of an animation onto its canvas, as BGRA.
status_t decode_first_frame(const uint8* data, size_t size, const WebPInfo& info, uint8* out)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return B_ERROR;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    WebPData webp = {data, size};
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&webp, &options);
    if (decoder == nullptr)
        return B_ILLEGAL_DATA;
    WebPAnimInfo animation;
    uint8_t* frame = nullptr;
    int timestamp = 0;
    status_t status = B_ILLEGAL_DATA;
    if (WebPAnimDecoderGetInfo(decoder, &animation) && animation.canvas_width == info.width &&
        animation.canvas_height == info.height &&
        WebPAnimDecoderGetNext(decoder, &frame, &timestamp)) {
        memcpy(out, frame, size_t(info.width) * info.height * 4);
        status = B_OK;
    }
    WebPAnimDecoderDelete(decoder);
    return status;
}

// The container's ICCP, EXIF and XMP chunks.
void read_metadata(const uint8* data, size_t size, BPrivate::PictureMetadata* metadata)
{
    WebPData webp = {data, size};
    WebPDemuxer* demuxer = WebPDemux(&webp);
    if (demuxer == nullptr)
        return;
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demuxer, "ICCP", 1, &chunk)) {
        metadata->icc.assign(reinterpret_cast<const char*>(chunk.chunk.bytes), chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    if (WebPDemuxGetChunk(demuxer, "EXIF", 1, &chunk)) {
        metadata->SetExif(chunk.chunk.bytes, chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    if (WebPDemuxGetChunk(demuxer, "XMP ", 1, &chunk)) {
        metadata->xmp.assign(reinterpret_cast<const char*>(chunk.chunk.bytes), chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    WebPDemuxDelete(demuxer);
}

// The orientation of the container's EXIF chunk, or 1.
int32 exif_orientation(const uint8* data, size_t size)
{
    WebPData webp = {data, size};
    WebPDemuxer* demuxer = WebPDemux(&webp);
    if (demuxer == nullptr)
        return BPrivate::kOrientationNormal;
    int32 orientation = 0;
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demuxer, "EXIF", 1, &chunk)) {
        orientation = BPrivate::exif_orientation(chunk.chunk.bytes, chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    WebPDemuxDelete(demuxer);
    return orientation != 0 ? orientation : BPrivate::kOrientationNormal;
}

status_t decode(BPositionIO* source, WebPInfo* info, std::unique_ptr<uint8[]>* pixels)
{
    std::unique_ptr<uint8[]> data;
    size_t size = 0;
    status_t status = read_file(source, pixels != nullptr, &data, &size);
    if (status != B_OK)
        return status;

    WebPBitstreamFeatures features;
    VP8StatusCode code = WebPGetFeatures(data.get(), size, &features);
    if (code != VP8_STATUS_OK)
        return libwebp_failure(code);
    info->width = uint32(features.width);
    info->height = uint32(features.height);
    info->hasAlpha = features.has_alpha != 0;
    info->animated = features.has_animation != 0;
    if (BPrivate::check_decoded_size(info->width, info->height) != B_OK)
        return B_NO_MEMORY;
    if (pixels == nullptr)
        return B_OK;

    size_t rowBytes = size_t(info->width) * 4;
    size_t length = rowBytes * info->height;
    if (info->animated)
        status = check_first_frame(data.get(), size, *info);
    if (status != B_OK)
        return status;
    std::unique_ptr<uint8[]> buffer(new (std::nothrow) uint8[length]);
    if (!buffer)
        return B_NO_MEMORY;
    if (info->animated) {
        status = decode_first_frame(data.get(), size, *info, buffer.get());
    } else {
        // Into our buffer, as WebPDecodeBGRAInto would, but with libwebp's
        // status for a failure.
        WebPDecoderConfig config;
        if (!WebPInitDecoderConfig(&config))
            return B_ERROR;
        config.output.colorspace = MODE_BGRA;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = buffer.get();
        config.output.u.RGBA.stride = int(rowBytes);
        config.output.u.RGBA.size = length;
        code = WebPDecode(data.get(), size, &config);
        WebPFreeDecBuffer(&config.output);
        if (code != VP8_STATUS_OK)
            status = libwebp_failure(code);
    }
    if (status == B_OK) {
        info->orientation = exif_orientation(data.get(), size);
        if (info->metadata != nullptr)
            read_metadata(data.get(), size, info->metadata);
        *pixels = std::move(buffer);
    }
    return status;
}

} // namespace

status_t webp_identify(BPositionIO* source, WebPInfo* info)
{
    return decode(source, info, nullptr);
}

status_t webp_decode(BPositionIO* source, WebPInfo* info, std::unique_ptr<uint8[]>* pixels)
{
    return decode(source, info, pixels);
}
