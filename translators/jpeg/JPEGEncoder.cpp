#include "JPEG.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include <jpeglib.h>

#include "JPEGErrors.h"
#include "translation/BaseTranslator.h"

// The writing half: libjpeg pushes the compressed data through a destination
// manager of ours, a buffer at a time.

namespace {

const size_t kBufferSize = 64 * 1024;
// Rows encoded per step.
const uint32 kBlockRows = 16;

struct DestinationManager
{
    jpeg_destination_mgr pub;
    BPositionIO* destination;
    JOCTET buffer[kBufferSize];
};

void init_destination(j_compress_ptr cinfo)
{
    DestinationManager* manager = reinterpret_cast<DestinationManager*>(cinfo->dest);
    manager->pub.next_output_byte = manager->buffer;
    manager->pub.free_in_buffer = kBufferSize;
}

void write_out(j_compress_ptr cinfo, size_t length)
{
    DestinationManager* manager = reinterpret_cast<DestinationManager*>(cinfo->dest);
    status_t status = manager->destination->WriteExactly(manager->buffer, length);
    if (status != B_OK)
        fail(reinterpret_cast<j_common_ptr>(cinfo), status == B_ERROR ? B_IO_ERROR : status);
}

boolean empty_output_buffer(j_compress_ptr cinfo)
{
    write_out(cinfo, kBufferSize);
    init_destination(cinfo);
    return TRUE;
}

void term_destination(j_compress_ptr cinfo)
{
    DestinationManager* manager = reinterpret_cast<DestinationManager*>(cinfo->dest);
    write_out(cinfo, kBufferSize - manager->pub.free_in_buffer);
}

// One marker holds at most this many bytes after its length.
const size_t kMarkerLimit = 65533;

// Exif first, as readers expect it right after the start, then XMP, then
// the profile (which libjpeg splits over as many APP2 markers as it needs).
void write_metadata(j_compress_ptr cinfo, const BPrivate::PictureMetadata& metadata)
{
    static const char kXMP[] = "http://ns.adobe.com/xap/1.0/";
    if (!metadata.exif.empty() && metadata.exif.size() + 6 <= kMarkerLimit) {
        std::string block = std::string("Exif\0\0", 6) + metadata.exif;
        jpeg_write_marker(cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(block.data()),
                          unsigned(block.size()));
    }
    if (!metadata.xmp.empty() && metadata.xmp.size() + sizeof(kXMP) <= kMarkerLimit) {
        std::string block = std::string(kXMP, sizeof(kXMP)) + metadata.xmp;
        jpeg_write_marker(cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(block.data()),
                          unsigned(block.size()));
    }
    if (!metadata.icc.empty())
        jpeg_write_icc_profile(cinfo, reinterpret_cast<const JOCTET*>(metadata.icc.data()),
                               unsigned(metadata.icc.size()));
}

} // namespace

status_t jpeg_encode(BPrivate::BitsRowSource* source, uint32 width, uint32 height,
                     const JPEGWriteOptions& options, BPositionIO* destination)
{
    if (BPrivate::check_decoded_size(width, height) != B_OK || width > JPEG_MAX_DIMENSION ||
        height > JPEG_MAX_DIMENSION)
        return B_BAD_VALUE;

    jpeg_compress_struct cinfo;
    ErrorManager errors;
    std::unique_ptr<DestinationManager> manager(new (std::nothrow) DestinationManager);
    size_t rowBytes = size_t(width) * 4;
    std::unique_ptr<uint8[]> block(new (std::nothrow) uint8[rowBytes * kBlockRows]);
    if (!manager || !block)
        return B_NO_MEMORY;
    set_up_errors(&errors);
    cinfo.err = &errors.pub;
    volatile status_t result = B_ERROR;

    if (setjmp(errors.jump) == 0) {
        jpeg_create_compress(&cinfo);
        manager->destination = destination;
        manager->pub.init_destination = init_destination;
        manager->pub.empty_output_buffer = empty_output_buffer;
        manager->pub.term_destination = term_destination;
        cinfo.dest = &manager->pub;

        cinfo.image_width = width;
        cinfo.image_height = height;
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&cinfo);
        int quality = options.quality < 1 ? 1 : options.quality > 100 ? 100 : options.quality;
        jpeg_set_quality(&cinfo, quality, TRUE);
        cinfo.comp_info[0].h_samp_factor = options.subsampling == kSubsampling444 ? 1 : 2;
        cinfo.comp_info[0].v_samp_factor = options.subsampling == kSubsampling420 ? 2 : 1;
        if (options.progressive)
            jpeg_simple_progression(&cinfo);

        jpeg_start_compress(&cinfo, TRUE);
        if (options.metadata != nullptr)
            write_metadata(&cinfo, *options.metadata);
        result = B_OK;
        JSAMPROW rows[kBlockRows];
        for (uint32 i = 0; i < kBlockRows; i++)
            rows[i] = block.get() + i * rowBytes;
        while (result == B_OK && cinfo.next_scanline < cinfo.image_height) {
            uint32 count = std::min(kBlockRows, cinfo.image_height - cinfo.next_scanline);
            result = source->GetRows(block.get(), count);
            if (result == B_OK)
                jpeg_write_scanlines(&cinfo, rows, count);
        }
        // A source that failed leaves the image unfinished; destroying the
        // object below abandons it.
        if (result == B_OK)
            jpeg_finish_compress(&cinfo);
    } else {
        result = errors.error != B_OK ? errors.error : B_ERROR;
    }
    jpeg_destroy_compress(&cinfo);
    return result;
}
