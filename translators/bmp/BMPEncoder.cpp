#include "BMP.h"

#include <cstring>
#include <vector>

namespace bmp {

namespace {

void put16(uint8* p, uint16 v)
{
    p[0] = v;
    p[1] = v >> 8;
}

void put32(uint8* p, uint32 v)
{
    p[0] = v;
    p[1] = v >> 8;
    p[2] = v >> 16;
    p[3] = v >> 24;
}

} // namespace

// Pictures without alpha become 24-bit BI_RGB files with the plain 40-byte
// header that every reader knows; pictures with alpha keep it in a 32-bit
// BI_BITFIELDS file with a V4 header, which carries the alpha mask.
status_t encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BPositionIO* destination)
{
    bool alpha = bits.header.colors == B_RGBA32;
    uint32 infoSize = alpha ? 108 : 40;
    uint32 pixelBytes = alpha ? 4 : 3;
    uint64 stride = ((uint64)bits.width * pixelBytes + 3) / 4 * 4;
    uint64 dataSize = stride * bits.height;
    uint32 dataOffset = kFileHeaderSize + infoSize;
    if (dataOffset + dataSize > UINT32_MAX || bits.width > INT32_MAX || bits.height > INT32_MAX)
        return B_NOT_SUPPORTED;

    uint8 header[kFileHeaderSize + 108] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, (uint32)(dataOffset + dataSize));
    put32(header + 10, dataOffset);
    uint8* info = header + kFileHeaderSize;
    put32(info, infoSize);
    put32(info + 4, bits.width);
    put32(info + 8, bits.height);
    put16(info + 12, 1);
    put16(info + 14, pixelBytes * 8);
    put32(info + 16, alpha ? kBitFields : kRGB);
    put32(info + 20, (uint32)dataSize);
    put32(info + 24, 2835);
    put32(info + 28, 2835);
    if (alpha) {
        put32(info + 40, 0x00ff0000);
        put32(info + 44, 0x0000ff00);
        put32(info + 48, 0x000000ff);
        put32(info + 52, 0xff000000);
        memcpy(info + 56, "BGRs", 4);
    }
    status_t status = destination->WriteExactly(header, dataOffset);
    if (status != B_OK)
        return status;

    // Rows are stored bottom-up, so the source is read from its last row.
    off_t rowsStart = source->Position();
    size_t rowBytes = bits.header.rowBytes;
    std::vector<uint8> row(bits.width * 4);
    const size_t kBlock = 256 * 1024;
    std::vector<uint8> block;
    block.reserve(kBlock + stride);
    for (uint32 i = 0; i < bits.height; i++) {
        off_t offset = rowsStart + (off_t)(bits.height - 1 - i) * rowBytes;
        ssize_t got = source->ReadAt(offset, row.data(), row.size());
        if (got != (ssize_t)row.size())
            return got < 0 ? (status_t)got : B_ILLEGAL_DATA;
        size_t at = block.size();
        block.resize(at + stride);
        uint8* out = block.data() + at;
        if (alpha) {
            memcpy(out, row.data(), row.size());
        } else {
            const uint8* in = row.data();
            for (uint32 x = 0; x < bits.width; x++, in += 4, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
            memset(out, 0, stride - (size_t)bits.width * 3);
        }
        if (block.size() >= kBlock || i + 1 == bits.height) {
            status = destination->WriteExactly(block.data(), block.size());
            if (status != B_OK)
                return status;
            block.clear();
        }
    }
    return B_OK;
}

} // namespace bmp
