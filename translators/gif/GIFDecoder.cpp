#include "GIF.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include <gif_lib.h>

#include <TranslationDefs.h>

#include "translation/BaseTranslator.h"
#include "translation/StreamReader.h"

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
    BPrivate::StreamReader* reader;
    status_t error;
};

// giflib asks for a byte or a sub-block of at most 255 at a time: they come
// out of the reader's buffer, not a read of the stream each. A short count
// is the end of the data for giflib.
int read_data(GifFileType* gif, GifByteType* buffer, int size)
{
    StreamContext* context = static_cast<StreamContext*>(gif->UserData);
    BPrivate::StreamReader* reader = context->reader;
    size_t available = reader->Fill(size_t(size));
    if (reader->Status() != B_OK)
        context->error = reader->Status();
    size_t done = std::min(available, size_t(size));
    memcpy(buffer, reader->Peek(), done);
    reader->Consume(done);
    return int(done);
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

// Rows handed to the sink at a time, from a frame that is not interlaced.
const uint32 kBandRows = 16;

// The frame's next row, in its colours, onto a row of the screen that is
// transparent on either side of it.
status_t decode_row(GifFileType* gif, const GifImageDesc& frame, const GIFInfo* info,
                    const uint32* colours, GifPixelType* line, uint32* out)
{
    uint32 left = uint32(frame.Left), frameWidth = uint32(frame.Width);
    if (DGifGetLine(gif, line, int(frameWidth)) == GIF_ERROR)
        return B_ILLEGAL_DATA;
    if (frameWidth < info->width)
        memset(out, 0, size_t(info->width) * 4);
    for (uint32 x = 0; x < frameWidth; x++)
        out[left + x] = colours[line[x]];
    return B_OK;
}

// A frame that is not interlaced goes to the sink as giflib decodes it, a
// band of rows at a time, so that whoever takes the rows starts on them at
// once; rows above and below the frame are transparent.
status_t put_in_bands(GifFileType* gif, const GifImageDesc& frame, const GIFInfo* info,
                      const uint32* colours, GifPixelType* line, BPrivate::BitsRowSink* sink)
{
    size_t rowBytes = size_t(info->width) * 4;
    std::unique_ptr<uint8[]> band(new (std::nothrow) uint8[rowBytes * kBandRows]);
    if (!band)
        return B_NO_MEMORY;
    uint32 top = uint32(frame.Top), bottom = top + uint32(frame.Height);
    for (uint32 y = 0; y < info->height;) {
        uint32 count = std::min(kBandRows, info->height - y);
        for (uint32 i = 0; i < count; i++) {
            uint32* out = reinterpret_cast<uint32*>(band.get() + i * rowBytes);
            if (y + i < top || y + i >= bottom) {
                memset(out, 0, rowBytes);
            } else {
                status_t status = decode_row(gif, frame, info, colours, line, out);
                if (status != B_OK)
                    return status;
            }
        }
        status_t status = sink->PutRows(band.get(), count);
        if (status != B_OK)
            return status;
        y += count;
    }
    return B_OK;
}

// An interlaced frame arrives in four passes of every 8th, 8th, 4th and 2nd
// row: the screen is put together first.
status_t put_interlaced(GifFileType* gif, const GifImageDesc& frame, const GIFInfo* info,
                        const uint32* colours, GifPixelType* line, BPrivate::BitsRowSink* sink)
{
    size_t rowBytes = size_t(info->width) * 4;
    std::unique_ptr<uint8[]> buffer(new (std::nothrow) uint8[rowBytes * info->height]);
    if (!buffer)
        return B_NO_MEMORY;
    memset(buffer.get(), 0, rowBytes * info->height);
    static const uint32 kStart[4] = {0, 4, 2, 1};
    static const uint32 kStep[4] = {8, 8, 4, 2};
    uint32 top = uint32(frame.Top), frameHeight = uint32(frame.Height);
    for (int pass = 0; pass < 4; pass++) {
        for (uint32 row = kStart[pass]; row < frameHeight; row += kStep[pass]) {
            uint32* out = reinterpret_cast<uint32*>(buffer.get() + (top + row) * rowBytes);
            status_t status = decode_row(gif, frame, info, colours, line, out);
            if (status != B_OK)
                return status;
        }
    }
    return sink->PutRows(buffer.get(), info->height);
}

status_t decode(BPositionIO* source, GIFInfo* info, BPrivate::BitsRowSink* sink)
{
    status_t status = check_signature(source);
    if (status != B_OK)
        return status;
    BPrivate::StreamReader reader(source);
    if (reader.InitCheck() != B_OK)
        return B_NO_MEMORY;
    StreamContext context = {&reader, B_OK};
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
    // The data left for giflib: the rest of the stream and what the reader
    // holds of it already.
    off_t unread = BPrivate::remaining_stream_size(source);
    if (unread >= 0 &&
        uint64(frameWidth) * frameHeight / kMaxPixelsPerByte > uint64(unread) + reader.Fill(0) + 1)
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
    if (sink == nullptr)
        return B_OK;

    status = sink->Start(width, height, info->hasAlpha);
    if (status != B_OK)
        return status;
    std::vector<GifPixelType> line;
    try {
        line.resize(frameWidth);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
    status = frame.Interlace ? put_interlaced(gif.get(), frame, info, colours, line.data(), sink)
                             : put_in_bands(gif.get(), frame, info, colours, line.data(), sink);
    // A line giflib could not give is a failure in its words.
    if (status == B_ILLEGAL_DATA && context.error == B_OK)
        return giflib_failure(gif->Error);
    if (status != B_OK)
        return context.error != B_OK ? context.error : status;
    // The first frame is all we show, but a file that stops right after it
    // has lost at least its trailer: it is cut short like any other.
    GifRecordType next;
    if (DGifGetRecordType(gif.get(), &next) == GIF_ERROR)
        return context.error != B_OK ? context.error : giflib_failure(gif->Error);
    return B_OK;
}

} // namespace

status_t gif_identify(BPositionIO* source, GIFInfo* info)
{
    return decode(source, info, nullptr);
}

status_t gif_decode(BPositionIO* source, GIFInfo* info, BPrivate::BitsRowSink* sink)
{
    return decode(source, info, sink);
}
