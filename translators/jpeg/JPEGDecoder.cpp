#include "JPEG.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include <TranslationDefs.h>

#include "JPEGErrors.h"
#include "translation/BaseTranslator.h"
#include "translation/ImageOrientation.h"

// The reading half: libjpeg pulls the stream through a source manager of
// ours, and its errors jump back as JPEGErrors.h describes.

namespace {

const size_t kBufferSize = 64 * 1024;
// Rows decoded per step.
const uint32 kBlockRows = 16;

struct SourceManager
{
    jpeg_source_mgr pub;
    BPositionIO* source;
    JOCTET buffer[kBufferSize];
};

void init_source(j_decompress_ptr) {}

// True when every coefficient of every component has had its last bit
// decoded, which a progressive picture reaches only with its final scan.
bool coefficients_complete(j_decompress_ptr cinfo)
{
    if (cinfo->coef_bits == nullptr)
        return false;
    for (int c = 0; c < cinfo->num_components; c++) {
        for (int k = 0; k < DCTSIZE2; k++) {
            if (cinfo->coef_bits[c][k] != 0)
                return false;
        }
    }
    return true;
}

// True when a scan has refined a coefficient part of the way.
bool coefficients_unfinished(j_decompress_ptr cinfo)
{
    if (cinfo->coef_bits == nullptr)
        return false;
    for (int c = 0; c < cinfo->num_components; c++) {
        for (int k = 0; k < DCTSIZE2; k++) {
            if (cinfo->coef_bits[c][k] > 0)
                return true;
        }
    }
    return false;
}

// Whether data that ends here leaves rows out. Many writers end a file
// without its end-of-image marker, and the decoder reads a few bytes ahead
// of the last block, so the end may come in the last row of blocks or after
// the scan; before that, rows are missing. A progressive picture's scans
// each cover every row, so it must also have reached its last scan.
bool ends_too_soon(j_decompress_ptr cinfo)
{
    if (cinfo->input_iMCU_row + 1 < cinfo->total_iMCU_rows)
        return true;
    return cinfo->progressive_mode && !coefficients_complete(cinfo);
}

// Arithmetic coding treats a marker inside the block data as the end of the
// data and makes up the rest as zeros, without a warning: a marker other than
// a restart before the last row of blocks means the scan stopped short. (A
// progressive picture has read all its scans by the time rows come out, so
// this only sees single-scan pictures.)
bool scan_stopped_short(j_decompress_ptr cinfo)
{
    int marker = cinfo->unread_marker;
    bool restart = marker >= JPEG_RST0 && marker <= JPEG_RST0 + 7;
    return marker != 0 && !restart && cinfo->input_iMCU_row + 1 < cinfo->total_iMCU_rows;
}

boolean fill_input_buffer(j_decompress_ptr cinfo)
{
    SourceManager* manager = reinterpret_cast<SourceManager*>(cinfo->src);
    ssize_t got = manager->source->Read(manager->buffer, kBufferSize);
    if (got < 0)
        fail(reinterpret_cast<j_common_ptr>(cinfo), status_t(got));
    if (got == 0) {
        if (ends_too_soon(cinfo))
            fail_with_message(reinterpret_cast<j_common_ptr>(cinfo), JWRN_JPEG_EOF);
        // The missing end-of-image marker, as libjpeg's own sources supply
        // it. A marker where block data should be makes the decoder warn,
        // and emit_message() turns that into an error.
        manager->buffer[0] = 0xff;
        manager->buffer[1] = JPEG_EOI;
        got = 2;
    }
    manager->pub.next_input_byte = manager->buffer;
    manager->pub.bytes_in_buffer = size_t(got);
    return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long count)
{
    SourceManager* manager = reinterpret_cast<SourceManager*>(cinfo->src);
    while (count > 0) {
        if (manager->pub.bytes_in_buffer == 0)
            fill_input_buffer(cinfo);
        size_t step = size_t(count) < manager->pub.bytes_in_buffer ? size_t(count)
                                                                   : manager->pub.bytes_in_buffer;
        manager->pub.next_input_byte += step;
        manager->pub.bytes_in_buffer -= step;
        count -= long(step);
    }
}

void term_source(j_decompress_ptr) {}

// Huffman coding spends at least one bit on every 8 x 8 block, so a stream
// far shorter than the image it claims cannot hold it. Arithmetic coding has
// no such floor.
bool plausible_length(const jpeg_decompress_struct& cinfo, BPositionIO* source)
{
    off_t size = 0;
    if (cinfo.arith_code || source->GetSize(&size) != B_OK)
        return true;
    uint64 blocks = (uint64(cinfo.image_width) + 7) / 8 * ((uint64(cinfo.image_height) + 7) / 8);
    return blocks / 8 <= uint64(size) + 1024;
}

// CMYK rows as libjpeg gives them become BGRX in place. Adobe's encoders
// store the inks inverted, which the APP14 marker announces.
void cmyk_to_bgrx(uint8* row, uint32 width, bool inverted)
{
    for (uint32 x = 0; x < width; x++) {
        uint8* p = row + x * 4;
        uint32 c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        p[0] = uint8((y * k + 127) / 255);
        p[1] = uint8((m * k + 127) / 255);
        p[2] = uint8((c * k + 127) / 255);
        p[3] = 255;
    }
}

// Decodes every row into a block of kBlockRows rows and hands each block
// to the sink. The block is allocated here and freed by the caller, also
// after a jump.
status_t read_rows(jpeg_decompress_struct* cinfo, BPrivate::BitsRowSink* sink,
                   uint8* volatile* block)
{
    bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    jpeg_start_decompress(cinfo);
    // A progressive picture has read every scan by now. Its data may stop
    // short of some without any warning (with an end marker, say, or, in
    // arithmetic coding, anywhere): a coefficient still waiting for its last
    // bits shows that. (One no scan touches at all is left as zero, which
    // some writers mean.)
    if (cinfo->progressive_mode && coefficients_unfinished(cinfo))
        return B_ILLEGAL_DATA;
    if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
        cinfo->output_components != 4)
        return B_ILLEGAL_DATA;

    size_t rowBytes = size_t(cinfo->output_width) * 4;
    uint8* rowsBlock = new (std::nothrow) uint8[rowBytes * kBlockRows];
    *block = rowsBlock;
    if (rowsBlock == nullptr)
        return B_NO_MEMORY;
    status_t status = sink->Start(cinfo->output_width, cinfo->output_height, false);
    if (status != B_OK)
        return status;

    bool inverted = cinfo->saw_Adobe_marker;
    JSAMPROW rows[kBlockRows];
    for (uint32 i = 0; i < kBlockRows; i++)
        rows[i] = rowsBlock + i * rowBytes;
    while (cinfo->output_scanline < cinfo->output_height) {
        // libjpeg may return fewer rows than asked; collect a full block.
        uint32 count = std::min(kBlockRows, cinfo->output_height - cinfo->output_scanline);
        uint32 done = 0;
        while (done < count) {
            JDIMENSION got = jpeg_read_scanlines(cinfo, rows + done, count - done);
            if (got == 0 || scan_stopped_short(cinfo)) {
                set_reason(reinterpret_cast<j_common_ptr>(cinfo), JWRN_HIT_MARKER);
                return B_ILLEGAL_DATA;
            }
            done += got;
        }
        if (cmyk) {
            for (uint32 i = 0; i < count; i++)
                cmyk_to_bgrx(rows[i], cinfo->output_width, inverted);
        }
        status = sink->PutRows(rowsBlock, count);
        if (status != B_OK)
            return status;
    }
    jpeg_finish_decompress(cinfo);
    return B_OK;
}

status_t check_marker(BPositionIO* source)
{
    uint8 marker[3];
    ssize_t got = source->Read(marker, sizeof(marker));
    if (got < 0)
        return status_t(got);
    if (got < 3 || marker[0] != 0xff || marker[1] != 0xd8 || marker[2] != 0xff)
        return B_NO_TRANSLATOR;
    return source->Seek(-3, SEEK_CUR) < 0 ? B_IO_ERROR : B_OK;
}

// The Exif, XMP and ICC blocks of the saved markers.
void read_metadata(jpeg_decompress_struct* cinfo, BPrivate::PictureMetadata* metadata)
{
    static const char kXMP[] = "http://ns.adobe.com/xap/1.0/";
    for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker != nullptr;
         marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1)
            continue;
        const char* data = reinterpret_cast<const char*>(marker->data);
        size_t size = marker->data_length;
        if (metadata->exif.empty() && size > 6 && memcmp(data, "Exif\0\0", 6) == 0)
            metadata->SetExif(data, size);
        else if (metadata->xmp.empty() && size > sizeof(kXMP) &&
                 memcmp(data, kXMP, sizeof(kXMP)) == 0)
            metadata->xmp.assign(data + sizeof(kXMP), size - sizeof(kXMP));
    }
    JOCTET* icc = nullptr;
    unsigned int length = 0;
    if (jpeg_read_icc_profile(cinfo, &icc, &length) && icc != nullptr)
        metadata->icc.assign(reinterpret_cast<const char*>(icc), length);
    free(icc);
}

// The orientation an Exif block in an APP1 marker gives, or 1.
int32 app1_orientation(const jpeg_decompress_struct& cinfo)
{
    for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker != nullptr;
         marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1)
            continue;
        int32 orientation = BPrivate::exif_orientation(marker->data, marker->data_length);
        if (orientation != 0)
            return orientation;
    }
    return BPrivate::kOrientationNormal;
}

status_t decode(BPositionIO* source, JPEGInfo* info, bool upright, BPrivate::BitsRowSink* sink)
{
    status_t status = check_marker(source);
    if (status != B_OK)
        return status;

    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    std::unique_ptr<SourceManager> manager(new (std::nothrow) SourceManager);
    if (!manager)
        return B_NO_MEMORY;
    set_up_errors(&errors);
    cinfo.err = &errors.pub;

    // Outside the jump's reach, so that it frees what it holds after one.
    BPrivate::OrientingSink oriented(sink, BPrivate::kOrientationNormal);
    // Volatile: these change after setjmp and are read after a jump.
    uint8* volatile block = nullptr;
    volatile status_t result = B_ILLEGAL_DATA;

    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&cinfo);
        // Progressive images keep every coefficient in memory; cap that too.
        cinfo.mem->max_memory_to_use = long(2 * B_TRANSLATION_MAX_PIXEL_BYTES);
        manager->source = source;
        manager->pub.init_source = init_source;
        manager->pub.fill_input_buffer = fill_input_buffer;
        manager->pub.skip_input_data = skip_input_data;
        manager->pub.resync_to_restart = jpeg_resync_to_restart;
        manager->pub.term_source = term_source;
        manager->pub.bytes_in_buffer = 0;
        manager->pub.next_input_byte = nullptr;
        cinfo.src = &manager->pub;
        if (upright || info->metadata != nullptr)
            jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xffff);
        if (info->metadata != nullptr)
            jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xffff);

        jpeg_read_header(&cinfo, TRUE);
        info->width = cinfo.image_width;
        info->height = cinfo.image_height;
        info->components = cinfo.num_components;
        info->progressive = cinfo.progressive_mode;
        info->orientation = upright ? app1_orientation(cinfo) : BPrivate::kOrientationNormal;
        if (info->metadata != nullptr)
            read_metadata(&cinfo, info->metadata);

        if (BPrivate::check_decoded_size(cinfo.image_width, cinfo.image_height) != B_OK)
            result = B_NO_MEMORY;
        else if (!plausible_length(cinfo, source))
            result = B_ILLEGAL_DATA;
        else if (sink == nullptr)
            result = B_OK;
        else {
            oriented.SetOrientation(info->orientation);
            result = read_rows(&cinfo, &oriented, &block);
        }
    } else {
        result = errors.error != B_OK ? errors.error : B_ILLEGAL_DATA;
    }
    jpeg_destroy_decompress(&cinfo);
    delete[] block;
    return result;
}

} // namespace

status_t jpeg_identify(BPositionIO* source, JPEGInfo* info)
{
    return decode(source, info, false, nullptr);
}

status_t jpeg_decode(BPositionIO* source, JPEGInfo* info, bool upright, BPrivate::BitsRowSink* sink)
{
    return decode(source, info, upright, sink);
}
