#include "TIFFCodec.h"

#include <cstring>
#include <new>
#include <vector>

#include <TranslationDefs.h>

#include "TIFFStream.h"

// The first directory is read in one of two ways: the common layouts (one
// plane of grey, palette, RGB or RGBA samples) by converting decoded strips or
// tiles row by row, everything else libtiff understands through its RGBA
// reader, whose premultiplied output is turned back into straight alpha.

namespace {

// How the samples of one pixel are laid out, for the direct reader.
struct Layout
{
    uint16 photometric = 0;
    uint16 bits = 0;
    uint16 samples = 0;
    int alphaIndex = -1; // the sample holding alpha, or -1
    bool premultiplied = false;
    // Palette entries as BGRA words, 1 << bits of them.
    std::vector<uint32> palette;
    // For one sample of up to 8 bits without alpha: the BGRA word of every
    // sample value, so that rows convert with one look-up per pixel.
    std::vector<uint32> lookup;
};

uint32 bgra(uint32 r, uint32 g, uint32 b, uint32 a)
{
    return b | (g << 8) | (r << 16) | (a << 24);
}

// Fills layout when the direct reader can handle the directory.
bool direct_layout(TIFF* tiff, Layout* layout)
{
    uint16 planar = PLANARCONFIG_CONTIG;
    uint16 format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout->bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout->samples);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout->photometric))
        return false;
    if (format != SAMPLEFORMAT_UINT || layout->samples == 0)
        return false;
    if (planar != PLANARCONFIG_CONTIG && layout->samples > 1)
        return false;

    uint16 colourSamples;
    switch (layout->photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        colourSamples = 1;
        break;
    case PHOTOMETRIC_RGB:
        colourSamples = 3;
        break;
    case PHOTOMETRIC_PALETTE:
        colourSamples = 1;
        break;
    default:
        return false;
    }
    if (layout->samples < colourSamples)
        return false;
    uint16 bits = layout->bits;
    bool packed = bits == 1 || bits == 2 || bits == 4;
    if (!(bits == 8 || bits == 16 || (packed && layout->samples == 1)))
        return false;

    uint16 extraCount = 0;
    uint16* extra = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0 &&
        layout->samples > colourSamples) {
        if (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA) {
            layout->alphaIndex = colourSamples;
            layout->premultiplied = extra[0] == EXTRASAMPLE_ASSOCALPHA;
        }
    }

    if (layout->photometric == PHOTOMETRIC_PALETTE) {
        uint16 *red, *green, *blue;
        if (bits > 8 || !TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue))
            return false;
        size_t count = size_t(1) << bits;
        // Some old writers stored 8-bit entries; scale only real 16-bit maps.
        bool wide = false;
        for (size_t i = 0; i < count; i++)
            wide = wide || red[i] > 255 || green[i] > 255 || blue[i] > 255;
        int shift = wide ? 8 : 0;
        layout->palette.resize(count);
        for (size_t i = 0; i < count; i++)
            layout->palette[i] = bgra(red[i] >> shift, green[i] >> shift, blue[i] >> shift, 255);
    }

    if (layout->samples == 1 && bits <= 8) {
        uint32 count = 1u << bits;
        layout->lookup.resize(count);
        for (uint32 v = 0; v < count; v++) {
            if (layout->photometric == PHOTOMETRIC_PALETTE) {
                layout->lookup[v] = layout->palette[v];
                continue;
            }
            uint32 grey = v * 255 / (count - 1);
            if (layout->photometric == PHOTOMETRIC_MINISWHITE)
                grey = 255 - grey;
            layout->lookup[v] = bgra(grey, grey, grey, 255);
        }
    }
    return true;
}

uint8 unpremultiply(uint32 value, uint32 alpha)
{
    if (alpha == 0)
        return 0;
    uint32 v = (value * 255 + alpha / 2) / alpha;
    return uint8(v > 255 ? 255 : v);
}

// Reads sample s of pixel x as an 8-bit value.
inline uint32 sample(const uint8* row, uint32 index, uint16 bits)
{
    switch (bits) {
    case 8:
        return row[index];
    case 16: {
        uint16 v;
        memcpy(&v, row + index * 2, 2);
        return (uint32(v) * 255 + 32767) / 65535;
    }
    default: {
        uint32 bit = index * bits;
        uint32 v = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        return v;
    }
    }
}

// Converts count pixels of one decoded row into BGRA words.
void convert_row(const uint8* in, uint32* out, uint32 count, const Layout& layout)
{
    uint16 bits = layout.bits;
    uint16 n = layout.samples;
    if (!layout.lookup.empty()) {
        const uint32* lookup = layout.lookup.data();
        uint32 mask = (1u << bits) - 1;
        for (uint32 x = 0; x < count; x++) {
            uint32 bit = x * bits;
            out[x] = lookup[(in[bit / 8] >> (8 - bits - bit % 8)) & mask];
        }
        return;
    }
    if (bits == 8 && layout.photometric == PHOTOMETRIC_RGB && !layout.premultiplied) {
        bool alpha = layout.alphaIndex >= 0;
        for (uint32 x = 0; x < count; x++, in += n)
            out[x] = bgra(in[0], in[1], in[2], alpha ? in[3] : 255);
        return;
    }

    uint32 maxValue = (1u << (bits < 8 ? bits : 8)) - 1;
    for (uint32 x = 0; x < count; x++) {
        uint32 base = x * n;
        uint32 alpha = layout.alphaIndex >= 0 ? sample(in, base + layout.alphaIndex, bits) : 255;
        uint32 r, g, b;
        switch (layout.photometric) {
        case PHOTOMETRIC_PALETTE:
            out[x] = (layout.palette[sample(in, base, bits)] & 0xffffff) | alpha << 24;
            continue;
        case PHOTOMETRIC_RGB:
            r = sample(in, base, bits);
            g = sample(in, base + 1, bits);
            b = sample(in, base + 2, bits);
            break;
        default: {
            uint32 v = sample(in, base, bits) * 255 / maxValue;
            if (layout.photometric == PHOTOMETRIC_MINISWHITE)
                v = 255 - v;
            r = g = b = v;
            break;
        }
        }
        if (layout.premultiplied) {
            r = unpremultiply(r, alpha);
            g = unpremultiply(g, alpha);
            b = unpremultiply(b, alpha);
        }
        out[x] = bgra(r, g, b, alpha);
    }
}

status_t read_strips(TIFF* tiff, const Layout& layout, uint32 width, uint32 height, uint8* out)
{
    uint32 rowsPerStrip = height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0 || rowsPerStrip > height)
        rowsPerStrip = height;
    tmsize_t lineSize = TIFFScanlineSize(tiff);
    tmsize_t stripSize = TIFFStripSize(tiff);
    if (lineSize <= 0 || stripSize <= 0 || stripSize / lineSize < tmsize_t(rowsPerStrip))
        return B_ILLEGAL_DATA;
    if (uint64(stripSize) > B_TRANSLATION_MAX_PIXEL_BYTES)
        return B_NO_MEMORY;
    std::unique_ptr<uint8[]> strip(new (std::nothrow) uint8[stripSize]);
    if (!strip)
        return B_NO_MEMORY;

    for (uint32 row = 0; row < height; row += rowsPerStrip) {
        uint32 rows = height - row < rowsPerStrip ? height - row : rowsPerStrip;
        tmsize_t got = TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, row, 0), strip.get(),
                                            tmsize_t(rows) * lineSize);
        if (got < tmsize_t(rows) * lineSize)
            return B_ILLEGAL_DATA;
        for (uint32 i = 0; i < rows; i++) {
            convert_row(strip.get() + i * lineSize,
                        reinterpret_cast<uint32*>(out + size_t(row + i) * width * 4), width,
                        layout);
        }
    }
    return B_OK;
}

status_t read_tiles(TIFF* tiff, const Layout& layout, uint32 width, uint32 height, uint8* out)
{
    uint32 tileWidth = 0, tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    tmsize_t tileSize = TIFFTileSize(tiff);
    tmsize_t tileRowSize = TIFFTileRowSize(tiff);
    if (tileWidth == 0 || tileHeight == 0 || tileSize <= 0 || tileRowSize <= 0 ||
        tileSize / tileRowSize < tmsize_t(tileHeight))
        return B_ILLEGAL_DATA;
    // A tile may be declared far larger than the image it covers.
    if (uint64(tileSize) > B_TRANSLATION_MAX_PIXEL_BYTES)
        return B_NO_MEMORY;
    std::unique_ptr<uint8[]> tile(new (std::nothrow) uint8[tileSize]);
    if (!tile)
        return B_NO_MEMORY;

    for (uint32 y = 0; y < height; y += tileHeight) {
        uint32 rows = height - y < tileHeight ? height - y : tileHeight;
        for (uint32 x = 0; x < width; x += tileWidth) {
            uint32 columns = width - x < tileWidth ? width - x : tileWidth;
            tmsize_t got =
                TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, x, y, 0, 0), tile.get(), tileSize);
            if (got < tileSize)
                return B_ILLEGAL_DATA;
            for (uint32 i = 0; i < rows; i++) {
                uint32* target = reinterpret_cast<uint32*>(out + (size_t(y + i) * width + x) * 4);
                convert_row(tile.get() + i * tileRowSize, target, columns, layout);
            }
        }
        if (y > UINT32_MAX - tileHeight)
            break;
    }
    return B_OK;
}

// libtiff's RGBA reader writes R, G, B, A bytes with premultiplied alpha.
status_t read_rgba(TIFF* tiff, uint32 width, uint32 height, bool* hasAlpha, uint8* out)
{
    char message[1024];
    TIFFRGBAImage image;
    if (!TIFFRGBAImageOK(tiff, message) || !TIFFRGBAImageBegin(&image, tiff, 0, message))
        return B_NOT_SUPPORTED;
    image.req_orientation = ORIENTATION_TOPLEFT;
    bool ok = image.width == width && image.height == height &&
              TIFFRGBAImageGet(&image, reinterpret_cast<uint32_t*>(out), width, height);
    *hasAlpha = image.alpha != 0;
    TIFFRGBAImageEnd(&image);
    if (!ok)
        return B_ILLEGAL_DATA;

    size_t count = size_t(width) * height;
    for (size_t i = 0; i < count; i++) {
        uint8* p = out + i * 4;
        uint8 r = p[0], g = p[1], b = p[2], a = *hasAlpha ? p[3] : 255;
        if (*hasAlpha) {
            r = unpremultiply(r, a);
            g = unpremultiply(g, a);
            b = unpremultiply(b, a);
        }
        p[0] = b;
        p[1] = g;
        p[2] = r;
        p[3] = a;
    }
    return B_OK;
}

// Uncompressed and PackBits data cannot be much shorter than the image it
// holds (PackBits turns two bytes into at most 128), so a file far shorter
// than its image has lost data, or lets many strips share the same bytes to
// make a tiny file decode into a huge picture. Other schemes compress too
// well to tell.
bool plausible_length(TIFF* tiff, BPositionIO* source)
{
    uint16 compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    uint64 ratio = compression == COMPRESSION_NONE       ? 1
                   : compression == COMPRESSION_PACKBITS ? 64
                                                         : 0;
    off_t size = 0;
    if (ratio == 0 || source->GetSize(&size) != B_OK)
        return true;
    uint64 block = TIFFIsTiled(tiff) ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff);
    uint64 count = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    if (count > 0 && block > UINT64_MAX / count)
        return false;
    // The last strip or tile may be cut short by the image's edge.
    uint64 needed = count > 0 ? block * (count - 1) : 0;
    return needed / ratio <= uint64(size);
}

status_t check_magic(BPositionIO* source)
{
    uint8 magic[4];
    off_t start = source->Position();
    ssize_t got = source->Read(magic, sizeof(magic));
    if (got < 0)
        return status_t(got);
    bool little = got == 4 && magic[0] == 'I' && magic[1] == 'I' &&
                  (magic[2] == 42 || magic[2] == 43) && magic[3] == 0;
    bool big = got == 4 && magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 &&
               (magic[3] == 42 || magic[3] == 43);
    if (!little && !big)
        return B_NO_TRANSLATOR;
    return source->Seek(start, SEEK_SET) < 0 ? B_IO_ERROR : B_OK;
}

status_t decode(BPositionIO* source, TIFFInfo* info, std::unique_ptr<uint8[]>* pixels)
{
    status_t status = check_magic(source);
    if (status != B_OK)
        return status;
    TIFFHandle tiff(tiff_open_stream(source, "rm"));
    if (!tiff)
        return B_ILLEGAL_DATA;

    uint32 width = 0, height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height))
        return B_ILLEGAL_DATA;
    info->width = width;
    info->height = height;
    if (!tiff_fits_limit(width, height))
        return B_NO_MEMORY;
    if (!plausible_length(tiff.get(), source))
        return B_ILLEGAL_DATA;

    Layout layout;
    bool direct = direct_layout(tiff.get(), &layout);
    char message[1024];
    if (!direct && !TIFFRGBAImageOK(tiff.get(), message))
        return B_NOT_SUPPORTED;
    info->hasAlpha = direct ? layout.alphaIndex >= 0 : false;
    if (pixels == nullptr)
        return B_OK;

    std::unique_ptr<uint8[]> buffer(new (std::nothrow) uint8[size_t(width) * height * 4]);
    if (!buffer)
        return B_NO_MEMORY;
    if (!direct)
        status = read_rgba(tiff.get(), width, height, &info->hasAlpha, buffer.get());
    else if (TIFFIsTiled(tiff.get()))
        status = read_tiles(tiff.get(), layout, width, height, buffer.get());
    else
        status = read_strips(tiff.get(), layout, width, height, buffer.get());
    if (status == B_OK)
        *pixels = std::move(buffer);
    return status;
}

} // namespace

status_t tiff_identify(BPositionIO* source, TIFFInfo* info)
{
    return decode(source, info, nullptr);
}

status_t tiff_decode(BPositionIO* source, TIFFInfo* info, std::unique_ptr<uint8[]>* pixels)
{
    return decode(source, info, pixels);
}
