#include "TGA.h"

#include "translation/BaseTranslator.h"
#include "translation/StreamReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

using BPrivate::StreamReader;

namespace tga {

const char* const kSettingRLE = "tga /rle";
const char* const kSettingKeepAlpha = "tga /keep_alpha";

namespace {

uint16 le16(const uint8* p)
{
    return p[0] | (p[1] << 8);
}

uint8 expand5(uint32 value)
{
    return (uint8)((value << 3) | (value >> 2));
}

// One source pixel of 'size' bytes to B, G, R, A.
struct PixelFormat
{
    uint8 size;
    bool gray;
    bool alpha;
};

inline void convert_pixel(const PixelFormat& format, const uint8* in, uint8* out)
{
    switch (format.size) {
    case 1:
        out[0] = out[1] = out[2] = in[0];
        out[3] = 255;
        break;
    case 2:
        if (format.gray) {
            out[0] = out[1] = out[2] = in[0];
            out[3] = format.alpha ? in[1] : 255;
        } else {
            uint32 value = le16(in);
            out[0] = expand5(value & 0x1f);
            out[1] = expand5((value >> 5) & 0x1f);
            out[2] = expand5((value >> 10) & 0x1f);
            out[3] = format.alpha ? ((value & 0x8000) ? 255 : 0) : 255;
        }
        break;
    case 3:
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = 255;
        break;
    default:
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = format.alpha ? in[3] : 255;
        break;
    }
}

// Turns a run of source pixels into output pixels, through the palette
// for colour-mapped images. Indices past the palette read as opaque black.
struct Converter
{
    PixelFormat format;
    bool mapped;
    std::vector<uint32> palette;

    void Run(const uint8* in, size_t count, uint8* out) const
    {
        if (mapped) {
            for (size_t i = 0; i < count; i++, in += format.size, out += 4) {
                uint32 index = format.size == 1 ? in[0] : le16(in);
                uint32 color = index < palette.size() ? palette[index] : 0xff000000u;
                out[0] = color;
                out[1] = color >> 8;
                out[2] = color >> 16;
                out[3] = color >> 24;
            }
            return;
        }
        if (format.size == 4 && format.alpha) {
            memcpy(out, in, count * 4);
            return;
        }
        for (size_t i = 0; i < count; i++, in += format.size, out += 4)
            convert_pixel(format, in, out);
    }
};

status_t read_palette(StreamReader& reader, const Header& header, bool keepAlpha,
                      Converter* converter)
{
    PixelFormat entry = {(uint8)((header.mapBits + 7) / 8), false, false};
    entry.alpha = keepAlpha && (header.mapBits == 32 || (header.descriptor & kAlphaBitsMask) != 0);
    size_t entries = header.imageType == kColorMapped || header.imageType == kRLEColorMapped
                         ? (header.bits == 8 ? 256 : 65536)
                         : 0;
    converter->palette.assign(entries, 0xff000000u);

    std::vector<uint8> raw((size_t)header.mapLength * entry.size);
    status_t status = reader.Read(raw.data(), raw.size());
    if (status != B_OK)
        return status;
    for (size_t i = 0; i < header.mapLength; i++) {
        size_t index = header.mapFirst + i;
        if (index >= entries)
            break;
        uint8 bgra[4];
        convert_pixel(entry, &raw[i * entry.size], bgra);
        converter->palette[index] =
            bgra[0] | (bgra[1] << 8) | (bgra[2] << 16) | ((uint32)bgra[3] << 24);
    }
    return B_OK;
}

// Decodes run-length packets, which may run across row ends, one row at a time.
class RLEDecoder
{
public:
    RLEDecoder(StreamReader& reader, const Converter& converter)
        : fReader(reader), fConverter(converter), fSize(converter.format.size)
    {}

    status_t Row(uint8* out, size_t width)
    {
        while (width > 0) {
            if (fLeft == 0) {
                uint8 packet = fReader.Byte();
                fLeft = (packet & 0x7f) + 1;
                fRepeat = (packet & 0x80) != 0;
                if (fRepeat) {
                    status_t status = fReader.Read(fPixel, fSize);
                    if (status != B_OK)
                        return status;
                    fConverter.Run(fPixel, 1, fConverted);
                }
                if (fReader.Status() != B_OK)
                    return fReader.Status();
            }
            size_t count = std::min(fLeft, width);
            if (fRepeat) {
                for (size_t i = 0; i < count; i++)
                    memcpy(out + i * 4, fConverted, 4);
            } else {
                uint8 raw[128 * 4];
                status_t status = fReader.Read(raw, count * fSize);
                if (status != B_OK)
                    return status;
                fConverter.Run(raw, count, out);
            }
            out += count * 4;
            width -= count;
            fLeft -= count;
        }
        return B_OK;
    }

private:
    StreamReader& fReader;
    const Converter& fConverter;
    size_t fSize;
    size_t fLeft = 0;
    bool fRepeat = false;
    uint8 fPixel[4];
    uint8 fConverted[4];
};

void reverse_row(uint8* row, size_t width)
{
    uint32* pixels = (uint32*)row;
    std::reverse(pixels, pixels + width);
}

} // namespace

status_t parse_header(const uint8* b, Header* h)
{
    h->idLength = b[0];
    h->colorMapType = b[1];
    h->imageType = b[2];
    h->mapFirst = le16(b + 3);
    h->mapLength = le16(b + 5);
    h->mapBits = b[7];
    h->width = le16(b + 12);
    h->height = le16(b + 14);
    h->bits = b[16];
    h->descriptor = b[17];

    if (h->colorMapType > 1 || (h->descriptor & 0xc0) != 0)
        return B_NO_TRANSLATOR;
    if (h->colorMapType == 1 && (h->mapLength == 0 || (h->mapBits != 15 && h->mapBits != 16 &&
                                                       h->mapBits != 24 && h->mapBits != 32)))
        return B_NO_TRANSLATOR;
    switch (h->imageType) {
    case kColorMapped:
    case kRLEColorMapped:
        if (h->colorMapType != 1 || (h->bits != 8 && h->bits != 16))
            return B_NO_TRANSLATOR;
        break;
    case kTrueColor:
    case kRLETrueColor:
        if (h->bits != 15 && h->bits != 16 && h->bits != 24 && h->bits != 32)
            return B_NO_TRANSLATOR;
        break;
    case kGray:
    case kRLEGray:
        if (h->bits != 8 && h->bits != 16)
            return B_NO_TRANSLATOR;
        break;
    default:
        return B_NO_TRANSLATOR;
    }
    if (h->width == 0 || h->height == 0)
        return B_NO_TRANSLATOR;
    return B_OK;
}

status_t decode(BPositionIO* source, bool keepAlpha, BPositionIO* destination)
{
    off_t available = BPrivate::remaining_stream_size(source);
    StreamReader reader(source);
    if (reader.InitCheck() != B_OK)
        return reader.InitCheck();
    uint8 bytes[kHeaderSize];
    status_t status = reader.Read(bytes, sizeof(bytes));
    if (status != B_OK)
        return status == B_ILLEGAL_DATA ? B_NO_TRANSLATOR : status;
    Header header;
    status = parse_header(bytes, &header);
    if (status != B_OK)
        return status;
    status = BPrivate::check_decoded_size(header.width, header.height);
    if (status != B_OK)
        return status;

    bool mapped = header.imageType == kColorMapped || header.imageType == kRLEColorMapped;
    bool rle = header.imageType >= kRLEColorMapped;
    uint8 alphaBits = header.descriptor & kAlphaBitsMask;
    Converter converter;
    converter.mapped = mapped;
    converter.format.size = (header.bits + 7) / 8;
    converter.format.gray = header.imageType == kGray || header.imageType == kRLEGray;
    converter.format.alpha =
        keepAlpha && !mapped && alphaBits != 0 && (header.bits == 32 || header.bits == 16);

    // The pixel data must be there; checking first avoids building a large
    // picture from a cut-off file. Run-length data is no shorter than one
    // packet per 128 pixels.
    uint64 pixels = (uint64)header.width * header.height;
    uint64 needed =
        kHeaderSize + header.idLength +
        (uint64)header.colorMapType * header.mapLength * ((header.mapBits + 7) / 8) +
        (rle ? (pixels + 127) / 128 * (1 + converter.format.size) : pixels * converter.format.size);
    if (available >= 0 && (uint64)available < needed)
        return B_ILLEGAL_DATA;

    status = reader.Skip(header.idLength);
    if (status != B_OK)
        return status;
    if (header.colorMapType == 1) {
        status = read_palette(reader, header, keepAlpha, &converter);
        if (status != B_OK)
            return status;
    }
    bool hasAlpha = converter.format.alpha;
    if (mapped && keepAlpha)
        hasAlpha = header.mapBits == 32 || (header.mapBits == 16 && alphaBits != 0);

    size_t width = header.width;
    size_t height = header.height;
    size_t rowBytes = width * 4;
    off_t base = destination->Position();
    status = BPrivate::write_bits_header(destination, width, height, hasAlpha ? B_RGBA32 : B_RGB32);
    if (status != B_OK)
        return status;

    std::unique_ptr<uint8[]> row(new (std::nothrow) uint8[rowBytes]);
    std::unique_ptr<uint8[]> raw(new (std::nothrow) uint8[width * converter.format.size]);
    if (!row || !raw)
        return B_NO_MEMORY;
    RLEDecoder rleDecoder(reader, converter);
    bool topDown = (header.descriptor & kTopToBottom) != 0;
    for (size_t i = 0; i < height; i++) {
        if (rle) {
            status = rleDecoder.Row(row.get(), width);
        } else {
            // Rows that fit the reader's buffer convert straight out of it.
            size_t size = width * converter.format.size;
            if (reader.Fill(size) >= size) {
                converter.Run(reader.Peek(), width, row.get());
                reader.Consume(size);
            } else {
                status = reader.Read(raw.get(), size);
                if (status == B_OK)
                    converter.Run(raw.get(), width, row.get());
            }
        }
        if (status != B_OK)
            return status;
        if (header.descriptor & kRightToLeft)
            reverse_row(row.get(), width);
        size_t y = topDown ? i : height - 1 - i;
        off_t offset = base + B_TRANSLATOR_BITMAP_HEADER_SIZE + (off_t)y * rowBytes;
        ssize_t written = destination->WriteAt(offset, row.get(), rowBytes);
        if (written < 0)
            return (status_t)written;
        if ((size_t)written != rowBytes)
            return B_IO_ERROR;
    }
    destination->Seek(base + B_TRANSLATOR_BITMAP_HEADER_SIZE + (off_t)height * rowBytes, SEEK_SET);
    return B_OK;
}

} // namespace tga
