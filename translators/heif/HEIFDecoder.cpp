#include "HEIF.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <libheif/heif.h>

#include "HEIFErrors.h"
#include "translation/BaseTranslator.h"
#include "translation/PixelRows.h"
#include "translation/StreamReader.h"

// The reading half: libheif reads the file through a reader of ours, so only
// the boxes it asks for are read and nothing is copied whole into memory.

namespace {

// The ftyp box that names the brands comes first; this is more than any
// real file's needs.
const size_t kBrandPrefix = 4096;

// Rows converted and handed to the sink at a time.
const uint32 kBandRows = 64;

// Brands of HEVC-coded images and sequences.
const char* const kHEVCBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs"};

// The stream as libheif's reader sees it: positions relative to where the
// file starts, and the first stream error kept for the caller.
struct ReaderContext
{
    BPositionIO* source;
    off_t start;
    off_t size;
    status_t error;
};

int64_t reader_position(void* userdata)
{
    ReaderContext* context = static_cast<ReaderContext*>(userdata);
    return context->source->Position() - context->start;
}

int reader_read(void* data, size_t size, void* userdata)
{
    ReaderContext* context = static_cast<ReaderContext*>(userdata);
    status_t status = context->source->ReadExactly(data, size);
    if (status == B_OK)
        return 0;
    if (context->error == B_OK)
        context->error = status == B_ERROR ? status_t(B_ILLEGAL_DATA) : status;
    return 1;
}

int reader_seek(int64_t position, void* userdata)
{
    ReaderContext* context = static_cast<ReaderContext*>(userdata);
    if (position < 0 || position > context->size)
        return 1;
    return context->source->Seek(context->start + position, SEEK_SET) < 0 ? 1 : 0;
}

heif_reader_grow_status reader_wait(int64_t targetSize, void* userdata)
{
    ReaderContext* context = static_cast<ReaderContext*>(userdata);
    return targetSize <= context->size ? heif_reader_grow_status_size_reached
                                       : heif_reader_grow_status_size_beyond_eof;
}

const heif_reader kReader = {1, reader_position, reader_read, reader_seek, reader_wait};

bool is_hevc_brand(heif_brand2 brand)
{
    for (const char* name : kHEVCBrands) {
        if (brand == heif_fourcc_to_brand(name))
            return true;
    }
    return false;
}

// B_OK when the file type box names an HEVC brand, as its main brand or as
// a compatible one; AV1-coded files and everything else are not ours.
status_t check_brands(BPositionIO* source)
{
    uint8 prefix[kBrandPrefix];
    ssize_t got = source->Read(prefix, sizeof(prefix));
    if (got < 0)
        return status_t(got);
    if (got < 12 || memcmp(prefix + 4, "ftyp", 4) != 0)
        return B_NO_TRANSLATOR;
    if (heif_check_filetype(prefix, int(got)) == heif_filetype_no)
        return B_NO_TRANSLATOR;
    if (is_hevc_brand(heif_read_main_brand(prefix, int(got))))
        return B_OK;
    heif_brand2* brands = nullptr;
    int count = 0;
    if (heif_list_compatible_brands(prefix, int(got), &brands, &count).code != heif_error_Ok)
        return B_NO_TRANSLATOR;
    bool found = false;
    for (int i = 0; i < count && !found; i++)
        found = is_hevc_brand(brands[i]);
    heif_free_list_of_compatible_brands(brands);
    return found ? B_OK : status_t(B_NO_TRANSLATOR);
}

// A parsed file and its primary image; releases both.
class HEIFFile
{
public:
    HEIFFile() : fContext(heif_context_alloc()) {}
    ~HEIFFile()
    {
        if (fHandle != nullptr)
            heif_image_handle_release(fHandle);
        heif_context_free(fContext);
    }

    status_t Open(BPositionIO* source, HEIFInfo* info)
    {
        if (fContext == nullptr)
            return B_NO_MEMORY;
        off_t start = 0, length = 0;
        status_t status = BPrivate::open_stream_file(source, check_brands, &start, &length);
        if (status != B_OK)
            return status;
        if (source->Seek(start, SEEK_SET) < 0)
            return B_IO_ERROR;

        // libheif keeps reading through the reader until the context is
        // freed, when it decodes.
        fReader = {source, start, length, B_OK};
        heif_error error = heif_context_read_from_reader(fContext, &kReader, &fReader, nullptr);
        if (error.code == heif_error_Ok)
            error = heif_context_get_primary_image_handle(fContext, &fHandle);
        status = status_for(error, fReader.error);
        if (status != B_OK)
            return status == B_NO_TRANSLATOR ? status_t(B_ILLEGAL_DATA) : status;

        int width = heif_image_handle_get_width(fHandle);
        int height = heif_image_handle_get_height(fHandle);
        if (width <= 0 || height <= 0)
            return B_ILLEGAL_DATA;
        info->width = uint32(width);
        info->height = uint32(height);
        info->hasAlpha = heif_image_handle_has_alpha_channel(fHandle) != 0;
        info->bitDepth = heif_image_handle_get_luma_bits_per_pixel(fHandle);
        return BPrivate::check_decoded_size(info->width, info->height);
    }

    heif_image_handle* Handle() const { return fHandle; }
    status_t StreamError() const { return fReader.error; }

private:
    heif_context* fContext;
    ReaderContext fReader = {};
    heif_image_handle* fHandle = nullptr;
};

// Undoes premultiplication in place, for count B, G, R, A pixels.
void unpremultiply(uint8* pixels, size_t count)
{
    for (size_t i = 0; i < count; i++, pixels += 4) {
        uint32 alpha = pixels[3];
        if (alpha == 0 || alpha == 255)
            continue;
        for (int c = 0; c < 3; c++) {
            uint32 value = (pixels[c] * 255u + alpha / 2) / alpha;
            pixels[c] = uint8(value > 255 ? 255 : value);
        }
    }
}

status_t put_image(const heif_image* image, bool alpha, BPrivate::BitsRowSink* sink)
{
    int width = heif_image_get_width(image, heif_channel_interleaved);
    int height = heif_image_get_height(image, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    int bits = heif_image_get_bits_per_pixel(image, heif_channel_interleaved);
    size_t pixelBytes = alpha ? 4 : 3;
    if (plane == nullptr || width <= 0 || height <= 0 || bits != int(pixelBytes * 8) ||
        stride < 0 || size_t(stride) < size_t(width) * pixelBytes)
        return B_ILLEGAL_DATA;
    status_t status = BPrivate::check_decoded_size(uint32(width), uint32(height));
    if (status != B_OK)
        return status;
    bool premultiplied = alpha && heif_image_is_premultiplied_alpha(const_cast<heif_image*>(image));

    size_t rowBytes = size_t(width) * 4;
    std::unique_ptr<uint8[]> band(new (std::nothrow) uint8[rowBytes * kBandRows]);
    if (!band)
        return B_NO_MEMORY;
    status = sink->Start(uint32(width), uint32(height), alpha);
    for (int y = 0; y < height && status == B_OK;) {
        uint32 count = uint32(height - y) < kBandRows ? uint32(height - y) : kBandRows;
        for (uint32 i = 0; i < count; i++, y++) {
            const uint8* in = plane + size_t(y) * size_t(stride);
            uint8* out = band.get() + i * rowBytes;
            if (alpha) {
                BPrivate::rgba_to_bgra(in, out, size_t(width));
                if (premultiplied)
                    unpremultiply(out, size_t(width));
            } else {
                BPrivate::rgb24_to_bgrx(in, out, size_t(width));
            }
        }
        status = sink->PutRows(band.get(), count);
    }
    return status;
}

} // namespace

HEIFLibrary::HEIFLibrary()
{
    heif_init(nullptr);
}

HEIFLibrary::~HEIFLibrary()
{
    heif_deinit();
}

status_t heif_identify(BPositionIO* source, HEIFInfo* info)
{
    HEIFFile file;
    return file.Open(source, info);
}

namespace {

// A metadata block of the image: Exif blocks start with the offset of their
// TIFF header, which is skipped.
std::string metadata_block(const heif_image_handle* handle, heif_item_id id, bool exif)
{
    size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size == 0 || size > 16 * 1024 * 1024)
        return std::string();
    std::string block(size, '\0');
    if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok)
        return std::string();
    if (!exif)
        return block;
    if (size < 4)
        return std::string();
    uint32 offset = uint32(uint8(block[0])) << 24 | uint32(uint8(block[1])) << 16 |
                    uint32(uint8(block[2])) << 8 | uint8(block[3]);
    return offset <= size - 4 ? block.substr(4 + offset) : std::string();
}

void read_metadata(const heif_image_handle* handle, BPrivate::PictureMetadata* metadata)
{
    heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        std::string icc(size, '\0');
        if (size > 0 &&
            heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
            metadata->icc = icc;
    } else if (type == heif_color_profile_type_nclx) {
        heif_color_profile_nclx* nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok &&
            nclx != nullptr) {
            metadata->cicp.primaries = uint16(nclx->color_primaries);
            metadata->cicp.transfer = uint16(nclx->transfer_characteristics);
            metadata->cicp.matrix = uint16(nclx->matrix_coefficients);
            metadata->cicp.fullRange = nclx->full_range_flag != 0;
        }
        heif_nclx_color_profile_free(nclx);
    }
    heif_item_id ids[8];
    int count = heif_image_handle_get_list_of_metadata_block_IDs(handle, nullptr, ids, 8);
    for (int i = 0; i < count; i++) {
        const char* kind = heif_image_handle_get_metadata_type(handle, ids[i]);
        const char* content = heif_image_handle_get_metadata_content_type(handle, ids[i]);
        if (kind != nullptr && strcmp(kind, "Exif") == 0 && metadata->exif.empty()) {
            std::string block = metadata_block(handle, ids[i], true);
            metadata->SetExif(block.data(), block.size());
        } else if (kind != nullptr && strcmp(kind, "mime") == 0 && content != nullptr &&
                   strcmp(content, "application/rdf+xml") == 0 && metadata->xmp.empty()) {
            metadata->xmp = metadata_block(handle, ids[i], false);
        }
    }
}

} // namespace

status_t heif_decode(BPositionIO* source, HEIFInfo* info, BPrivate::BitsRowSink* sink)
{
    HEIFFile file;
    status_t status = file.Open(source, info);
    if (status != B_OK)
        return status;

    if (info->metadata != nullptr)
        read_metadata(file.Handle(), info->metadata);
    heif_decoding_options* options = heif_decoding_options_alloc();
    if (options == nullptr)
        return B_NO_MEMORY;
    // Rotation, mirroring and cropping stay on (ignore_transformations is 0).
    options->convert_hdr_to_8bit = 1;
    heif_image* image = nullptr;
    heif_error error = heif_decode_image(
        file.Handle(), &image, heif_colorspace_RGB,
        info->hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options);
    heif_decoding_options_free(options);
    status = status_for(error, file.StreamError());
    if (status == B_OK) {
        status = put_image(image, info->hasAlpha, sink);
        info->width = uint32(heif_image_get_width(image, heif_channel_interleaved));
        info->height = uint32(heif_image_get_height(image, heif_channel_interleaved));
    }
    if (image != nullptr)
        heif_image_release(image);
    return status == B_NO_TRANSLATOR ? status_t(B_ILLEGAL_DATA) : status;
}
