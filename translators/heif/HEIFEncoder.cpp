#include "HEIF.h"

#include <memory>

#include <libheif/heif.h>

#include "HEIFErrors.h"
#include "translation/BaseTranslator.h"
#include "translation/PixelRows.h"

// The writing half: libheif encodes with x265 into a context of its own,
// which its writer then hands to the stream through ours.

namespace {

struct WriterContext
{
    BPositionIO* destination;
    status_t error;
};

heif_error write_data(heif_context*, const void* data, size_t size, void* userdata)
{
    WriterContext* context = static_cast<WriterContext*>(userdata);
    status_t status = context->destination->WriteExactly(data, size);
    if (status == B_OK)
        return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
    context->error = status == B_ERROR ? status_t(B_IO_ERROR) : status;
    return {heif_error_Encoding_error, heif_suberror_Cannot_write_output_data, "write failed"};
}

// Fills an interleaved 8-bit RGB or RGBA plane from B, G, R, A rows.
status_t fill_image(heif_image* image, const uint8* bits, uint32 width, uint32 height,
                    size_t rowBytes, bool alpha)
{
    heif_error error =
        heif_image_add_plane(image, heif_channel_interleaved, int(width), int(height), 8);
    if (error.code != heif_error_Ok)
        return status_for(error, B_OK);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    if (plane == nullptr || stride < 0)
        return B_NO_MEMORY;
    BPrivate::bgra_rows_to_rgb(bits, rowBytes, plane, size_t(stride), width, height, alpha);
    return B_OK;
}

} // namespace

status_t heif_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                     const HEIFWriteOptions& options, BPositionIO* destination)
{
    if (BPrivate::check_decoded_size(width, height) != B_OK || rowBytes < size_t(width) * 4)
        return B_BAD_VALUE;

    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(),
                                                                   heif_context_free);
    if (!context)
        return B_NO_MEMORY;
    heif_encoder* rawEncoder = nullptr;
    heif_error error =
        heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder);
    if (error.code != heif_error_Ok)
        return B_NOT_SUPPORTED;
    std::unique_ptr<heif_encoder, void (*)(heif_encoder*)> encoder(rawEncoder,
                                                                   heif_encoder_release);
    // libheif asks x265 for its "slow" preset, which takes 2.5 times the
    // processor time of x265's own default for the same size and quality on
    // photographs. An encoder without the parameter keeps its own default.
    heif_encoder_set_parameter_string(encoder.get(), "preset", "medium");

    std::unique_ptr<heif_color_profile_nclx, void (*)(heif_color_profile_nclx*)> nclx(
        nullptr, heif_nclx_color_profile_free);
    if (options.lossless) {
        error = heif_encoder_set_lossless(encoder.get(), 1);
        if (error.code == heif_error_Ok)
            error = heif_encoder_set_parameter_string(encoder.get(), "chroma", "444");
        nclx.reset(heif_nclx_color_profile_alloc());
        if (!nclx)
            return B_NO_MEMORY;
        // RGB is stored as it is (G, B, R planes) instead of through a
        // YCbCr matrix, whose rounding would change pixels.
        nclx->matrix_coefficients = heif_matrix_coefficients_RGB_GBR;
        nclx->full_range_flag = 1;
    } else {
        int32 quality = options.quality < 0 ? 0 : options.quality > 100 ? 100 : options.quality;
        error = heif_encoder_set_lossy_quality(encoder.get(), int(quality));
    }
    if (error.code != heif_error_Ok)
        return B_BAD_VALUE;

    heif_image* rawImage = nullptr;
    error = heif_image_create(int(width), int(height), heif_colorspace_RGB,
                              hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              &rawImage);
    if (error.code != heif_error_Ok)
        return status_for(error, B_OK);
    std::unique_ptr<heif_image, void (*)(const heif_image*)> image(rawImage, heif_image_release);
    status_t status = fill_image(image.get(), bits, width, height, rowBytes, hasAlpha);
    if (status != B_OK)
        return status;
    const BPrivate::PictureMetadata* metadata = options.metadata;
    if (metadata != nullptr && !metadata->icc.empty()) {
        error = heif_image_set_raw_color_profile(image.get(), "prof", metadata->icc.data(),
                                                 metadata->icc.size());
        if (error.code != heif_error_Ok)
            return status_for(error, B_OK);
    } else if (metadata != nullptr && metadata->cicp.IsSet()) {
        if (!nclx) {
            nclx.reset(heif_nclx_color_profile_alloc());
            if (!nclx)
                return B_NO_MEMORY;
            nclx->full_range_flag = 1;
        }
        nclx->color_primaries = heif_color_primaries(metadata->cicp.primaries);
        nclx->transfer_characteristics = heif_transfer_characteristics(metadata->cicp.transfer);
    }
    // libheif converts with the matrix of the picture's own profile.
    if (nclx) {
        error = heif_image_set_nclx_color_profile(image.get(), nclx.get());
        if (error.code != heif_error_Ok)
            return status_for(error, B_OK);
    }

    heif_encoding_options* encoding = heif_encoding_options_alloc();
    if (encoding == nullptr)
        return B_NO_MEMORY;
    encoding->output_nclx_profile = nclx.get();
    heif_image_handle* handle = nullptr;
    error = heif_context_encode_image(context.get(), image.get(), encoder.get(), encoding, &handle);
    heif_encoding_options_free(encoding);
    if (error.code != heif_error_Ok)
        return status_for(error, B_OK);
    // libheif puts the offset of the TIFF header before the Exif block.
    if (metadata != nullptr && !metadata->exif.empty())
        error = heif_context_add_exif_metadata(context.get(), handle, metadata->exif.data(),
                                               int(metadata->exif.size()));
    if (error.code == heif_error_Ok && metadata != nullptr && !metadata->xmp.empty())
        error = heif_context_add_XMP_metadata(context.get(), handle, metadata->xmp.data(),
                                              int(metadata->xmp.size()));
    heif_image_handle_release(handle);
    if (error.code != heif_error_Ok)
        return status_for(error, B_OK);

    WriterContext writerContext = {destination, B_OK};
    heif_writer writer = {1, write_data};
    error = heif_context_write(context.get(), &writer, &writerContext);
    if (writerContext.error != B_OK)
        return writerContext.error;
    return status_for(error, B_OK);
}
