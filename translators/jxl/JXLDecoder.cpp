#include "JXL.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <jxl/decode.h>

#include "JXLRunner.h"
#include "translation/BaseTranslator.h"
#include "translation/PixelRows.h"

// The reading half: libjxl is fed the stream a block at a time; it keeps
// what it needs of each block, and the bytes it has not used yet are handed
// to it again with the next block. Its status codes stay in this file.

namespace {

const size_t kInputBlock = 1 << 20;
const uint32 kBandRows = 64;

// The input of a decoder: a buffer that holds the bytes libjxl has not used
// yet followed by the next block of the stream.
class InputFeeder
{
public:
    explicit InputFeeder(BPositionIO* source) : fSource(source) {}

    // Hands libjxl what it left over plus another block; B_ILLEGAL_DATA when
    // the stream has ended and libjxl still wants more.
    status_t Feed(JxlDecoder* decoder)
    {
        size_t left = fFilled > 0 ? JxlDecoderReleaseInput(decoder) : 0;
        if (left > fFilled)
            return B_ERROR;
        if (fEnded)
            return B_ILLEGAL_DATA;
        if (left > 0)
            memmove(fBuffer.get(), fBuffer.get() + fFilled - left, left);
        // libjxl may need more than one block at once before it uses any.
        size_t wanted = left + kInputBlock;
        if (wanted > fCapacity) {
            std::unique_ptr<uint8[]> bigger(new (std::nothrow) uint8[wanted]);
            if (!bigger)
                return B_NO_MEMORY;
            if (left > 0)
                memcpy(bigger.get(), fBuffer.get(), left);
            fBuffer = std::move(bigger);
            fCapacity = wanted;
        }
        ssize_t got = fSource->Read(fBuffer.get() + left, fCapacity - left);
        if (got < 0)
            return status_t(got);
        fFilled = left + size_t(got);
        if (got == 0)
            fEnded = true;
        if (JxlDecoderSetInput(decoder, fBuffer.get(), fFilled) != JXL_DEC_SUCCESS)
            return B_ERROR;
        if (fEnded)
            JxlDecoderCloseInput(decoder);
        return B_OK;
    }

    bool Ended() const { return fEnded; }

private:
    BPositionIO* fSource;
    std::unique_ptr<uint8[]> fBuffer;
    size_t fCapacity = 0;
    size_t fFilled = 0;
    bool fEnded = false;
};

// Converts the decoded R, G, B (A) samples and hands them to the sink.
status_t put_pixels(const uint8* pixels, const JXLInfo& info, BPrivate::BitsRowSink* sink)
{
    size_t inBytes = size_t(info.width) * (info.hasAlpha ? 4 : 3);
    size_t outBytes = size_t(info.width) * 4;
    std::unique_ptr<uint8[]> band(new (std::nothrow) uint8[outBytes * kBandRows]);
    if (!band)
        return B_NO_MEMORY;
    status_t status = sink->Start(info.width, info.height, info.hasAlpha);
    for (uint32 y = 0; y < info.height && status == B_OK;) {
        uint32 count = info.height - y < kBandRows ? info.height - y : kBandRows;
        for (uint32 i = 0; i < count; i++, y++) {
            const uint8* in = pixels + size_t(y) * inBytes;
            uint8* out = band.get() + i * outBytes;
            if (info.hasAlpha)
                BPrivate::rgba_to_bgra(in, out, info.width);
            else
                BPrivate::rgb24_to_bgrx(in, out, info.width);
        }
        status = sink->PutRows(band.get(), count);
    }
    return status;
}

// The largest Exif or XMP box read.
const size_t kMaxBox = 16 * 1024 * 1024;

// Collects the Exif and XMP boxes as libjxl hands them out.
class BoxReader
{
public:
    explicit BoxReader(BPrivate::PictureMetadata* metadata) : fMetadata(metadata), fKind(0) {}

    status_t Begin(JxlDecoder* decoder)
    {
        Finish(decoder);
        JxlBoxType type;
        if (JxlDecoderGetBoxType(decoder, type, JXL_TRUE) != JXL_DEC_SUCCESS)
            return B_OK;
        if (memcmp(type, "Exif", 4) == 0 && fMetadata->exif.empty())
            fKind = 'E';
        else if (memcmp(type, "xml ", 4) == 0 && fMetadata->xmp.empty())
            fKind = 'X';
        else
            return B_OK;
        fBuffer.assign(4096, 0);
        fUsed = 0;
        return JxlDecoderSetBoxBuffer(decoder, fBuffer.data(), fBuffer.size()) == JXL_DEC_SUCCESS
                   ? B_OK
                   : B_ERROR;
    }
    status_t More(JxlDecoder* decoder)
    {
        size_t left = JxlDecoderReleaseBoxBuffer(decoder);
        fUsed = fBuffer.size() - left;
        if (fBuffer.size() >= kMaxBox) {
            fKind = 0;
            return B_OK;
        }
        fBuffer.resize(fBuffer.size() * 2);
        return JxlDecoderSetBoxBuffer(decoder, fBuffer.data() + fUsed, fBuffer.size() - fUsed) ==
                       JXL_DEC_SUCCESS
                   ? B_OK
                   : B_ERROR;
    }
    void Finish(JxlDecoder* decoder)
    {
        if (fKind == 0)
            return;
        size_t left = JxlDecoderReleaseBoxBuffer(decoder);
        size_t size = fBuffer.size() - left;
        // An Exif box starts with the offset of its TIFF header.
        if (fKind == 'E' && size >= 4) {
            uint32 offset = uint32(fBuffer[0]) << 24 | uint32(fBuffer[1]) << 16 |
                            uint32(fBuffer[2]) << 8 | fBuffer[3];
            if (offset <= size - 4)
                fMetadata->SetExif(fBuffer.data() + 4 + offset, size - 4 - offset);
        } else if (fKind == 'X') {
            fMetadata->xmp.assign(reinterpret_cast<const char*>(fBuffer.data()), size);
        }
        fKind = 0;
    }

private:
    BPrivate::PictureMetadata* fMetadata;
    std::vector<uint8> fBuffer;
    size_t fUsed = 0;
    char fKind;
};

// The profile of the samples libjxl hands out, left empty for sRGB.
void read_profile(JxlDecoder* decoder, BPrivate::PictureMetadata* metadata)
{
    JxlColorEncoding encoding;
    if (JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                           &encoding) == JXL_DEC_SUCCESS &&
        encoding.color_space == JXL_COLOR_SPACE_RGB &&
        encoding.white_point == JXL_WHITE_POINT_D65 && encoding.primaries == JXL_PRIMARIES_SRGB &&
        encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB)
        return;
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > kMaxBox)
        return;
    std::string icc(size, '\0');
    if (JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<uint8_t*>(icc.data()),
                                       size) == JXL_DEC_SUCCESS)
        metadata->icc = icc;
}

// Reads the header (and, with a sink, the first frame) of the stream.
status_t decode(BPositionIO* source, JXLInfo* info, BPrivate::BitsRowSink* sink)
{
    uint8 signature[12];
    ssize_t got = source->Read(signature, sizeof(signature));
    if (got < 0)
        return status_t(got);
    JxlSignature kind = JxlSignatureCheck(signature, size_t(got));
    if (kind != JXL_SIG_CODESTREAM && kind != JXL_SIG_CONTAINER)
        return B_NO_TRANSLATOR;
    if (source->Seek(-got, SEEK_CUR) < 0)
        return B_IO_ERROR;

    std::unique_ptr<JxlDecoder, void (*)(JxlDecoder*)> decoder(JxlDecoderCreate(nullptr),
                                                               JxlDecoderDestroy);
    if (!decoder)
        return B_NO_MEMORY;
    Runner runner = make_runner();
    int events = JXL_DEC_BASIC_INFO;
    if (sink != nullptr)
        events |= JXL_DEC_FULL_IMAGE;
    BPrivate::PictureMetadata* metadata = sink != nullptr ? info->metadata : nullptr;
    if (metadata != nullptr) {
        events |= JXL_DEC_COLOR_ENCODING | JXL_DEC_BOX;
        JxlDecoderSetDecompressBoxes(decoder.get(), JXL_TRUE);
    }
    BoxReader boxes(metadata);
    bool haveImage = false;
    if (JxlDecoderSubscribeEvents(decoder.get(), events) != JXL_DEC_SUCCESS ||
        (runner && JxlDecoderSetParallelRunner(decoder.get(), JxlThreadParallelRunner,
                                               runner.get()) != JXL_DEC_SUCCESS))
        return B_ERROR;
    // Orientation is applied by libjxl (keep_orientation stays off), and
    // premultiplied alpha is undone. Pictures come out in the colour space
    // their header names (sRGB for nearly all); libjxl's own conversion to a
    // preferred sRGB rounds worse than that.
    JxlDecoderSetUnpremultiplyAlpha(decoder.get(), JXL_TRUE);

    InputFeeder input(source);
    JxlPixelFormat format = {3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    std::unique_ptr<uint8[]> pixels;
    for (;;) {
        JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        switch (status) {
        case JXL_DEC_NEED_MORE_INPUT: {
            status_t fed = input.Feed(decoder.get());
            if (fed == B_ILLEGAL_DATA && !haveImage)
                set_translation_reason("libjxl: the data ends too soon");
            // A file that ends after its picture has all that counts.
            if (fed != B_OK && haveImage)
                return put_pixels(pixels.get(), *info, sink);
            if (fed != B_OK)
                return fed;
            break;
        }
        case JXL_DEC_BASIC_INFO: {
            JxlBasicInfo basic;
            if (JxlDecoderGetBasicInfo(decoder.get(), &basic) != JXL_DEC_SUCCESS)
                return B_ILLEGAL_DATA;
            // The sizes are those before orientation; orientations 5 to 8
            // swap them.
            bool transposed = basic.orientation >= JXL_ORIENT_TRANSPOSE;
            info->width = transposed ? basic.ysize : basic.xsize;
            info->height = transposed ? basic.xsize : basic.ysize;
            info->hasAlpha = basic.alpha_bits > 0;
            info->bitDepth = basic.bits_per_sample;
            info->animated = basic.have_animation != 0;
            status_t checked = BPrivate::check_decoded_size(info->width, info->height);
            if (checked != B_OK || sink == nullptr)
                return checked;
            format.num_channels = info->hasAlpha ? 4 : 3;
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            size_t size = 0;
            size_t expected = size_t(info->width) * info->height * format.num_channels;
            if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &size) != JXL_DEC_SUCCESS ||
                size != expected)
                return B_ILLEGAL_DATA;
            pixels.reset(new (std::nothrow) uint8[size]);
            if (!pixels)
                return B_NO_MEMORY;
            if (JxlDecoderSetImageOutBuffer(decoder.get(), &format, pixels.get(), size) !=
                JXL_DEC_SUCCESS)
                return B_ERROR;
            break;
        }
        case JXL_DEC_COLOR_ENCODING:
            read_profile(decoder.get(), metadata);
            break;
        case JXL_DEC_BOX:
            if (boxes.Begin(decoder.get()) != B_OK)
                return B_ERROR;
            break;
        case JXL_DEC_BOX_NEED_MORE_OUTPUT:
            if (boxes.More(decoder.get()) != B_OK)
                return B_ERROR;
            break;
        case JXL_DEC_FULL_IMAGE:
            // The first frame shown is all that is wanted; of a still
            // picture the rest of the file is read for boxes after it.
            haveImage = true;
            if (metadata == nullptr || info->animated)
                return put_pixels(pixels.get(), *info, sink);
            break;
        case JXL_DEC_SUCCESS:
            // The stream ended without a frame.
            if (!haveImage) {
                set_translation_reason("libjxl: the stream holds no frame");
                return B_ILLEGAL_DATA;
            }
            if (metadata != nullptr)
                boxes.Finish(decoder.get());
            return put_pixels(pixels.get(), *info, sink);
        default:
            // libjxl gives no text of its own for an error.
            set_translation_reason(input.Ended()
                                       ? "libjxl: the data ends too soon"
                                       : "libjxl: the data is not a valid JPEG XL stream");
            return B_ILLEGAL_DATA;
        }
    }
}

} // namespace

status_t jxl_identify(BPositionIO* source, JXLInfo* info)
{
    return decode(source, info, nullptr);
}

status_t jxl_decode(BPositionIO* source, JXLInfo* info, BPrivate::BitsRowSink* sink)
{
    return decode(source, info, sink);
}
