#include "PPM.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace ppm {

namespace {

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
    std::vector<uint8> row(rowBytes);
    // Text takes at most four characters a sample.
    std::vector<char> out(ascii ? (size_t)bits.width * 12 + 16 : (size_t)bits.width * 3);
    for (uint32 y = 0; y < bits.height; y++) {
        if (source->ReadExactly(row.data(), rowBytes) != B_OK)
            return B_ILLEGAL_DATA;
        const uint8* in = row.data();
        char* p = out.data();
        if (ascii) {
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
        } else {
            for (uint32 x = 0; x < bits.width; x++, in += 4, p += 3) {
                p[0] = in[2];
                p[1] = in[1];
                p[2] = in[0];
            }
        }
        status = destination->WriteExactly(out.data(), p - out.data());
        if (status != B_OK)
            return status;
    }
    return B_OK;
}

} // namespace ppm
