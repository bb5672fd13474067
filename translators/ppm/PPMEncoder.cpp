#include "PPM.h"

#include "translation/PixelRows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ppm {

namespace {

const size_t kBlockBytes = 256 * 1024;

// Appends the decimal text of 0..255.
inline char* put_decimal(char* out, uint8 value)
{
    if (value >= 100) {
        *out++ = '0' + value / 100;
        *out++ = '0' + value / 10 % 10;
    } else if (value >= 10) {
        *out++ = '0' + value / 10;
    }
    *out++ = '0' + value % 10;
    return out;
}

// Binary rows go a block at a time: fewer, larger reads and writes.
status_t encode_binary(const BPrivate::BitsInfo& bits, BPositionIO* source,
                       BPositionIO* destination)
{
    size_t rowBytes = bits.header.rowBytes;
    size_t outBytes = (size_t)bits.width * 3;
    uint32 blockRows = (uint32)std::max<size_t>(1, kBlockBytes / rowBytes);
    blockRows = std::min(blockRows, bits.height);
    std::vector<uint8> rows(rowBytes * blockRows);
    std::vector<uint8> out(outBytes * blockRows);
    for (uint32 y = 0; y < bits.height; y += blockRows) {
        uint32 count = std::min(blockRows, bits.height - y);
        if (source->ReadExactly(rows.data(), rowBytes * count) != B_OK)
            return B_ILLEGAL_DATA;
        if (rowBytes == (size_t)bits.width * 4) {
            BPrivate::bgrx_to_rgb24(rows.data(), out.data(), (size_t)bits.width * count);
        } else {
            for (uint32 i = 0; i < count; i++)
                BPrivate::bgrx_to_rgb24(rows.data() + i * rowBytes, out.data() + i * outBytes,
                                        bits.width);
        }
        status_t status = destination->WriteExactly(out.data(), outBytes * count);
        if (status != B_OK)
            return status;
    }
    return B_OK;
}

} // namespace

// Alpha has no place in PPM and is dropped. Text output keeps lines under
// the 70 characters the format asks for.
status_t encode(const BPrivate::BitsInfo& bits, BPositionIO* source, bool ascii,
                BPositionIO* destination)
{
    char header[64];
    int length = snprintf(header, sizeof(header), "P%c\n%u %u\n255\n", ascii ? '3' : '6',
                          bits.width, bits.height);
    status_t status = destination->WriteExactly(header, length);
    if (status != B_OK)
        return status;

    size_t rowBytes = bits.header.rowBytes;
    if (!ascii)
        return encode_binary(bits, source, destination);
    std::vector<uint8> row(rowBytes);
    // Text takes at most four characters a sample.
    std::vector<char> out((size_t)bits.width * 12 + 16);
    for (uint32 y = 0; y < bits.height; y++) {
        if (source->ReadExactly(row.data(), rowBytes) != B_OK)
            return B_ILLEGAL_DATA;
        const uint8* in = row.data();
        char* p = out.data();
        char* lineStart = p;
        for (uint32 x = 0; x < bits.width; x++, in += 4) {
            const uint8 rgb[3] = {in[2], in[1], in[0]};
            for (uint8 sample : rgb) {
                if (p - lineStart > 66) {
                    p[-1] = '\n';
                    lineStart = p;
                }
                p = put_decimal(p, sample);
                *p++ = ' ';
            }
        }
        p[-1] = '\n';
        status = destination->WriteExactly(out.data(), p - out.data());
        if (status != B_OK)
            return status;
    }
    return B_OK;
}

} // namespace ppm
