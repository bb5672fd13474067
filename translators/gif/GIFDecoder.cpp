#include "GIF.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include <gif_lib.h>

#include <TranslationDefs.h>

#include "translation/BaseTranslator.h"

// The reading half: giflib reads the stream through a callback of ours.

namespace {

// LZW cannot pack more than about 2730 pixels into one byte of code, so a
// frame far larger than the data left for it is cut short.
const uint64 kMaxPixelsPerByte = 2800;

// Screens up to this many pixels are taken as they are, however small their
// first frame; larger ones must be mostly covered by it.
const uint64 kLargeScreen = 16 * 1024 * 1024;

struct StreamContext
{
    BPositionIO* stream;
    status_t error;
};

int read_data(GifFileType* gif, GifByteType* buffer, int size)
{
    // giflib takes a short count for the end of the data, so keep reading
    // until the stream has given all it has.
    StreamContext* context = static_cast<StreamContext*>(gif->UserData);
    int done = 0;
    while (done < size) {
        ssize_t got = context->stream->Read(buffer + done, size_t(size - done));
        if (got < 0)
            context->error = status_t(got);
        if (got <= 0)
            break;
        done += int(got);
    }
    return done;
}

// A failure giflib reported, in its words; B_ILLEGAL_DATA but for memory.
status_t giflib_failure(int error)
{
    const char* text = GifErrorString(error);
    set_translation_reason("giflib: %s", text != nullptr ? text : "unknown error");
    return error == D_GIF_ERR_NOT_ENOUGH_MEM ? status_t(B_NO_MEMORY) : status_t(B_ILLEGAL_DATA);
}

struct DecoderCloser
{
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
typedef std::unique_ptr<GifFileType, DecoderCloser> Decoder;

status_t check_signature(BPositionIO* source)
{
    char signature[6];
    off_t start = source->Position();
    ssize_t got = source->Read(signature, sizeof(signature));
    if (got < 0)
        return status_t(got);
    if (got != 6 || (memcmp(signature, "GIF87a", 6) != 0 && memcmp(signature, "GIF89a", 6) != 0))
        return B_NO_TRANSLATOR;
    return source->Seek(start, SEEK_SET) < 0 ? B_IO_ERROR : B_OK;
}

// Skips extension blocks up to the first image descriptor, noting the
// transparent index of a graphic control extension on the way.
status_t find_first_image(GifFileType* gif, int* transparentIndex)
{
    while (true) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return giflib_failure(gif->Error);
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) == GIF_ERROR ? giflib_failure(gif->Error) : status_t(B_OK);
        if (type == TERMINATE_RECORD_TYPE)
            return B_ILLEGAL_DATA;
        if (type != EXTENSION_RECORD_TYPE)
            continue;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return giflib_failure(gif->Error);
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4)
            *transparentIndex = (block[1] & 1) != 0 ? block[4] : -1;
        while (block != nullptr) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return giflib_failure(gif->Error);
        }
    }
}

status_t decode(BPositionIO* source, GIFInfo* info, std::unique_ptr<uint8[]>* pixels)
{
    status_t status = check_signature(source);
    if (status != B_OK)
        return status;
    StreamContext context = {source, B_OK};
    int error = 0;
    Decoder gif(DGifOpen(&context, read_data, &error));
    if (!gif) {
        if (context.error != B_OK)
            return context.error;
        return giflib_failure(error);
    }

    info->width = uint32(gif->SWidth);
    info->height = uint32(gif->SHeight);

    int transparentIndex = -1;
    status = find_first_image(gif.get(), &transparentIndex);
    if (status != B_OK)
        return context.error != B_OK ? context.error : status;

    const GifImageDesc& frame = gif->Image;
    if (frame.Left < 0 || frame.Top < 0 || frame.Width <= 0 || frame.Height <= 0)
        return B_ILLEGAL_DATA;
    uint32 left = uint32(frame.Left), top = uint32(frame.Top);
    uint32 frameWidth = uint32(frame.Width), frameHeight = uint32(frame.Height);
    uint32 width = std::max(info->width, left + frameWidth);
    uint32 height = std::max(info->height, top + frameHeight);
    info->width = width;
    info->height = height;
    if (BPrivate::check_decoded_size(width, height) != B_OK)
        return B_NO_MEMORY;
    // Around the first frame there is only background, so a screen (or a
    // frame offset) that makes the picture far larger than what is drawn on
    // it is a header's claim, not an image: a few bytes must not become a
    // bitmap of hundreds of megabytes.
    uint64 area = uint64(width) * height;
    if (area > kLargeScreen && area / 16 > uint64(frameWidth) * frameHeight)
        return B_ILLEGAL_DATA;
    off_t size = 0, position = source->Position();
    if (source->GetSize(&size) == B_OK && position >= 0 && size >= position &&
        uint64(frameWidth) * frameHeight / kMaxPixelsPerByte > uint64(size - position) + 1)
        return B_ILLEGAL_DATA;

    const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (map == nullptr || map->Colors == nullptr)
        return B_ILLEGAL_DATA;
    // Indices past the end of the colour map show black rather than whatever
    // follows it in memory.
    uint32 colours[256];
    for (int i = 0; i < 256; i++) {
        if (i < map->ColorCount) {
            const GifColorType& c = map->Colors[i];
            colours[i] = 0xff000000u | uint32(c.Red) << 16 | uint32(c.Green) << 8 | c.Blue;
        } else {
            colours[i] = 0xff000000u;
        }
    }
    if (transparentIndex >= 0)
        colours[transparentIndex] = 0;
    info->hasAlpha = transparentIndex >= 0 || left > 0 || top > 0 || left + frameWidth < width ||
                     top + frameHeight < height;
    if (pixels == nullptr)
        return B_OK;

    size_t rowBytes = size_t(width) * 4;
    std::unique_ptr<uint8[]> buffer(new (std::nothrow) uint8[rowBytes * height]);
    std::vector<GifPixelType> line;
    try {
        line.resize(frameWidth);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
    if (!buffer)
        return B_NO_MEMORY;
    if (info->hasAlpha)
        memset(buffer.get(), 0, rowBytes * height);

    // Interlaced frames arrive in four passes of every 8th, 8th, 4th and 2nd row.
    static const uint32 kStart[4] = {0, 4, 2, 1};
    static const uint32 kStep[4] = {8, 8, 4, 2};
    int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; pass++) {
        uint32 start = frame.Interlace ? kStart[pass] : 0;
        uint32 step = frame.Interlace ? kStep[pass] : 1;
        for (uint32 row = start; row < frameHeight; row += step) {
            if (DGifGetLine(gif.get(), line.data(), int(frameWidth)) == GIF_ERROR)
                return context.error != B_OK ? context.error : giflib_failure(gif->Error);
            uint32* out = reinterpret_cast<uint32*>(buffer.get() + (top + row) * rowBytes) + left;
            for (uint32 x = 0; x < frameWidth; x++)
                out[x] = colours[line[x]];
        }
    }
    // The first frame is all we show, but a file that stops right after it
    // has lost at least its trailer: it is cut short like any other.
    GifRecordType next;
    if (DGifGetRecordType(gif.get(), &next) == GIF_ERROR)
        return context.error != B_OK ? context.error : giflib_failure(gif->Error);
    *pixels = std::move(buffer);
    return B_OK;
}

} // namespace

status_t gif_identify(BPositionIO* source, GIFInfo* info)
{
    return decode(source, info, nullptr);
}

status_t gif_decode(BPositionIO* source, GIFInfo* info, std::unique_ptr<uint8[]>* pixels)
{
    return decode(source, info, pixels);
}
