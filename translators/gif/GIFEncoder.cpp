#include "GIF.h"

#include <memory>
#include <new>
#include <vector>

#include <gif_lib.h>

#include "GIFQuantizer.h"
#include "translation/BaseTranslator.h"

// The writing half: the picture is quantised to one palette, then giflib
// writes it through a callback of ours.

namespace {

struct WriteContext
{
    BPositionIO* destination;
    status_t error;
};

int write_data(GifFileType* gif, const GifByteType* buffer, int size)
{
    WriteContext* context = static_cast<WriteContext*>(gif->UserData);
    status_t status = context->destination->WriteExactly(buffer, size_t(size));
    if (status != B_OK) {
        context->error = status == B_ERROR ? status_t(B_IO_ERROR) : status;
        return 0;
    }
    return size;
}

} // namespace

status_t gif_encode(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                    const GIFWriteOptions& options, BPositionIO* destination)
{
    if (BPrivate::check_decoded_size(width, height) != B_OK || width > 65535 || height > 65535 ||
        rowBytes < size_t(width) * 4)
        return B_BAD_VALUE;

    std::unique_ptr<uint8[]> indices(new (std::nothrow) uint8[size_t(width) * height]);
    std::unique_ptr<GIFPalette> palette(new (std::nothrow) GIFPalette);
    if (!indices || !palette)
        return B_NO_MEMORY;
    status_t status = gif_quantize(bits, width, height, rowBytes, hasAlpha, options.dither,
                                   palette.get(), indices.get());
    if (status != B_OK)
        return status;

    // Colour maps come in powers of two, at least two entries.
    int mapSize = 2;
    while (mapSize < palette->count)
        mapSize *= 2;
    std::vector<GifColorType> colours(mapSize, GifColorType{0, 0, 0});
    for (int32 i = 0; i < palette->count; i++)
        colours[i] = GifColorType{palette->red[i], palette->green[i], palette->blue[i]};
    ColorMapObject* map = GifMakeMapObject(mapSize, colours.data());
    if (map == nullptr)
        return B_NO_MEMORY;

    WriteContext context = {destination, B_OK};
    int error = 0;
    GifFileType* gif = EGifOpen(&context, write_data, &error);
    if (gif == nullptr) {
        GifFreeMapObject(map);
        return context.error != B_OK ? context.error : B_NO_MEMORY;
    }
    bool ok = true;
    if (palette->transparentIndex >= 0) {
        EGifSetGifVersion(gif, true);
        GraphicsControlBlock control = {DISPOSAL_UNSPECIFIED, false, 0, palette->transparentIndex};
        GifByteType extension[4];
        size_t length = EGifGCBToExtension(&control, extension);
        ok = EGifPutScreenDesc(gif, int(width), int(height), 8, 0, map) != GIF_ERROR &&
             EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) != GIF_ERROR;
    } else {
        ok = EGifPutScreenDesc(gif, int(width), int(height), 8, 0, map) != GIF_ERROR;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, int(width), int(height), false, nullptr) != GIF_ERROR;
    for (uint32 y = 0; ok && y < height; y++)
        ok = EGifPutLine(gif, indices.get() + size_t(y) * width, int(width)) != GIF_ERROR;
    ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
    GifFreeMapObject(map);
    if (ok)
        return B_OK;
    return context.error != B_OK ? context.error : B_IO_ERROR;
}
