#include "TGA.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tga {

namespace {

// Collects output in a block so that the destination sees few, large writes.
class BlockWriter
{
public:
    explicit BlockWriter(BPositionIO* destination) : fDestination(destination)
    {
        fBuffer.reserve(kBlockSize + 2 * 129 * 4);
    }

    void Append(const uint8* bytes, size_t size)
    {
        fBuffer.insert(fBuffer.end(), bytes, bytes + size);
    }
    void Append(uint8 byte) { fBuffer.push_back(byte); }

    status_t FlushIfFull() { return fBuffer.size() >= kBlockSize ? Flush() : B_OK; }
    status_t Flush()
    {
        status_t status = fDestination->WriteExactly(fBuffer.data(), fBuffer.size());
        fBuffer.clear();
        return status;
    }

private:
    static const size_t kBlockSize = 256 * 1024;
    BPositionIO* fDestination;
    std::vector<uint8> fBuffer;
};

// Packets stay within a row, as version 2 of the format asks.
void compress_row(const uint8* pixels, size_t width, size_t size, BlockWriter& out)
{
    size_t i = 0;
    while (i < width) {
        size_t run = 1;
        while (i + run < width && run < 128 &&
               memcmp(pixels + (i + run) * size, pixels + i * size, size) == 0)
            run++;
        if (run >= 2) {
            out.Append((uint8)(0x80 | (run - 1)));
            out.Append(pixels + i * size, size);
            i += run;
            continue;
        }
        // A literal packet ends where two equal pixels start a run.
        size_t count = 1;
        while (i + count < width && count < 128 &&
               (i + count + 1 >= width ||
                memcmp(pixels + (i + count) * size, pixels + (i + count + 1) * size, size) != 0))
            count++;
        out.Append((uint8)(count - 1));
        out.Append(pixels + i * size, count * size);
        i += count;
    }
}

} // namespace

status_t encode(const BPrivate::BitsInfo& bits, BPositionIO* source, bool rle, bool keepAlpha,
                BPositionIO* destination)
{
    if (bits.width > 0xffff || bits.height > 0xffff)
        return B_NOT_SUPPORTED;
    bool alpha = keepAlpha && bits.header.colors == B_RGBA32;
    size_t size = alpha ? 4 : 3;

    uint8 header[kHeaderSize] = {};
    header[2] = rle ? kRLETrueColor : kTrueColor;
    header[12] = bits.width & 0xff;
    header[13] = bits.width >> 8;
    header[14] = bits.height & 0xff;
    header[15] = bits.height >> 8;
    header[16] = alpha ? 32 : 24;
    header[17] = kTopToBottom | (alpha ? 8 : 0);

    BlockWriter out(destination);
    out.Append(header, sizeof(header));

    size_t rowBytes = bits.header.rowBytes;
    std::vector<uint8> row(rowBytes);
    std::vector<uint8> packed(bits.width * size);
    for (uint32 y = 0; y < bits.height; y++) {
        if (source->ReadExactly(row.data(), rowBytes) != B_OK)
            return B_ILLEGAL_DATA;
        const uint8* in = row.data();
        if (alpha) {
            memcpy(packed.data(), in, packed.size());
        } else {
            uint8* p = packed.data();
            for (uint32 x = 0; x < bits.width; x++, in += 4, p += 3) {
                p[0] = in[0];
                p[1] = in[1];
                p[2] = in[2];
            }
        }
        if (rle)
            compress_row(packed.data(), bits.width, size, out);
        else
            out.Append(packed.data(), packed.size());
        status_t status = out.FlushIfFull();
        if (status != B_OK)
            return status;
    }

    uint8 footer[kFooterSize] = {};
    memcpy(footer + 8, kFooterSignature, sizeof(kFooterSignature));
    out.Append(footer, sizeof(footer));
    return out.Flush();
}

} // namespace tga
