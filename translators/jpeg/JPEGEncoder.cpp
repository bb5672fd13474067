#include "JPEG.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

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
