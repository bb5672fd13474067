#include "AVIF.h"

#include <cstring>
#include <memory>
#include <new>

#include <avif/avif.h>

#include "AVIFErrors.h"
#include "translation/BaseTranslator.h"
#include "translation/StreamReader.h"

// The reading half: libavif reads the file through an avifIO of ours, which
// reads the ranges it asks for from the stream; libavif copies what it keeps.

namespace {

// The ftyp box comes first; this is more than any real file's needs.
const size_t kBrandPrefix = 4096;

// Rows handed to the sink at a time when they have to be rearranged.
const uint32 kBandRows = 64;

struct StreamIO
{
    avifIO io; // first, so that libavif's pointer is also ours
    BPositionIO* source;
    off_t start;
    std::unique_ptr<uint8[]> buffer;
    size_t capacity;
    status_t error;
};

avifResult stream_read(avifIO* io, uint32_t readFlags, uint64_t offset, size_t size,
                       avifROData* out)
{
    StreamIO* stream = reinterpret_cast<StreamIO*>(io);
    if (readFlags != 0 || offset > io->sizeHint)
        return AVIF_RESULT_IO_ERROR;
    // A range past the end is cut at the end, as libavif expects.
    if (size > io->sizeHint - offset)
        size = size_t(io->sizeHint - offset);
    if (size > stream->capacity) {
        stream->buffer.reset(new (std::nothrow) uint8[size]);
        stream->capacity = stream->buffer ? size : 0;
        if (!stream->buffer)
            return AVIF_RESULT_OUT_OF_MEMORY;
    }
    status_t status = B_OK;
    if (stream->source->Seek(stream->start + off_t(offset), SEEK_SET) < 0)
        status = B_IO_ERROR;
    else
        status = stream->source->ReadExactly(stream->buffer.get(), size);
    if (status != B_OK) {
        // ReadExactly answers B_ERROR for a stream that ends too soon.
        stream->error = status == B_ERROR ? status_t(B_ILLEGAL_DATA) : status;
        return AVIF_RESULT_IO_ERROR;
    }
    out->data = stream->buffer.get();
    out->size = size;
    return AVIF_RESULT_OK;
}

uint32 read_be32(const uint8* bytes)
{
    return uint32(bytes[0]) << 24 | uint32(bytes[1]) << 16 | uint32(bytes[2]) << 8 | bytes[3];
}

// B_OK when the file type box names an AVIF brand, as its main brand or as a
// compatible one.
status_t check_brands(BPositionIO* source)
{
    uint8 prefix[kBrandPrefix];
    ssize_t got = source->Read(prefix, sizeof(prefix));
    if (got < 0)
        return status_t(got);
    if (got < 16 || memcmp(prefix + 4, "ftyp", 4) != 0)
        return B_NO_TRANSLATOR;
    size_t end = read_be32(prefix);
    if (end > size_t(got))
        end = size_t(got);
    // The main brand at 8, a version at 12, then the compatible brands.
    for (size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
        if (memcmp(prefix + at, "avif", 4) == 0 || memcmp(prefix + at, "avis", 4) == 0)
            return B_OK;
    }
    return B_NO_TRANSLATOR;
}

// A decoder reading the stream, parsed; it releases itself.
class AVIFFile
{
public:
    AVIFFile() : fDecoder(avifDecoderCreate()) {}
    ~AVIFFile()
    {
        if (fDecoder != nullptr)
            avifDecoderDestroy(fDecoder);
    }

    status_t Open(BPositionIO* source, AVIFInfo* info);
    avifDecoder* Decoder() const { return fDecoder; }
    status_t StreamError() const { return fStream.error; }

private:
    avifDecoder* fDecoder;
    StreamIO fStream = {};
};

// Where the picture that shows comes from in the decoded one: the clean
// aperture's rectangle, then rotation and mirroring as the file gives them.
struct Geometry
{
    avifCropRect crop;
    uint32 rotation = 0; // quarter turns anticlockwise
    int32 mirror = -1;   // -1 none, 0 top and bottom exchanged, 1 left and right

    uint32 Width() const { return rotation % 2 == 0 ? crop.width : crop.height; }
    uint32 Height() const { return rotation % 2 == 0 ? crop.height : crop.width; }
    bool Plain() const { return rotation == 0 && mirror < 0 && crop.x == 0 && crop.y == 0; }

    // The pixel of the cropped picture that shows at (x, y).
    void Source(int64 x, int64 y, int64* sx, int64* sy) const
    {
        int64 w = Width(), h = Height();
        if (mirror == 0)
            y = h - 1 - y;
        else if (mirror == 1)
            x = w - 1 - x;
        int64 cw = crop.width, ch = crop.height;
        switch (rotation) {
        case 1:
            *sx = cw - 1 - y, *sy = x;
            break;
        case 2:
            *sx = cw - 1 - x, *sy = ch - 1 - y;
            break;
        case 3:
            *sx = y, *sy = ch - 1 - x;
            break;
        default:
            *sx = x, *sy = y;
            break;
        }
    }
};

Geometry geometry_of(const avifImage* image)
{
    Geometry geometry;
    geometry.crop = {0, 0, image->width, image->height};
    if (image->transformFlags & AVIF_TRANSFORM_CLAP) {
        avifCropRect crop;
        avifDiagnostics diagnostics;
        // A clean aperture that does not fit the picture is ignored, as
        // other viewers do.
        if (avifCropRectConvertCleanApertureBox(&crop, &image->clap, image->width, image->height,
                                                image->yuvFormat, &diagnostics) &&
            crop.width > 0 && crop.height > 0)
            geometry.crop = crop;
    }
    if (image->transformFlags & AVIF_TRANSFORM_IROT)
        geometry.rotation = image->irot.angle & 3;
    if (image->transformFlags & AVIF_TRANSFORM_IMIR)
        geometry.mirror = image->imir.mode & 1;
    return geometry;
}

// Checks the size of the decoded picture, then gives the size it shows at
// and its depth, and where its pixels come from.
status_t describe(const avifImage* image, AVIFInfo* info, Geometry* geometry)
{
    status_t status = BPrivate::check_decoded_size(image->width, image->height);
    if (status != B_OK)
        return status;
    *geometry = geometry_of(image);
    info->width = geometry->Width();
    info->height = geometry->Height();
    info->bitDepth = image->depth;
    return B_OK;
}

status_t AVIFFile::Open(BPositionIO* source, AVIFInfo* info)
{
    if (fDecoder == nullptr)
        return B_NO_MEMORY;
    off_t start = 0, length = 0;
    status_t status = BPrivate::open_stream_file(source, check_brands, &start, &length);
    if (status != B_OK)
        return status;

    fStream.io.read = stream_read;
    fStream.io.sizeHint = uint64(length);
    fStream.source = source;
    fStream.start = start;
    avifDecoderSetIO(fDecoder, &fStream.io);
    fDecoder->maxThreads = 2;
    // Exif and XMP are read only by decoding, which hands them on.
    fDecoder->ignoreExif = info->metadata != nullptr ? AVIF_FALSE : AVIF_TRUE;
    fDecoder->ignoreXMP = fDecoder->ignoreExif;
    // Files from older encoders that leave out a required property still
    // show in browsers; they show here too.
    fDecoder->strictFlags = AVIF_STRICT_DISABLED;
    fDecoder->imageSizeLimit = uint32(B_TRANSLATION_MAX_PIXEL_BYTES / 4);
    status = status_for(avifDecoderParse(fDecoder), fStream.error, &fDecoder->diag);
    if (status != B_OK)
        return status;

    Geometry geometry;
    status = describe(fDecoder->image, info, &geometry);
    if (status != B_OK)
        return status;
    info->hasAlpha = fDecoder->alphaPresent != 0;
    info->frames = uint32(fDecoder->imageCount);
    return B_OK;
}

// Hands the decoded B, G, R, A pixels to the sink as they show.
status_t put_pixels(const uint8* pixels, uint32 width, const Geometry& geometry, bool alpha,
                    BPrivate::BitsRowSink* sink)
{
    uint32 outWidth = geometry.Width();
    uint32 outHeight = geometry.Height();
    status_t status = sink->Start(outWidth, outHeight, alpha);
    if (status != B_OK)
        return status;
    size_t rowBytes = size_t(width) * 4;
    if (geometry.Plain()) {
        for (uint32 y = 0; y < outHeight && status == B_OK; y += kBandRows) {
            uint32 count = outHeight - y < kBandRows ? outHeight - y : kBandRows;
            status = sink->PutRows(pixels + size_t(y) * rowBytes, count);
        }
        return status;
    }

    std::unique_ptr<uint32[]> band(new (std::nothrow) uint32[size_t(outWidth) * kBandRows]);
    if (!band)
        return B_NO_MEMORY;
    const uint32* in = reinterpret_cast<const uint32*>(pixels);
    for (uint32 y = 0; y < outHeight && status == B_OK;) {
        uint32 count = outHeight - y < kBandRows ? outHeight - y : kBandRows;
        for (uint32 i = 0; i < count; i++, y++) {
            // Along an output row the source moves by a fixed step.
            int64 x0, y0, x1, y1;
            geometry.Source(0, y, &x0, &y0);
            geometry.Source(1, y, &x1, &y1);
            int64 at = (y0 + geometry.crop.y) * int64(width) + x0 + geometry.crop.x;
            int64 step = (y1 - y0) * int64(width) + (x1 - x0);
            uint32* out = band.get() + size_t(i) * outWidth;
            for (uint32 x = 0; x < outWidth; x++, at += step)
                out[x] = in[at];
        }
        status = sink->PutRows(reinterpret_cast<const uint8*>(band.get()), count);
    }
    return status;
}

} // namespace

status_t avif_identify(BPositionIO* source, AVIFInfo* info)
{
    AVIFFile file;
    return file.Open(source, info);
}

status_t avif_decode(BPositionIO* source, AVIFInfo* info, BPrivate::BitsRowSink* sink)
{
    AVIFFile file;
    status_t status = file.Open(source, info);
    if (status != B_OK)
        return status;
    avifDecoder* decoder = file.Decoder();
    status = status_for(avifDecoderNextImage(decoder), file.StreamError(), &decoder->diag);
    if (status != B_OK)
        return status;

    // The first frame's size may differ from what parsing announced; what
    // is allocated is checked again.
    const avifImage* image = decoder->image;
    if (info->metadata != nullptr) {
        BPrivate::PictureMetadata* metadata = info->metadata;
        if (image->icc.size > 0) {
            metadata->icc.assign(reinterpret_cast<const char*>(image->icc.data), image->icc.size);
        } else {
            metadata->cicp.primaries = uint16(image->colorPrimaries);
            metadata->cicp.transfer = uint16(image->transferCharacteristics);
            metadata->cicp.matrix = uint16(image->matrixCoefficients);
            metadata->cicp.fullRange = image->yuvRange == AVIF_RANGE_FULL;
            // 2 is "unspecified": the picture is taken as sRGB.
            if (metadata->cicp.primaries == 2 || metadata->cicp.transfer == 2)
                metadata->cicp = BPrivate::ColorCodePoints();
        }
        if (image->exif.size > 0)
            metadata->SetExif(image->exif.data, image->exif.size);
        if (image->xmp.size > 0)
            metadata->xmp.assign(reinterpret_cast<const char*>(image->xmp.data), image->xmp.size);
    }
    Geometry geometry;
    status = describe(image, info, &geometry);
    if (status != B_OK)
        return status;
    info->hasAlpha = image->alphaPlane != nullptr;

    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = AVIF_RGB_FORMAT_BGRA;
    rgb.depth = 8;
    rgb.alphaPremultiplied = AVIF_FALSE;
    rgb.rowBytes = image->width * 4;
    size_t length = size_t(rgb.rowBytes) * image->height;
    std::unique_ptr<uint8[]> pixels(new (std::nothrow) uint8[length]);
    if (!pixels)
        return B_NO_MEMORY;
    rgb.pixels = pixels.get();
    status = status_for(avifImageYUVToRGB(image, &rgb), B_OK);
    if (status != B_OK)
        return status == B_ERROR ? status_t(B_ILLEGAL_DATA) : status;
    return put_pixels(pixels.get(), image->width, geometry, info->hasAlpha, sink);
}
