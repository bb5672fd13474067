#include "JXL.h"

#include <cmath>
#include <memory>
#include <new>
#include <string>

#include <jxl/encode.h>

#include "JXLRunner.h"
#include "translation/BaseTranslator.h"
#include "translation/PixelRows.h"

// The writing half: libjxl takes the whole picture as R, G, B (A) samples
// and hands the file back a block at a time. Its status codes stay in this
// file.

namespace {

const size_t kOutputBlock = 1 << 20;

// cjxl's mapping of a quality to a Butteraugli distance; 90 is distance 1,
// "visually lossless".
float distance_for(int32 quality)
{
    float distance = quality >= 30 ? 0.1f + (100 - quality) * 0.09f
                                   : 6.4f + std::pow(2.5f, (30 - quality) / 5.0f) / 6.25f;
    return distance > 15.0f ? 15.0f : distance;
}

// libjxl's error as a status, and named as the reason (libjxl has codes,
// not texts).
status_t status_for(JxlEncoder* encoder)
{
    switch (JxlEncoderGetError(encoder)) {
    case JXL_ENC_ERR_OOM:
        set_translation_reason("libjxl: out of memory");
        return B_NO_MEMORY;
    case JXL_ENC_ERR_NOT_SUPPORTED:
        set_translation_reason("libjxl: not supported");
        return B_NOT_SUPPORTED;
    case JXL_ENC_ERR_BAD_INPUT:
        set_translation_reason("libjxl: bad input");
        return B_BAD_VALUE;
    case JXL_ENC_ERR_API_USAGE:
        set_translation_reason("libjxl: API usage error");
        return B_BAD_VALUE;
    default:
        set_translation_reason("libjxl: encoding failed");
        return B_ERROR;
    }
}

} // namespace

status_t jxl_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                    const JXLWriteOptions& options, BPositionIO* destination)
{
    if (BPrivate::check_decoded_size(width, height) != B_OK || rowBytes < size_t(width) * 4)
        return B_BAD_VALUE;

    // libjxl takes R, G, B (A) samples.
    uint32 channels = hasAlpha ? 4 : 3;
    size_t samplesPerRow = size_t(width) * channels;
    size_t length = samplesPerRow * height;
    std::unique_ptr<uint8[]> samples(new (std::nothrow) uint8[length]);
    if (!samples)
        return B_NO_MEMORY;
    BPrivate::bgra_rows_to_rgb(bits, rowBytes, samples.get(), samplesPerRow, width, height,
                               hasAlpha);

    std::unique_ptr<JxlEncoder, void (*)(JxlEncoder*)> encoder(JxlEncoderCreate(nullptr),
                                                               JxlEncoderDestroy);
    if (!encoder)
        return B_NO_MEMORY;
    Runner runner = make_runner();
    if (runner && JxlEncoderSetParallelRunner(encoder.get(), JxlThreadParallelRunner,
                                              runner.get()) != JXL_ENC_SUCCESS)
        return B_ERROR;

    JxlBasicInfo basic;
    JxlEncoderInitBasicInfo(&basic);
    basic.xsize = width;
    basic.ysize = height;
    basic.bits_per_sample = 8;
    basic.num_color_channels = 3;
    basic.num_extra_channels = hasAlpha ? 1 : 0;
    basic.alpha_bits = hasAlpha ? 8 : 0;
    // Lossless files keep the samples as they are instead of converting
    // them to libjxl's own colour space.
    basic.uses_original_profile = options.lossless ? JXL_TRUE : JXL_FALSE;
    const BPrivate::PictureMetadata* metadata = options.metadata;
    bool tagged = metadata != nullptr && !metadata->icc.empty();
    // A tagged picture is coded in its own colours: libjxl's reader cannot
    // turn its own colour space back into an arbitrary profile, so the
    // profile would come back as linear sRGB.
    if (tagged)
        basic.uses_original_profile = JXL_TRUE;
    bool boxes = metadata != nullptr && (!metadata->exif.empty() || !metadata->xmp.empty());
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    if (JxlEncoderSetBasicInfo(encoder.get(), &basic) != JXL_ENC_SUCCESS ||
        (tagged ? JxlEncoderSetICCProfile(encoder.get(),
                                          reinterpret_cast<const uint8_t*>(metadata->icc.data()),
                                          metadata->icc.size())
                : JxlEncoderSetColorEncoding(encoder.get(), &srgb)) != JXL_ENC_SUCCESS)
        return status_for(encoder.get());
    // Boxes added before the frame come before the codestream, where a
    // reader that stops after the picture still finds them.
    if (boxes && JxlEncoderUseBoxes(encoder.get()) != JXL_ENC_SUCCESS)
        return status_for(encoder.get());
    if (boxes && !metadata->exif.empty()) {
        std::string box = std::string(4, '\0') + metadata->exif;
        if (JxlEncoderAddBox(encoder.get(), "Exif", reinterpret_cast<const uint8_t*>(box.data()),
                             box.size(), JXL_FALSE) != JXL_ENC_SUCCESS)
            return status_for(encoder.get());
    }
    if (boxes && !metadata->xmp.empty() &&
        JxlEncoderAddBox(encoder.get(), "xml ",
                         reinterpret_cast<const uint8_t*>(metadata->xmp.data()),
                         metadata->xmp.size(), JXL_FALSE) != JXL_ENC_SUCCESS)
        return status_for(encoder.get());

    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    if (settings == nullptr)
        return B_NO_MEMORY;
    int32 quality = options.quality < 0 ? 0 : options.quality > 100 ? 100 : options.quality;
    JxlEncoderStatus set = options.lossless
                               ? JxlEncoderSetFrameLossless(settings, JXL_TRUE)
                               : JxlEncoderSetFrameDistance(settings, distance_for(quality));
    JxlPixelFormat format = {channels, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    if (set != JXL_ENC_SUCCESS ||
        JxlEncoderAddImageFrame(settings, &format, samples.get(), length) != JXL_ENC_SUCCESS)
        return status_for(encoder.get());
    JxlEncoderCloseInput(encoder.get());
    samples.reset();

    std::unique_ptr<uint8[]> block(new (std::nothrow) uint8[kOutputBlock]);
    if (!block)
        return B_NO_MEMORY;
    for (;;) {
        uint8_t* next = block.get();
        size_t available = kOutputBlock;
        JxlEncoderStatus status = JxlEncoderProcessOutput(encoder.get(), &next, &available);
        if (status == JXL_ENC_ERROR)
            return status_for(encoder.get());
        status_t written = destination->WriteExactly(block.get(), kOutputBlock - available);
        if (written != B_OK)
            return written == B_ERROR ? status_t(B_IO_ERROR) : written;
        if (status == JXL_ENC_SUCCESS)
            return B_OK;
    }
}
