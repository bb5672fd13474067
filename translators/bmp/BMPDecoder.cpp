#include "BMP.h"

#include "translation/BaseTranslator.h"
#include "translation/StreamReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using BPrivate::StreamReader;

namespace bmp {

namespace {

const uint32 kOpaqueBlack = 0xff000000u;

// Extracts one channel given by a contiguous mask and scales it to 8 bits.
struct Channel
{
    uint32 mask = 0;
    uint32 shift = 0;
    uint32 bits = 0;

    explicit Channel(uint32 m) : mask(m)
    {
        if (mask == 0)
            return;
        while (((mask >> shift) & 1) == 0)
            shift++;
        while (shift + bits < 32 && ((mask >> (shift + bits)) & 1) != 0)
            bits++;
    }

    uint8 Value(uint32 pixel) const
    {
        // A channel without bits reads as zero.
        if (bits == 0)
            return 0;
        uint32 value = (pixel & mask) >> shift;
        if (bits >= 8)
            return (uint8)(value >> (bits - 8));
        return (uint8)((value * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1));
    }
};

class RowConverter
{
public:
    RowConverter(const Header& header, std::vector<uint32>&& palette)
        : fBits(header.bits), fPalette(std::move(palette)), fRed(header.masks[0]),
          fGreen(header.masks[1]), fBlue(header.masks[2]), fAlpha(header.masks[3])
    {
        fStandard32 = fBits == 32 && header.masks[0] == 0xff0000 && header.masks[1] == 0xff00 &&
                      header.masks[2] == 0xff &&
                      (header.masks[3] == 0 || header.masks[3] == 0xff000000u);
        if (fBits == 16) {
            fTable.resize(65536);
            for (uint32 v = 0; v < 65536; v++)
                fTable[v] = _Masked(v);
        }
    }

    void Run(const uint8* in, uint32 width, uint32* out) const
    {
        switch (fBits) {
        case 1:
        case 4:
        case 8: {
            uint32 perByte = 8 / fBits;
            uint32 mask = (1u << fBits) - 1;
            for (uint32 x = 0; x < width; x++) {
                uint32 shift = 8 - fBits * (x % perByte + 1);
                out[x] = Index((in[x / perByte] >> shift) & mask);
            }
            break;
        }
        case 16:
            for (uint32 x = 0; x < width; x++)
                out[x] = fTable[in[2 * x] | (in[2 * x + 1] << 8)];
            break;
        case 24:
            for (uint32 x = 0; x < width; x++, in += 3)
                out[x] = kOpaqueBlack | ((uint32)in[2] << 16) | ((uint32)in[1] << 8) | in[0];
            break;
        default:
            if (fStandard32) {
                uint32 opaque = fAlpha.mask == 0 ? kOpaqueBlack : 0;
                for (uint32 x = 0; x < width; x++, in += 4) {
                    out[x] = opaque | ((uint32)in[3] << 24) | ((uint32)in[2] << 16) |
                             ((uint32)in[1] << 8) | in[0];
                }
            } else {
                for (uint32 x = 0; x < width; x++, in += 4)
                    out[x] = _Masked(in[0] | (in[1] << 8) | (in[2] << 16) | ((uint32)in[3] << 24));
            }
            break;
        }
    }

    uint32 Index(uint32 index) const
    {
        return index < fPalette.size() ? fPalette[index] : kOpaqueBlack;
    }

private:
    uint32 _Masked(uint32 pixel) const
    {
        uint32 alpha = fAlpha.mask != 0 ? fAlpha.Value(pixel) : 255;
        return (alpha << 24) | ((uint32)fRed.Value(pixel) << 16) |
               ((uint32)fGreen.Value(pixel) << 8) | fBlue.Value(pixel);
    }

    uint32 fBits;
    std::vector<uint32> fPalette;
    Channel fRed, fGreen, fBlue, fAlpha;
    bool fStandard32 = false;
    std::vector<uint32> fTable;
};

status_t read_palette(StreamReader& reader, const Header& header, std::vector<uint32>* palette)
{
    if (header.bits > 8)
        return B_OK;
    uint32 count = header.colorsUsed != 0 ? header.colorsUsed : 1u << header.bits;
    count = std::min(count, 1u << header.bits);
    // A palette never runs into the pixels.
    uint32 room = (header.dataOffset - header.paletteOffset) / header.paletteEntrySize;
    count = std::min(count, room);
    std::vector<uint8> raw(count * header.paletteEntrySize);
    status_t status = reader.Read(raw.data(), raw.size());
    if (status != B_OK)
        return status;
    palette->resize(count);
    for (uint32 i = 0; i < count; i++) {
        const uint8* entry = &raw[i * header.paletteEntrySize];
        (*palette)[i] =
            kOpaqueBlack | ((uint32)entry[2] << 16) | ((uint32)entry[1] << 8) | entry[0];
    }
    return reader.Skip(header.dataOffset - header.paletteOffset - raw.size());
}

// Run-length data, decoded a row at a time: emit(row) receives each row of
// the file in order (bottom-up), exactly height times. Deltas only move
// forward, so a row is complete once the data leaves it; pixels the data
// skips stay opaque black.
template <class Emit>
status_t decode_rle(StreamReader& reader, const Header& header, const RowConverter& converter,
                    Emit emit)
{
    uint32 width = header.width;
    uint32 height = header.height;
    bool four = header.compression == kRLE4;
    std::vector<uint32> row(width, kOpaqueBlack);
    uint32 x = 0, y = 0;
    // Hands on the current row and moves to the next one.
    auto next_row = [&]() -> status_t {
        status_t status = emit(row.data());
        std::fill(row.begin(), row.end(), kOpaqueBlack);
        x = 0;
        y++;
        return status;
    };
    auto put = [&](uint32 index) {
        if (x < width)
            row[x] = converter.Index(index);
        x++;
    };
    while (y < height) {
        uint8 count = reader.Byte();
        uint8 value = reader.Byte();
        if (reader.Status() != B_OK)
            return reader.Status();
        status_t status = B_OK;
        if (count > 0) {
            for (uint32 i = 0; i < count; i++)
                put(four ? ((i & 1) ? value & 0x0f : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0:
            status = next_row();
            break;
        case 1:
            // The end of the picture: the rows left stay black.
            while (y < height && status == B_OK)
                status = next_row();
            return status;
        case 2: {
            uint32 right = reader.Byte();
            uint32 up = reader.Byte();
            uint32 column = x + right;
            for (uint32 i = 0; i < up && y < height && status == B_OK; i++)
                status = next_row();
            x = column;
            break;
        }
        default: {
            uint32 bytes = four ? (value + 1) / 2 : value;
            uint8 data[256];
            status = reader.Read(data, bytes + (bytes & 1));
            if (status != B_OK)
                return status;
            for (uint32 i = 0; i < value; i++)
                put(four ? ((i & 1) ? data[i / 2] & 0x0f : data[i / 2] >> 4) : data[i]);
            break;
        }
        }
        if (status != B_OK)
            return status;
        if (reader.Status() != B_OK)
            return reader.Status();
    }
    return B_OK;
}

} // namespace

status_t decode(BPositionIO* source, BPositionIO* destination)
{
    off_t start = source->Position();
    Header header;
    status_t status = read_header(source, &header);
    if (status != B_OK)
        return status;
    source->Seek(start + header.paletteOffset, SEEK_SET);

    StreamReader reader(source);
    if (reader.InitCheck() != B_OK)
        return reader.InitCheck();
    std::vector<uint32> palette;
    status = read_palette(reader, header, &palette);
    if (status != B_OK)
        return status;
    if (header.bits > 8) {
        status = reader.Skip(header.dataOffset - header.paletteOffset);
        if (status != B_OK)
            return status;
    }
    RowConverter converter(header, std::move(palette));

    uint32 width = header.width;
    bool topDown = header.height < 0;
    uint32 height = topDown ? -(int64)header.height : header.height;
    bool rle = header.compression == kRLE8 || header.compression == kRLE4;
    size_t stride = ((size_t)width * header.bits + 31) / 32 * 4;
    size_t used = ((size_t)width * header.bits + 7) / 8;
    off_t available = BPrivate::remaining_stream_size(source);
    if (!rle && available >= 0 && (uint64)available + reader.Fill(0) < stride * (height - 1) + used)
        return B_ILLEGAL_DATA;

    bool alpha = header.bits == 32 && header.masks[3] != 0;
    off_t base = destination->Position();
    status = BPrivate::write_bits_header(destination, width, height, alpha ? B_RGBA32 : B_RGB32);
    if (status != B_OK)
        return status;
    size_t rowBytes = (size_t)width * 4;

    // Rows arrive in file order; i counts them.
    uint32 i = 0;
    auto write_row = [&](const uint32* pixels) -> status_t {
        uint32 y = topDown ? i : height - 1 - i;
        i++;
        off_t offset = base + B_TRANSLATOR_BITMAP_HEADER_SIZE + (off_t)y * rowBytes;
        ssize_t written = destination->WriteAt(offset, pixels, rowBytes);
        if (written < 0)
            return (status_t)written;
        return (size_t)written == rowBytes ? B_OK : B_IO_ERROR;
    };

    if (rle) {
        status = decode_rle(reader, header, converter, write_row);
        if (status != B_OK)
            return status;
    } else {
        std::vector<uint8> raw(stride);
        std::vector<uint32> row(width);
        while (i < height) {
            // Rows that fit the reader's buffer convert straight out of it.
            size_t size = i + 1 < height ? stride : used;
            if (reader.Fill(size) >= size) {
                converter.Run(reader.Peek(), width, row.data());
                reader.Consume(size);
            } else {
                status = reader.Read(raw.data(), size);
                if (status != B_OK)
                    return status;
                converter.Run(raw.data(), width, row.data());
            }
            status = write_row(row.data());
            if (status != B_OK)
                return status;
        }
    }
    destination->Seek(base + B_TRANSLATOR_BITMAP_HEADER_SIZE + (off_t)height * rowBytes, SEEK_SET);
    return B_OK;
}

} // namespace bmp
