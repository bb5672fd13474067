#include "TIFF.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include <TranslationDefs.h>

#include "TIFFStream.h"
#include "translation/BaseTranslator.h"
#include "translation/ImageOrientation.h"

// The first directory is read in one of two ways: the common layouts (grey,
// palette, RGB or RGBA samples of unsigned integers or floating point, one
// plane or one per sample) by converting decoded strips or tiles row by row,
// everything else libtiff understands through its RGBA reader, whose
// premultiplied output is turned back into straight alpha. Either way rows
// reach the sink a band at a time, as the file stores them: a strip, a row of
// tiles, or a block of rows.

namespace {

// Rows handed to the sink at a time by the direct reader.
const uint32 kBlockRows = 16;

// How the samples of one pixel are laid out, for the direct reader.
struct Layout
{
    uint16 photometric = 0;
    // The bits of a sample as converted: the stored size, or 8 for floating
    // point samples, which are brought to 8 bits first.
    uint16 bits = 0;
    uint16 storedBits = 0;
    uint16 samples = 0;
    bool floating = false;
    bool separate = false; // one plane per sample
    int alphaIndex = -1;   // the sample holding alpha, or -1
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
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout->storedBits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout->samples);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout->photometric))
        return false;
    if (layout->samples == 0)
        return false;
    layout->separate = planar == PLANARCONFIG_SEPARATE && layout->samples > 1;

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
    uint16 bits = layout->storedBits;
    if (format == SAMPLEFORMAT_IEEEFP) {
        if (!(bits == 16 || bits == 32 || bits == 64) || layout->photometric == PHOTOMETRIC_PALETTE)
            return false;
        layout->floating = true;
        layout->bits = 8;
    } else if (format == SAMPLEFORMAT_UINT) {
        bool packed = bits == 1 || bits == 2 || bits == 4;
        if (!(bits == 8 || bits == 16 || (packed && layout->samples == 1)))
            return false;
        layout->bits = bits;
    } else {
        return false;
    }
    bits = layout->bits;
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

// A 16-bit (half) floating point value.
float half_to_float(uint16 half)
{
    uint32 exponent = (half >> 10) & 0x1f;
    uint32 mantissa = half & 0x3ff;
    float value;
    if (exponent == 0)
        value = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        value = mantissa != 0 ? NAN : INFINITY;
    else
        value = std::ldexp(float(mantissa | 0x400), int(exponent) - 25);
    return (half & 0x8000) != 0 ? -value : value;
}

// Floating point samples show 0 to 1 as black to white, as other viewers
// do; what lies outside (and NaN) is clamped.
inline uint8 unit_to_8(double value)
{
    if (!(value > 0))
        return 0;
    return value >= 1 ? 255 : uint8(value * 255 + 0.5);
}

// Turns count floating point samples (in the machine's byte order, as
// libtiff hands them over) into 8-bit ones.
void floats_to_8(const uint8* in, uint8* out, size_t count, uint16 bits)
{
    for (size_t i = 0; i < count; i++) {
        if (bits == 16) {
            uint16 v;
            memcpy(&v, in + i * 2, 2);
            out[i] = unit_to_8(half_to_float(v));
        } else if (bits == 32) {
            float v;
            memcpy(&v, in + i * 4, 4);
            out[i] = unit_to_8(v);
        } else {
            double v;
            memcpy(&v, in + i * 8, 8);
            out[i] = unit_to_8(v);
        }
    }
}

// Turns stored rows into BGRA rows and hands them to the sink: the stored
// row is one run of interleaved samples, or one run per plane.
class RowConverter
{
public:
    RowConverter(const Layout& layout, uint32 width) : fLayout(layout), fWidth(width) {}

    bool Init()
    {
        size_t sampleBytes = fLayout.storedBits / 8;
        size_t samples = size_t(fWidth) * fLayout.samples;
        if (fLayout.separate)
            fInterleaved.reset(new (std::nothrow) uint8[samples * sampleBytes]);
        if (fLayout.floating)
            fNarrow.reset(new (std::nothrow) uint8[samples]);
        return (!fLayout.separate || fInterleaved) && (!fLayout.floating || fNarrow);
    }

    // Converts count pixels of one row: planes[p] holds plane p's samples
    // (only planes[0], all samples interleaved, unless the layout is separate).
    void Convert(const uint8* const* planes, uint32 count, uint32* out)
    {
        const uint8* row = planes[0];
        if (fLayout.separate) {
            size_t sampleBytes = fLayout.storedBits / 8;
            uint16 n = fLayout.samples;
            uint8* to = fInterleaved.get();
            for (uint16 p = 0; p < n; p++) {
                const uint8* from = planes[p];
                if (sampleBytes == 1) {
                    for (uint32 x = 0; x < count; x++)
                        to[size_t(x) * n + p] = from[x];
                } else {
                    for (uint32 x = 0; x < count; x++)
                        memcpy(to + (size_t(x) * n + p) * sampleBytes, from + x * sampleBytes,
                               sampleBytes);
                }
            }
            row = to;
        }
        if (fLayout.floating) {
            floats_to_8(row, fNarrow.get(), size_t(count) * fLayout.samples, fLayout.storedBits);
            row = fNarrow.get();
        }
        convert_row(row, out, count, fLayout);
    }

private:
    const Layout& fLayout;
    uint32 fWidth;
    std::unique_ptr<uint8[]> fInterleaved;
    std::unique_ptr<uint8[]> fNarrow;
};

// Buffers that together stay within the pixel-buffer limit.
bool allocate(std::vector<std::unique_ptr<uint8[]>>* buffers, size_t count, uint64 size)
{
    if (size == 0 || size > B_TRANSLATION_MAX_PIXEL_BYTES / count)
        return false;
    for (size_t i = 0; i < count; i++) {
        buffers->emplace_back(new (std::nothrow) uint8[size]);
        if (!buffers->back())
            return false;
    }
    return true;
}

status_t read_strips(TIFF* tiff, const Layout& layout, uint32 width, uint32 height,
                     BPrivate::BitsRowSink* sink)
{
    uint32 rowsPerStrip = height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0 || rowsPerStrip > height)
        rowsPerStrip = height;
    // For separate planes, these are the sizes of one plane's.
    tmsize_t lineSize = TIFFScanlineSize(tiff);
    tmsize_t stripSize = TIFFStripSize(tiff);
    if (lineSize <= 0 || stripSize <= 0 || stripSize / lineSize < tmsize_t(rowsPerStrip))
        return B_ILLEGAL_DATA;
    uint16 planes = layout.separate ? layout.samples : 1;
    std::vector<std::unique_ptr<uint8[]>> strips;
    std::unique_ptr<uint8[]> block(new (std::nothrow) uint8[size_t(width) * 4 * kBlockRows]);
    RowConverter converter(layout, width);
    if (!allocate(&strips, planes, uint64(stripSize)))
        return B_NO_MEMORY;
    if (!block || !converter.Init())
        return B_NO_MEMORY;

    std::vector<const uint8*> rowPlanes(planes);
    uint32 filled = 0;
    for (uint32 row = 0; row < height; row += rowsPerStrip) {
        uint32 rows = height - row < rowsPerStrip ? height - row : rowsPerStrip;
        // Each plane's last strip may be short: only the rows it covers count.
        for (uint16 p = 0; p < planes; p++) {
            tmsize_t got = TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, row, p),
                                                strips[p].get(), tmsize_t(rows) * lineSize);
            if (got < tmsize_t(rows) * lineSize)
                return B_ILLEGAL_DATA;
        }
        for (uint32 i = 0; i < rows; i++) {
            for (uint16 p = 0; p < planes; p++)
                rowPlanes[p] = strips[p].get() + i * lineSize;
            converter.Convert(rowPlanes.data(), width,
                              reinterpret_cast<uint32*>(block.get() + size_t(filled) * width * 4));
            if (++filled == kBlockRows) {
                status_t status = sink->PutRows(block.get(), filled);
                if (status != B_OK)
                    return status;
                filled = 0;
            }
        }
    }
    return filled > 0 ? sink->PutRows(block.get(), filled) : B_OK;
}

status_t read_tiles(TIFF* tiff, const Layout& layout, uint32 width, uint32 height,
                    BPrivate::BitsRowSink* sink)
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
    uint16 planes = layout.separate ? layout.samples : 1;
    uint32 bandRows = std::min(tileHeight, height);
    std::vector<std::unique_ptr<uint8[]>> tiles;
    std::unique_ptr<uint8[]> band(new (std::nothrow) uint8[size_t(width) * 4 * bandRows]);
    RowConverter converter(layout, width);
    if (!allocate(&tiles, planes, uint64(tileSize)))
        return B_NO_MEMORY;
    if (!band || !converter.Init())
        return B_NO_MEMORY;

    std::vector<const uint8*> rowPlanes(planes);
    for (uint32 y = 0; y < height; y += tileHeight) {
        uint32 rows = height - y < tileHeight ? height - y : tileHeight;
        for (uint32 x = 0; x < width; x += tileWidth) {
            uint32 columns = width - x < tileWidth ? width - x : tileWidth;
            for (uint16 p = 0; p < planes; p++) {
                tmsize_t got = TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, x, y, 0, p),
                                                   tiles[p].get(), tileSize);
                if (got < tileSize)
                    return B_ILLEGAL_DATA;
            }
            for (uint32 i = 0; i < rows; i++) {
                for (uint16 p = 0; p < planes; p++)
                    rowPlanes[p] = tiles[p].get() + i * tileRowSize;
                uint32* target =
                    reinterpret_cast<uint32*>(band.get() + (size_t(i) * width + x) * 4);
                converter.Convert(rowPlanes.data(), columns, target);
            }
            if (x > UINT32_MAX - tileWidth)
                break;
        }
        status_t status = sink->PutRows(band.get(), rows);
        if (status != B_OK)
            return status;
        if (y > UINT32_MAX - tileHeight)
            break;
    }
    return B_OK;
}

// Everything else goes through libtiff's RGBA reader, a band of rows at a
// time. It writes R, G, B, A bytes with premultiplied alpha. Asking for the
// file's own orientation keeps the rows in stored order; the caller turns
// them.
status_t read_rgba(TIFF* tiff, uint32 width, uint32 height, BPrivate::BitsRowSink* sink)
{
    char message[1024];
    TIFFRGBAImage image;
    if (!TIFFRGBAImageOK(tiff, message) || !TIFFRGBAImageBegin(&image, tiff, 0, message))
        return B_NOT_SUPPORTED;
    image.req_orientation = image.orientation;
    bool hasAlpha = image.alpha != 0;

    // A band of whole strips or rows of tiles, so that none is read twice,
    // and of at least kBlockRows rows.
    uint32 unit = 0;
    if (TIFFIsTiled(tiff))
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &unit);
    if (unit == 0 || unit > height)
        unit = height;
    uint32 bandRows = unit < kBlockRows ? (kBlockRows + unit - 1) / unit * unit : unit;
    bandRows = std::min(bandRows, height);
    std::unique_ptr<uint8[]> band(new (std::nothrow) uint8[size_t(width) * 4 * bandRows]);

    status_t status = B_NO_MEMORY;
    if (band && image.width == width && image.height == height)
        status = sink->Start(width, height, hasAlpha);
    else if (band)
        status = B_ILLEGAL_DATA;
    for (uint32 row = 0; row < height && status == B_OK; row += bandRows) {
        uint32 rows = std::min(bandRows, height - row);
        image.row_offset = int(row);
        image.col_offset = 0;
        if (!TIFFRGBAImageGet(&image, reinterpret_cast<uint32_t*>(band.get()), width, rows)) {
            status = B_ILLEGAL_DATA;
            break;
        }
        size_t count = size_t(width) * rows;
        for (size_t i = 0; i < count; i++) {
            uint8* p = band.get() + i * 4;
            uint8 r = p[0], g = p[1], b = p[2], a = hasAlpha ? p[3] : 255;
            if (hasAlpha) {
                r = unpremultiply(r, a);
                g = unpremultiply(g, a);
                b = unpremultiply(b, a);
            }
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = a;
        }
        status = sink->PutRows(band.get(), rows);
    }
    TIFFRGBAImageEnd(&image);
    return status;
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
    uint64 count = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    if (count == 0)
        return true;
    uint64 needed;
    if (TIFFIsTiled(tiff)) {
        // Edge tiles are stored whole; allow one short all the same.
        uint64 block = TIFFTileSize64(tiff);
        if (block > UINT64_MAX / count)
            return false;
        needed = block * (count - 1);
    } else {
        // Each plane's last strip covers only the rows left over.
        uint32 height = 0, rowsPerStrip = 0;
        uint16 planar = PLANARCONFIG_CONTIG, samples = 1;
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
        if (rowsPerStrip == 0 || rowsPerStrip > height)
            rowsPerStrip = height;
        uint64 planes = planar == PLANARCONFIG_SEPARATE ? samples : 1;
        uint64 line = TIFFScanlineSize64(tiff);
        if (planes == 0 || line == 0 || line > UINT64_MAX / height)
            return false;
        uint64 plane = line * height;
        if (plane > UINT64_MAX / planes)
            return false;
        needed = plane * planes;
    }
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

status_t decode(BPositionIO* source, TIFFInfo* info, bool upright, BPrivate::BitsRowSink* target)
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
    uint16 orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
    info->orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    if (BPrivate::check_decoded_size(width, height) != B_OK)
        return B_NO_MEMORY;
    if (!plausible_length(tiff.get(), source))
        return B_ILLEGAL_DATA;

    Layout layout;
    bool direct = direct_layout(tiff.get(), &layout);
    char message[1024];
    if (!direct && !TIFFRGBAImageOK(tiff.get(), message))
        return B_NOT_SUPPORTED;
    info->hasAlpha = direct ? layout.alphaIndex >= 0 : false;
    if (target == nullptr)
        return B_OK;
    if (info->metadata != nullptr) {
        uint32 count = 0;
        const char* data = nullptr;
        if (TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &count, &data) && data != nullptr)
            info->metadata->icc.assign(data, count);
        if (TIFFGetField(tiff.get(), TIFFTAG_XMLPACKET, &count, &data) && data != nullptr)
            info->metadata->xmp.assign(data, count);
    }

    BPrivate::OrientingSink sink(target, upright ? info->orientation : 1);
    if (!direct)
        return read_rgba(tiff.get(), width, height, &sink);
    status = sink.Start(width, height, info->hasAlpha);
    if (status != B_OK)
        return status;
    if (TIFFIsTiled(tiff.get()))
        return read_tiles(tiff.get(), layout, width, height, &sink);
    return read_strips(tiff.get(), layout, width, height, &sink);
}

} // namespace

status_t tiff_identify(BPositionIO* source, TIFFInfo* info)
{
    return decode(source, info, false, nullptr);
}

status_t tiff_decode(BPositionIO* source, TIFFInfo* info, bool upright, BPrivate::BitsRowSink* sink)
{
    return decode(source, info, upright, sink);
}
